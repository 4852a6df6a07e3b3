// Launch habits shared by every stage: fixed block shapes, grids that cover
// the frame with whole blocks (overhanging threads do nothing) up to the
// grid's limits, and kernels that stride over what lies beyond.
#pragma once

// dim3 only: host sources of both builds include this without the stand-in.
#include <cuda_runtime_api.h>

#include <cstddef>

// Element offset of pixel (x, y) of a frame `width` pixels wide with a
// channel stride: 64-bit, frames may hold more than 2^31 elements.
__host__ __device__ inline size_t pixel_offset(int x, int y, int width, int stride) {
  return (size_t(y) * size_t(width) + size_t(x)) * size_t(stride);
}

// Number of blocks of extent b that cover a.
int calc_kernel(int a, int b);

namespace launch_shape {

// Blocks a grid may have along y; kernels stride over the rows beyond.
constexpr int kMaxGridY = 65535;
inline unsigned grid_rows(int blocks) { return unsigned(blocks < kMaxGridY ? blocks : kMaxGridY); }

// Threads of a block of each shape.
constexpr int kPixelThreads = 32 * 32;
constexpr int kColumnThreads = 32;

// Per-pixel kernels: 32 x 32 blocks over a W x H image.
inline dim3 pixel_block() { return dim3(32, kPixelThreads / 32, 1); }
inline dim3 pixel_grid(int width, int height) {
  return dim3(unsigned(calc_kernel(width, 32)), grid_rows(calc_kernel(height, kPixelThreads / 32)), 1);
}

// One thread per column of an N-column plane, a warp per block: a column
// recursion has no more parallelism than its columns, and small blocks
// spread them over every multiprocessor (2,160 columns make 68 blocks).
inline dim3 column_block() { return dim3(kColumnThreads, 1, 1); }
inline dim3 column_grid(int columns) { return dim3(unsigned(calc_kernel(columns, 32)), 1, 1); }

}  // namespace launch_shape

// Each kernel is compiled for the block shape it is launched with: nvcc fits
// its registers to that many threads or fails the build, so no kernel can
// grow out of being launchable on some architecture unseen.
#if defined(__CUDACC__)
#define KALTHORNE_LAUNCH_BOUNDS(threads) __launch_bounds__(threads)
#else
#define KALTHORNE_LAUNCH_BOUNDS(threads)
#endif
#define KALTHORNE_PIXEL_KERNEL __global__ void KALTHORNE_LAUNCH_BOUNDS(launch_shape::kPixelThreads)
#define KALTHORNE_COLUMN_KERNEL __global__ void KALTHORNE_LAUNCH_BOUNDS(launch_shape::kColumnThreads)
#define KALTHORNE_ONE_THREAD_KERNEL __global__ void KALTHORNE_LAUNCH_BOUNDS(1)

// Grid-stride over rows: a 2-D launch's thread visits its own row, then one
// grid height further each time, so a grid that stops at the 65,535 blocks a
// launch may have along y still covers every row. The step never passes
// `height`, so the row index cannot overflow.
#define KALTHORNE_FOR_EACH_ROW(y, height)                                                            \
  for (int y = int(blockIdx.y * blockDim.y + threadIdx.y), y##_step = int(gridDim.y * blockDim.y); \
       y < (height); y = (height) - y > y##_step ? y + y##_step : (height))
// Every pixel (x, y) of a width x height frame that falls to this thread.
#define KALTHORNE_FOR_EACH_PIXEL(x, y, width, height)                                                \
  for (int x = int(blockIdx.x * blockDim.x + threadIdx.x); x < (width); x = (width)) \
  KALTHORNE_FOR_EACH_ROW(y, height)
