// Access models of the pipeline's kernels. Each row gives, per work item (a
// pixel, or an element of a plane), the bytes the kernel reads and writes.
// Counting follows the hardware's 32-byte sectors: the threads of a warp take
// neighbouring pixels (neighbouring columns for the column blur), so
//  - a fixed-layout access costs its own bytes per item: 4 for a plane of
//    floats, 12 for an interleaved RGB plane, 16 for an RGBA pixel;
//  - an access of one or more floats of a pixel at a channel stride of s
//    floats (an argument of the kernel) costs the whole stride, 4 * s bytes
//    per item, up to one sector: a one-channel access of an RGBA plane moves
//    whole RGBA pixels.
// Every read and every write is counted, with no credit for caches. A kernel
// launched without a row here stops the benchmark: add its row with the
// kernel.
#include "kernel_traffic.h"

#include <algorithm>
#include <cstring>

#include "pipeline/gamut_lab_kernels.h"

namespace bench {

namespace {

struct AccessModel {
  const char* kernel;
  int width_arg;         // argument holding the width, or the element count when height_arg < 0
  int height_arg;
  int fixed_bytes;       // bytes per item of the fixed-layout accesses
  int strided_accesses;  // reads plus writes of a pixel at the channel stride...
  int stride_arg;        // ...held by this argument
};

#define KALTHORNE_GAMUT_MODELS(index, g, gc, ge, compress, expand, to_lab, compress_to_lab, from_lab, \
                               from_lab_expand)                                                       \
  {#compress, 2, 3, 48, 0, -1}, /* RGBA: read in, write in and out */                                 \
  {#expand, 2, 3, 32, 0, -1},                                                                         \
  {#to_lab, 2, 3, 0, 3, 4},     /* read and write the image, write aux */                            \
  {#compress_to_lab, 2, 3, 0, 3, 4},                                                                  \
  {#from_lab, 1, 2, 0, 2, 3},                                                                         \
  {#from_lab_expand, 1, 2, 0, 2, 3},

const AccessModel kModels[] = {
    // Pixel format, exposure, soft clip.
    {"RGB_RGBA_Kernel", 2, 3, 12 + 16, 0, -1},
    {"RGBA_RGB_Kernel", 2, 3, 16 + 12, 0, -1},
    {"exposure_linear_gamma", 1, 2, 0, 2, 4},
    {"exposure_log", 1, 2, 0, 2, 4},
    {"exposure_linear_gamma_in_out", 2, 3, 0, 2, 5},
    {"exposure_log_in_out", 2, 3, 0, 2, 5},
    {"highlights_shadows_Kernel", 1, 2, 0, 2, 3},
    {"highlights_shadows_Kernel_in_out", 2, 3, 0, 2, 4},
    // Lab conversions.
    KALTHORNE_DEDICATED_GAMUTS(KALTHORNE_GAMUT_MODELS)
    {"ColorSpace_LAB", 2, 3, 0, 3, 4},
    {"LAB_Colorspace", 1, 2, 0, 2, 3},
    // Blur and texture bands. The column blur reads its input twice
    // (forward and backward pass) and writes, reads and writes its output
    // plane; the row blur reads its plane twice and writes, reads and
    // writes its output at the channel stride.
    {"iir_guassian", 2, 3, 12, 2, 5},
    {"iir_guassian_rgb", 2, 3, 3 * 12, 2, 5},  // three channels: an RGB plane out
    {"iir_guassian_rows", 2, 3, 8, 3, 5},
    {"iir_guassian_rows_rgb", 2, 3, 2 * 12 + 3 * 12, 0, -1},  // RGB planes in and out
    {"pitch_sharp", 0, 1, 0, 4, 6},
    {"pitch_sharp_next", 0, 1, 0, 5, 6},  // pitch_sharp, and the blurred level written over the source
    {"pitch_accumulate", 0, 1, 0, 3, 4},
    // Halation: the source copy and the blurred band are RGB planes.
    {"halation_init", 2, 3, 12, 2, 4},
    {"FrequencySharpenHalation", 2, 3, 12, 2, 5},
    {"halation_linear", 3, 4, 12, 3, 13},
    // Film development: RGB planes of 12 bytes, one-channel planes of 4.
    {"film_lab_init", 10, 11, 12 + 4 + 12 + 12 + 4, 2, 12},
    {"develop_cuda", 7, 8, 12 + 12 + 12 + 4 + 12 + 12 + 4, 0, -1},  // read D, E, S, developer; write D, S, developer
    {"film_lab_diffuse_reset_pfe", 2, 3, 8, 0, -1},
    {"pitch_sharp_film_lab", 2, 3, 12, 0, -1},
    {"pitch_accumulate_film_lab_pfe", 3, 4, 12, 0, -1},
    {"developer_to_layer", 3, -1, 8, 0, -1},
    {"reservoir_developer_concentration_init_two", 1, 2, 4, 0, -1},
    {"film_lab_init_pfe", 1, 2, 12, 2, 3},  // read and write the frame, write the print plane
    // Negative output: read developed, exposure, alpha; write both frames and
    // the print plane (three floats a pixel; counted as with the print stage
    // on, the only case that writes it).
    {"film_brew_cuda_out_hue_chr_vib", 5, 6, 12 + 12 + 4 + 12, 2, 7},
    {"film_brew_cuda_out_bleach", 5, 6, 12 + 12 + 4 + 12, 2, 7},
    // Print and display: read and write frame A, write frame B (and read the
    // print plane).
    {"film_print_cuda_out_pfe_display", 2, 3, 0, 3, 4},
    {"film_print_cuda_out_hue_chr_vib_pfe", 2, 3, 12, 3, 4},
    {"film_print_cuda_out_bleach_pfe", 2, 3, 12, 3, 4},
};

#undef KALTHORNE_GAMUT_MODELS

double number(const cudasim::Launch& l, int index) {
  return index >= 0 && size_t(index) < l.arguments.size() ? l.arguments[size_t(index)].number : 0.0;
}

}  // namespace

bool kernel_work(const cudasim::Launch& launch, KernelWork& work) {
  for (const AccessModel& m : kModels) {
    if (launch.kernel != m.kernel) continue;
    work.elements = m.height_arg < 0 ? number(launch, m.width_arg)
                                     : number(launch, m.width_arg) * number(launch, m.height_arg);
    const double strided = m.stride_arg < 0 ? 0.0 : std::min(32.0, 4.0 * number(launch, m.stride_arg));
    work.bytes = work.elements * (m.fixed_bytes + m.strided_accesses * strided);
    return true;
  }
  return false;
}

}  // namespace bench
