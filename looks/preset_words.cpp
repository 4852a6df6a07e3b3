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

}  // namespace looks
}  // namespace kalthorne
