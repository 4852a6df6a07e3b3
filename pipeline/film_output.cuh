// The film stage's output end in one pass: a source gives each pixel as the
// print stage takes it (the graded negative, or the frame itself when there
// is no camera stock), a finish renders it (the print, the display only, or
// nothing when the print stage is off), and the pixel lands in the one frame
// the road reads next. Nothing passes through memory between the two: what
// the negative output once wrote to the frames and the print plane is handed
// on in registers.
//
// The handed-on value's first use in every finish is a multiplication, a
// comparison or a clamp, so the device compiler finds no multiply-add across
// the seam that separate passes would not have had.
#pragma once

#include "pipeline/film_io.cuh"
#include "pipeline/film_kernel_args.h"
#include "pipeline/film_kernels.h"
#include "pipeline/film_negative.cuh"
#include "pipeline/film_print.cuh"
#include "pipeline/launch_shapes.h"

namespace film {

// What depends on the settings alone (the cast's gains, the display's tone
// scale, the corrector's gains) is worked out here, once a thread, by the
// same functions a pixel would call: each thread renders several rows
// (film_shape). The corrector's gains go to the thread's slot in shared
// memory (the heavy kernels have no registers to keep them in), read back
// where a pixel uses them.
__host__ __device__ __forceinline__ CastTint cast_tint(const CastArgs& c) {
  return cast_tint_for(c.castOn != 0, c.castIndex, c.tintGtoM, c.tintRtoC);
}

template <int N>
__host__ __device__ __forceinline__ const FamilyGains* corrector_gains(const CorrectorArgs<N>& a, FamilyGains& slot) {
  slot = family_gains(a.chroma, a.vibrance);
#if defined(__CUDA_ARCH__)
  // Keeps the compiler from carrying the slot's values in registers instead.
  asm volatile("" ::: "memory");
#endif
  return &slot;
}

__host__ __device__ __forceinline__ NegativeSettings negative_settings(const NegativeArgs& a, bool bleach,
                                                                       bool printOff, FamilyGains& slot) {
  return NegativeSettings{a.curve,      bleach ? &a.bleach : nullptr, a.toneCurvesOn != 0, a.densityScale,
                          a.inputGamut, &a.corrector,                 a.density,           cast_tint(a.cast),
                          printOff,     a.blendComplement,            corrector_gains(a.corrector, slot)};
}

__host__ __device__ __forceinline__ PrintSettings print_settings(const PrintArgs& a, bool bleach, FamilyGains& slot) {
  return PrintSettings{a.curve,          a.gamma,         bleach ? &a.bleach : nullptr, &a.corrector,
                       a.printer,        cast_tint(a.cast), a.printProfile,            a.printSaturation,
                       a.blendComplement, tone_scale_for(a.printer.displayScale), corrector_gains(a.corrector, slot)};
}

// ------------------------------------------------------------------ finishes

// Print stage off: the negative's output code values as they are.
struct NoPrint {
  static constexpr bool kPrintOff = true;
  __host__ __device__ NoPrint(const PrintArgs&, FamilyGains&) {}
  __host__ __device__ void operator()(const float in[3], float out[3]) const {
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) out[c] = in[c];
  }
};

// Print profile 0: the display rendering with the printer points.
struct DisplayFinish {
  static constexpr bool kPrintOff = false;
  const PrinterArgs& printer;
  ToneScale toneScale;
  __host__ __device__ DisplayFinish(const PrintArgs& a, FamilyGains&)
      : printer(a.printer), toneScale(tone_scale_for(a.printer.displayScale)) {}
  __host__ __device__ void operator()(const float in[3], float out[3]) const {
    display_pixel(in, printer.blackPoint, printer.light, toneScale, out);
  }
};

// A print stock; the print's blend partner is its own input.
template <bool Bleach>
struct PrintFinish {
  static constexpr bool kPrintOff = false;
  PrintSettings settings;
  __host__ __device__ PrintFinish(const PrintArgs& a, FamilyGains& slot) : settings(print_settings(a, Bleach, slot)) {}
  __host__ __device__ void operator()(const float in[3], float out[3]) const { print_pixel(in, in, settings, out); }
};

// ------------------------------------------------------------------- sources

// The graded negative from the developed layers; alpha from its plane (the
// development used both frames as scratch).
template <bool Bleach, bool PrintOff>
struct NegativeSource {
  const float* exposure;
  const float* alpha;
  const float* developed;
  NegativeSettings settings;
  __host__ __device__ NegativeSource(const float* e, const float* a, const float* d, const NegativeArgs& args,
                                     FamilyGains& slot)
      : exposure(e), alpha(a), developed(d), settings(negative_settings(args, Bleach, PrintOff, slot)) {}
  __host__ __device__ float operator()(size_t i, float out[3]) const {
    const float D[3] = {developed[3 * i], developed[3 * i + 1], developed[3 * i + 2]};
    const float E[3] = {exposure[3 * i], exposure[3 * i + 1], exposure[3 * i + 2]};
    negative_output_pixel(D, E, settings, out);
    return alpha[i];
  }
};

// No camera stock: the frame's code values in the working space, held.
__host__ __device__ __forceinline__ void print_input(const float* pixel, int inputGamut, float out[3]) {
  float lin[3];
  decode_to_working(pixel, inputGamut, lin);
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) out[c] = hold(lin[c]);
}

struct FrameSource {
  const float* frame;
  int channels;
  int inputGamut;
  __host__ __device__ float operator()(size_t i, float out[3]) const {
    const float* px = frame + i * (size_t)channels;
    print_input(px, inputGamut, out);
    return px[3];
  }
};

// --------------------------------------------------------------------- pass

// `out` may be the source's own frame: each pixel is read before it is written.
template <class Source, class Finish>
__host__ __device__ __forceinline__ void film_output(const Source& source, const Finish& finish, float* out,
                                                     int width, int height, int channels) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, 1);
    float v[3], rendered[3];
    const float a = source(i, v);
    finish(v, rendered);
    float* p = out + i * (size_t)channels;
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) p[c] = rendered[c];
    p[3] = a;
  }
}

}  // namespace film

// The definition of one kernel of KALTHORNE_FILM_NEGATIVE_OUTPUTS or _PRINTS
// (film_shape::HeavyWork `work`).
#define KALTHORNE_NEGATIVE_OUTPUT_KERNEL(work, kernel, bleach, finish)                                              \
  KALTHORNE_FILM_HEAVY_KERNEL(work) kernel(const float* exposure, const float* alpha, const float* developed, float* out, \
                                     int width, int height, int channels,                                          \
                                     FILM_GRID_CONST const film::NegativeArgs negative,                            \
                                     FILM_GRID_CONST const film::PrintArgs print) {                                \
    using Finish = finish;                                                                                         \
    __shared__ film::FamilyGains gains[2][film_shape::kHeavyThreads];                                              \
    const unsigned slot = threadIdx.y * blockDim.x + threadIdx.x;                                                  \
    const film::NegativeSource<bleach, Finish::kPrintOff> source(exposure, alpha, developed, negative,             \
                                                                 gains[0][slot]);                                  \
    film::film_output(source, Finish(print, gains[1][slot]), out, width, height, channels);                        \
  }
