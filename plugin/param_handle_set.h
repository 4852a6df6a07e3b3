// One typed handle per parameter with a value (all but the two push
// buttons), named m_ + the parameter name. The effect instance inherits these
// so the interplay code can use them as instance members, and the fills take
// them without needing the whole instance.
#pragma once

#include "params/param_handles.h"
#include "plugin/param_access.h"

struct KalthorneParamHandles {
#define KALTHORNE_DECLARE_HANDLE(Type, Name) OFX::Type* m_##Name = nullptr;
    KALTHORNE_PARAM_HANDLES(KALTHORNE_DECLARE_HANDLE)
#undef KALTHORNE_DECLARE_HANDLE
};
