// Small per-pixel helpers shared by the film-stage kernels (development,
// negative output, print and display). Everything here is inline
// __host__ __device__ so that tests call exactly what the kernels run.
#pragma once

#include "cudasim/cuda_compat.h"

// Unrolled loops over the three colour channels: the device compiler then
// keeps the little channel arrays in registers (no local memory).
#if defined(__CUDACC__)
#define FILM_UNROLL _Pragma("unroll")
// Large by-value kernel records stay in the parameter bank even where the
// code takes their address (looping over refine slots), instead of being
// copied to local memory.
#define FILM_GRID_CONST __grid_constant__
#else
#define FILM_UNROLL
#define FILM_GRID_CONST
#endif

namespace film {

// Working-space ceiling: the linear value of LogC4 code value 1.0.
constexpr float kHoldMax = 469.8f;
// Film-lab planes hold light scaled by this factor.
constexpr float kLabScale = 880.037292f;
// LogC4 black, the lowest code value a linear 0 encodes to.
constexpr float kLogC4Black = 0.0929f;

// Clamp that also sends NaN to the lower bound (fmaxf drops the NaN).
__host__ __device__ __forceinline__ float clampf(float x, float lo, float hi) {
  return fminf(fmaxf(x, lo), hi);
}
__host__ __device__ __forceinline__ float hold(float x) { return clampf(x, 0.0f, kHoldMax); }

__host__ __device__ __forceinline__ void hold3(float v[3]) {
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) v[c] = hold(v[c]);
}

// ARRI LogC4 code value of a linear value, as the tone curves use it
// (linear 0 or below gives the curve's foot, NaN too).
__host__ __device__ __forceinline__ float logc4_encode(float x) {
  if (!(x > 0.0f)) return 0.09286413f;
  return (log2f(2231.8264f * x + 64.0f) - 6.0f) * 0.06479542f + 0.09286413f;
}

__host__ __device__ __forceinline__ float logc4_decode(float v) {
  return (exp2f((v - 0.09286413f) * 14.0f * 1.1023707f + 6.0f) - 64.0f) * 0.00044806354f;
}

// ARRI Wide Gamut 4 luminance weights (the Y row of its matrix to XYZ).
constexpr float kAwg4LumR = 0.2545242f;
constexpr float kAwg4LumG = 0.7814777f;
constexpr float kAwg4LumB = -0.0360019f;

__host__ __device__ __forceinline__ float awg4_luminance(const float v[3]) {
  return kAwg4LumR * v[0] + kAwg4LumG * v[1] + kAwg4LumB * v[2];
}

// Balanced components: each row, scaled by its factor, sums to 1, so a
// neutral pixel keeps its value in all three components (the corrector and
// the display rendering use the same rows). The factors are the exact
// reciprocals of the row sums; the rounded factors 1.09073019, 0.93417782
// and 1.68279064 miss 1 by up to 3.5e-6, a spread that strong saturation
// and zone settings amplify into a tint of grey pixels of up to 2 %.
constexpr double kBalancedRowSum0 = 0.02125437 + 0.86768055 + 0.02788039;
constexpr double kBalancedRowSum1 = 0.40008479 + 0.70538574 - 0.03500678;
constexpr double kBalancedRowSum2 = 0.02630682 - 0.05117194 + 0.61911416;
constexpr float kBalancedFactor0 = (float)(1.0 / kBalancedRowSum0);
constexpr float kBalancedFactor1 = (float)(1.0 / kBalancedRowSum1);
constexpr float kBalancedFactor2 = (float)(1.0 / kBalancedRowSum2);
// Applied on the way back: the row sums themselves.
constexpr float kBalancedInverse0 = (float)kBalancedRowSum0;
constexpr float kBalancedInverse1 = (float)kBalancedRowSum1;
constexpr float kBalancedInverse2 = (float)kBalancedRowSum2;

// Balanced components without the row factors.
__host__ __device__ __forceinline__ void rgb_to_unscaled_balanced(const float rgb[3], float out[3]) {
  const float r = rgb[0], g = rgb[1], b = rgb[2];
  out[0] = 0.02125437f * r + 0.86768055f * g + 0.02788039f * b;
  out[1] = 0.40008479f * r + 0.70538574f * g - 0.03500678f * b;
  out[2] = 0.02630682f * r - 0.05117194f * g + 0.61911416f * b;
}

__host__ __device__ __forceinline__ void to_balanced(const float rgb[3], float out[3]) {
  rgb_to_unscaled_balanced(rgb, out);
  out[0] *= kBalancedFactor0;
  out[1] *= kBalancedFactor1;
  out[2] *= kBalancedFactor2;
}

// The inverse of the unscaled matrix.
__host__ __device__ __forceinline__ void unscaled_balanced_to_rgb(const float abc[3], float rgb[3]) {
  const float a = abc[0], b = abc[1], c = abc[2];
  rgb[0] = -2.0953469f * a + 2.5949328f * b + 0.24108529f * c;
  rgb[1] = 1.1977828f * a - 0.05986257f * b - 0.05732423f * c;
  rgb[2] = 0.18803446f * a - 0.11520932f * b + 1.600229f * c;
}

__host__ __device__ __forceinline__ void from_balanced(const float x[3], float rgb[3]) {
  const float abc[3] = {x[0] * kBalancedInverse0, x[1] * kBalancedInverse1, x[2] * kBalancedInverse2};
  unscaled_balanced_to_rgb(abc, rgb);
}

}  // namespace film
