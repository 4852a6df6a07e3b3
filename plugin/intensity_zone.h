// The two intensity bands of a colour group or a refine slot, once its zone
// is switched on. Both records carry the same six zone fields, so one rule
// serves both; a band at its neutral level 0.5 leaves its fields as they were.
#pragma once

#include <cmath>

#include "plugin/param_access.h"

namespace kalthorne {

// A band's range as a gain: 1 / 2^(8 range - 4).
inline double zoneRangeGain(double range) { return 1.0 / std::exp2(8.0 * range - 4.0); }

// Whether the zone is evaluated after the other parts of a group or slot
// (partsOn: any of them in force). The negative side reads no selector while
// nothing is in force and then leaves every zone field alone; the print side
// reads its selector first and writes zoneMode 0 whenever it stops.
template <class Zoned>
bool zoneSwitchedOn(const ParamReader& r, OFX::IntParam* selector, bool partsOn, bool printSide, Zoned& z) {
    if (!printSide && !partsOn) return false;
    if (r.read(selector) == 0 || !partsOn) {
        z.zoneMode = 0;
        return false;
    }
    return true;
}

template <class Zoned>
void fillZoneBands(const ParamReader& r, OFX::DoubleParam* lowLevel, OFX::DoubleParam* lowRange,
                   OFX::DoubleParam* highLevel, OFX::DoubleParam* highRange, Zoned& z) {
    const double low = r.read(lowLevel);
    const double high = r.read(highLevel);
    z.zoneBoth = 0;
    z.zoneMode = 0;
    if (low != 0.5) {
        z.zoneLowScaled = static_cast<float>(2.0 * low);
        z.zoneLowRangeGain = static_cast<float>(zoneRangeGain(r.read(lowRange)));
        z.zoneMode = 1;
    }
    if (high == 0.5) return;
    z.zoneHighScaled = static_cast<float>(2.0 * high);
    z.zoneHighRangeGain = static_cast<float>(zoneRangeGain(r.read(highRange)));
    if (z.zoneMode == 1)
        z.zoneBoth = 1;
    else
        z.zoneMode = 2;
}

}  // namespace kalthorne
