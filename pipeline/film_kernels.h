// The film stage's kernels, launched by film_brew_print_cuda and by tests.
#pragma once

#include "cudasim/cuda_compat.h"
#include "pipeline/film_develop.cuh"
#include "pipeline/film_kernel_args.h"
#include "pipeline/film_math.cuh"
#include "pipeline/launch_shapes.h"

// The pixel work of the negative output and of the print needs more than
// the 64 registers a thread of a 1,024-thread block may have, and on some
// architectures more than 128: these kernels run 32 x 4 blocks, and one
// block a multiprocessor is enough for nvcc to leave them up to 255.
namespace film_shape {
constexpr int kHeavyThreads = 32 * 4;
inline dim3 heavy_block() { return dim3(32, kHeavyThreads / 32, 1); }
inline dim3 heavy_grid(int width, int height) {
  return dim3(unsigned(calc_kernel(width, 32)), launch_shape::grid_rows(calc_kernel(height, kHeavyThreads / 32)), 1);
}
}  // namespace film_shape
#if defined(__CUDACC__)
#define KALTHORNE_FILM_HEAVY_KERNEL __global__ void __launch_bounds__(film_shape::kHeavyThreads, 1)
#else
#define KALTHORNE_FILM_HEAVY_KERNEL __global__ void
#endif

// Development (film_lab.cu).
__global__ void film_lab_init(float* image, float* exposure, float* alpha, float* developed, float* silver,
                              float* developer, float concentration, float silverR, float silverG, float silverB,
                              int width, int height, int channelStride, int inputGamut);
__global__ void develop_cuda(float* developed, const float* exposure, float* silver, float* developer, float rate,
                             float developerUse, float silverUse, int width, int height);
// code: the developer as LogC4-like code values, for the diffusion blur.
__global__ void film_lab_diffuse_reset_pfe(const float* developer, float* code, int width, int height,
                                           int inputGamut);
__global__ void pitch_sharp_film_lab(float* detail, const float* blurred, int width, int height, float gain);
__global__ void pitch_accumulate_film_lab_pfe(const float* detail, const float* blurred, float* developer,
                                              int width, int height, int inputGamut);
// concentration: a slot of the loop's device array (film::DevelopSlot).
__global__ void developer_to_layer(float* developer, float retention, const float* concentration, long long count);
__global__ void reservoir_developer_concentration_init_two(float* developer, int width, int height,
                                                           const float* concentration);
// One thread: the loop's slots at its start (start != 0, C = initial), or
// their update after a step's two sums.
__global__ void develop_concentration(float* slots, film::ConcentrationUpdate update, int start, float initial);
// The output end (film_negative*.cu, film_print.cu): each kernel renders
// every pixel into `out`, the frame the road reads next, RGB and alpha.
// With a camera stock: the negative output (plain or bleach bypass), then
// nothing (print stage off), the display, or a print (plain or bleach
// bypass).
// The print combinations, the heaviest to compile, build in a source of their
// own (film_negative_print.cu) so that the two compile side by side.
#define KALTHORNE_FILM_NEGATIVE_OUTPUTS(X)                              \
  X(film_brew_cuda_out_hue_chr_vib, false, film::NoPrint)               \
  X(film_brew_cuda_out_bleach, true, film::NoPrint)                     \
  X(film_brew_cuda_out_hue_chr_vib_display, false, film::DisplayFinish) \
  X(film_brew_cuda_out_bleach_display, true, film::DisplayFinish)
#define KALTHORNE_FILM_NEGATIVE_PRINTS(X)                                        \
  X(film_brew_cuda_out_hue_chr_vib_print, false, film::PrintFinish<false>)       \
  X(film_brew_cuda_out_hue_chr_vib_print_bleach, false, film::PrintFinish<true>) \
  X(film_brew_cuda_out_bleach_print, true, film::PrintFinish<false>)             \
  X(film_brew_cuda_out_bleach_print_bleach, true, film::PrintFinish<true>)
// Without one: the frame (`out` may be `frame`) to the display or a print.
#define KALTHORNE_FILM_PRINT_OUTPUTS(X)                              \
  X(film_print_cuda_out_pfe_display, film::DisplayFinish)            \
  X(film_print_cuda_out_hue_chr_vib_pfe, film::PrintFinish<false>)   \
  X(film_print_cuda_out_bleach_pfe, film::PrintFinish<true>)

#define KALTHORNE_DECLARE_NEGATIVE_OUTPUT(kernel, bleach, finish)                                                  \
  __global__ void kernel(const float* exposure, const float* alpha, const float* developed, float* out, int width, \
                         int height, int channels, FILM_GRID_CONST const film::NegativeArgs negative,              \
                         FILM_GRID_CONST const film::PrintArgs print);
KALTHORNE_FILM_NEGATIVE_OUTPUTS(KALTHORNE_DECLARE_NEGATIVE_OUTPUT)
KALTHORNE_FILM_NEGATIVE_PRINTS(KALTHORNE_DECLARE_NEGATIVE_OUTPUT)
#undef KALTHORNE_DECLARE_NEGATIVE_OUTPUT

#define KALTHORNE_DECLARE_PRINT_OUTPUT(kernel, finish)                                                      \
  __global__ void kernel(float* frame, float* out, int width, int height, int channels, int inputGamut, \
                         FILM_GRID_CONST const film::PrintArgs print);
KALTHORNE_FILM_PRINT_OUTPUTS(KALTHORNE_DECLARE_PRINT_OUTPUT)
#undef KALTHORNE_DECLARE_PRINT_OUTPUT
