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
// Why this cannot deadlock: a render waits only before its first attempt or
// after an attempt has ended and handed back everything it held (buffers
// freed, stream finished), so no waiting render holds memory; the renders it
// waits for never wait in the middle of a frame, so each of them ends in
// finite time, and a render given its turn, counted as holding memory from
// then on, waits for nothing before its attempt. Nothing waits on a waiting
// render.
//
// Why waiting renders get their turn: a render that fails queues by the
// time it first failed and keeps its place until it has rendered or given
// up, retries included. While renders are queued a new render is held back,
// and the memory of each render that rendered its frame goes to one render
// in line: the first queued render not trying already tries again, else the
// render held back longest goes in; when the queue empties, all renders held
// back go in. Memory handed back while a failing render was not queued yet,
// and that came to no render in line, is its own: it tries again at once. A
// render whose retries failed twice needs more memory than one render hands
// back: from then on what is handed back comes to it first and nothing else
// starts, so the renders that hold memory only end, and when none does the
// first in the queue has the device alone: it first hands back the memory
// the pool keeps, then tries once more, and if that fails the frame cannot
// fit. Its attempts are thus bounded (device_memory_turns.h); its waits are
// bounded in all, and end early when the host aborts the frame. A render
// that leaves without rendering (given up, aborted, out of time, or an
// exception of its attempt or of the host's query) passes on every
// hand-back that came to it: memory its failed attempts handed back again.
//
// What keeps the count: holders_ counts exactly the places held, one for
// each render in an attempt, each turn given and not yet taken, and each
// render let in and not yet started. Each place, each render's place in
// line or among those held back and each hand-back that came to it is an
// object on the render's stack that gives itself back when it goes, so no
// way out of run() can forget one.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>

#include "pipeline/device_memory_turns.h"
#include "pipeline/steady_condition.h"

class DeviceMemoryGate {
 public:
  using Duration = std::chrono::steady_clock::duration;
  // Runs attempt(alone) as take_memory_turns does, waiting at most `bound`
  // in all; while it waits, aborted() (when given) is asked every
  // kAbortPollMilliseconds. An exception of either ends the render as any
  // other way out does: what it held is given back, then the exception goes
  // on to the caller.
  MemoryTurn run(const std::function<bool(bool alone)>& attempt, const std::function<bool()>& aborted = {},
                 Duration bound = std::chrono::seconds(kDeviceMemoryWaitSeconds));
  // Renders whose attempt failed, queued for their turn.
  size_t waiting();
  // New renders held back while renders are queued.
  size_t held_back();
  // Places held on the device: renders in an attempt, turns given and not
  // yet taken, renders let in and not yet started. 0 when no render of ours
  // is at the gate.
  int holding();

 private:
  using Lock = std::unique_lock<std::mutex>;
  enum class Waited { kReady, kOutOfTime, kAborted };
  // What a render holds at the gate lives on its own stack and gives itself
  // back when it goes, on every way out: rendering, giving up, the host's
  // abort, the bound, an exception. So holders_ counts exactly the places
  // held, and every hand-back that came to a render and that it did not
  // render with goes on to the next in line.
  class Place;
  class Handed;
  class HeldBack;
  class InLine;
  class Unlocked;
  // Waits, within what is left of `budget`, until `ready` holds.
  template <typename Ready>
  Waited wait(Lock& lock, Duration& budget, const std::function<bool()>& aborted, Ready ready);
  // Gives the memory one render handed back to the next render in line.
  void hand_on();
  void give_turn(InLine& render);
  // Lets the first render held back go in; `handed`: with memory handed on.
  void admit(bool handed);

  std::mutex mutex_;
  SteadyCondition changed_;
  int holders_ = 0;              // places held (holding())
  InLine* queue_ = nullptr;      // the first queued render
  HeldBack* arrivals_ = nullptr;  // the first render held back
  uint64_t unclaimed_ = 0;       // times memory handed on came to no render
};

// The gate of `device`: one per device, shared by every instance.
DeviceMemoryGate& device_memory_gate(int device);
