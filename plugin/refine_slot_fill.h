// Hue-selective refine slots of the negative (Two..Twelve) and print
// (Two..Seven) side, turned into RefineSlotOptions for one render.
#pragma once

#include <cstdint>

#include "pipeline/texture_options.h"
#include "plugin/param_access.h"
#include "plugin/param_handle_set.h"

namespace kalthorne {

// Gate ColorRefine; writes colorRefineOn and the negative slots only.
void fillRefineSlots(const KalthorneParamHandles& h, const ParamReader& r, int32_t& colorRefineOn,
                     RefineSlotOptions (&slots)[kNegativeRefineSlotCount]);

// Gate PrintRefineTwo..Seven; writes printRefineOn and the print slots only.
void fillPrintRefineSlots(const KalthorneParamHandles& h, const ParamReader& r, uint8_t& printRefineOn,
                          RefineSlotOptions (&slots)[kPrintRefineSlotCount]);

// A negative slot as the constructor leaves it (print slots stay all zero).
RefineSlotOptions firstFillNegativeSlot();

}  // namespace kalthorne
