#include "recording_pipeline.h"

#include <cstddef>
#include <mutex>

#include "pipeline/texture_pitch_compress_expand.h"

namespace {
std::mutex gMutex;
std::vector<TextureOptionsStruct> gRecords;
bool gResult = true;
FrameFailure gFailure = kFrameFailed;
}  // namespace

namespace recording {
void reset(bool result, FrameFailure failure) {
    std::lock_guard<std::mutex> lock(gMutex);
    gRecords.clear();
    gResult = result;
    gFailure = failure;
}
std::vector<TextureOptionsStruct> records() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gRecords;
}
}  // namespace recording

extern "C" __attribute__((visibility("default"))) bool texture_pitch_compress_expand(
    const float* src, float* dst, TextureOptionsStruct options, bool (*)(void*), void*) {
    std::lock_guard<std::mutex> lock(gMutex);
    gRecords.push_back(options);
    if (!gResult) return false;
    const std::size_t n = std::size_t(options.frameWidth) * options.frameHeight * options.channelCount;
    for (std::size_t i = 0; i < n; ++i) dst[i] = src[i] + 1.0f;
    return true;
}

extern "C" __attribute__((visibility("default"))) FrameFailure texture_pitch_compress_expand_failure() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gResult ? kFrameNotFailed : gFailure;
}
