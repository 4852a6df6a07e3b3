#include "plugin/color_group_fill.h"

#include <algorithm>
#include <cmath>

#include "plugin/intensity_zone.h"

namespace kalthorne {

namespace {

using H = KalthorneParamHandles;
using DoubleHandle = OFX::DoubleParam* H::*;
using IntHandle = OFX::IntParam* H::*;

enum class Family { Saturation, Hue, PrintHue, Chroma, Vibrance };

struct FamilyHandles {
    DoubleHandle sector[6];  // Red, Magenta, Blue, Cyan, Green, Yellow
    DoubleHandle strength, customHue, customWidth, customStrength;
    IntHandle zone;
    DoubleHandle zoneLow, zoneLowRange, zoneHigh, zoneHighRange;
    Family family;
};

#define KALTHORNE_FAMILY(F, Z, KIND)                                                       \
    FamilyHandles {                                                                        \
        {&H::m_##F##Red, &H::m_##F##Magenta, &H::m_##F##Blue, &H::m_##F##Cyan,             \
         &H::m_##F##Green, &H::m_##F##Yellow},                                             \
            &H::m_##F##Strength, &H::m_##F##CustomHue, &H::m_##F##CustomWidth,             \
            &H::m_##F##CustomStrength, &H::m_##Z, &H::m_##Z##Low, &H::m_##Z##LowRange,     \
            &H::m_##Z##High, &H::m_##Z##HighRange, KIND                                    \
    }

const FamilyHandles kSaturation = KALTHORNE_FAMILY(Saturation, SatZone, Family::Saturation);
const FamilyHandles kHue = KALTHORNE_FAMILY(Hue, HueZone, Family::Hue);
const FamilyHandles kChroma = KALTHORNE_FAMILY(Chroma, ChrZone, Family::Chroma);
const FamilyHandles kVibrance = KALTHORNE_FAMILY(Vibrance, VibZone, Family::Vibrance);
const FamilyHandles kPrintSaturation =
    KALTHORNE_FAMILY(PrintSaturation, PrintSatZone, Family::Saturation);
const FamilyHandles kPrintHue = KALTHORNE_FAMILY(PrintHue, PrintHueZone, Family::PrintHue);
const FamilyHandles kPrintChroma = KALTHORNE_FAMILY(PrintChroma, PrintChrZone, Family::Chroma);
const FamilyHandles kPrintVibrance =
    KALTHORNE_FAMILY(PrintVibrance, PrintVibZone, Family::Vibrance);
#undef KALTHORNE_FAMILY

double sectorValue(Family f, double v) { return f == Family::Saturation ? 2.0 * v : 2.0 * v - 1.0; }

double strengthValue(Family f, double s) {
    switch (f) {
        case Family::Saturation: return 2.0 * s;
        case Family::Hue:
        case Family::PrintHue: return std::max(0.001, s);
        case Family::Chroma: return s;
        case Family::Vibrance: return 2.0 * s - 1.0;
    }
    return s;
}

double widthSpan(Family f, double w) {
    const double span = w / 180.0;
    return (f == Family::Hue || f == Family::PrintHue) ? span : std::max(0.001, span);
}

double customTerm(Family f, double c, double w) {
    switch (f) {
        case Family::Saturation: return 2.0 * c;
        case Family::Hue: return (2.0 * c - 1.0) * (w / 180.0);
        case Family::PrintHue: return (3.0 * c - 1.5) * (w / 180.0);
        case Family::Chroma: return std::exp2((4.0 * c - 2.0) * 4.0);
        case Family::Vibrance: return 2.0 * c - 1.0;
    }
    return c;
}

// Six-sector part and custom band; returns whether either is in force.
bool fillSectorsAndCustom(const H& h, const ParamReader& r, const FamilyHandles& fh,
                          ColorGroupOptions& g) {
    double v[6];
    bool neutral = true;
    for (int i = 0; i < 6; ++i) {
        v[i] = r.read(h.*fh.sector[i]);
        neutral = neutral && v[i] == 0.5;
    }
    if (neutral) {
        g.groupOn = 0;
    } else {
        float* fields[6] = {&g.redScaled,  &g.magentaScaled, &g.blueScaled,
                            &g.cyanScaled, &g.greenScaled,   &g.yellowScaled};
        for (int i = 0; i < 6; ++i) *fields[i] = static_cast<float>(sectorValue(fh.family, v[i]));
        g.strengthScaled = static_cast<float>(strengthValue(fh.family, r.read(h.*fh.strength)));
        g.groupOn = 1;
    }

    const double c = r.read(h.*fh.customStrength);
    if (c == 0.5) {
        g.customOn = 0;
    } else {
        const double hue = r.read(h.*fh.customHue);
        const double w = r.read(h.*fh.customWidth);
        g.customStrengthTerm = static_cast<float>(customTerm(fh.family, c, w));
        g.customHueSextant = static_cast<float>(hue / 60.0);
        g.customWidthSpan = static_cast<float>(widthSpan(fh.family, w));
        g.customOn = 1;
    }
    return g.groupOn == 1 || g.customOn == 1;
}

void fillGroup(const H& h, const ParamReader& r, const FamilyHandles& fh, bool printSide, ColorGroupOptions& g) {
    const bool partsOn = fillSectorsAndCustom(h, r, fh, g);
    if (zoneSwitchedOn(r, h.*fh.zone, partsOn, printSide, g))
        fillZoneBands(r, h.*fh.zoneLow, h.*fh.zoneLowRange, h.*fh.zoneHigh, h.*fh.zoneHighRange, g);
}

void switchOff(ColorGroupOptions& g) {
    g.groupOn = 0;
    g.customOn = 0;
}

}  // namespace

void fillColorGroups(const H& h, const ParamReader& r, ColorGroupOptions& saturation,
                     ColorGroupOptions& hue, ColorGroupOptions& chroma, ColorGroupOptions& vibrance) {
    if (r.read(h.m_ColorCorrection) == 0) {
        for (ColorGroupOptions* g : {&saturation, &hue, &chroma, &vibrance}) switchOff(*g);
        return;
    }
    fillGroup(h, r, kSaturation, false, saturation);
    fillGroup(h, r, kHue, false, hue);
    fillGroup(h, r, kChroma, false, chroma);
    fillGroup(h, r, kVibrance, false, vibrance);
}

void fillPrintColorGroups(const H& h, const ParamReader& r, ColorGroupOptions& saturation,
                          ColorGroupOptions& hue, ColorGroupOptions& chroma,
                          ColorGroupOptions& vibrance) {
    const int sat = r.read(h.m_PrintSat);
    const int hueSel = r.read(h.m_PrintHue);
    const int chr = r.read(h.m_PrintChr);
    const int vib = r.read(h.m_PrintVib);
    if (sat == 0 && hueSel == 0 && chr == 0 && vib == 0) {
        for (ColorGroupOptions* g : {&saturation, &hue, &chroma, &vibrance}) switchOff(*g);
        return;
    }
    fillGroup(h, r, kPrintSaturation, true, saturation);
    fillGroup(h, r, kPrintHue, true, hue);
    fillGroup(h, r, kPrintChroma, true, chroma);
    fillGroup(h, r, kPrintVibrance, true, vibrance);
}

namespace {
ColorGroupOptions firstFillGroup(float sector, float strength, float custom) {
    ColorGroupOptions g;
    g.redScaled = g.magentaScaled = g.blueScaled = sector;
    g.cyanScaled = g.greenScaled = g.yellowScaled = sector;
    g.strengthScaled = strength;
    g.customHueSextant = 180.0f;  // the parameter defaults as they stand, not converted
    g.customWidthSpan = 60.0f;
    g.customStrengthTerm = custom;
    g.zoneLowScaled = g.zoneLowRangeGain = g.zoneHighScaled = g.zoneHighRangeGain = 0.5f;
    return g;
}
}  // namespace

ColorGroupOptions firstFillSaturationGroup() { return firstFillGroup(1.0f, 1.0f, 1.0f); }
ColorGroupOptions firstFillNegativeGroup() { return firstFillGroup(0.0f, 0.5f, 0.5f); }

}  // namespace kalthorne
