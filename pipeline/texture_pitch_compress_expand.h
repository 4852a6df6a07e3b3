// The one entry of the GPU pipeline: uploads a frame, runs the stages chosen
// by the render options and downloads the result into dst, all on a stream
// of the call's own with buffers from the device's memory pool; the call
// returns when the device is done with it.
#pragma once

#include "pipeline/texture_options.h"

// src and dst: host memory of frameWidth x frameHeight x channelCount floats,
// rows tightly packed. Returns false, with dst not delivered, when the frame
// is empty or has an unsupported channel count, when any CUDA step fails or
// when a stage fails by its result or by an exception; every device buffer
// is freed on every path. A frame short of device memory waits for the
// device's other renders and is rendered again (device_memory_gate.h); while
// it waits, aborted(abortContext) is asked every kAbortPollMilliseconds, and
// the frame gives up when it returns true (the host's abort; null: never).
extern "C" __attribute__((visibility("default"))) bool texture_pitch_compress_expand(
    const float* src, float* dst, TextureOptionsStruct opts, bool (*aborted)(void* abortContext) = nullptr,
    void* abortContext = nullptr);

// Why the calling thread's last texture_pitch_compress_expand returned false.
enum FrameFailure : int {
  kFrameNotFailed = 0,
  kFrameFailed = 1,  // refused, a CUDA step or a stage failed
  // The frame does not fit in the device's memory with no other render of
  // ours holding any, after the pool's kept memory went back.
  kFrameOutOfMemory = 2,
  // Other renders held the memory it needs for longer than
  // kDeviceMemoryWaitSeconds.
  kFrameWaitedForMemory = 3,
  // The host aborted the frame while it waited for memory.
  kFrameAborted = 4,
};
extern "C" __attribute__((visibility("default"))) FrameFailure texture_pitch_compress_expand_failure();
