// The film stage's links to the colour conversions: input decoding into the
// working space, output encoding, and the print white adaptation built from
// the module constant tables.
#pragma once

#include "pipeline/colour_tables.cuh"
#include "pipeline/colour_transforms.cuh"
#include "pipeline/film_tone.cuh"

namespace film {

// Decodes the RGB of the pixel at px into linear ARRI Wide Gamut 4; the
// pixel is left as it is (nothing reads the clamped code values).
__host__ __device__ __forceinline__ void decode_to_working(const float* px, int inputGamut, float lin[3]) {
  float code[3] = {px[0], px[1], px[2]};
  input_to_awg4_linear(code, inputGamut, lin);
}

__host__ __device__ __forceinline__ void encode_from_working(const float lin[3], int inputGamut, float code[3]) {
  awg4_linear_to_output(lin, inputGamut, code);
}

// Bradford adaptation from the D55 print white to the D65 display white.
__host__ __device__ __forceinline__ colour::Mat3 d55_to_d65() {
  return colour::bradford_adaptation(COLOUR_TABLE_READ(D55_PRI), COLOUR_TABLE_READ(P3D65_PRI));
}

}  // namespace film
