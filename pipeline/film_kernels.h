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
// block a multiprocessor is enough for nvcc to leave them up to 255. Each
// thread renders kHeavyRows rows of its column (a block 4 x kHeavyRows), so
// what a thread works out from the settings alone it works out once for
// them all.
namespace film_shape {
constexpr int kHeavyThreads = 32 * 4;
constexpr int kHeavyRows = 8;
inline dim3 heavy_block() { return dim3(32, kHeavyThreads / 32, 1); }
inline dim3 heavy_grid(int width, int height) {
  return dim3(unsigned(calc_kernel(width, 32)),
              launch_shape::grid_rows(calc_kernel(height, kHeavyThreads / 32 * kHeavyRows)), 1);
}
}  // namespace film_shape
#if defined(__CUDACC__)
#define KALTHORNE_FILM_HEAVY_KERNEL __global__ void __launch_bounds__(film_shape::kHeavyThreads, 1)
#else
#define KALTHORNE_FILM_HEAVY_KERNEL __global__ void
#endif

// Development (film_lab.cu).
// The exposure and alpha planes of the development from the frame; the
// developed, silver and developer planes start as constants that the first
// development step takes (film::DevelopStart, the start concentration).
__global__ void film_lab_init(const float* image, float* exposure, float* alpha, float silverR, float silverG,
                              float silverB, int width, int height, int channelStride, int inputGamut);
// The step reads pixel i's developer at developerIn[i * developerStep]: the
// developer plane (step 1), or one concentration every pixel takes (step 0)
// after the reservoir was mixed back into the layer. It writes the developed
// developer to the plane; or, with `beforeExchange`, there, and the developer
// after the exchange with the reservoir (retention, and the concentration
// slot `concentration`: film::DevelopSlot) to the plane.
// The developed and silver values come from developedIn and silverIn (the
// planes themselves), or from `start` where those are null (the first step).
__global__ void develop_cuda(float* developed, const float* exposure, float* silver, const float* developedIn,
                             const float* silverIn, film::DevelopStart start, const float* developerIn,
                             int developerStep, float* developer, float* beforeExchange, float retention,
                             const float* concentration, float rate, float developerUse, float silverUse, int width,
                             int height);
// The column pass of the diffusion's first blur, of the developer as
// LogC4-like code values, into `output`; column shape (a thread a column).
__global__ void iir_guassian_developer_code(const float* developer, float* output, int width, int height,
                                            float sigma);
// The row pass of the diffusion's last blur, from `input` (its column pass):
// it leaves the diffused developer in `output` (also its scratch plane), and
// the developer after the exchange with the reservoir (the concentration
// slot `concentration` adds) in `developer`; bandOne is the first blur (null
// when this is the first). Column shape over the rows (a thread a row).
__global__ void iir_guassian_rows_developer(const float* input, float* output, float* developer,
                                            const float* bandOne, int width, int height, float sigma, float gain,
                                            float retention, const float* concentration);
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

#define KALTHORNE_DECLARE_PRINT_OUTPUT(kernel, finish)                                                        \
  __global__ void kernel(const float* frame, float* out, int width, int height, int channels, int inputGamut, \
                         FILM_GRID_CONST const film::PrintArgs print);
KALTHORNE_FILM_PRINT_OUTPUTS(KALTHORNE_DECLARE_PRINT_OUTPUT)
#undef KALTHORNE_DECLARE_PRINT_OUTPUT
