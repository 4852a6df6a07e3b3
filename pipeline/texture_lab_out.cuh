// The texture stage's way out of scaled Lab, pixel by pixel: the generic
// conversion for every input gamut, or the dedicated one of the four
// scene-linear gamuts (expanding their luminance when the way into Lab
// compressed it), then the negative soft clip when it is on.
#pragma once

#include "cudasim/cuda_compat.h"
#include "pipeline/colour_lab.cuh"
#include "pipeline/gamut_lab.cuh"
#include "pipeline/gamut_lab_kernels.h"
#include "pipeline/pixel_kernels.cuh"
#include "pipeline/texture_kernels.h"

__host__ __device__ inline Rgb3 dedicated_from_scaled_lab(int gamut, bool expanding, Rgb3 lab) {
  switch (gamut) {
#define KALTHORNE_FROM_LAB_CASE(index, g, gc, ge, ...) \
  case index:                                           \
    return expanding ? from_scaled_lab<ge, true>(lab) : from_scaled_lab<g, false>(lab);
    KALTHORNE_DEDICATED_GAMUTS(KALTHORNE_FROM_LAB_CASE)
#undef KALTHORNE_FROM_LAB_CASE
    default: return lab;
  }
}

__host__ __device__ inline void texture_lab_out(const TextureLabOut& o, const float lab[3], float code[3]) {
  if (o.way == kLabOutGeneric) {
    colour::scaled_lab_to_colour(lab, o.gamut, code);
  } else {
    const Rgb3 v = dedicated_from_scaled_lab(o.gamut, o.way == kLabOutDedicatedExpanding, Rgb3{lab[0], lab[1], lab[2]});
    code[0] = v.r;
    code[1] = v.g;
    code[2] = v.b;
  }
  if (o.softClip != 0)
    for (int c = 0; c < 3; ++c)
      code[c] = highlights_shadows_value(code[c], o.ceiling, o.recover, o.shadowCeiling, o.shadowRecover);
}
