// Access models of the pipeline's kernels, one row per kernel. Each row gives,
// per work item (a pixel, or an element of a plane), the bytes the kernel
// reads and writes. Counting follows the hardware's 32-byte sectors: the
// threads of a warp take neighbouring pixels (neighbouring columns for the
// column blur), so
//  - a fixed-layout access costs its own bytes per item: 4 for a plane of
//    floats, 12 for an interleaved RGB plane, 16 for an RGBA pixel;
//  - an access of one or more floats of a pixel at a channel stride of s
//    floats (an argument of the kernel) costs the whole stride, 4 * s bytes
//    per item, up to one sector: a one-channel access of an RGBA plane moves
//    whole RGBA pixels.
// One thread's reads of one 16-byte pixel count once, and so do its writes:
// the pixel is in the caches between them. A row may therefore name the
// pointer argument of each access at the stride ("r2 r3 r4 w4": reads
// through arguments 2, 3 and 4, a write through 4); the launch's pointers then
// decide which accesses meet in one pixel. A named fixed-layout access
// ("w16:12", twelve bytes written through argument 16) costs nothing when its
// pointer is null. A column recursion reads its column again in the backward
// sweep, long after the forward one: both sweeps count. Beyond that there is
// no credit for caches.
//
// The walk column names the argument holding the rows (or, for a row pass,
// the columns) a thread walks one after another; the machine code says how
// many a trip of each loop takes, and what a trip waits and executes
// (frame_cost.cpp).
//
// A kernel launched without a row here stops the benchmark: add its row with
// the kernel (the leading columns are enough; the others have defaults).
#include "kernel_traffic.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <utility>

#include "pipeline/film_kernels.h"
#include "pipeline/gamut_lab_kernels.h"

