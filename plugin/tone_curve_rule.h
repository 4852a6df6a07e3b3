// Curve rules shared by the negative and the print side. Tone curves: an
// all-zero toe or shoulder triple pins its pivot to the value a pivot
// parameter of 0.5 would give, without reading the pivot.
#pragma once

#include "plugin/param_access.h"

namespace kalthorne {

struct ToneCurveHandles {
    OFX::DoubleParam* shadowPivot;
    OFX::DoubleParam* shadow[3];
    OFX::DoubleParam* midtone[3];
    OFX::DoubleParam* highlightPivot;
    OFX::DoubleParam* highlight[3];
};

struct ToneCurveFields {
    float* shadowPivot;
    float* shadow[3];
    float* midtone[3];
    float* highlightPivot;
    float* highlight[3];
};

constexpr double kToePivotOffset = 0.108993157;
constexpr double kShoulderPivotOffset = 0.011241447;
constexpr double kFixedToePivot = 0.391006843;       // 0.5 - toe offset
constexpr double kFixedShoulderPivot = 0.488758553;  // 0.5 - shoulder offset

void applyToneCurveRule(const ParamReader& r, const ToneCurveHandles& h, const ToneCurveFields& f);

// The bleach curve of the negative and the print side: pivot max(0.05, p);
// each channel's parameter x 2.5 and its gain p / powf(p, field), both from
// the stored floats.
struct BleachHandles {
    OFX::DoubleParam* pivot;
    OFX::DoubleParam* channel[3];
};

struct BleachFields {
    float* pivot;
    float* channel[3];
    float* gain[3];
};

void applyBleachRule(const ParamReader& r, const BleachHandles& h, const BleachFields& f);

}  // namespace kalthorne
