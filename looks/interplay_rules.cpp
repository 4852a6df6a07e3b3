#include "looks/interplay_rules.h"

namespace kalthorne {
namespace looks {

const char* const kCameraNegativeGroup[12] = {
    "NegCast",     "NegTintGtoM", "NegTintRtoC",   "NegBlend",     "BrewDminRGB",   "BrewDminRed",
    "BrewDminGreen", "BrewDminBlue", "BrewDmaxRGB", "BrewDmaxRed", "BrewDmaxGreen", "BrewDmaxBlue"};

const char* const kPrintStockControls[5] = {"PrintCast", "PrintTintGtoM", "PrintTintRtoC", "PrintSaturation",
                                            "PrintBlend"};

const char* const kPrinterPointControls[8] = {
    "PrinterBlackPointsRGB", "PrinterBlackPointRed", "PrinterBlackkPointGreen", "PrinterBlackkPointBlue",
    "PrinterLightsRGB",      "PrinterLightRed",      "PrinterLightGreen",       "PrinterLightBlue"};

const RgbGroup kRgbGroups[4] = {
    {"BrewDminRGB", {"BrewDminRed", "BrewDminGreen", "BrewDminBlue"}, -1.0, 1.0},
    {"BrewDmaxRGB", {"BrewDmaxRed", "BrewDmaxGreen", "BrewDmaxBlue"}, -1.0, 1.0},
    {"PrinterBlackPointsRGB", {"PrinterBlackPointRed", "PrinterBlackkPointGreen", "PrinterBlackkPointBlue"}, -1.0, 1.0},
    {"PrinterLightsRGB", {"PrinterLightRed", "PrinterLightGreen", "PrinterLightBlue"}, 0.0, 1.0},
};

const RgbGroup* findRgbGroup(const std::string& name, int* channel) {
    for (const RgbGroup& g : kRgbGroups) {
        if (name == g.master) {
            if (channel) *channel = -1;
            return &g;
        }
        for (int c = 0; c < 3; ++c) {
            if (name == g.channels[c]) {
                if (channel) *channel = c;
                return &g;
            }
        }
    }
    return nullptr;
}

double channelMean(double r, double g, double b) { return (r + g + b) / 3.0; }

namespace {

double excess(double shifted, double lo, double hi) {
    if (shifted > hi) return shifted - hi;
    if (shifted < lo) return shifted - lo;
    return 0.0;
}

double clampKeepNaN(double v, double lo, double hi) {
    if (v > hi) return hi;
    if (v < lo) return lo;
    return v;
}

}  // namespace

std::array<double, 3> masterShift(double master, double r, double g, double b, double lo, double hi) {
    const double d = master - (r + g + b) / 3.0;
    const double er = excess(r + d, lo, hi);
    const double eg = excess(g + d, lo, hi);
    const double eb = excess(b + d, lo, hi);
    const double nr = r + (d - er + eg / 2 + eb / 2);
    const double ng = g + (d - eg + er / 2 + eb / 2);
    const double nb = b + (d - eb + er / 2 + eg / 2);
    return {clampKeepNaN(nr, lo, hi), clampKeepNaN(ng, lo, hi), clampKeepNaN(nb, lo, hi)};
}

}  // namespace looks
}  // namespace kalthorne
