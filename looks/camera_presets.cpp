#include "looks/camera_presets.h"

#include <string>

#include "looks/interplay_rules.h"

namespace kalthorne {
namespace looks {
namespace {

// Centre hue of refine slots Three..Six, the same in every stock; Two and
// Seven come from the stock's row.
constexpr double kSlotCentres[6] = {0.0, 76.0, 50.0, 120.0, 212.3, 0.0};

class Writer {
public:
    explicit Writer(PresetWrites& out) : out_(out) {}
    void d(const std::string& name, double v) { out_.push_back({name, WriteKind::Double, v}); }
    void i(const std::string& name, int v) { out_.push_back({name, WriteKind::Int, double(v)}); }
    void b(const std::string& name, bool v) { out_.push_back({name, WriteKind::Bool, v ? 1.0 : 0.0}); }
    void all(const PresetWrites& writes) { out_.insert(out_.end(), writes.begin(), writes.end()); }
    void family(int f, const double colours[6], double strength, double customHue, double customWidth,
                double customStrength) {
        appendFamily(out_, "", f, colours, strength, customHue, customWidth, customStrength);
    }
    void slot(int s, const double centre[4], const double width[4], const double strength[4]) {
        appendSlot(out_, "", s, centre, width, strength);
    }
    // Hue 180, width 60 and strength 0.5 everywhere: the slot does nothing.
    void neutralSlot(int s) {
        const double centre[4] = {180.0, 180.0, 180.0, 180.0};
        const double width[4] = {60.0, 60.0, 60.0, 60.0};
        const double strength[4] = {0.5, 0.5, 0.5, 0.5};
        slot(s, centre, width, strength);
    }
    // An RGB set's three channels, then its master, all with one value.
    void rgbSet(const RgbGroup& g, double v) {
        for (const char* channel : g.channels) d(channel, v);
        d(g.master, v);
    }

private:
    PresetWrites& out_;
};

void writeToneCurves(Writer& w, double shadowPivot, const double shadow[3], const double midtone[3],
                     double highlightPivot, const double highlight[3], double filmicPivot, double filmicSlope) {
    static const char* const rgb[3] = {"Red", "Green", "Blue"};
    w.d("BrewCurveShadowPivot", shadowPivot);
    for (int c = 0; c < 3; ++c) w.d(std::string("BrewCurveShadow") + rgb[c], shadow[c]);
    for (int c = 0; c < 3; ++c) w.d(std::string("BrewCurveMidtone") + rgb[c], midtone[c]);
    w.d("BrewCurveHighlightPivot", highlightPivot);
    for (int c = 0; c < 3; ++c) w.d(std::string("BrewCurveHighlight") + rgb[c], highlight[c]);
    w.d("BrewFilmicPivotR", filmicPivot);
    w.d("BrewFilmicSlopeR", filmicSlope);
}

void writeDensities(Writer& w, double dmin, double dmax) {
    w.rgbSet(kRgbGroups[kDminGroup], dmin);
    w.rgbSet(kRgbGroups[kDmaxGroup], dmax);
}

// Printer points follow the camera stock only while no print stock owns them.
void writePrinterPoints(Writer& w, int printProfile, int stock) {
    if (printProfile == 0 || printProfile == 1) w.all(printerPointsForCamera(stock));
}

void writeStock(Writer& w, const CameraStockRow& r, int printProfile, const CameraSelectors& sel) {
    if (sel.colorCorrection == 0) w.i("ColorCorrection", 1);
    if (sel.colorRefine == 0) w.i("ColorRefine", 1);
    if (sel.toneCurves == 0) w.i("ToneCurves", 5);
    w.i("NegCast", 6504);
    w.d("NegTintGtoM", 0.0);
    w.d("NegTintRtoC", 0.0);

    w.family(0, r.saturation, r.saturationStrength, 44.0, r.saturationCustomWidth, r.saturationCustomStrength);
    w.family(1, r.hue, 0.5, 44.0, r.hueCustomWidth, r.hueCustomStrength);
    w.family(2, r.chroma, r.chromaStrength, 44.0, r.chromaCustomWidth, r.chromaCustomStrength);
    const double vibrance[6] = {0.5, 0.5, 0.5, 0.5, 0.5, r.vibranceYellow};
    w.family(3, vibrance, 0.5, r.vibranceCustomHue, 60.0, 0.5);

    for (int slot = 0; slot < 6; ++slot) {
        const double c = slot == 0 ? r.slotTwoCentre : slot == 5 ? r.slotSevenCentre : kSlotCentres[slot];
        const SlotWidthStrength& s = r.slots[slot];
        const double centre[4] = {c, c, c, c};
        const double width[4] = {s.satWidth, s.hueWidth, s.chrWidth, 60.0};
        const double strength[4] = {s.satStrength, s.hueStrength, s.chrStrength, 0.5};
        w.slot(slot, centre, width, strength);
    }
    for (int slot = 6; slot < 11; ++slot) w.neutralSlot(slot);

    w.b("BrewBleachBypass", false);
    writeToneCurves(w, r.shadowPivot, r.shadow, r.midtone, r.highlightPivot, r.highlight, r.filmicPivot,
                    r.filmicSlope);
    writeDensities(w, r.dmin, r.dmax);
    w.d("NegBlend", 0.0);
    writePrinterPoints(w, printProfile, r.stock);
}

// Custom: every value back to its catalogue default, tone curves switched on.
void writeCustom(Writer& w, int printProfile, const CameraSelectors& sel) {
    if (sel.toneCurves == 0) w.i("ToneCurves", 5);
    w.i("ColorCorrection", 0);
    w.i("ColorRefine", 0);
    w.b("BrewBleachBypass", false);
    const double shadow[3] = {0.02, 0.02, 0.02};
    const double midtone[3] = {-0.093, -0.093, -0.093};
    const double highlight[3] = {0.145, 0.145, 0.145};
    writeToneCurves(w, 0.669, shadow, midtone, 0.334, highlight, 0.0, 0.014);
    writeDensities(w, 0.584, 0.838);
    w.d("NegBlend", 0.0);
    const double neutral[6] = {0.5, 0.5, 0.5, 0.5, 0.5, 0.5};
    for (int family = 0; family < 4; ++family) w.family(family, neutral, 0.5, 180.0, 60.0, 0.5);
    for (int slot = 0; slot < 11; ++slot) w.neutralSlot(slot);
    writePrinterPoints(w, printProfile, kCameraCustom);
}

}  // namespace

const CameraStockRow* cameraStockRow(int stock) {
    if (stock < kFirstCameraStock || stock > kLastCameraStock) return nullptr;
    return &kCameraStocks[stock - kFirstCameraStock];
}

PresetWrites cameraPresetWrites(int stock, int printProfile, const CameraSelectors& selectors) {
    PresetWrites out;
    Writer w(out);
    if (stock == kCameraCustom) {
        writeCustom(w, printProfile, selectors);
    } else if (const CameraStockRow* row = cameraStockRow(stock)) {
        writeStock(w, *row, printProfile, selectors);
    }
    return out;
}

PresetWrites printerPointWrites(double black, double light) {
    PresetWrites out;
    Writer w(out);
    w.rgbSet(kRgbGroups[kBlackPointGroup], black);
    w.rgbSet(kRgbGroups[kLightGroup], light);
    return out;
}

PresetWrites printerPointsForCamera(int cameraStock) {
    const bool film = cameraStock != 0 && cameraStock != kCameraCustom;
    return film ? printerPointWrites(-0.7045, 0.75) : printerPointWrites(0.141, 0.909);
}

PresetWrites cameraResetWrites() {
    PresetWrites out;
    Writer w(out);
    w.i("ColorCorrection", 0);
    w.i("ColorRefine", 0);
    w.i("ToneCurves", 0);
    w.b("BrewBleachBypass", false);
    w.d("BrewCurveBleachPivot", 0.3);
    for (const char* n : {"BrewCurveBleachRed", "BrewCurveBleachGreen", "BrewCurveBleachBlue"}) w.d(n, 0.0);
    const double zero[3] = {0.0, 0.0, 0.0};
    // The reset's curve block matches the tone-curve order except for its pivots.
    writeToneCurves(w, 0.5, zero, zero, 0.5, zero, 0.0, 0.0);
    writeDensities(w, 0.584, 0.838);
    w.d("NegBlend", 0.0);
    return out;
}

}  // namespace looks
}  // namespace kalthorne
