// The instance's parameter-changed action: everything is routed through the
// interplay dispatch, which acts on user edits of its 22 names only.
#include "plugin/KalthornePlugin.h"

#include "looks/look_file_reader.h"
#include "looks/param_dispatch.h"

void KalthornePlugin::changedParam(const OFX::InstanceChangedArgs& args, const std::string& paramName) {
    kalthorne::looks::dispatchParamChange(*this, *this, args, paramName, [this](double time) {
        kalthorne::looks::loadLookFile(*this, time);
    });
}
