// Small rules shared by the negative and the print side of the render-options
// fill, and by the instance's first fill: input classes, grey reference,
// exposure, cast. Pure functions, no host needed.
#pragma once

#include <cstdint>

namespace kalthorne {

// Option counts of the four choice parameters; the host stores the index, so
// a hand-edited project can hold anything.
constexpr int kInputGamutOptions = 49;
constexpr int kCameraStockOptions = 25;
constexpr int kPrintProfileOptions = 10;
constexpr int kDisplayGamutOutputOptions = 15;

inline bool isChoiceIndexValid(int index, int optionCount) {
    return index >= 0 && index < optionCount;
}

// The input classes, defined here so the parameter interplay can use them
// without linking the render path.
//
// Display-referred gamma inputs (Scene Rec.709, sRGB, Rec.2020/2100 Scene,
// P3-D60, P3-D65, P3-DCI, BT.1886, DCDM): exposure exp2(5 E), no print stage.
inline bool isDisplayReferredInput(int i) {
    return i == 1 || i == 27 || i == 29 || i == 31 || i == 32 || i == 33 || i == 34 || i == 46;
}
// The four linear inputs: exposure exp2(10 E).
inline bool isLinearInput(int i) { return i == 0 || i == 4 || i == 5 || i == 30; }
// Gamma-based inputs for which print and display are not offered: the eight
// display-referred ones plus ACESproxy, the two PQ inputs and HLG.
inline bool isGammaBasedInput(int i) {
    return isDisplayReferredInput(i) || i == 8 || i == 42 || i == 43 || i == 44;
}

// Code value of 18 % scene grey in the input encoding; index must be valid.
double greyReference(int inputGamut);
// The grey field of the record: halfway between the grey reference and 0.5.
float greyMidField(int inputGamut);

struct ExposureSetting {
    float amount;
    int32_t mode;  // 1 multiplicative, 2 additive
};
// exposureAmount and exposureMode for an exposure value E (amount is 0 for E 0).
ExposureSetting exposureFor(int inputGamut, double exposure);

struct CastSetting {
    int32_t index;
    uint8_t on;
};
// Colour-temperature cast in kelvin: 6504 is neutral (index 6504, off);
// otherwise index = trunc((k - 4) * 0.01 + 1).
CastSetting castRule(int kelvin);

// The pitch band gain and ensemble value: parameter * 0.2 + 0.4.
inline double pitchScaled(double value) { return value * 0.2 + 0.4; }

// Single-precision gain p / p^g of the bleach and print gamma curves.
float pivotGain(float pivot, float exponent);

// Frame area in units of 2400 pixels, single precision in this order.
float pixelCountFactor(int32_t width, int32_t height);

}  // namespace kalthorne
