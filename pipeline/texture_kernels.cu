#include "pipeline/launch_shapes.h"
#include "pipeline/texture_kernels.h"
#include "pipeline/texture_kernels.cuh"

KALTHORNE_COLUMN_KERNEL iir_guassian(const float* input, float* output, int width, int height, float sigma,
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

KALTHORNE_COLUMN_KERNEL iir_guassian_rows(const float* input, float* output, int width, int height, float sigma,
                                          int channelStride) {
  __shared__ float xs[1][32][33], ys[1][32][33];
  deriche_rows<1>(xs, ys, input, 1, output, channelStride, width, height, int(blockIdx.x) * 32,
                  deriche_coefficients(sigma));
}
CUDASIM_COOPERATIVE_KERNEL(iir_guassian_rows);

KALTHORNE_PIXEL_KERNEL pitch_sharp(int width, int height, const float* source, const float* blurred,
                                   float* accumulator, float gain, int channelStride) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, channelStride);
    accumulator[i] = accumulator[i] + gain * (source[i] - blurred[i]);
  }
}

KALTHORNE_PIXEL_KERNEL pitch_sharp_next(int width, int height, float* source, const float* blurred,
                                        float* accumulator, float gain, int channelStride) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, channelStride);
    accumulator[i] = accumulator[i] + gain * (source[i] - blurred[i]);
    source[i] = blurred[i];
  }
}

KALTHORNE_PIXEL_KERNEL pitch_accumulate(int width, int height, const float* image, float* accumulator,
                                        int channelStride) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, channelStride);
    accumulator[i] = accumulator[i] + accumulator[i + 2];
    accumulator[i + 1] = image[i + 1];
    accumulator[i + 2] = image[i + 2];
    accumulator[i + 3] = image[i + 3];
  }
}
