// The negative output of one pixel: density input, cast and tint, the
// colour corrector, tone curves, optional bleach, encoding, density range
// and blend with the ungraded negative.
#pragma once

#include "pipeline/film_corrector.cuh"
#include "pipeline/film_io.cuh"
#include "pipeline/film_kernel_args.h"
#include "pipeline/film_tone.cuh"

namespace film {

constexpr int kLogC4Gamut = 47;

// Steps from the tone curves to the density range, on the linear pixel x
// (held). Returns density code values; `bleach` is null for the plain kernel.
__host__ __device__ __forceinline__ void negative_tail(float x[3], const ToneCurveArgs& curve, bool toneCurvesOn,
                                              const BleachArgs* bleach, int inputGamut, bool printOff,
                                              const DensityArgs& d, float out[3]) {
  float code[3];
  bool coded = false;  // code[] already holds the step-11 input
  if (toneCurvesOn) {
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) {
      code[c] = tone_curve(logc4_encode(x[c]), curve.shadowPivot, curve.highlightPivot, d.greyMid, curve.midtone[c],
                           curve.shadow[c], curve.highlight[c]);
      x[c] = hold(logc4_decode(code[c]));
    }
    // With the print stage next, re-encoding would only give the curve's code back.
    coded = !printOff;
  }
  if (bleach) {
    bleach_overlay(x, bleach->gain, bleach->exponent, code);
    coded = !printOff || inputGamut == kLogC4Gamut;
    if (!coded) {
      FILM_UNROLL
      for (int c = 0; c < 3; ++c) x[c] = logc4_decode(code[c]);
    }
  }
  if (!coded) {
    if (printOff) {
      encode_from_working(x, inputGamut, code);
    } else {
      FILM_UNROLL
      for (int c = 0; c < 3; ++c) code[c] = logc4_encode(x[c]);
    }
  }
  const float floor = inputGamut == kLogC4Gamut ? kLogC4Black : 0.0f;
  FILM_UNROLL
  for (int c = 0; c < 3; ++c)
    out[c] = density_range(code[c], toneCurvesOn, d.filmicPivotGain, d.filmicSlope, d.dmin[c], d.dmax[c], floor);
}

// Everything a negative output kernel reads besides its planes.
struct NegativeSettings {
  ToneCurveArgs curve;
  const BleachArgs* bleach;  // null: no bleach bypass
  bool toneCurvesOn;
  float densityScale;
  int inputGamut;
  const NegativeCorrectorArgs* corrector;
  DensityArgs density;
  CastTint cast;
  bool printOff;
  float blendComplement;
  const FamilyGains* gains;  // family_gains of the corrector's Chroma and Vibrance
};

// One pixel. out: with the print stage off, output code values; with it
// on, linear values for it.
__host__ __device__ __forceinline__ void negative_output_pixel(const float developed[3], const float exposure[3],
                                                      const NegativeSettings& s, float out[3]) {
  float v[3];
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) v[c] = hold(developed[c] * developed[c] * exposure[c] * s.densityScale);
  const float ungraded[3] = {v[0], v[1], v[2]};

  cast_and_tint(v, s.cast);
  const NegativeCorrectorArgs& k = *s.corrector;
  colour_corrector(v, k.saturation, k.hue, k.chroma, k.vibrance, k.refineOn != 0, k.slots, kNegativeRefineSlotCount,
                   *s.gains);

  float graded[3];
  negative_tail(v, s.curve, s.toneCurvesOn, s.bleach, s.inputGamut, s.printOff, s.density, graded);
  if (s.blendComplement != 1.0f) {
    float plain[3] = {ungraded[0], ungraded[1], ungraded[2]};
    float partner[3];
    negative_tail(plain, s.curve, s.toneCurvesOn, s.bleach, s.inputGamut, s.printOff, s.density, partner);
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) graded[c] = graded[c] * s.blendComplement + partner[c] * (1.0f - s.blendComplement);
  }
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) out[c] = s.printOff ? graded[c] : logc4_decode(graded[c]);
}

}  // namespace film
