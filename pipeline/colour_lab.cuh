// Generic scaled-Lab conversion for every InputGamut option: code values to
// L' = L*/100, a' = a*/200 + 0.5, b' = b*/200 + 0.5 (D65 reference white for
// every option) and the exact way back.
#pragma once

#include "cudasim/cuda_compat.h"
#include "pipeline/colour_transforms.cuh"

namespace colour {

// Lab reference white (D65) and the forward scale factors 1/Xn and 1/Zn.
constexpr float kLabXn = 0.950489f;
constexpr float kLabZn = 1.08884f;
constexpr float kLabInvXn = 1.05209f;
constexpr float kLabInvZn = 0.9184086f;

// Every conversion into Lab first passes its input through this: one NaN or
// infinite pixel must not reach the recursive blurs of the texture stage,
// which would spread it over the whole frame.
__host__ __device__ __forceinline__ float lab_input(float x) { return finite_or_zero(x); }

__host__ __device__ __forceinline__ float lab_f(float t) {
  return t > 0.008856452f ? cbrtf(t) : 7.787037f * t + 0.137931f;
}
__host__ __device__ __forceinline__ float lab_f_inverse(float f) {
  return f > 0.2068966f ? f * f * f : (f - 0.137931f) * 0.1284185f;
}

__host__ __device__ inline void xyz_to_scaled_lab(const float xyz[3], float lab[3]) {
  const float fx = lab_f(kLabInvXn * xyz[0]);
  const float fy = lab_f(xyz[1]);
  const float fz = lab_f(kLabInvZn * xyz[2]);
  lab[0] = 1.16f * fy - 0.16f;
  lab[1] = 2.5f * (fx - fy) + 0.5f;
  lab[2] = (fy - fz) + 0.5f;
}

__host__ __device__ inline void scaled_lab_to_xyz(const float lab[3], float xyz[3]) {
  const float fy = (lab[0] + 0.16f) * 0.862069f;
  const float fx = fy + (lab[1] - 0.5f) * 0.4f;
  const float fz = fy - (lab[2] - 0.5f);
  xyz[0] = kLabXn * lab_f_inverse(fx);
  xyz[1] = lab_f_inverse(fy);
  xyz[2] = kLabZn * lab_f_inverse(fz);
}

// Code values of option `inputGamut` to scaled Lab. Code values are not
// clamped (PQ codes are: the curve is only defined on [0, 1]); the matrices
// keep each space's own white.
__host__ __device__ inline void colour_to_scaled_lab(const float in[3], int inputGamut, float lab[3]) {
  const OptionInfo info = option_info(inputGamut);
  float x[3], lin[3], xyz[3];
  for (int c = 0; c < 3; ++c) {
    x[c] = lab_input(in[c]);
    if (info.transfer == Transfer::PQ) x[c] = clampf(x[c], 0.0f, 1.0f);
  }
  decode_transfer(info.transfer, x, lin, true);
  for (int c = 0; c < 3; ++c) lin[c] = limit_finite(lin[c]);
  mat3_mul_vec(gamut_to_xyz(info.lab_to_xyz), lin, xyz);
  xyz_to_scaled_lab(xyz, lab);
}

// Scaled Lab back to the code values of option `inputGamut`: for code values
// in [0, 1] the inverse of colour_to_scaled_lab (DCDM excepted near 1, where
// its curve overlaps its pass-through range). Out-of-range results stay finite.
__host__ __device__ inline void scaled_lab_to_colour(const float lab[3], int inputGamut, float out[3]) {
  const OptionInfo info = option_info(inputGamut);
  float l[3], xyz[3], rgb[3];
  for (int c = 0; c < 3; ++c) l[c] = lab_input(lab[c]);
  scaled_lab_to_xyz(l, xyz);
  for (int c = 0; c < 3; ++c) xyz[c] = limit_finite(xyz[c]);
  mat3_mul_vec(gamut_from_xyz(info.lab_to_xyz), xyz, rgb);
  encode_transfer(info.transfer, rgb, out, true);
  if (info.transfer == Transfer::PQ) {
    for (int c = 0; c < 3; ++c) out[c] = clampf(out[c], 0.0f, 1.0f);
  }
  for (int c = 0; c < 3; ++c) out[c] = limit_finite(out[c]);
}

}  // namespace colour
