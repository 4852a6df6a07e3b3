#include "pipeline/device_memory_gate.h"

#include <map>

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
  // Never destroyed: renders may run at exit.
  static auto* gates_mutex = new std::mutex;
  static auto* gates = new std::map<int, DeviceMemoryGate>;
  std::lock_guard<std::mutex> lock(*gates_mutex);
  return (*gates)[device];
}

MemoryTurn take_memory_turns(int device, bool (*attempt)(void* context, bool alone), void* context) {
  return device_memory_gate(device).run([=](bool alone) { return attempt(context, alone); });
}
