#include "looks/camera_presets.h"

#include <string>

namespace kalthorne {
namespace looks {
namespace {

constexpr double kFilmPrinterBlack = -0.7045;
constexpr double kFilmPrinterLight = 0.75;
constexpr double kCustomPrinterBlack = 0.141;
constexpr double kCustomPrinterLight = 0.909;

// Centre hue of refine slots Three..Six: the same in every stock.
constexpr double kSlotCentres[6] = {0.0 /*per stock*/, 76.0, 50.0, 120.0, 212.3, 0.0 /*per stock*/};

class Writer {
public:
    explicit Writer(PresetWrites& out) : out_(out) {}
    void d(const std::string& name, double v) { out_.push_back({name, WriteKind::Double, v}); }
    void i(const std::string& name, int v) { out_.push_back({name, WriteKind::Int, double(v)}); }
    void b(const std::string& name, bool v) { out_.push_back({name, WriteKind::Bool, v ? 1.0 : 0.0}); }

private:
    PresetWrites& out_;
};

void writeFamily(Writer& w, int family, const double colours[6], double strength, double customHue,
                 double customWidth, double customStrength) {
    const std::string stem = kFamilyLong[family];
    for (int c = 0; c < 6; ++c) w.d(stem + kSixColours[c], colours[c]);
    w.d(stem + "Strength", strength);
    w.d(stem + "CustomHue", customHue);
    w.d(stem + "CustomWidth", customWidth);
    w.d(stem + "CustomStrength", customStrength);
    for (const char* zone : kZoneValues) w.d(std::string(kFamilyShort[family]) + zone, 0.5);
}

// One refine slot: four qualities of {centre, width, strength}, then the zone.
void writeSlot(Writer& w, int slot, const double centre[4], const double width[4], const double strength[4]) {
    const std::string stem = std::string("Refine") + kSlotWords[slot];
    for (int q = 0; q < 4; ++q) {
        w.d(stem + kSlotQualities[q] + "Hue", centre[q]);
        w.d(stem + kSlotQualities[q] + "Width", width[q]);
        w.d(stem + kSlotQualities[q] + "Strength", strength[q]);
    }
    for (const char* zone : kZoneValues) w.d(stem + zone, 0.5);
}

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
    for (const char* n : {"BrewDminRed", "BrewDminGreen", "BrewDminBlue", "BrewDminRGB"}) w.d(n, dmin);
    for (const char* n : {"BrewDmaxRed", "BrewDmaxGreen", "BrewDmaxBlue", "BrewDmaxRGB"}) w.d(n, dmax);
}

// Printer points follow the camera stock only while no print stock owns them.
void writePrinterPoints(Writer& w, int printProfile, double black, double light) {
    if (printProfile != 0 && printProfile != 1) return;
    for (const char* n : {"PrinterBlackPointRed", "PrinterBlackkPointGreen", "PrinterBlackkPointBlue",
                          "PrinterBlackPointsRGB"})
        w.d(n, black);
    for (const char* n : {"PrinterLightRed", "PrinterLightGreen", "PrinterLightBlue", "PrinterLightsRGB"})
        w.d(n, light);
}

void writeStock(Writer& w, const CameraStockRow& r, int printProfile, const CameraSelectors& sel) {
    if (sel.colorCorrection == 0) w.i("ColorCorrection", 1);
    if (sel.colorRefine == 0) w.i("ColorRefine", 1);
    if (sel.toneCurves == 0) w.i("ToneCurves", 5);
    w.i("NegCast", 6504);
    w.d("NegTintGtoM", 0.0);
    w.d("NegTintRtoC", 0.0);

    writeFamily(w, 0, r.saturation, r.saturationStrength, 44.0, r.saturationCustomWidth,
                r.saturationCustomStrength);
    writeFamily(w, 1, r.hue, 0.5, 44.0, r.hueCustomWidth, r.hueCustomStrength);
    writeFamily(w, 2, r.chroma, r.chromaStrength, 44.0, r.chromaCustomWidth, r.chromaCustomStrength);
    const double vibrance[6] = {0.5, 0.5, 0.5, 0.5, 0.5, r.vibranceYellow};
    writeFamily(w, 3, vibrance, 0.5, r.vibranceCustomHue, 60.0, 0.5);

    for (int slot = 0; slot < 11; ++slot) {
        if (slot < 6) {
            double c = kSlotCentres[slot];
            if (slot == 0) c = r.slotTwoCentre;
            if (slot == 5) c = r.slotSevenCentre;
            const SlotWidthStrength& s = r.slots[slot];
            const double centre[4] = {c, c, c, c};
            const double width[4] = {s.satWidth, s.hueWidth, s.chrWidth, 60.0};
            const double strength[4] = {s.satStrength, s.hueStrength, s.chrStrength, 0.5};
            writeSlot(w, slot, centre, width, strength);
        } else {
            const double centre[4] = {180.0, 180.0, 180.0, 180.0};
            const double width[4] = {60.0, 60.0, 60.0, 60.0};
            const double strength[4] = {0.5, 0.5, 0.5, 0.5};
            writeSlot(w, slot, centre, width, strength);
        }
    }

    w.b("BrewBleachBypass", false);
    writeToneCurves(w, r.shadowPivot, r.shadow, r.midtone, r.highlightPivot, r.highlight, r.filmicPivot,
                    r.filmicSlope);
    writeDensities(w, r.dmin, r.dmax);
    w.d("NegBlend", 0.0);
    writePrinterPoints(w, printProfile, kFilmPrinterBlack, kFilmPrinterLight);
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
    for (int family = 0; family < 4; ++family) writeFamily(w, family, neutral, 0.5, 180.0, 60.0, 0.5);
    const double centre[4] = {180.0, 180.0, 180.0, 180.0};
    const double width[4] = {60.0, 60.0, 60.0, 60.0};
    const double strength[4] = {0.5, 0.5, 0.5, 0.5};
    for (int slot = 0; slot < 11; ++slot) writeSlot(w, slot, centre, width, strength);
    writePrinterPoints(w, printProfile, kCustomPrinterBlack, kCustomPrinterLight);
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
    for (const char* n : {"BrewDminRed", "BrewDminGreen", "BrewDminBlue", "BrewDminRGB"}) w.d(n, 0.584);
    for (const char* n : {"BrewDmaxRed", "BrewDmaxGreen", "BrewDmaxBlue", "BrewDmaxRGB"}) w.d(n, 0.838);
    w.d("NegBlend", 0.0);
    return out;
}

}  // namespace looks
}  // namespace kalthorne
