#include "plugin/refine_slot_fill.h"

#include <algorithm>
#include <cmath>

#include "plugin/intensity_zone.h"

namespace kalthorne {

namespace {

using H = KalthorneParamHandles;
using DoubleHandle = OFX::DoubleParam* H::*;
using IntHandle = OFX::IntParam* H::*;

enum class Side { Negative, Print };

// Centre, breadth and strength of one quality of a slot.
struct QualityHandles {
    DoubleHandle centre, breadth, strength;
};

struct SlotHandles {
    QualityHandles sat, hue, chr, vib;
    IntHandle zone;
    DoubleHandle zoneLow, zoneLowRange, zoneHigh, zoneHighRange;
};

#define KALTHORNE_SLOT(S)                                                                      \
    SlotHandles {                                                                              \
        {&H::m_##S##SatHue, &H::m_##S##SatWidth, &H::m_##S##SatStrength},                      \
            {&H::m_##S##HueHue, &H::m_##S##HueWidth, &H::m_##S##HueStrength},                  \
            {&H::m_##S##ChrHue, &H::m_##S##ChrWidth, &H::m_##S##ChrStrength},                  \
            {&H::m_##S##VibHue, &H::m_##S##VibWidth, &H::m_##S##VibStrength}, &H::m_##S##Zone, \
            &H::m_##S##ZoneLow, &H::m_##S##ZoneLowRange, &H::m_##S##ZoneHigh,                  \
            &H::m_##S##ZoneHighRange                                                           \
    }

const SlotHandles kNegativeSlots[kNegativeRefineSlotCount] = {
    KALTHORNE_SLOT(RefineTwo),   KALTHORNE_SLOT(RefineThree), KALTHORNE_SLOT(RefineFour),
    KALTHORNE_SLOT(RefineFive),  KALTHORNE_SLOT(RefineSix),   KALTHORNE_SLOT(RefineSeven),
    KALTHORNE_SLOT(RefineEight), KALTHORNE_SLOT(RefineNine),  KALTHORNE_SLOT(RefineTen),
    KALTHORNE_SLOT(RefineEleven), KALTHORNE_SLOT(RefineTwelve),
};

const SlotHandles kPrintSlots[kPrintRefineSlotCount] = {
    KALTHORNE_SLOT(PrintRefineTwo),  KALTHORNE_SLOT(PrintRefineThree), KALTHORNE_SLOT(PrintRefineFour),
    KALTHORNE_SLOT(PrintRefineFive), KALTHORNE_SLOT(PrintRefineSix),   KALTHORNE_SLOT(PrintRefineSeven),
};
#undef KALTHORNE_SLOT

const IntHandle kPrintSelectors[kPrintRefineSlotCount] = {
    &H::m_PrintRefineTwo,  &H::m_PrintRefineThree, &H::m_PrintRefineFour,
    &H::m_PrintRefineFive, &H::m_PrintRefineSix,   &H::m_PrintRefineSeven,
};

struct QualityFields {
    float* sextant;
    float* span;
    float* strength;
    uint8_t* on;
    bool spanFloor;
};

// Returns whether the quality is in force.
bool fillQuality(const H& h, const ParamReader& r, const QualityHandles& q, const QualityFields& f,
                 double (*strengthTerm)(double, Side), Side side) {
    const double s = r.read(h.*q.strength);
    if (s == 0.5) {
        *f.on = 0;
        return false;
    }
    *f.strength = static_cast<float>(strengthTerm(s, side));
    *f.sextant = static_cast<float>(r.read(h.*q.centre) / 60.0);
    const double span = r.read(h.*q.breadth) / 180.0;
    *f.span = static_cast<float>(f.spanFloor ? std::max(0.001, span) : span);
    *f.on = 1;
    return true;
}

double satTerm(double s, Side) { return 2.0 * s; }
double hueTerm(double s, Side side) { return side == Side::Negative ? 4.0 * s - 2.0 : 5.0 * s - 2.5; }
double chrTerm(double s, Side) { return std::exp2((4.0 * s - 2.0) * 4.0); }
double vibTerm(double s, Side) { return 2.0 * s - 1.0; }

template <class Flag>
void fillRefineSlot(const H& h, const ParamReader& r, const SlotHandles& sh, RefineSlotOptions& o,
                    Flag& sideOn, Side side) {
    o.slotOn = 0;
    const QualityFields fields[4] = {
        {&o.satHueSextant, &o.satWidthSpan, &o.satStrengthScaled, &o.satOn, true},
        {&o.hueHueSextant, &o.hueWidthSpan, &o.hueStrengthScaled, &o.hueOn, false},
        {&o.chrHueSextant, &o.chrWidthSpan, &o.chrStrengthGain, &o.chrOn, true},
        {&o.vibHueSextant, &o.vibWidthSpan, &o.vibStrengthScaled, &o.vibOn, true},
    };
    const QualityHandles* qualities[4] = {&sh.sat, &sh.hue, &sh.chr, &sh.vib};
    double (*terms[4])(double, Side) = {satTerm, hueTerm, chrTerm, vibTerm};
    for (int i = 0; i < 4; ++i) {
        if (fillQuality(h, r, *qualities[i], fields[i], terms[i], side)) {
            o.slotOn = 1;
            sideOn = 1;
        }
    }

    if (zoneSwitchedOn(r, h.*sh.zone, o.slotOn == 1, side == Side::Print, o))
        fillZoneBands(r, h.*sh.zoneLow, h.*sh.zoneLowRange, h.*sh.zoneHigh, h.*sh.zoneHighRange, o);
}

}  // namespace

void fillRefineSlots(const H& h, const ParamReader& r, int32_t& colorRefineOn,
                     RefineSlotOptions (&slots)[kNegativeRefineSlotCount]) {
    const int selector = r.read(h.m_ColorRefine);
    colorRefineOn = 0;
    if (selector == 0) return;
    for (int i = 0; i < kNegativeRefineSlotCount; ++i)
        fillRefineSlot(h, r, kNegativeSlots[i], slots[i], colorRefineOn, Side::Negative);
}

void fillPrintRefineSlots(const H& h, const ParamReader& r, uint8_t& printRefineOn,
                          RefineSlotOptions (&slots)[kPrintRefineSlotCount]) {
    int any = 0;
    for (IntHandle selector : kPrintSelectors) any |= r.read(h.*selector);
    printRefineOn = 0;
    if (any == 0) return;
    for (int i = 0; i < kPrintRefineSlotCount; ++i)
        fillRefineSlot(h, r, kPrintSlots[i], slots[i], printRefineOn, Side::Print);
}

RefineSlotOptions firstFillNegativeSlot() {
    RefineSlotOptions o;
    o.satHueSextant = o.hueHueSextant = o.chrHueSextant = o.vibHueSextant = 180.0f;
    o.satWidthSpan = o.hueWidthSpan = o.chrWidthSpan = o.vibWidthSpan = 60.0f;
    o.satStrengthScaled = 1.0f;
    o.hueStrengthScaled = o.chrStrengthGain = o.vibStrengthScaled = 0.5f;
    o.zoneLowScaled = o.zoneLowRangeGain = o.zoneHighScaled = o.zoneHighRangeGain = 0.5f;
    return o;
}

}  // namespace kalthorne