namespace bench {

namespace {

// A width argument for kernels of a single thread: one item.
constexpr int kOneItem = -2;

struct AccessModel {
  const char* kernel;
  int width_arg;         // argument holding the width, or the element count when height_arg < 0; or kOneItem
  int height_arg;
  int fixed_bytes;       // bytes per item of the fixed-layout accesses
  int strided_accesses;  // reads plus writes of a pixel at the channel stride...
  int stride_arg;        // ...held by this argument
  int walk_arg = -1;         // argument holding the rows (or columns) each thread walks; -1: none
  const char* pointers = "";  // the pointer argument of each strided access, and nullable fixed accesses
  bool tile_rows = false;     // the walk's trips are tiles of a block's rows, one a thread (KernelWork)
};

#define KALTHORNE_GAMUT_MODELS(index, g, gc, ge, compress, expand, to_lab, compress_to_lab) \
  {#compress, 2, 3, 48, 0, -1}, /* RGBA: read in, write in and out */                                 \
  {#expand, 2, 3, 32, 0, -1},                                                                         \
  {#to_lab, 1, 2, 4, 2, 3, -1, "r0 w0 w4:4"}, /* and L' into its plane */                             \
  {#compress_to_lab, 1, 2, 4, 2, 3, -1, "r0 w0 w4:4"},

#define KALTHORNE_NEGATIVE_OUTPUT_MODEL(kernel, bleach, finish) {#kernel, 4, 5, 12 + 12 + 4, 1, 6, -1, "w3"},
#define KALTHORNE_PRINT_OUTPUT_MODEL(kernel, finish) {#kernel, 2, 3, 0, 2, 4, -1, "r0 w1"},

const AccessModel kModels[] = {
    // Pixel format, exposure, soft clip.
    {"RGB_RGBA_Kernel", 2, 3, 12 + 16, 0, -1},
    {"RGBA_RGB_Kernel", 2, 3, 16 + 12, 0, -1},
    {"exposure_linear_gamma", 1, 2, 0, 2, 4, -1, "r0 w0"},
    {"exposure_log", 1, 2, 0, 2, 4, -1, "r0 w0"},
    {"exposure_linear_gamma_in_out", 2, 3, 0, 2, 5, -1, "r0 w1"},
    {"exposure_log_in_out", 2, 3, 0, 2, 5, -1, "r0 w1"},
    {"highlights_shadows_Kernel", 1, 2, 0, 2, 3, -1, "r0 w0"},
    {"highlights_shadows_Kernel_in_out", 2, 3, 0, 2, 4, -1, "r0 w1"},
    // Lab conversions.
    KALTHORNE_DEDICATED_GAMUTS(KALTHORNE_GAMUT_MODELS)
    {"ColorSpace_LAB", 1, 2, 4, 2, 3, -1, "r0 w0 w5:4"},
    // Blur and texture bands. The column blur reads its input in both sweeps
    // and writes, reads and writes its output plane, each thread walking the
    // rows of its column. The row blur reads its plane twice and writes,
    // reads and writes its output at the channel stride, each thread walking
    // its row in tiles of 32 columns loaded through shared memory.
    {"iir_guassian", 2, 3, 12, 2, 5, 3},
    {"iir_guassian_rgb", 2, 3, 3 * 12, 2, 5, 3},  // three channels: an RGB plane out
    {"iir_guassian_rows", 2, 3, 8, 3, 5, 2, "", true},
    // Texture levels: the row pass of a level's blur reads the column pass's
    // plane twice and writes, reads and writes its level's plane; as it
    // finishes each pixel it reads the level's source (the L' plane, or the
    // level before's plane) and the band sum (not at the first level: sumIn
    // null), and writes the sum. The last level's band is a pass a pixel
    // after a plain row pass: it reads the level's blur, its source and the
    // sum as above, and the Lab frame's pixel (L' there is the first level's
    // source: its plane is null), and writes the output frame's.
    {"pitch_sharp_rows", 5, 6, 8 + 12 + 4 + 4 + 4, 0, -1, 5, "r3:4", true},
    {"pitch_sharp_out", 5, 6, 4 + 4 + 4 + 16 + 16, 0, -1, -1, "r1:4 r2:4"},
    // Halation: the glow, the column scratch and the band are RGB planes.
    {"halation_init", 2, 3, 12, 1, 4, -1, "r0"},
    // A band's row pass reads its column plane in both sweeps, writes its
    // causal half and reads it back, and folds each finished pixel back into
    // the glow: reads and writes it (all RGB planes).
    {"halation_band_rows", 3, 4, 2 * 12 + 2 * 12 + 2 * 12, 0, -1, 3, "", true},
    // The last pass: out may be the image; on the texture road it writes the
    // frame in Lab, and L' also into its plane.
    {"halation_linear", 3, 4, 12 + 4, 2, 15, -1, "r0 w2 w18:4"},
    // Film development: RGB planes of 12 bytes, one-channel planes of 4.
    {"film_lab_init", 6, 7, 12 + 4, 1, 8, -1, "r0"},
    // Read E, and D and S (not at the first step: constants), and the
    // developer at its step (none at the first step and after a mix: one
    // concentration); write D, S and developer (not at the last step), and
    // the developer before the exchange when the step exchanges it.
    {"develop_cuda", 15, 16, 12 + 12 + 12 + 12 + 12 + 4 + 4, 1, 7, -1, "w9:4 r3:12 r4:12 w2:12 w8:4"},
    // The diffusion's blurs carry its per-pixel steps: the first column pass
    // reads the developer plane in both sweeps (as code values); the last row
    // pass, a row pass into its scratch plane, also writes the diffused
    // developer there, reads and writes the developer plane and reads band
    // one (when there is a band two) at each pixel.
    {"iir_guassian_developer_code", 2, 3, 8 + 12, 0, -1, 3},
    {"iir_guassian_rows_developer", 4, 5, 8 + 12 + 8 + 4, 0, -1, 4, "r3:4", true},
    {"develop_concentration", kOneItem, -1, 32, 0, -1},  // one thread updating a few floats: one sector
    // The output pass. With a camera stock: read developed, exposure and
    // alpha, write the frame read next. Without: read the frame, write the
    // frame read next (the same one or the other).
    KALTHORNE_FILM_NEGATIVE_OUTPUTS(KALTHORNE_NEGATIVE_OUTPUT_MODEL)
    KALTHORNE_FILM_NEGATIVE_PRINTS(KALTHORNE_NEGATIVE_OUTPUT_MODEL)
    KALTHORNE_FILM_PRINT_OUTPUTS(KALTHORNE_PRINT_OUTPUT_MODEL)
};

#undef KALTHORNE_GAMUT_MODELS
#undef KALTHORNE_NEGATIVE_OUTPUT_MODEL
#undef KALTHORNE_PRINT_OUTPUT_MODEL

// One named access: through argument `arg`, `bytes` a item (0: at the stride).
struct Access {
  bool write = false;
  int arg = 0;
  int bytes = 0;
};

// The accesses `text` names; false when it does not parse.
bool parse_pointers(const char* text, std::vector<Access>& accesses) {
  accesses.clear();
  const char* p = text;
  while (*p) {
    if (*p == ' ') {
      ++p;
      continue;
    }
    Access a;
    if (*p != 'r' && *p != 'w') return false;
    a.write = *p++ == 'w';
    char* end = nullptr;
    a.arg = int(std::strtol(p, &end, 10));
    if (end == p || a.arg < 0) return false;
    p = end;
    if (*p == ':') {
      a.bytes = int(std::strtol(++p, &end, 10));
      if (end == p || a.bytes <= 0) return false;
      p = end;
    }
    if (*p != ' ' && *p != '\0') return false;
    accesses.push_back(a);
  }
  return true;
}

const cudasim::LaunchArgument* argument(const cudasim::Launch& l, int index) {
  return index >= 0 && size_t(index) < l.arguments.size() ? &l.arguments[size_t(index)] : nullptr;
}

double number(const cudasim::Launch& l, int index) {
  const cudasim::LaunchArgument* a = argument(l, index);
  return a ? a->number : 0.0;
}

const void* pointer(const cudasim::Launch& l, int index) {
  const cudasim::LaunchArgument* a = argument(l, index);
  return a && a->is_pointer ? a->pointer : nullptr;
}

const AccessModel* model_of(const std::string& kernel) {
  for (const AccessModel& m : kModels)
    if (kernel == m.kernel) return &m;
  return nullptr;
}

// Bytes per item of `m` on launch `l`.
double item_bytes(const AccessModel& m, const std::vector<Access>& named, const cudasim::Launch& l) {
  const double stride = m.stride_arg < 0 ? 0.0 : std::min(32.0, 4.0 * number(l, m.stride_arg));
  double fixed = m.fixed_bytes;
  // The 16-byte pixels a thread reads, and those it writes (device memory is
  // allocated at least 16-byte aligned).
  std::set<std::pair<bool, uintptr_t>> pixels;
  int strided_named = 0;
  for (const Access& a : named) {
    const void* p = pointer(l, a.arg);
    if (a.bytes != 0) {
      if (!p) fixed -= a.bytes;
      continue;
    }
    ++strided_named;
    if (p) pixels.insert({a.write, reinterpret_cast<uintptr_t>(p) / 16});
  }
  const double strided_count = strided_named != 0 ? double(pixels.size()) : double(m.strided_accesses);
  return fixed + strided_count * stride;
}

}  // namespace

bool kernel_work(const cudasim::Launch& launch, KernelWork& work) {
  const AccessModel* m = model_of(launch.kernel);
  std::vector<Access> named;
  if (!m || !parse_pointers(m->pointers, named)) return false;
  work.elements = m->width_arg == kOneItem ? 1.0
                  : m->height_arg < 0      ? number(launch, m->width_arg)
                                           : number(launch, m->width_arg) * number(launch, m->height_arg);
  work.bytes = work.elements * item_bytes(*m, named, launch);
  work.walk = m->walk_arg >= 0 ? number(launch, m->walk_arg) : 0.0;
  work.tile_rows = m->tile_rows;
  return true;
}

std::vector<std::string> model_faults() {
  std::vector<std::string> faults;
  std::set<std::string> seen;
  for (const AccessModel& m : kModels) {
    const std::string name = m.kernel;
    const auto fault = [&](const std::string& what) { faults.push_back(name + ": " + what); };
    if (!seen.insert(name).second) fault("more than one row");
    if (m.width_arg < 0 && m.width_arg != kOneItem) fault("no width or count argument");
    if (m.fixed_bytes < 0 || m.strided_accesses < 0) fault("negative bytes or accesses");
    if ((m.strided_accesses > 0) != (m.stride_arg >= 0)) fault("strided accesses without a stride, or the reverse");
    if (m.tile_rows && m.walk_arg < 0) fault("tiles without a walk");
    std::vector<Access> named;
    if (!parse_pointers(m.pointers, named)) {
      fault(std::string("pointer list \"") + m.pointers + "\" does not parse");
      continue;
    }
    int strided = 0, fixed = 0;
    for (const Access& a : named) {
      if (a.bytes == 0)
        ++strided;
      else
        fixed += a.bytes;
    }
    if (strided != 0 && strided != m.strided_accesses) fault("the pointer list names not every strided access");
    if (fixed > m.fixed_bytes) fault("the pointer list names more fixed bytes than the row has");
  }
  return faults;
}

}  // namespace bench
