// The render-options record: everything one render hands to the GPU pipeline.
//
// Built on the host for every frame (plugin/) and passed BY VALUE to
// texture_pitch_compress_expand(); the pipeline reads nothing else. It is a
// plain, trivially copyable value: 32-bit ints, 32-bit floats and one-byte
// flags (0 or 1), no pointers. Writers and readers agree by field NAME, never
// by offset, so never fill it positionally (aggregate initialisation) and do
// not depend on its byte size.
//
// Every field defaults to 0 so that a value-initialised record is fully
// defined; the plug-in instance gives the non-zero starting values.
#pragma once

#include <cstdint>
#include <type_traits>

// One colour-correction family (Saturation, Hue, Chroma or Vibrance) on the
// negative or on the print side.
struct ColorGroupOptions {
    uint8_t groupOn = 0;            // six-sector adjustment in force
    float redScaled = 0;
    float magentaScaled = 0;
    float blueScaled = 0;
    float cyanScaled = 0;
    float greenScaled = 0;
    float yellowScaled = 0;
    float strengthScaled = 0;
    uint8_t customOn = 0;           // custom hue band in force
    float customHueSextant = 0;     // centre, in sixths of the hue circle
    float customWidthSpan = 0;      // breadth / 180 degrees
    float customStrengthTerm = 0;
    int32_t zoneMode = 0;           // 0 no band, 1 low band (+high if zoneBoth), 2 high band only
    uint8_t zoneBoth = 0;
    float zoneLowScaled = 0;        // 2 x level
    float zoneLowRangeGain = 0;     // 1 / 2^(8 x range - 4)
    float zoneHighScaled = 0;
    float zoneHighRangeGain = 0;
};

// One hue-selective refine slot (negative slots Two..Twelve, print Two..Seven).
struct RefineSlotOptions {
    uint8_t slotOn = 0;
    float satHueSextant = 0;
    float satWidthSpan = 0;
    float satStrengthScaled = 0;
    uint8_t satOn = 0;
    float hueHueSextant = 0;
    float hueWidthSpan = 0;
    float hueStrengthScaled = 0;
    uint8_t hueOn = 0;
    float chrHueSextant = 0;
    float chrWidthSpan = 0;
    float chrStrengthGain = 0;
    uint8_t chrOn = 0;
    float vibHueSextant = 0;
    float vibWidthSpan = 0;
    float vibStrengthScaled = 0;
    uint8_t vibOn = 0;
    int32_t zoneMode = 0;
    uint8_t zoneBoth = 0;
    float zoneLowScaled = 0;
    float zoneLowRangeGain = 0;
    float zoneHighScaled = 0;
    float zoneHighRangeGain = 0;
};

constexpr int kNegativeRefineSlotCount = 11;  // slots Two..Twelve
constexpr int kPrintRefineSlotCount = 6;      // slots Two..Seven

struct TextureOptionsStruct {
    // Input and exposure.
    int32_t inputGamut = 0;
    float exposureAmount = 0;        // factor (mode 1) or offset (mode 2); 0 = no exposure
    int32_t exposureMode = 0;        // 1 multiplicative, 2 additive
    uint8_t hdrComp = 0;

    // Camera soft clip.
    int32_t softClipOn = 0;
    float cameraHighlightsCeiling = 0;
    float cameraHighlightsRecoverScaled = 0;
    float cameraShadowsCeilingScaled = 0;
    float cameraShadowsRecoverScaled = 0;

    // Frame: packed rows of frameWidth x channelCount floats.
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    int32_t channelCount = 0;        // 3 or 4
    int32_t cudaDevice = 0;

    // Six-band texture (pitch) stage.
    uint8_t pitchOff = 0;
    float sopranoPitchScaled = 0;    // band 1, finest
    float mezzoSopranoPitchScaled = 0;
    float altoPitchScaled = 0;
    float tenorPitchScaled = 0;
    float baritonePitchScaled = 0;
    float bassPitchScaled = 0;       // band 6, coarsest
    float ensemblePitchScaled = 0;   // 1.0 counts as off

    // Negative stage.
    int32_t cameraStock = 0;         // 0 = no negative stage
    int32_t negCastIndex = 0;
    uint8_t negCastOn = 0;
    float negTintGtoMScaled = 0;
    float negTintRtoCScaled = 0;
    uint8_t brewSoftClipOn = 0;
    float brewHighlightCeiling = 0;
    float brewHighlightCompressScaled = 0;
    float brewShadowFloorScaled = 0;
    float brewShadowExpandScaled = 0;
    float brewDminRedScaled = 0;
    float brewDminGreenScaled = 0;
    float brewDminBlueScaled = 0;
    float brewDmaxRedScaled = 0;
    float brewDmaxGreenScaled = 0;
    float brewDmaxBlueScaled = 0;
    float negBlendComplement = 0;
    uint8_t brewBleachBypass = 0;
    float silverRedScaled = 0;
    float silverGreenScaled = 0;
    float silverBlueScaled = 0;
    float pullPushScaled = 0;
    float developScaled = 0;
    int32_t agitate = 0;
    float replenishScaled = 0;
    float spectrumBand = 0;
    uint8_t diffuseLoMidOn = 0;
    uint8_t diffuseMidHiOn = 0;
    float diffuseLoMidComplement = 0;
    float diffuseMidHiScaled = 0;    // written on every render with a camera stock

