// Per-pixel arithmetic of the halation stage, shared by its kernels and the
// tests.
#pragma once

#include "cudasim/cuda_compat.h"
#include "pipeline/colour_transforms.cuh"
#include "pipeline/pixel_kernels.cuh"

namespace halation_math {

// The stage's linear input: the pixel's code values (channels 0 to 2 of px),
// exposed (an ExposureKind), decoded and clamped into ARRI Wide Gamut 4.
__host__ __device__ inline void exposed_linear_input(const float* px, int inputGamut, int exposure,
                                                     float exposureAmount, float out[3]) {
  float exposed[3];
  for (int c = 0; c < 3; ++c) exposed[c] = exposure_value(px[c], exposure, exposureAmount);
  input_to_awg4_linear(exposed, inputGamut, out);
}

// Band fold-back: keep `amount` of the unblurred value.
__host__ __device__ __forceinline__ float sharpen(float image, float blurred, float amount) {
  return blurred + amount * (image - blurred);
}

struct MixTerms {
  float tint[3];   // cyanRed, magentaGreen, yellowBlue
  float blend[3];  // blend complements: 1 keeps the glow, 0 the unblurred input
  float saturation;
};

// Mixes the glow g with the unblurred input o (both linear ARRI Wide Gamut 4)
// and encodes the result into the code values of inputGamut.
__host__ __device__ inline void mix(const float glow[3], const float orig[3], const MixTerms& t, int inputGamut,
                                    float code[3]) {
  float g[3] = {glow[0], glow[1], glow[2]};
  if (t.saturation != 1.0f) {
    // Luminance weights: the Y row of ARRI Wide Gamut 4 to XYZ, from its primaries.
    const colour::Mat3 awg4 = colour::rgb_to_xyz_from_primaries(COLOUR_TABLE_READ(AWG4_PRI));
    const float w[3] = {awg4.m[3], awg4.m[4], awg4.m[5]};
    const float s = t.saturation;
    colour::Mat3 sat{};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) sat.m[r * 3 + c] = (1.0f - s) * w[c] + (r == c ? s : 0.0f);
    const float in[3] = {g[0], g[1], g[2]};
    colour::mat3_mul_vec(sat, in, g);
  }
  float out[3];
  for (int c = 0; c < 3; ++c) {
    const float inv = 1.0f / (1.0f + t.tint[c]);
    const float m = (g[c] * t.tint[c] + orig[c]) * inv;
    const float b = t.blend[c];
    out[c] = b == 1.0f ? m : b * m + (1.0f - b) * orig[c];
  }
  awg4_linear_to_output(out, inputGamut, code);
}

}  // namespace halation_math
