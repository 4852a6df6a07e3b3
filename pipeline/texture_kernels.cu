#include "pipeline/launch_shapes.h"
#include "pipeline/texture_kernels.h"
#include "pipeline/texture_kernels.cuh"

KALTHORNE_COLUMN_KERNEL iir_guassian(float* input, float* output, int width, int height, float sigma,
                                     int channelStride) {
  const unsigned x = blockIdx.x * blockDim.x + threadIdx.x;
  if (width <= 0 || x >= unsigned(width)) return;
  const DericheCoefficients c = deriche_coefficients(sigma);
  deriche_column(input + size_t(x) * size_t(channelStride), size_t(width) * size_t(channelStride), output + x,
                 size_t(width), height, c);
}

// One thread per channel of a column: three times the columns in flight of
// a thread per column, each channel's recursion unchanged.
KALTHORNE_COLUMN_KERNEL iir_guassian_rgb(const float* input, float* output, int width, int height, float sigma,
                                         int channelStride) {
  const size_t j = size_t(blockIdx.x) * blockDim.x + threadIdx.x;
  if (width <= 0 || j >= 3 * size_t(width)) return;
  const size_t x = j / 3, k = j % 3;
  const DericheCoefficients c = deriche_coefficients(sigma);
  deriche_column(input + x * size_t(channelStride) + k, size_t(width) * size_t(channelStride), output + 3 * x + k,
                 3 * size_t(width), height, c);
}

// Reads a plane and writes its transpose at a channel stride, through a
// shared tile padded to 33 columns so the column reads avoid bank conflicts.
KALTHORNE_PIXEL_KERNEL u_d_l_r(const float* input, float* output, int width, int height, int channelStride) {
  __shared__ float tile[32][33];
  const int tx = threadIdx.x;
  const int ty = threadIdx.y;
  const int ix = blockIdx.x * 32 + tx;
  const int oy = blockIdx.x * 32 + ty;
  KALTHORNE_FOR_EACH_TILE_ROW(y0, height) {
    const int iy = y0 + ty;
    if (iy < height && ix < width) tile[ty][tx] = input[size_t(iy) * size_t(width) + size_t(ix)];
    __syncthreads();
    const int ox = y0 + tx;
    if (oy < width && ox < height)
      output[(size_t(oy) * size_t(height) + size_t(ox)) * size_t(channelStride)] = tile[tx][ty];
    __syncthreads();
  }
}
CUDASIM_COOPERATIVE_KERNEL(u_d_l_r);

KALTHORNE_PIXEL_KERNEL u_d_l_r_rgb(const float* input, float* output, int width, int height) {
  __shared__ float tile[3][32][33];
  const int tx = threadIdx.x;
  const int ty = threadIdx.y;
  const int oy = blockIdx.x * 32 + ty;
  KALTHORNE_FOR_EACH_TILE_ROW(y0, height) {
    load_rgb_tile(tile, input, width, height, blockIdx.x * 32, y0);
    __syncthreads();
    const int ox = y0 + tx;
    if (oy < width && ox < height) {
      float* q = output + 3 * (size_t(oy) * size_t(height) + size_t(ox));
      for (int c = 0; c < 3; ++c) q[c] = tile[c][tx][ty];
    }
    __syncthreads();
  }
}
CUDASIM_COOPERATIVE_KERNEL(u_d_l_r_rgb);

KALTHORNE_ROW_KERNEL pitch_sharp(int width, int height, const float* source, const float* blurred, float* accumulator,
                                 float gain, int channelStride) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, channelStride);
    accumulator[i] = accumulator[i] + gain * (source[i] - blurred[i]);
  }
}

KALTHORNE_ROW_KERNEL pitch_sharp_next(int width, int height, float* source, const float* blurred, float* accumulator,
                                      float gain, int channelStride) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, channelStride);
    accumulator[i] = accumulator[i] + gain * (source[i] - blurred[i]);
    source[i] = blurred[i];
  }
}

KALTHORNE_ROW_KERNEL pitch_accumulate(int width, int height, const float* image, float* accumulator,
                                      int channelStride) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, channelStride);
    accumulator[i] = accumulator[i] + accumulator[i + 2];
    accumulator[i + 1] = image[i + 1];
    accumulator[i + 2] = image[i + 2];
    accumulator[i + 3] = image[i + 3];
  }
}
