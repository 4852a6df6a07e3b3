// Device memory shared by the renders a host runs at once. A render that
// cannot get its memory waits until the device's other renders hand memory
// back and then renders its frame again; it fails for want of memory only
// when the frame does not fit with no other render of ours holding memory on
// the device.
//
// Why wait and retry on the allocation failure, not an admission gate sized
// from cudaMemGetInfo: the frame's need is known only to the stages that
// allocate it, as they go (a second copy of every stage's plan would drift
// from them), and the device is shared with the host and other programs, so
// memory free when a render is admitted can be gone by the time it
// allocates: the failure is the one sure sign, and it has to be handled
// anyway.
//
// Why this cannot deadlock: a render waits only after its attempt has ended
// and handed back everything it held (buffers freed, stream finished), so no
// waiting render holds memory; the renders it waits for never wait in the
// middle of a frame, so each of them ends in finite time. Nothing waits on a
// waiting render.
//
// Why waiting renders get their turn: after a failure a render queues by
// the time it first failed; while any render is queued no new render starts,
// and each render that ends lets the first in the queue try again (a render
// that fails again keeps its place). Should every render with memory end or
// fail, the first in the queue has the device alone: it first hands back the
// memory the pool keeps, then tries once more, and if that fails the frame
// cannot fit. Every wait is bounded.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>

#include "pipeline/device_memory_turns.h"

class DeviceMemoryGate {
 public:
  // Runs attempt(alone) as take_memory_turns does, waiting at most `bound`.
  MemoryTurn run(const std::function<bool(bool alone)>& attempt,
                 std::chrono::steady_clock::duration bound = std::chrono::seconds(kDeviceMemoryWaitSeconds));
  // Renders whose attempt failed and that wait for their turn now.
  size_t waiting();

 private:
  using Lock = std::unique_lock<std::mutex>;
  // Waits, within what is left of `budget`, until `ready` holds.
  template <typename Ready>
  bool wait(Lock& lock, std::chrono::steady_clock::duration& budget, Ready ready);

  std::mutex mutex_;
  std::condition_variable changed_;
  int holders_ = 0;               // renders in an attempt
  bool alone_ = false;            // one of them has the device to itself
  std::set<uint64_t> waiting_;    // tickets of renders whose attempt failed, oldest first
  uint64_t next_ticket_ = 0;
  int ended_ = 0;                 // renders ended since the queue's first waited, not yet answered
};

// The gate of `device`: one per device, shared by every instance.
DeviceMemoryGate& device_memory_gate(int device);
