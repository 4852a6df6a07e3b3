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

__host__ __device__ __forceinline__ void mat3_apply(const float m[9], const float in[3], float out[3]) {
  const float r = in[0], g = in[1], b = in[2];
  out[0] = m[0] * r + m[1] * g + m[2] * b;
  out[1] = m[3] * r + m[4] * g + m[5] * b;
  out[2] = m[6] * r + m[7] * g + m[8] * b;
}

// Grid extent covering n items with blocks of b; never divides by zero and
// never asks for an empty grid dimension.
__host__ __device__ __forceinline__ int grid_extent(int n, int b) {
  if (n <= 0 || b <= 0) return 1;
  return n / b + (n % b != 0 ? 1 : 0);
}

}  // namespace film
