#include "looks/print_presets.h"

#include <string>

#include "looks/camera_presets.h"

namespace kalthorne {
namespace looks {
namespace {

constexpr double kSlotCentres[6] = {67.0, 76.0, 50.0, 120.0, 212.3, 310.0};

class Writer {
public:
    Writer(PresetWrites& out, PrintPresetUse use) : out_(out), use_(use) {}
    // Values that a Look file's print stock line leaves to its own lines.
    void dChoiceOnly(const std::string& n, double v) {
        if (use_ == PrintPresetUse::StockChoice) d(n, v);
    }
    void iChoiceOnly(const std::string& n, int v) {
        if (use_ == PrintPresetUse::StockChoice) i(n, v);
    }
    void d(const std::string& n, double v) { out_.push_back({n, WriteKind::Double, v}); }
    void i(const std::string& n, int v) { out_.push_back({n, WriteKind::Int, double(v)}); }
    void b(const std::string& n, bool v) {
        if (use_ == PrintPresetUse::StockChoice) out_.push_back({n, WriteKind::Bool, v ? 1.0 : 0.0});
    }
    void allChoiceOnly(const PresetWrites& writes) {
        if (use_ == PrintPresetUse::StockChoice) out_.insert(out_.end(), writes.begin(), writes.end());
    }
    bool forLook() const { return use_ == PrintPresetUse::LookFile; }
    void family(int f, const double colours[6], double strength, double customWidth, double customStrength) {
        appendFamily(out_, "Print", f, colours, strength, 44.0, customWidth, customStrength);
    }
    void slot(int s, double centre, const double width[4], const double strength[4]) {
        const double centres[4] = {centre, centre, centre, centre};
        appendSlot(out_, "Print", s, centres, width, strength);
    }

private:
    PresetWrites& out_;
    PrintPresetUse use_;
};

void writeStock(Writer& w, const PrintStockRow& r) {
    w.iChoiceOnly("PrintCast", 6504);
    w.dChoiceOnly("PrintTintGtoM", 0.0);
    w.dChoiceOnly("PrintTintRtoC", 0.0);
    w.dChoiceOnly("PrintSaturation", 1.0);

    for (int f = 0; f < 4; ++f) w.i(std::string("Print") + kFamilyShort[f], f < 3 ? 1 : 0);
    for (int f = 0; f < 4; ++f) w.i(std::string("Print") + kFamilyShort[f] + "Zone", 0);

    w.family(0, r.saturation, r.saturationStrength, r.saturationCustomWidth, r.saturationCustomStrength);
    w.family(1, r.hue, 0.5, r.hueCustomWidth, r.hueCustomStrength);
    w.family(2, r.chroma, 0.8, r.chromaCustomWidth, r.chromaCustomStrength);
    const double vibrance[6] = {0.5, 0.5, 0.5, 0.5, 0.5, 0.5};
    w.family(3, vibrance, 0.5, 60.0, 0.5);

    for (int s = 0; s < 6; ++s) w.i(std::string("PrintRefine") + kSlotWords[s], 1);
    for (int s = 0; s < 6; ++s) w.i(std::string("PrintRefine") + kSlotWords[s] + "Zone", 0);

    for (int s = 0; s < 6; ++s) {
        const PrintSlotWidthStrength& slot = r.slots[s];
        double hueWidth = slot.hueWidth;
        if (s == 2 && w.forLook()) hueWidth = r.lookRefineFourHueWidth;
        const double width[4] = {slot.satWidth, hueWidth, slot.chrWidth, 60.0};
        const double strength[4] = {slot.satStrength, slot.hueStrength, slot.chrStrength, 0.5};
        w.slot(s, kSlotCentres[s], width, strength);
    }

    static const char* const rgb[3] = {"Red", "Green", "Blue"};
    w.d("PrintGammaPivot", r.gammaPivot);
    for (int c = 0; c < 3; ++c) w.d(std::string("PrintGamma") + rgb[c], r.gamma[c]);
    w.d("PrintCurveShadowPivot", r.shadowPivot);
    for (int c = 0; c < 3; ++c) w.d(std::string("PrintCurveShadow") + rgb[c], r.shadow[c]);
    for (int c = 0; c < 3; ++c) w.d(std::string("PrintCurveMidtone") + rgb[c], 0.0);
    w.d("PrintCurveHighlightPivot", r.highlightPivot);
    for (int c = 0; c < 3; ++c) w.d(std::string("PrintCurveHighlight") + rgb[c], r.highlight[c]);
    w.dChoiceOnly("PrintFilmicPivotR", r.filmicPivot);
    w.dChoiceOnly("PrintFilmicSlopeR", 0.0);

    // Master and channels written directly with one value: a preset is not a
    // user edit, so the RGB coupling never sees these.
    w.allChoiceOnly(printerPointWrites(r.blackPoint, r.light));

    w.dChoiceOnly("PrintBlend", 0.0);
    w.b("PrintBleachBypass", false);
}

}  // namespace

int printStockOfProfile(int printProfile) {
    if (printProfile < 2 || printProfile > 9) return -1;
    return (printProfile - 2) % kPrintStockCount;  // D65 options 2..5, their D55 twins 6..9
}

PresetWrites printPresetWrites(int printProfile, PrintPresetUse use) {
    PresetWrites out;
    const int stock = printStockOfProfile(printProfile);
    if (stock < 0) return out;
    Writer w(out, use);
    writeStock(w, kPrintStocks[stock]);
    return out;
}

}  // namespace looks
}  // namespace kalthorne
