// The host-side heart of one render: the identity predicate and the
// conversion of parameter values into the record the GPU pipeline gets.
#pragma once

#include "pipeline/texture_options.h"
#include "plugin/param_access.h"
#include "plugin/param_handle_set.h"

namespace kalthorne {

// The switches that decide whether a frame passes through unchanged.
struct LookSwitches {
    double ensemblePitch = 0;
    int cameraStock = 0;
    bool printDisplayBypass = false;
    bool halationBypass = false;
    double exposure = 0;
    bool pitchBypass = false;
    int softClips = 0;
    // Camera soft clip asked for but with neutral settings (ceiling 1.0 and
    // shadow ceiling 0): it changes nothing, so it counts as off.
    bool softClipNeutral = false;
};

LookSwitches readLookSwitches(const KalthorneParamHandles& h, const ParamReader& r);

// One predicate for isIdentity and for the render core.
bool isNeutralLook(const LookSwitches& s);

enum class RenderPlan { CopySource, Process };

// Fills `options` (a copy of the instance's first fill) for a frame of
// width x height pixels of `channelCount` floats. CopySource means the frame
// passes through: a neutral look, or a stored choice index outside its list.
RenderPlan fillRenderOptions(const KalthorneParamHandles& h, const ParamReader& r, int32_t width,
                             int32_t height, int32_t channelCount, TextureOptionsStruct& options);

// The instance's first fill from the values at construction, revealing the
// controls those values call for (and forcing the print bypass on for a
// gamma-based input).
TextureOptionsStruct firstFill(const KalthorneParamHandles& h, const ParamReader& r, ParamControl& c,
                               int cudaDevice);

}  // namespace kalthorne
