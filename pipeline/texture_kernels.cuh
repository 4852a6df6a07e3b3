// Column pass of the recursive Gaussian (Deriche, second order, clamp-to-edge
// start values), callable from host tests and from the column kernel.
#pragma once

#include "cudasim/cuda_compat.h"

#if defined(__CUDACC__)
#define KALTHORNE_UNROLL _Pragma("unroll")
#define KALTHORNE_UNROLL4 _Pragma("unroll 4")
#else
#define KALTHORNE_UNROLL
#define KALTHORNE_UNROLL4
#endif

struct DericheCoefficients {
  float a0, a1, a2, a3, b1, b2, coefp, coefn;
};

// Single-precision coefficients; sigma below 0.1 blurs as 0.1.
__host__ __device__ inline DericheCoefficients deriche_coefficients(float sigma) {
  if (sigma < 0.1f) sigma = 0.1f;
  const float alpha = 1.695f / sigma;
  const float e1 = expf(-alpha);
  const float e2 = expf(-2.0f * alpha);
  const float k = (1.0f - e1) * (1.0f - e1) / (1.0f + 2.0f * alpha * e1 - e2);
  DericheCoefficients c;
  c.a0 = k;
  c.a1 = k * e1 * (alpha - 1.0f);
  c.a2 = k * e1 * (alpha + 1.0f);
  c.a3 = -k * e2;
  c.b1 = -2.0f * e1;
  c.b2 = e2;
  c.coefp = (c.a0 + c.a1) / (1.0f + c.b1 + c.b2);
  c.coefn = (c.a2 + c.a3) / (1.0f + c.b1 + c.b2);
  return c;
}

// One step of the recursion, a * x + b * xp - c * yp - d * yb. Left to
// itself the device compiler fuses such a sum into multiply-adds as the code
// around it suggests, differently from one kernel to the next; spelled out,
// every kernel blurs alike, and as the column blur always has on the device.
// The host computes it term by term.
__host__ __device__ __forceinline__ float deriche_step(float a, float x, float b, float xp, float c, float yp,
                                                       float d, float yb) {
#if defined(__CUDA_ARCH__)
  return __fmaf_rn(-d, yb, __fmaf_rn(-c, yp, __fmaf_rn(b, xp, __fmul_rn(a, x))));
#else
  return a * x + b * xp - c * yp - d * yb;
#endif
}

// The causal and the anti-causal half of the recursion along one line (a
// column, or a row): each step is one call, so every kernel that walks a
// line runs the same operations in the same order.
struct DericheForward {
  float xp, yp, yb;
  // The state before the first sample: the line extended by its first value.
  __host__ __device__ __forceinline__ static DericheForward start(float first, const DericheCoefficients& c) {
    const float y = c.coefp * first;
    return {first, y, y};
  }
  // The causal output at the next sample x.
  __host__ __device__ __forceinline__ float step(float x, const DericheCoefficients& c) {
    const float y = deriche_step(c.a0, x, c.a1, xp, c.b1, yp, c.b2, yb);
    xp = x;
    yb = yp;
    yp = y;
    return y;
  }
};

struct DericheBackward {
  float xn, xa, yn, ya;
  // The state after the last sample: the line extended by its last value.
  __host__ __device__ __forceinline__ static DericheBackward start(float last, const DericheCoefficients& c) {
    const float y = c.coefn * last;
    return {last, last, y, y};
  }
  // The anti-causal output at the sample x, walking back from the end.
  __host__ __device__ __forceinline__ float step(float x, const DericheCoefficients& c) {
    const float y = deriche_step(c.a3, xa, c.a2, xn, c.b1, yn, c.b2, ya);
    xa = xn;
    xn = x;
    ya = yn;
    yn = y;
    return y;
  }
};

// Rows of a column a thread loads before it uses the first of them: each
// row's recursion waits on the one before, so the loads are issued ahead in
// groups and their memory round trips overlap.
constexpr int kRowsAhead = 8;

