// The 22 parameter names the interplay reacts to and the routing of a change.
// Kept apart from the instance class so the routing can be exercised on any
// parameter set that carries the instance's handles.
#pragma once

#include <functional>
#include <string>

struct KalthorneParamHandles;
namespace OFX {
class ImageEffect;
struct InstanceChangedArgs;
}  // namespace OFX

namespace kalthorne {
namespace looks {

enum class Reaction { PrintRuleFromInput, CameraStock, RgbCoupling, PrintRuleFromBypass, PrintStock, LoadLook, About };

struct DispatchEntry {
    const char* name;
    Reaction reaction;
};
constexpr int kDispatchCount = 22;
extern const DispatchEntry kDispatchTable[kDispatchCount];

// The reaction for a parameter name, compared whole and case-sensitively;
// false when the name is not one of the 22.
bool findReaction(const std::string& name, Reaction* reaction);

// Runs the reaction for a user edit of `paramName`; ignores plug-in edits,
// time changes and other names. Never throws: a refused host call ends in one
// plain host message. `loadLook` performs the Look-file load.
void dispatchParamChange(OFX::ImageEffect& effect, const KalthorneParamHandles& handles,
                         const OFX::InstanceChangedArgs& args, const std::string& paramName,
                         const std::function<void(double time)>& loadLook);

// Posted once when the host refused part of a reaction.
extern const char* const kRefusedChangeMessage;

}  // namespace looks
}  // namespace kalthorne
