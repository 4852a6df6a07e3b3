#include "looks/param_dispatch.h"

#include "looks/interplay_host.h"
#include "looks/param_reactions.h"
#include "ofx/ofxsImageEffect.h"
#include "plugin/effect_description.h"

namespace kalthorne {
namespace looks {

namespace {

void postQuietly(OFX::ImageEffect& effect, const char* text) noexcept {
    try {
        effect.sendMessage(OFX::Message::eMessageMessage, "", text);
    } catch (...) {
        // Nothing further can be reported when the host refuses the message too.
    }
}

}  // namespace

void dispatchParamChange(OFX::ImageEffect& effect, const KalthorneParamHandles& handles,
                         const OFX::InstanceChangedArgs& args, const std::string& paramName,
                         const std::function<void(double time)>& loadLook) {
    // Only the user's own edits act: the writes below come back as plug-in
    // edits and must not start further reactions, and time changes carry no edit.
    if (args.reason != OFX::eChangeUserEdit) return;
    Reaction reaction;
    if (!findReaction(paramName, &reaction)) return;

    InterplayHost host(effect, handles, args.time);
    bool refused = false;
    try {
        switch (reaction) {
            case Reaction::PrintRuleFromInput:
                applyPrintGroupVisibility(host, PrintRuleEntry::InputGamut);
                break;
            case Reaction::PrintRuleFromBypass:
                applyPrintGroupVisibility(host, PrintRuleEntry::PrintDisplayBypass);
                break;
            case Reaction::CameraStock:
                onCameraStockEdit(host);
                break;
            case Reaction::PrintStock:
                onPrintProfileEdit(host);
                break;
            case Reaction::RgbCoupling:
                onRgbEdit(host, paramName);
                break;
            case Reaction::LoadLook:
                if (loadLook) loadLook(args.time);
                break;
            case Reaction::About:
                postQuietly(effect, kEffectDescription);
                break;
        }
    } catch (...) {
        refused = true;
    }
    if (refused || host.failures() > 0) postQuietly(effect, kRefusedChangeMessage);
}

}  // namespace looks
}  // namespace kalthorne
