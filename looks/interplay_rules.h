// The host-free rules of the parameter interplay: which inputs force the
// print bypass, which controls are shown and hidden together, and the
// arithmetic of the RGB master and channel coupling.
#pragma once

#include <array>
#include <string>

#include "plugin/render_option_rules.h"

namespace kalthorne {
namespace looks {

// InputGamut options whose encoding leaves no room for the print and display
// stages. The render path owns the input classes; the instance constructor
// and every reaction here force the bypass for exactly its gamma-based set.
inline bool isPrintBypassInput(int inputGamut) { return isGammaBasedInput(inputGamut); }

// Shown and hidden together with the camera stock, in this order.
extern const char* const kCameraNegativeGroup[12];
// The print group: PrintProfile, the print-stock controls, the printer point
// controls (in their show order) and DisplayGamutOutput.
extern const char* const kPrintStockControls[5];
extern const char* const kPrinterPointControls[8];
constexpr const char* kPrintProfileName = "PrintProfile";
constexpr const char* kDisplayGamutName = "DisplayGamutOutput";

// One RGB set: a master beside three channels sharing one range.
struct RgbGroup {
    const char* master;
    const char* channels[3];  // Red, Green, Blue
    double lo, hi;
};
enum RgbGroupIndex { kDminGroup, kDmaxGroup, kBlackPointGroup, kLightGroup };
extern const RgbGroup kRgbGroups[4];

// The group that `name` belongs to, or nullptr; `channel` gets 0..2 for a
// channel and -1 for the master.
const RgbGroup* findRgbGroup(const std::string& name, int* channel);

// A channel edit: the master becomes the channels' mean, summed R, G, B.
double channelMean(double r, double g, double b);

// A master edit: the three channels move by the master's offset from their
// mean; what a channel cannot take inside [lo, hi] is split between the other
// two in one pass, and the results are clamped (NaN passes unchanged).
std::array<double, 3> masterShift(double master, double r, double g, double b, double lo, double hi);

}  // namespace looks
}  // namespace kalthorne
