#include "pipeline/deriche_rows.cuh"
#include "pipeline/launch_shapes.h"
#include "pipeline/texture_kernels.h"
#include "pipeline/texture_kernels.cuh"
#include "pipeline/texture_lab_out.cuh"

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

namespace {

// The band sum before a level: 0 at the first (sumIn null), a literal as the
// sum always started.
__device__ __forceinline__ float sum_before(const float* sumIn, size_t i) { return sumIn ? sumIn[i] : 0.0f; }

// Epilogue of a level's row pass: the blurred level into its plane, its band
// into the sum.
struct PitchSharpStore {
  float* __restrict__ level;
  const float* __restrict__ source;
  const float* sumIn;
  float* sum;
  float gain;
  struct Fetched {
    float sumBefore, source;
  };
  struct Finished {
    float level, sum;
  };
  __device__ __forceinline__ Fetched fetch(size_t i) const { return {sum_before(sumIn, i), source[i]}; }
  __device__ __forceinline__ Finished finish(const float (&v)[1], const Fetched& f) const {
    return {v[0], pitch_sharp_value(f.sumBefore, f.source, v[0], gain)};
  }
  __device__ __forceinline__ void write(size_t i, float*, const Finished& d) const {
    level[i] = d.level;
    sum[i] = d.sum;
  }
};

}  // namespace

KALTHORNE_COLUMN_KERNEL pitch_sharp_rows(const float* columns, float* level, const float* source, const float* sumIn,
                                         float* sum, int width, int height, float sigma, float gain) {
  __shared__ float xs[1][32][33], ys[1][32][33];
  const PitchSharpStore store{level, source, sumIn, sum, gain};
  deriche_rows_to<1>(xs, ys, columns, 1, level, 1, store, width, height, int(blockIdx.x) * 32,
                     deriche_coefficients(sigma));
}
CUDASIM_COOPERATIVE_KERNEL(pitch_sharp_rows);

KALTHORNE_PIXEL_KERNEL pitch_sharp_out(const float* level, const float* source, const float* sumIn, const float* lab,
                                       float* out, int width, int height, float gain, TextureLabOut way) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, 1);
    const float* p = lab + 4 * i;
    const float alpha = p[3];  // read with the pixel, not after the stores
    const float blurred = level[i];
    const float band = pitch_sharp_value(sum_before(sumIn, i), source ? source[i] : p[0], blurred, gain);
    const float folded[3] = {pitch_fold_value(band, blurred), p[1], p[2]};
    float code[3];
    texture_lab_out(way, folded, code);
    float* q = out + 4 * i;
    q[0] = code[0];
    q[1] = code[1];
    q[2] = code[2];
    q[3] = alpha;
  }
}
