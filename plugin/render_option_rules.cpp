#include "plugin/render_option_rules.h"

#include <cmath>

namespace kalthorne {

namespace {

// 18 % grey code value per InputGamut option, in option order.
constexpr double kGreyReference[kInputGamutOptions] = {
    0.18,          0.405,        0.458984375,  0.4345703125, 0.18,
    0.18,          0.414,        0.414,        0.414,        0.458984375,
    0.352,         0.391,        0.33333,      0.377,        0.323,
    0.406,         0.41015625,   0.41015625,   0.41015625,   0.4228515625,
    0.343,         0.343,        0.398,        0.398,        0.343,
    0.343,         0.3984375,    0.466,        0.458984375,  0.405,
    0.18,          0.531,        0.531,        0.531,        0.499,
    0.458984375,   0.458984375,  0.458984375,  0.458984375,  0.458984375,
    0.68,          0.68,         0.378,        0.378,        0.212,
    0.336043,      0.531,        0.2784,       0.3835616438356165,
};

}  // namespace

double greyReference(int i) {
    return isChoiceIndexValid(i, kInputGamutOptions) ? kGreyReference[i] : kGreyReference[0];
}

float greyMidField(int i) { return static_cast<float>((greyReference(i) + 0.5) / 2.0); }

ExposureSetting exposureFor(int i, double e) {
    ExposureSetting s;
    if (isDisplayReferredInput(i)) {
        s.mode = 1;
        s.amount = static_cast<float>(std::exp2(5.0 * e));
    } else if (isLinearInput(i)) {
        s.mode = 1;
        s.amount = static_cast<float>(std::exp2(10.0 * e));
    } else {
        s.mode = 2;
        s.amount = static_cast<float>(0.2 * e);
    }
    if (e == 0.0) s.amount = 0.0f;
    return s;
}

CastSetting castRule(int k) {
    if (k == 6504) return {6504, 0};
    // In double from the start: k - 4 in int would overflow for a stored value
    // near the bottom of the int range.
    return {static_cast<int32_t>((static_cast<double>(k) - 4.0) * 0.01 + 1.0), 1};
}

float pivotGain(float p, float g) { return p / powf(p, g); }

float pixelCountFactor(int32_t w, int32_t h) {
    const float k = 1.0f / 2400.0f;
    const float partial = static_cast<float>(w) * k;
    return partial * static_cast<float>(h);
}

}  // namespace kalthorne
