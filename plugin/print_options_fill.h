// Print and display part of the render-options record for one render.
#pragma once

#include "pipeline/texture_options.h"
#include "plugin/param_access.h"
#include "plugin/param_handle_set.h"

namespace kalthorne {

// `options.inputGamut` must already be set; `printDisplayBypass` is the value
// the render read for its identity test. Returns false when a stored choice
// index lies outside its option list (the frame must then pass through).
bool fillPrintOptions(const KalthorneParamHandles& h, const ParamReader& r, bool printDisplayBypass,
                      TextureOptionsStruct& options);

}  // namespace kalthorne
