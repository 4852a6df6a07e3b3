// The render entry's way to its device's memory gate (device_memory_gate.h).
// The entry is compiled by nvcc against the system's C++ library and the
// gate by the bundle's own, so nothing of either library crosses here:
// functions and their context.
#pragma once

// How long a render waits, in all, for memory other renders hold. Its
// attempts are bounded too: at most three more than there are other renders
// of ours on its device, the last of them with the device to itself.
constexpr int kDeviceMemoryWaitSeconds = 60;
// How often a waiting render asks whether the host aborted its frame.
constexpr int kAbortPollMilliseconds = 50;

enum class MemoryTurn {
  kRan,            // the last attempt did not fail for want of memory
  kNoRoomAlone,    // failed for want of memory with the device to itself
  kWaitedTooLong,  // the bound ran out while other renders held memory
  kAborted,        // the host aborted the frame while it waited
};

// Runs attempt(context, alone) through `device`'s gate until an attempt does
// not fail for want of memory. attempt returns true when it failed for want
// of memory, having handed back all it got; `alone` is true when no other
// render holds memory on the device (the attempt then hands back what the
// pool keeps first). While it waits, the render gives up when
// aborted(abortContext) returns true (aborted may be null: never).
MemoryTurn take_memory_turns(int device, bool (*attempt)(void* context, bool alone), void* context,
                             bool (*aborted)(void* abortContext), void* abortContext);
