#include "pipeline/device_memory_gate.h"

#include <mutex>
#include <new>

template <typename Ready>
bool DeviceMemoryGate::wait(Lock& lock, std::chrono::steady_clock::duration& budget, Ready ready) {
  const auto start = std::chrono::steady_clock::now();
  const bool met = changed_.wait_until(lock, start + budget, ready);
  budget -= std::chrono::steady_clock::now() - start;
  return met;
}

MemoryTurn DeviceMemoryGate::run(const std::function<bool(bool alone)>& attempt,
                                 std::chrono::steady_clock::duration bound) {
  Lock lock(mutex_);
  // A new render lets the renders that wait for memory go first.
  if (!wait(lock, bound, [&] { return !alone_ && waiting_.empty(); })) return MemoryTurn::kWaitedTooLong;
  bool alone = false;
  bool queued = false;
  uint64_t ticket = 0;
  for (;;) {
    ++holders_;
    alone_ = alone;
    lock.unlock();
    bool no_memory = false;
    try {
      no_memory = attempt(alone);
    } catch (...) {
      lock.lock();
      --holders_;
      alone_ = false;
      changed_.notify_all();
      throw;
    }
    lock.lock();
    --holders_;
    alone_ = false;
    if (!no_memory) {
      if (!waiting_.empty()) ++ended_;
      changed_.notify_all();
      return MemoryTurn::kRan;
    }
    changed_.notify_all();
    if (alone) return MemoryTurn::kNoRoomAlone;

    if (!queued) {
      ticket = next_ticket_++;
      queued = true;
    }
    waiting_.insert(ticket);
    const bool turn = wait(lock, bound, [&] {
      return *waiting_.begin() == ticket && !alone_ && (ended_ > 0 || holders_ == 0);
    });
    waiting_.erase(ticket);
    if (waiting_.empty()) ended_ = 0;
    changed_.notify_all();
    if (!turn) return MemoryTurn::kWaitedTooLong;
    alone = holders_ == 0;
    if (!alone && ended_ > 0) --ended_;
  }
}

size_t DeviceMemoryGate::waiting() {
  std::lock_guard<std::mutex> lock(mutex_);
  return waiting_.size();
}

DeviceMemoryGate& device_memory_gate(int device) {
  // Never destroyed, since renders may run at exit, and held in static
  // storage rather than on the heap, so that a bundle the host unloads
  // leaves nothing behind (an idle gate owns no heap memory). Devices past
  // the table share a gate: they then wait for each other's renders too.
  constexpr int kGates = 64;
  alignas(DeviceMemoryGate) static unsigned char storage[kGates][sizeof(DeviceMemoryGate)];
  static DeviceMemoryGate* gates[kGates] = {};
  alignas(std::mutex) static unsigned char mutex_storage[sizeof(std::mutex)];
  static std::mutex& gates_mutex = *new (mutex_storage) std::mutex;
  const int slot = device >= 0 ? device % kGates : 0;
  std::lock_guard<std::mutex> lock(gates_mutex);
  if (!gates[slot]) gates[slot] = new (storage[slot]) DeviceMemoryGate();
  return *gates[slot];
}

MemoryTurn take_memory_turns(int device, bool (*attempt)(void* context, bool alone), void* context) {
  return device_memory_gate(device).run([=](bool alone) { return attempt(context, alone); });
}
