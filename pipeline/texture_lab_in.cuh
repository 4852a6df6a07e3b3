// The texture stage's way into scaled Lab, pixel by pixel (the counterpart
// of texture_lab_out.cuh): the generic conversion for every input gamut, or
// the dedicated one of the four scene-linear gamuts. The Lab frame keeps L'
// also in a plane of its own, which the first texture level reads.
#pragma once

#include "cudasim/cuda_compat.h"
#include "pipeline/colour_lab.cuh"
#include "pipeline/gamut_lab.cuh"
#include "pipeline/gamut_lab_kernels.h"
#include "pipeline/texture_kernels.h"

__host__ __device__ inline Rgb3 dedicated_into_scaled_lab(int gamut, bool compressing, const float code[3]) {
  switch (gamut) {
#define KALTHORNE_INTO_LAB_CASE(index, g, gc, ...) \
  case index:                                      \
    return compressing ? into_scaled_lab<gc, true>(code) : into_scaled_lab<g, false>(code);
    KALTHORNE_DEDICATED_GAMUTS(KALTHORNE_INTO_LAB_CASE)
#undef KALTHORNE_INTO_LAB_CASE
    default: return Rgb3{code[0], code[1], code[2]};
  }
}

// `lab` may not be `code`. The way is not kLabInNone.
__host__ __device__ inline void texture_lab_in(const TextureLabIn& in, const float code[3], float lab[3]) {
  if (in.way == kLabInGeneric) {
    colour::colour_to_scaled_lab(code, in.gamut, lab);
  } else {
    const Rgb3 v = dedicated_into_scaled_lab(in.gamut, in.way == kLabInDedicatedCompressing, code);
    lab[0] = v.r;
    lab[1] = v.g;
    lab[2] = v.b;
  }
}

// Scaled Lab into channels 0 to 2 of pixel px, and L' into the plane
// `lightness` at pixel i where that is not null.
__host__ __device__ inline void store_lab(float* px, float* lightness, size_t i, const float lab[3]) {
  px[0] = lab[0];
  px[1] = lab[1];
  px[2] = lab[2];
  if (lightness) lightness[i] = lab[0];
}
