// The names the interplay reacts to, in the order they are tested, and the
// reaction each one starts.
#include "looks/param_dispatch.h"

namespace kalthorne {
namespace looks {

const DispatchEntry kDispatchTable[kDispatchCount] = {
    {"InputGamut", Reaction::PrintRuleFromInput},
    {"CameraStock", Reaction::CameraStock},
    {"BrewDminRGB", Reaction::RgbCoupling},
    {"BrewDminRed", Reaction::RgbCoupling},
    {"BrewDminGreen", Reaction::RgbCoupling},
    {"BrewDminBlue", Reaction::RgbCoupling},
    {"BrewDmaxRGB", Reaction::RgbCoupling},
    {"BrewDmaxRed", Reaction::RgbCoupling},
    {"BrewDmaxGreen", Reaction::RgbCoupling},
    {"BrewDmaxBlue", Reaction::RgbCoupling},
    {"PrintDisplayBypass", Reaction::PrintRuleFromBypass},
    {"PrintProfile", Reaction::PrintStock},
    {"PrinterBlackPointsRGB", Reaction::RgbCoupling},
    {"PrinterBlackPointRed", Reaction::RgbCoupling},
    {"PrinterBlackkPointGreen", Reaction::RgbCoupling},
    {"PrinterBlackkPointBlue", Reaction::RgbCoupling},
    {"PrinterLightsRGB", Reaction::RgbCoupling},
    {"PrinterLightRed", Reaction::RgbCoupling},
    {"PrinterLightGreen", Reaction::RgbCoupling},
    {"PrinterLightBlue", Reaction::RgbCoupling},
    {"LoadLooks", Reaction::LoadLook},
    {"About Brew", Reaction::About},
};

const char* const kRefusedChangeMessage =
    "Brew : The host refused part of a parameter change. Some controls may not be updated";

bool findReaction(const std::string& name, Reaction* reaction) {
    for (const DispatchEntry& e : kDispatchTable) {
        if (name == e.name) {
            if (reaction) *reaction = e.reaction;
            return true;
        }
    }
    return false;
}

}  // namespace looks
}  // namespace kalthorne
