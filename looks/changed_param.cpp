// The instance's parameter-changed action: everything is routed through the
// interplay dispatch, which acts on user edits of its 22 names only.
#if __has_include("plugin/KalthornePlugin.h")
#include "plugin/KalthornePlugin.h"

#include "looks/param_dispatch.h"

#if __has_include("looks/look_file_reader.h")
#include "looks/look_file_reader.h"
#define KALTHORNE_HAS_LOOK_READER 1
#endif

void KalthornePlugin::changedParam(const OFX::InstanceChangedArgs& args, const std::string& paramName) {
    kalthorne::looks::dispatchParamChange(*this, *this, args, paramName, [this](double time) {
#ifdef KALTHORNE_HAS_LOOK_READER
        kalthorne::looks::loadLookFile(*this, time);
#else
        (void)time;  // Look files arrive with the reader; until then the button does nothing.
#endif
    });
}

#endif  // the instance class is present
