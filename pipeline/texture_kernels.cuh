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

// Blurs N neighbouring channels of a column: channel k of row r is read at
// in[r * inStep + k] and written at out[r * outStep + k]. Each channel runs
// the one-channel recursion, the same operations in the same order, so N
// channels at once give exactly the N one-channel results. in and out must
// not overlap.
template <int N>
__host__ __device__ inline void deriche_columns(const float* in, size_t inStep, float* out, size_t outStep,
                                                int height, const DericheCoefficients& c) {
  if (height < 1) return;
  float xp[N], yp[N], yb[N];
  KALTHORNE_UNROLL
  for (int k = 0; k < N; ++k) {
    xp[k] = in[k];
    yp[k] = c.coefp * xp[k];
    yb[k] = yp[k];
  }
  KALTHORNE_UNROLL4
  for (int row = 0; row < height; ++row) {
    const float* x = in + size_t(row) * inStep;
    float* y = out + size_t(row) * outStep;
    KALTHORNE_UNROLL
    for (int k = 0; k < N; ++k) {
      const float xc = x[k];
      const float yc = deriche_step(c.a0, xc, c.a1, xp[k], c.b1, yp[k], c.b2, yb[k]);
      y[k] = yc;
      xp[k] = xc;
      yb[k] = yp[k];
      yp[k] = yc;
    }
  }
  float xn[N], xa[N], yn[N], ya[N];
  KALTHORNE_UNROLL
  for (int k = 0; k < N; ++k) {
    xn[k] = in[size_t(height - 1) * inStep + k];
    xa[k] = xn[k];
    yn[k] = c.coefn * xn[k];
    ya[k] = yn[k];
  }
  KALTHORNE_UNROLL4
  for (int row = height - 1; row >= 0; --row) {
    const float* x = in + size_t(row) * inStep;
    float* y = out + size_t(row) * outStep;
    KALTHORNE_UNROLL
    for (int k = 0; k < N; ++k) {
      const float yc = deriche_step(c.a3, xa[k], c.a2, xn[k], c.b1, yn[k], c.b2, ya[k]);
      y[k] += yc;
      xa[k] = xn[k];
      xn[k] = x[k];
      ya[k] = yn[k];
      yn[k] = yc;
    }
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
