// The print preset a Look file's print stock line writes.
#include "look_plan.h"

#include "looks/print_presets.h"

namespace kalthorne {
namespace looks {
namespace {

// Print stock 1 ("Custom") in a Look: a neutral print look in full, unlike the
// stock choice's Custom, which only resets the selectors.
PresetWrites neutralPrintLook()
{
    PresetWrites out;
    auto d = [&](const std::string& name, double v) { out.push_back({name, WriteKind::Double, v}); };
    auto i = [&](const std::string& name, int v) { out.push_back({name, WriteKind::Int, double(v)}); };
    const char* const rgb[3] = {"Red", "Green", "Blue"};

    d("PrintGammaPivot", 0.18);
    for (const char* c : rgb)
        d(std::string("PrintGamma") + c, 0.4);
    out.push_back({"PrintBleachBypass", WriteKind::Bool, 0.0});
    d("PrintCurveShadowPivot", 0.5);
    for (const char* c : rgb)
        d(std::string("PrintCurveShadow") + c, 0.0);
    for (const char* c : rgb)
        d(std::string("PrintCurveMidtone") + c, 0.0);
    d("PrintCurveHighlightPivot", 0.5);
    for (const char* c : rgb)
        d(std::string("PrintCurveHighlight") + c, 0.0);
    d("PrintFilmicPivotR", 0.0);
    d("PrintFilmicSlopeR", 0.0);

    for (int f = 0; f < 4; ++f)
        i(std::string("Print") + kFamilyShort[f], f < 3 ? 1 : 0);
    for (int f = 0; f < 4; ++f)
        i(std::string("Print") + kFamilyShort[f] + "Zone", 0);
    for (int s = 0; s < 6; ++s)
        i(std::string("PrintRefine") + kSlotWords[s], 1);
    for (int s = 0; s < 6; ++s)
        i(std::string("PrintRefine") + kSlotWords[s] + "Zone", 0);

    const double half[6] = {0.5, 0.5, 0.5, 0.5, 0.5, 0.5};
    for (int f = 0; f < 4; ++f)
        appendFamily(out, "Print", f, half, 0.5, 180.0, 60.0, 0.5);
    const double centre[4] = {180.0, 180.0, 180.0, 180.0};
    const double width[4] = {60.0, 60.0, 60.0, 60.0};
    for (int s = 0; s < 6; ++s)
        appendSlot(out, "Print", s, centre, width, half);
    return out;
}

} // namespace

void appendLookPrintPreset(int stock, std::vector<LookStep>& steps)
{
    const PresetWrites writes = stock == 1 ? neutralPrintLook() : printPresetWrites(stock, PrintPresetUse::LookFile);
    for (const PresetWrite& w : writes)
        steps.push_back(stepOf(w));
}

} // namespace looks
} // namespace kalthorne
