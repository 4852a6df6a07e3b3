// The film stage's kernels, launched by film_brew_print_cuda and by tests.
#pragma once

#include "cudasim/cuda_compat.h"
#include "pipeline/film_develop.cuh"
#include "pipeline/film_kernel_args.h"
#include "pipeline/film_math.cuh"
#include "pipeline/launch_shapes.h"

// The pixel work of the negative output and of the print needs more than
// the 64 registers a thread of a 1,024-thread block may have: these kernels
// run 32 x 2 blocks, whose shared memory (the negative and print kernels'
// 144 bytes a thread) Turing holds 7 of, 14 warps, where 4-warp blocks stop
// at 12. Each thread renders kHeavyRows rows of its column (a block
// 2 x kHeavyRows), so what a thread works out from the settings alone it
// works out once for them all.
namespace film_shape {
constexpr int kHeavyThreads = 32 * 2;
constexpr int kHeavyRows = 8;
inline dim3 heavy_block() { return dim3(32, kHeavyThreads / 32, 1); }
inline dim3 heavy_grid(int width, int height) {
  return dim3(unsigned(calc_kernel(width, 32)),
              launch_shape::grid_rows(calc_kernel(height, kHeavyThreads / 32 * kHeavyRows)), 1);
}

// What a heavy kernel renders: the negative (to the output or the display),
// the negative and a print, or a print of the frame.
enum HeavyWork { kNegativeOutput, kNegativePrint, kPrintOutput, kHeavyWorks };
// The blocks a multiprocessor is to hold at once of each heavy kernel, per
// architecture family (its lowest compute capability x 100): nvcc fits each
// kernel's registers to them. Their warps wait on their own results most of
// the time (dependent float chains, predicate tests before branches), so a
// kernel runs as many as its shared memory (a FamilyGains a thread) and the
// schedulers' issue rate make worth it, as the frame-cost bench reads them,
// at no fewer registers than its code takes without spilling:
//  - Turing: 7 blocks of the negative kernels (9,216 bytes each) fill its
//    64 KB of shared memory at 128 registers; the print alone at 128 (8
//    blocks, 16 warps) is issue-bound already: fewer registers only add
//    instructions.
//  - Ada, and Ampere, with its register file and at least its shared memory
//    and warps: 128 registers (8 blocks) for all. At 96 (10 blocks) the
//    negative and print would be 3% faster by the bench, but spill.
//  - Hopper spills the negative and print at 128: 168 (6 blocks).
//  - Blackwell, which the bench does not read: no budget. Under one (even
//    200 registers) nvcc rewrites its arithmetic in another form (constants
//    folded, comparisons against zero), which no check here proves the same;
//    unbounded it keeps the code it had, at 154-176 registers, and the
//    2-warp blocks alone give it 10-12 warps a multiprocessor where it had 8.
// Under these budgets nvcc's code computes what it did at up to 255
// registers, only recomputing some values rather than holding them (1-2%
// more instructions; tools/sass_arithmetic.py compares two builds); the
// device-code test proves that no family spills.
struct HeavyResidency {
  int arch;
  int blocks[kHeavyWorks];
};
constexpr HeavyResidency kHeavyResidency[] = {
    {750, {7, 7, 8}},
    {800, {8, 8, 8}},
    {900, {8, 6, 8}},
    {1000, {1, 1, 1}},
};
// The row of the newest family `arch` (__CUDA_ARCH__) belongs to.
constexpr int heavy_blocks(int arch, HeavyWork work) {
  int blocks = 1;
  for (const HeavyResidency& r : kHeavyResidency)
    if (r.arch <= arch) blocks = r.blocks[work];
  return blocks;
}
}  // namespace film_shape
#if defined(__CUDA_ARCH__)
#define KALTHORNE_FILM_HEAVY_KERNEL(work) \
  __global__ void __launch_bounds__(film_shape::kHeavyThreads, film_shape::heavy_blocks(__CUDA_ARCH__, work))
#elif defined(__CUDACC__)
#define KALTHORNE_FILM_HEAVY_KERNEL(work) __global__ void __launch_bounds__(film_shape::kHeavyThreads)
#else
#define KALTHORNE_FILM_HEAVY_KERNEL(work) __global__ void
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
