#include "looks/preset_write.h"

namespace kalthorne {
namespace looks {

const char* const kSixColours[6] = {"Red", "Magenta", "Blue", "Cyan", "Green", "Yellow"};
const char* const kFamilyLong[4] = {"Saturation", "Hue", "Chroma", "Vibrance"};
const char* const kFamilyShort[4] = {"Sat", "Hue", "Chr", "Vib"};
const char* const kZoneValues[4] = {"ZoneLow", "ZoneLowRange", "ZoneHigh", "ZoneHighRange"};
const char* const kSlotWords[11] = {"Two", "Three", "Four",  "Five",   "Six",   "Seven",
                                    "Eight", "Nine", "Ten", "Eleven", "Twelve"};
const char* const kSlotQualities[4] = {"Sat", "Hue", "Chr", "Vib"};

void appendFamily(PresetWrites& out, const std::string& prefix, int family, const double colours[6],
                  double strength, double customHue, double customWidth, double customStrength) {
    const std::string stem = prefix + kFamilyLong[family];
    for (int c = 0; c < 6; ++c) out.push_back({stem + kSixColours[c], WriteKind::Double, colours[c]});
    out.push_back({stem + "Strength", WriteKind::Double, strength});
    out.push_back({stem + "CustomHue", WriteKind::Double, customHue});
    out.push_back({stem + "CustomWidth", WriteKind::Double, customWidth});
    out.push_back({stem + "CustomStrength", WriteKind::Double, customStrength});
    for (const char* zone : kZoneValues) out.push_back({prefix + kFamilyShort[family] + zone, WriteKind::Double, 0.5});
}

void appendSlot(PresetWrites& out, const std::string& prefix, int slot, const double centre[4],
                const double width[4], const double strength[4]) {
    const std::string stem = prefix + "Refine" + kSlotWords[slot];
    for (int q = 0; q < 4; ++q) {
        out.push_back({stem + kSlotQualities[q] + "Hue", WriteKind::Double, centre[q]});
        out.push_back({stem + kSlotQualities[q] + "Width", WriteKind::Double, width[q]});
        out.push_back({stem + kSlotQualities[q] + "Strength", WriteKind::Double, strength[q]});
    }
    for (const char* zone : kZoneValues) out.push_back({stem + zone, WriteKind::Double, 0.5});
}

}  // namespace looks
}  // namespace kalthorne
