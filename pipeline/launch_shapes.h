// Launch habits shared by every stage: fixed block shapes and grids that
// cover the frame with whole blocks (overhanging threads return at once).
#pragma once

// dim3 only: host sources of both builds include this without the stand-in.
#include <cuda_runtime_api.h>

// Number of blocks of extent b that cover a.
int calc_kernel(int a, int b);

namespace launch_shape {

// Threads of a block of each shape.
constexpr int kPixelThreads = 32 * 32;
constexpr int kColumnThreads = 32;
constexpr int kRowThreads = 1024;
constexpr int kFlatThreads = 1024;

// Per-pixel kernels: 32 x 32 blocks over a W x H image.
inline dim3 pixel_block() { return dim3(32, kPixelThreads / 32, 1); }
inline dim3 pixel_grid(int width, int height) {
  return dim3(unsigned(calc_kernel(width, 32)), unsigned(calc_kernel(height, 32)), 1);
}

// One thread per column of an N-column plane, a warp per block: a column
// recursion has no more parallelism than its columns, and small blocks
// spread them over every multiprocessor (2,160 columns make 68 blocks).
inline dim3 column_block() { return dim3(kColumnThreads, 1, 1); }
inline dim3 column_grid(int columns) { return dim3(unsigned(calc_kernel(columns, 32)), 1, 1); }

// x along a row, y the row.
inline dim3 row_block() { return dim3(kRowThreads, 1, 1); }
inline dim3 row_grid(int width, int height) { return dim3(unsigned((width + 1023) / 1024), unsigned(height), 1); }

// One thread per element of a flat array.
inline dim3 flat_block() { return dim3(kFlatThreads, 1, 1); }

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
#define KALTHORNE_ROW_KERNEL __global__ void KALTHORNE_LAUNCH_BOUNDS(launch_shape::kRowThreads)
#define KALTHORNE_FLAT_KERNEL __global__ void KALTHORNE_LAUNCH_BOUNDS(launch_shape::kFlatThreads)