    ColorGroupOptions saturationGroup;
    ColorGroupOptions hueGroup;
    ColorGroupOptions chromaGroup;
    ColorGroupOptions vibranceGroup;
    int32_t colorRefineOn = 0;
    RefineSlotOptions refineSlots[kNegativeRefineSlotCount];

    float negGreyMid = 0;            // halfway between the input's 18% grey and 0.5
    float brewCurveBleachPivotScaled = 0;
    float brewCurveBleachRedScaled = 0;
    float brewCurveBleachGreenScaled = 0;
    float brewCurveBleachBlueScaled = 0;
    float brewCurveShadowPivotScaled = 0;
    float brewCurveShadowRed = 0;
    float brewCurveShadowGreen = 0;
    float brewCurveShadowBlue = 0;
    float brewCurveMidtoneRed = 0;
    float brewCurveMidtoneGreen = 0;
    float brewCurveMidtoneBlue = 0;
    float brewCurveHighlightPivotScaled = 0;
    float brewCurveHighlightRed = 0;
    float brewCurveHighlightGreen = 0;
    float brewCurveHighlightBlue = 0;
    float brewFilmicPivotRGain = 0;
    float brewFilmicSlopeRScaled = 0;
    float brewCurveBleachRedGain = 0;
    float brewCurveBleachGreenGain = 0;
    float brewCurveBleachBlueGain = 0;
    uint8_t toneCurvesOn = 0;
    float pixelCountFactor = 0;      // frame area in units of 2400 pixels

    // Halation.
    uint8_t halationOff = 0;
    float halationBreadthScaled = 0;
    float halationSaturation = 0;
    float halationCyanRed = 0;
    float halationMagentaGreen = 0;
    float halationYellowBlue = 0;
    float halationBlendRComplement = 0;
    float halationBlendGComplement = 0;
    float halationBlendBComplement = 0;

    // Print and display.
    float printGreyMid = 0;
    uint8_t printOff = 0;
    int32_t printProfile = 0;        // 0 = display only
    uint8_t printCastOn = 0;
    int32_t printCastIndex = 0;
    float printTintGtoMScaled = 0;
    float printTintRtoCScaled = 0;
    float printSaturation = 0;
    ColorGroupOptions printSaturationGroup;
    ColorGroupOptions printHueGroup;
    ColorGroupOptions printChromaGroup;
    ColorGroupOptions printVibranceGroup;
    uint8_t printRefineOn = 0;
    RefineSlotOptions printRefineSlots[kPrintRefineSlotCount];
    float printGammaPivotScaled = 0;
    float printGammaRedScaled = 0;
    float printGammaGreenScaled = 0;
    float printGammaBlueScaled = 0;
    float printBleachPivotScaled = 0;
    float printBleachRedScaled = 0;
    float printBleachGreenScaled = 0;
    float printBleachBlueScaled = 0;
    float printCurveShadowPivotScaled = 0;
    float printCurveShadowRed = 0;
    float printCurveShadowGreen = 0;
    float printCurveShadowBlue = 0;
    float printCurveMidtoneRed = 0;
    float printCurveMidtoneGreen = 0;
    float printCurveMidtoneBlue = 0;
    float printCurveHighlightPivotScaled = 0;
    float printCurveHighlightRed = 0;
    float printCurveHighlightGreen = 0;
    float printCurveHighlightBlue = 0;
    uint8_t printGammaRedOn = 0;
    uint8_t printGammaGreenOn = 0;
    uint8_t printGammaBlueOn = 0;
    float printGammaRedGain = 0;
    float printGammaGreenGain = 0;
    float printGammaBlueGain = 0;
    float printBleachRedGain = 0;
    float printBleachGreenGain = 0;
    float printBleachBlueGain = 0;
    uint8_t printCurvesOn = 0;
    float printerBlackPointRedScaled = 0;
    float printerBlackPointGreenScaled = 0;
    float printerBlackPointBlueScaled = 0;
    float printerLightRedScaled = 0;
    float printerLightGreenScaled = 0;
    float printerLightBlueScaled = 0;
    float printBlendComplement = 0;
    uint8_t printBleachBypass = 0;
    float printFilmicPivotRGain = 0;
    float printFilmicSlopeRScaled = 0;
    int32_t displayGamutOutput = 0;
    float displayScale = 0;
};

// Passed by value across the host/pipeline boundary and copied per render.
static_assert(std::is_trivially_copyable<ColorGroupOptions>::value, "plain value");
static_assert(std::is_trivially_copyable<RefineSlotOptions>::value, "plain value");
static_assert(std::is_trivially_copyable<TextureOptionsStruct>::value, "plain value");
