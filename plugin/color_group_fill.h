// Colour-correction families (Saturation, Hue, Chroma, Vibrance) of the
// negative and the print side, turned into ColorGroupOptions for one render.
#pragma once

#include "pipeline/texture_options.h"
#include "plugin/param_access.h"
#include "plugin/param_handle_set.h"

namespace kalthorne {

// Gate ColorCorrection; writes only the four negative groups of `options`.
void fillColorGroups(const KalthorneParamHandles& h, const ParamReader& r,
                     ColorGroupOptions& saturation, ColorGroupOptions& hue,
                     ColorGroupOptions& chroma, ColorGroupOptions& vibrance);

// Gate PrintSat/PrintHue/PrintChr/PrintVib; writes only the four print groups.
void fillPrintColorGroups(const KalthorneParamHandles& h, const ParamReader& r,
                          ColorGroupOptions& saturation, ColorGroupOptions& hue,
                          ColorGroupOptions& chroma, ColorGroupOptions& vibrance);

// The values a group holds before any render writes it (constructor's fill).
ColorGroupOptions firstFillSaturationGroup();
ColorGroupOptions firstFillNegativeGroup();  // Hue, Chroma and Vibrance

}  // namespace kalthorne
