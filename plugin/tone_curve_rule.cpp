#include "plugin/tone_curve_rule.h"

#include <algorithm>

#include "plugin/render_option_rules.h"

namespace kalthorne {

namespace {

// Reads a triple; true when all three are exactly zero.
bool readTriple(const ParamReader& r, OFX::DoubleParam* const (&h)[3], double (&v)[3]) {
    for (int i = 0; i < 3; ++i) v[i] = r.read(h[i]);
    return v[0] == 0.0 && v[1] == 0.0 && v[2] == 0.0;
}

}  // namespace

void applyToneCurveRule(const ParamReader& r, const ToneCurveHandles& h, const ToneCurveFields& f) {
    double v[3];
    if (readTriple(r, h.shadow, v)) {
        for (int i = 0; i < 3; ++i) *f.shadow[i] = 0.0f;
        *f.shadowPivot = static_cast<float>(kFixedToePivot);
    } else {
        for (int i = 0; i < 3; ++i) *f.shadow[i] = static_cast<float>(v[i]);
        *f.shadowPivot = static_cast<float>(std::max(0.001, r.read(h.shadowPivot) - kToePivotOffset));
    }

    for (int i = 0; i < 3; ++i) *f.midtone[i] = static_cast<float>(r.read(h.midtone[i]));

    if (readTriple(r, h.highlight, v)) {
        for (int i = 0; i < 3; ++i) *f.highlight[i] = 0.0f;
        *f.highlightPivot = static_cast<float>(kFixedShoulderPivot);
    } else {
        for (int i = 0; i < 3; ++i) *f.highlight[i] = static_cast<float>(v[i]);
        *f.highlightPivot =
            static_cast<float>(std::max(0.0, r.read(h.highlightPivot) - kShoulderPivotOffset));
    }
}

void applyBleachRule(const ParamReader& r, const BleachHandles& h, const BleachFields& f) {
    *f.pivot = static_cast<float>(std::max(0.05, r.read(h.pivot)));
    for (int i = 0; i < 3; ++i) {
        *f.channel[i] = static_cast<float>(r.read(h.channel[i]) * 2.5);
        *f.gain[i] = pivotGain(*f.pivot, *f.channel[i]);
    }
}

}  // namespace kalthorne
