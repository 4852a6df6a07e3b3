// Print stage and display rendering of one pixel (linear ARRI Wide Gamut 4
// in, display-referred Rec.709 code values in [0, 1] out).
#pragma once

#include "pipeline/film_corrector.cuh"
#include "pipeline/film_io.cuh"
#include "pipeline/film_kernel_args.h"
#include "pipeline/film_tone.cuh"

namespace film {

// Display only: tone scale with toe, Rec.709 primaries, printer points.
__host__ __device__ __forceinline__ void display_pixel(const float in[3], const float blackPoint[3], const float light[3],
                                              const ToneScale& toneScale, float out[3]) {
  float abc[3], xyz[3], rgb[3];
  tone_scale_abc(in, toneScale, true, abc);
  abc_to_xyz(abc, xyz);
  xyz_to_rec709(xyz, rgb);
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) out[c] = display_printer(rgb[c], blackPoint[c], light[c]);
}

// The D65 print stocks (and Custom) are balanced for a D55 print white.
__host__ __device__ __forceinline__ bool print_adapts_white(int printProfile) {
  return printProfile >= 1 && printProfile <= 5;
}

struct PrintSettings {
  ToneCurveArgs curve;
  PrintGammaArgs gamma;
  const BleachArgs* bleach;  // null: the print-gamma kernel
  const PrintCorrectorArgs* corrector;
  PrinterArgs printer;
  CastTint cast;
  int printProfile;
  float printSaturation;
  float blendComplement;
  ToneScale toneScale;  // tone_scale_for(printer.displayScale), which a pass takes once
  const FamilyGains* gains;  // family_gains of the corrector's Chroma and Vibrance
};

// Print chain from the display tone scale on: to XYZ.
__host__ __device__ __forceinline__ void print_to_xyz(const float in[3], const PrintSettings& s, float xyz[3]) {
  const ToneScale& L = s.toneScale;
  float v[3] = {in[0], in[1], in[2]};
  if (s.bleach) {
    if (s.gamma.curvesOn) {
      FILM_UNROLL
      for (int c = 0; c < 3; ++c)
        v[c] = hold(logc4_decode(tone_curve(logc4_encode(v[c]), s.curve.shadowPivot, s.curve.highlightPivot,
                                            s.printer.greyMid, s.curve.midtone[c], s.curve.shadow[c],
                                            s.curve.highlight[c])));
    }
    float code[3];
    bleach_overlay(v, s.bleach->gain, s.bleach->exponent, code);
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) v[c] = logc4_decode(code[c]);
    float abc[3];
    tone_scale_abc(v, L, false, abc);
    abc_to_xyz(abc, xyz);
    return;
  }
  float abc[3], rgb[3];
  tone_scale_abc(v, L, false, abc);
  unscaled_balanced_to_rgb(abc, rgb);
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) {
    float code = logc4_encode(rgb[c]);
    if (s.gamma.on[c]) code = s.gamma.gain[c] * powf(code, s.gamma.exponent[c]);
    if (s.gamma.curvesOn)
      code = tone_curve(code, s.curve.shadowPivot, s.curve.highlightPivot, s.printer.greyMid, s.curve.midtone[c],
                        s.curve.shadow[c], s.curve.highlight[c]);
    rgb[c] = logc4_decode(clampf(code, kLogC4Black, 1.0f));
  }
  awg4_to_xyz(rgb, xyz);
}

// White, display gamma, filmic curve and printer points.
__host__ __device__ __forceinline__ void print_finish(float xyz[3], const PrintSettings& s, float out[3]) {
  if (print_adapts_white(s.printProfile)) {
    float a[3];
    colour::mat3_mul_vec(d55_to_d65(), xyz, a);
    xyz[0] = a[0];
    xyz[1] = a[1];
    xyz[2] = a[2];
  }
  float rgb[3];
  xyz_to_rec709(xyz, rgb);
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) {
    const float y = rgb[c] > 0.0f ? powf(rgb[c], 0.45454547f) : 0.0f;
    out[c] = print_printer(y, s.printer.filmicPivotGain, s.printer.filmicSlope, s.printer.blackPoint[c],
                           s.printer.light[c]);
  }
}

// One print pixel: `in` is the frame pixel (linear, graded), `plain` the
// print-stage input for the blend. Both come as they are: the negative's
// shadows below black (a Dmin under LogC4 black decodes below 0) reach the
// print unclipped, and only cast and tint hold the pixel before the
// families. Print saturation is not held either; the tone scale and the
// bleach overlay take values below 0.
__host__ __device__ __forceinline__ void print_pixel(const float in[3], const float plain[3], const PrintSettings& s,
                                            float out[3]) {
  float v[3] = {in[0], in[1], in[2]};
  cast_and_tint(v, s.cast);
  const PrintCorrectorArgs& k = *s.corrector;
  colour_corrector(v, k.saturation, k.hue, k.chroma, k.vibrance, k.refineOn != 0, k.slots, kPrintRefineSlotCount,
                   *s.gains);
  if (s.printSaturation != 1.0f) {
    const float y = awg4_luminance(v);
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) v[c] = y + s.printSaturation * (v[c] - y);
  }
  float xyz[3];
  print_to_xyz(v, s, xyz);
  print_finish(xyz, s, out);
  if (s.blendComplement != 1.0f) {
    float partner[3];
    print_to_xyz(plain, s, xyz);
    print_finish(xyz, s, partner);
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) out[c] = out[c] * s.blendComplement + partner[c] * (1.0f - s.blendComplement);
  }
}

}  // namespace film