// Blurs N neighbouring channels of a column: channel k of row r is read at
// in[r * inStep + k] and written at out[r * outStep + k]. Each channel runs
// the one-channel recursion, the same operations in the same order, so N
// channels at once give exactly the N one-channel results. in and out must
// not overlap.
template <int N>
__host__ __device__ inline void deriche_columns(const float* __restrict__ in, size_t inStep,
                                                float* __restrict__ out, size_t outStep, int height,
                                                const DericheCoefficients& c) {
  if (height < 1) return;
  DericheForward forward[N];
  KALTHORNE_UNROLL
  for (int k = 0; k < N; ++k) forward[k] = DericheForward::start(in[k], c);
  int row = 0;
  for (; row < height; row += kRowsAhead) {
    const int rows = height - row < kRowsAhead ? height - row : kRowsAhead;
    float x[kRowsAhead][N];
    KALTHORNE_UNROLL
    for (int r = 0; r < kRowsAhead; ++r)
      KALTHORNE_UNROLL
      for (int k = 0; k < N; ++k) x[r][k] = r < rows ? in[size_t(row + r) * inStep + k] : 0.0f;
    KALTHORNE_UNROLL
    for (int r = 0; r < kRowsAhead; ++r)
      KALTHORNE_UNROLL
      for (int k = 0; k < N; ++k)
        if (r < rows) out[size_t(row + r) * outStep + k] = forward[k].step(x[r][k], c);
  }
  DericheBackward backward[N];
  KALTHORNE_UNROLL
  for (int k = 0; k < N; ++k) backward[k] = DericheBackward::start(in[size_t(height - 1) * inStep + k], c);
  for (row = height - 1; row >= 0; row -= kRowsAhead) {
    const int rows = row + 1 < kRowsAhead ? row + 1 : kRowsAhead;
    float x[kRowsAhead][N], y[kRowsAhead][N];
    KALTHORNE_UNROLL
    for (int r = 0; r < kRowsAhead; ++r)
      KALTHORNE_UNROLL
      for (int k = 0; k < N; ++k) {
        x[r][k] = r < rows ? in[size_t(row - r) * inStep + k] : 0.0f;
        y[r][k] = r < rows ? out[size_t(row - r) * outStep + k] : 0.0f;
      }
    KALTHORNE_UNROLL
    for (int r = 0; r < kRowsAhead; ++r)
      KALTHORNE_UNROLL
      for (int k = 0; k < N; ++k)
        if (r < rows) out[size_t(row - r) * outStep + k] = y[r][k] + backward[k].step(x[r][k], c);
  }
}

// A 32 x 32 block's share of a transpose through shared memory: each thread
// loads the pixel (x0 + threadIdx.x, y0 + threadIdx.y) of an RGB plane (three
// floats a pixel, width x height) into tile[c][threadIdx.y][threadIdx.x]; the
// rows then read back column-wise from the tile, padded to 33 columns so
// those reads avoid bank conflicts. The caller synchronises the block.
__host__ __device__ inline void load_rgb_tile(float (&tile)[3][32][33], const float* plane, int width, int height,
                                              int x0, int y0) {
  const int x = x0 + int(threadIdx.x);
  const int y = y0 + int(threadIdx.y);
  if (y >= height || x >= width) return;
  const float* p = plane + 3 * (size_t(y) * size_t(width) + size_t(x));
  for (int c = 0; c < 3; ++c) tile[c][threadIdx.y][threadIdx.x] = p[c];
}

// One channel: the column that starts at `in` (stepping inStep floats) into
// the column that starts at `out` (stepping outStep floats).
__host__ __device__ inline void deriche_column(const float* in, size_t inStep, float* out, size_t outStep,
                                               int height, const DericheCoefficients& c) {
  deriche_columns<1>(in, inStep, out, outStep, height, c);
}
