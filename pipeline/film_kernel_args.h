// By-value argument groups of the negative output and print kernels.
//
// The kernels take several hundred scalars; instead of positional lists they
// receive these groups (and the family and refine-slot records themselves),
// each filled from the render-options record by exactly one function below,
// so a field can never land in the wrong slot.
#pragma once

#include <cstdint>

#include "pipeline/texture_options.h"

namespace film {

// Scale from developed layers and exposure to the negative's density input.
constexpr float kDensityScale = 2058.0f;

// Shadow pivot and per-channel toe, midtone and shoulder of a tone curve.
struct ToneCurveArgs {
  float shadowPivot;
  float shadow[3];
  float midtone[3];
  float highlightPivot;
  float highlight[3];
};

// Bleach bypass: pivot (already folded into the gains), exponents, gains.
struct BleachArgs {
  float pivot;
  float exponent[3];
  float gain[3];
};

struct CastArgs {
  uint8_t castOn;
  int32_t castIndex;
  float tintGtoM;
  float tintRtoC;
};

template <int N>
struct CorrectorArgs {
  ColorGroupOptions saturation;
  ColorGroupOptions hue;
  ColorGroupOptions chroma;
  ColorGroupOptions vibrance;
  int32_t refineOn;
  RefineSlotOptions slots[N];
};
using NegativeCorrectorArgs = CorrectorArgs<kNegativeRefineSlotCount>;
using PrintCorrectorArgs = CorrectorArgs<kPrintRefineSlotCount>;

// Density range of the negative.
struct DensityArgs {
  float greyMid;
  float dmin[3];
  float filmicPivotGain;
  float filmicSlope;
  float dmax[3];
};

struct PrintGammaArgs {
  float pivot;
  float exponent[3];
  int32_t curvesOn;
  float gain[3];
  uint8_t on[3];
};

// Grey point, printer black points and lights, filmic curve, display.
struct PrinterArgs {
  float greyMid;
  float blackPoint[3];
  float filmicPivotGain;
  float filmicSlope;
  int32_t displayGamutOutput;
  float displayScale;
  float light[3];
};

// Everything the negative output reads besides its planes (the bleach is
// read only by the bleach-bypass kernels).
struct NegativeArgs {
  ToneCurveArgs curve;
  BleachArgs bleach;
  int32_t toneCurvesOn;
  float densityScale;
  int32_t inputGamut;
  NegativeCorrectorArgs corrector;
  DensityArgs density;
  CastArgs cast;
  float blendComplement;
};

// Everything the print and the display read (the bleach only with the print
// stage's bleach bypass; the display only the printer).
struct PrintArgs {
  ToneCurveArgs curve;
  PrintGammaArgs gamma;
  BleachArgs bleach;
  PrintCorrectorArgs corrector;
  PrinterArgs printer;
  CastArgs cast;
  int32_t printProfile;
  float printSaturation;
  float blendComplement;
};

inline ToneCurveArgs negative_tone_curve(const TextureOptionsStruct& o) {
  return ToneCurveArgs{o.brewCurveShadowPivotScaled,
                       {o.brewCurveShadowRed, o.brewCurveShadowGreen, o.brewCurveShadowBlue},
                       {o.brewCurveMidtoneRed, o.brewCurveMidtoneGreen, o.brewCurveMidtoneBlue},
                       o.brewCurveHighlightPivotScaled,
                       {o.brewCurveHighlightRed, o.brewCurveHighlightGreen, o.brewCurveHighlightBlue}};
}

inline ToneCurveArgs print_tone_curve(const TextureOptionsStruct& o) {
  return ToneCurveArgs{o.printCurveShadowPivotScaled,
                       {o.printCurveShadowRed, o.printCurveShadowGreen, o.printCurveShadowBlue},
                       {o.printCurveMidtoneRed, o.printCurveMidtoneGreen, o.printCurveMidtoneBlue},
                       o.printCurveHighlightPivotScaled,
                       {o.printCurveHighlightRed, o.printCurveHighlightGreen, o.printCurveHighlightBlue}};
}

inline BleachArgs negative_bleach(const TextureOptionsStruct& o) {
  return BleachArgs{o.brewCurveBleachPivotScaled,
                    {o.brewCurveBleachRedScaled, o.brewCurveBleachGreenScaled, o.brewCurveBleachBlueScaled},
                    {o.brewCurveBleachRedGain, o.brewCurveBleachGreenGain, o.brewCurveBleachBlueGain}};
}

inline BleachArgs print_bleach(const TextureOptionsStruct& o) {
  return BleachArgs{o.printBleachPivotScaled,
                    {o.printBleachRedScaled, o.printBleachGreenScaled, o.printBleachBlueScaled},
                    {o.printBleachRedGain, o.printBleachGreenGain, o.printBleachBlueGain}};
}

inline CastArgs negative_cast(const TextureOptionsStruct& o) {
  return CastArgs{o.negCastOn, o.negCastIndex, o.negTintGtoMScaled, o.negTintRtoCScaled};
}

inline CastArgs print_cast(const TextureOptionsStruct& o) {
  return CastArgs{o.printCastOn, o.printCastIndex, o.printTintGtoMScaled, o.printTintRtoCScaled};
}

template <int N>
inline CorrectorArgs<N> corrector_args(const ColorGroupOptions& saturation, const ColorGroupOptions& hue,
                                       const ColorGroupOptions& chroma, const ColorGroupOptions& vibrance,
                                       int32_t refineOn, const RefineSlotOptions (&slots)[N]) {
  CorrectorArgs<N> a{};
  a.saturation = saturation;
  a.hue = hue;
  a.chroma = chroma;
  a.vibrance = vibrance;
  a.refineOn = refineOn;
  for (int i = 0; i < N; ++i) a.slots[i] = slots[i];
  return a;
}

inline NegativeCorrectorArgs negative_corrector(const TextureOptionsStruct& o) {
  return corrector_args(o.saturationGroup, o.hueGroup, o.chromaGroup, o.vibranceGroup, o.colorRefineOn,
                        o.refineSlots);
}

inline PrintCorrectorArgs print_corrector(const TextureOptionsStruct& o) {
  return corrector_args(o.printSaturationGroup, o.printHueGroup, o.printChromaGroup, o.printVibranceGroup,
                        o.printRefineOn, o.printRefineSlots);
}

inline DensityArgs negative_density(const TextureOptionsStruct& o) {
  return DensityArgs{o.negGreyMid,
                     {o.brewDminRedScaled, o.brewDminGreenScaled, o.brewDminBlueScaled},
                     o.brewFilmicPivotRGain,
                     o.brewFilmicSlopeRScaled,
                     {o.brewDmaxRedScaled, o.brewDmaxGreenScaled, o.brewDmaxBlueScaled}};
}

inline PrintGammaArgs print_gamma(const TextureOptionsStruct& o) {
  return PrintGammaArgs{o.printGammaPivotScaled,
                        {o.printGammaRedScaled, o.printGammaGreenScaled, o.printGammaBlueScaled},
                        o.printCurvesOn,
                        {o.printGammaRedGain, o.printGammaGreenGain, o.printGammaBlueGain},
                        {o.printGammaRedOn, o.printGammaGreenOn, o.printGammaBlueOn}};
}

inline PrinterArgs printer(const TextureOptionsStruct& o) {
  return PrinterArgs{o.printGreyMid,
                     {o.printerBlackPointRedScaled, o.printerBlackPointGreenScaled, o.printerBlackPointBlueScaled},
                     o.printFilmicPivotRGain,
                     o.printFilmicSlopeRScaled,
                     o.displayGamutOutput,
                     o.displayScale,
                     {o.printerLightRedScaled, o.printerLightGreenScaled, o.printerLightBlueScaled}};
}

inline NegativeArgs negative_args(const TextureOptionsStruct& o) {
  return NegativeArgs{negative_tone_curve(o), negative_bleach(o),     o.toneCurvesOn,        kDensityScale,
                      o.inputGamut,           negative_corrector(o),  negative_density(o),   negative_cast(o),
                      o.negBlendComplement};
}

inline PrintArgs print_args(const TextureOptionsStruct& o) {
  return PrintArgs{print_tone_curve(o), print_gamma(o), print_bleach(o),   print_corrector(o), printer(o),
                   print_cast(o),       o.printProfile, o.printSaturation, o.printBlendComplement};
}

}  // namespace film
