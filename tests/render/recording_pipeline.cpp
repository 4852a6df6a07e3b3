#include "recording_pipeline.h"

#include <cstddef>
#include <mutex>

#include "pipeline/texture_pitch_compress_expand.h"

namespace {
std::mutex gMutex;
std::vector<TextureOptionsStruct> gRecords;
std::vector<bool> gAbortAnswers;
bool gResult = true;
FrameFailure gFailure = kFrameFailed;
}  // namespace

namespace recording {
void reset(bool result, FrameFailure failure) {
    std::lock_guard<std::mutex> lock(gMutex);
    gRecords.clear();
    gAbortAnswers.clear();
    gResult = result;
    gFailure = failure;
}
std::vector<TextureOptionsStruct> records() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gRecords;
}
std::vector<bool> abortAnswers() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gAbortAnswers;
}
}  // namespace recording

extern "C" __attribute__((visibility("default"))) bool texture_pitch_compress_expand(
    const float* src, float* dst, TextureOptionsStruct options, bool (*aborted)(void*), void* abortContext) {
    // Asked before the lock: the host's answer may take its own.
    const bool abortAsked = aborted != nullptr;
    const bool abortAnswer = abortAsked && aborted(abortContext);
    std::lock_guard<std::mutex> lock(gMutex);
    gRecords.push_back(options);
    if (abortAsked) gAbortAnswers.push_back(abortAnswer);
    if (!gResult) return false;
    const std::size_t n = std::size_t(options.frameWidth) * options.frameHeight * options.channelCount;
    for (std::size_t i = 0; i < n; ++i) dst[i] = src[i] + 1.0f;
    return true;
}

extern "C" __attribute__((visibility("default"))) FrameFailure texture_pitch_compress_expand_failure() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gResult ? kFrameNotFailed : gFailure;
}
