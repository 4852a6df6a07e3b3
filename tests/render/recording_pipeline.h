// A recording stand-in for the GPU pipeline entry, defined in the test
// executable: the bundle's call resolves to it, so tests see the exact record
// a render hands over. It writes src + 1 into dst (so a processed frame is
// told apart from a pass-through) and returns the scripted result, failing
// with the scripted reason. It asks the abort query it is given once, as a
// frame waiting for memory would, and keeps the answers.
#pragma once

#include <vector>

#include "pipeline/texture_pitch_compress_expand.h"

namespace recording {
void reset(bool result = true, FrameFailure failure = kFrameFailed);
std::vector<TextureOptionsStruct> records();
std::vector<bool> abortAnswers();
}  // namespace recording
