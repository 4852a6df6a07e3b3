// Describes the clips, the page "Controls" and every parameter of the
// effect. The factory's describeInContext calls it; the context is not read,
// so every context describes the same effect.
#pragma once

#include "ofxsImageEffect.h"

void describeKalthorneParams(OFX::ImageEffectDescriptor& desc, OFX::ContextEnum context);
