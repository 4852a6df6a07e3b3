// Column pass of the recursive Gaussian (Deriche, second order, clamp-to-edge
// start values), callable from host tests and from the column kernel.
#pragma once

#include "cudasim/cuda_compat.h"

#if defined(__CUDACC__)
#define KALTHORNE_UNROLL4 _Pragma("unroll 4")
#else
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

// Blurs the column that starts at `in` (stepping inStep floats) into the
// column that starts at `out` (stepping outStep floats). in and out must not
// overlap.
__host__ __device__ inline void deriche_column(const float* in, size_t inStep, float* out, size_t outStep,
                                               int height, const DericheCoefficients& c) {
  if (height < 1) return;
  float xp = in[0];
  float yp = c.coefp * xp;
  float yb = yp;
  KALTHORNE_UNROLL4
  for (int row = 0; row < height; ++row) {
    const float xc = in[size_t(row) * inStep];
    const float yc = c.a0 * xc + c.a1 * xp - c.b1 * yp - c.b2 * yb;
    out[size_t(row) * outStep] = yc;
    xp = xc;
    yb = yp;
    yp = yc;
  }
  float xn = in[size_t(height - 1) * inStep];
  float xa = xn;
  float yn = c.coefn * xn;
  float ya = yn;
  KALTHORNE_UNROLL4
  for (int row = height - 1; row >= 0; --row) {
    const float yc = c.a2 * xn + c.a3 * xa - c.b1 * yn - c.b2 * ya;
    out[size_t(row) * outStep] += yc;
    xa = xn;
    xn = in[size_t(row) * inStep];
    ya = yn;
    yn = yc;
  }
}
