// One parameter write of a preset: the parameter's name, the kind of its
// setValue call and the value. Presets are kept as ordered lists of these so
// that the order of the host calls is data, testable without a host.
#pragma once

#include <string>
#include <vector>

namespace kalthorne {
namespace looks {

enum class WriteKind { Double, Int, Bool };

struct PresetWrite {
    std::string name;
    WriteKind kind;
    double value;  // Int and Bool writes carry whole numbers (Bool: 0 or 1)
};

using PresetWrites = std::vector<PresetWrite>;

// Word lists shared by every family and refine-slot name.
extern const char* const kSixColours[6];     // Red Magenta Blue Cyan Green Yellow
extern const char* const kFamilyLong[4];     // Saturation Hue Chroma Vibrance
extern const char* const kFamilyShort[4];    // Sat Hue Chr Vib
extern const char* const kZoneValues[4];     // ZoneLow ZoneLowRange ZoneHigh ZoneHighRange
extern const char* const kSlotWords[11];     // Two .. Twelve
extern const char* const kSlotQualities[4];  // Sat Hue Chr Vib (slot member prefixes)

// The two blocks every preset writes on both sides; `prefix` is "" for the
// negative and "Print" for the print. A family (0..3 in kFamilyLong order)
// writes its six colours, Strength, CustomHue, CustomWidth, CustomStrength,
// then its four zone values at 0.5. A refine slot (0 = Two) writes Hue,
// Width and Strength of its four qualities, then its four zone values at 0.5.
void appendFamily(PresetWrites& out, const std::string& prefix, int family, const double colours[6],
                  double strength, double customHue, double customWidth, double customStrength);
void appendSlot(PresetWrites& out, const std::string& prefix, int slot, const double centre[4],
                const double width[4], const double strength[4]);

}  // namespace looks
}  // namespace kalthorne
