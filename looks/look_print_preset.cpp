// The print preset a Look file's print stock line writes.
#include "look_plan.h"

#include "looks/print_presets.h"

namespace kalthorne {
namespace looks {
namespace {

void neutralPrintLook(std::vector<LookStep>& steps)
{
    auto d = [&](std::string name, double v) { steps.push_back({StepKind::SetDouble, std::move(name), v, {}}); };
    auto i = [&](std::string name, int v) { steps.push_back({StepKind::SetInt, std::move(name), double(v), {}}); };
    const std::string P = "Print";

    d("PrintGammaPivot", 0.18);
    for (const char* c : {"Red", "Green", "Blue"})
        d(P + "Gamma" + c, 0.4);
    steps.push_back({StepKind::SetBool, "PrintBleachBypass", 0.0, {}});
    d("PrintCurveShadowPivot", 0.5);
    for (const char* c : {"Red", "Green", "Blue"})
        d(P + "CurveShadow" + c, 0.0);
    for (const char* c : {"Red", "Green", "Blue"})
        d(P + "CurveMidtone" + c, 0.0);
    d("PrintCurveHighlightPivot", 0.5);
    for (const char* c : {"Red", "Green", "Blue"})
        d(P + "CurveHighlight" + c, 0.0);
    d("PrintFilmicPivotR", 0.0);
    d("PrintFilmicSlopeR", 0.0);

    for (int f = 0; f < 4; ++f)
        i(P + kFamilyShort[f], f < 3 ? 1 : 0);
    for (int f = 0; f < 4; ++f)
        i(P + kFamilyShort[f] + "Zone", 0);
    for (int s = 0; s < 6; ++s)
        i(P + "Refine" + kSlotWords[s], 1);
    for (int s = 0; s < 6; ++s)
        i(P + "Refine" + kSlotWords[s] + "Zone", 0);

    for (int f = 0; f < 4; ++f) {
        const std::string stem = P + kFamilyLong[f];
        for (const char* c : kSixColours)
            d(stem + c, 0.5);
        d(stem + "Strength", 0.5);
        d(stem + "CustomHue", 180.0);
        d(stem + "CustomWidth", 60.0);
        d(stem + "CustomStrength", 0.5);
        for (const char* z : kZoneValues)
            d(P + kFamilyShort[f] + z, 0.5);
    }
    for (int s = 0; s < 6; ++s) {
        const std::string stem = P + "Refine" + kSlotWords[s];
        for (const char* q : kSlotQualities) {
            d(stem + q + "Hue", 180.0);
            d(stem + q + "Width", 60.0);
            d(stem + q + "Strength", 0.5);
        }
        for (const char* z : kZoneValues)
            d(stem + z, 0.5);
    }
}

} // namespace

void appendLookPrintPreset(int stock, std::vector<LookStep>& steps)
{
    if (stock == 1) {
        neutralPrintLook(steps);
        return;
    }
    for (const PresetWrite& w : printPresetWrites(stock, PrintPresetUse::LookFile))
        steps.push_back(stepOf(w));
}

} // namespace looks
} // namespace kalthorne
