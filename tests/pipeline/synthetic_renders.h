// Renders made up for the memory gate: a device of memory units that their
// attempts take and give back, and the means to hold an attempt where a test
// wants it, so that an interleaving is forced rather than hoped for, and
// renders through a gate on threads of their own.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/device_memory_gate.h"

// Set once, waited for by any number of threads.
class Signal {
 public:
  void set() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
    changed_.notify_all();
  }
  // False when it was not set within `timeout`.
  bool wait(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return set_; });
  }
  bool is_set() {
    std::lock_guard<std::mutex> lock(mutex_);
    return set_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
};

// Whether `done` came true within `timeout`.
inline bool eventually(const std::function<bool()>& done,
                       std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// A device of `units` of memory.
class UnitDevice {
 public:
  explicit UnitDevice(int units) : free_(units) {}
  // All `units` or none.
  bool take(int units) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (free_ < units) return false;
    free_ -= units;
    return true;
  }
  void give(int units) {
    std::lock_guard<std::mutex> lock(mutex_);
    free_ += units;
  }
  int free() {
    std::lock_guard<std::mutex> lock(mutex_);
    return free_;
  }

 private:
  std::mutex mutex_;
  int free_;
};

// What the attempts did, in order: a name and whether it had the device alone.
struct Journal {
  std::mutex mutex;
  std::vector<std::string> entries;
  void add(const std::string& who, bool alone) {
    std::lock_guard<std::mutex> lock(mutex);
    entries.push_back(who + (alone ? " alone" : ""));
  }
  std::vector<std::string> read() {
    std::lock_guard<std::mutex> lock(mutex);
    return entries;
  }
};

// The attempt of a render that needs `units` of `device`: it journals
// itself, takes its units or fails for want of memory having taken none, and
// runs `work` while it holds them.
inline std::function<bool(bool)> attempt_on(UnitDevice& device, int units, Journal& journal, const std::string& who,
                                            const std::function<void()>& work = {}) {
  return [&device, units, &journal, who, work](bool alone) {
    journal.add(who, alone);
    if (!device.take(units)) return true;
    if (work) work();
    device.give(units);
    return false;
  };
}

// A render that holds `units` of `device` from the start until released.
class Holder {
 public:
  Holder(DeviceMemoryGate& gate, UnitDevice& device, int units, Journal& journal, const std::string& name)
      : thread_([&, units, name] {
          turn_ = gate.run(attempt_on(device, units, journal, name, [&] {
            holding_.set();
            release_.wait(std::chrono::seconds(60));
          }));
        }) {
    holding_.wait();
  }
  ~Holder() { end(); }
  // Releases it and waits for its render to end.
  MemoryTurn end() {
    release_.set();
    if (thread_.joinable()) thread_.join();
    return turn_;
  }

 private:
  Signal holding_, release_;
  MemoryTurn turn_{};
  std::thread thread_;
};

// The attempts of `renders` renders that start together: the first attempt
// of each journals `who` and fails once the renders before it (by `place`)
// are queued, so they queue in that order; later attempts are `then`'s.
inline std::function<bool(bool)> queue_in_turn(DeviceMemoryGate& gate, std::atomic<int>& started, int renders, size_t place,
                                        Journal& journal, const std::string& who,
                                        const std::function<bool(bool)>& then) {
  auto first = std::make_shared<bool>(true);
  return [&gate, &started, renders, place, &journal, who, then, first](bool alone) {
    if (!*first) return then(alone);
    *first = false;
    ++started;
    EXPECT_TRUE(eventually([&] { return started == renders && gate.waiting() == place; }));
    journal.add(who, alone);
    return true;
  };
}

// A render run on a thread of its own; `threw`: its attempt or its host's
// query threw std::runtime_error out of the gate.
struct Render {
  MemoryTurn turn{};
  std::atomic<bool> threw{false};
  Signal ended;
  std::thread thread;  // last: it starts once the members it sets are made
  template <typename... Args>
  Render(DeviceMemoryGate& gate, Args... args) : thread([&gate, this, args...] {
    try {
      turn = gate.run(args...);
    } catch (const std::runtime_error&) {
      threw = true;
    }
    ended.set();
  }) {}
  ~Render() { join(); }
  MemoryTurn join() {
    if (thread.joinable()) thread.join();
    return turn;
  }
};

// Fails for want of memory unless it has the device to itself.
inline bool fits_only_alone(bool alone) { return !alone; }

// Nobody at the gate, and nothing counted as held: a render that fits only
// alone runs without waiting (a bound of 0 lets it wait for nothing).
inline void expect_empty(DeviceMemoryGate& gate) {
  EXPECT_EQ(gate.waiting(), 0u);
  EXPECT_EQ(gate.held_back(), 0u);
  EXPECT_EQ(gate.holding(), 0);
  EXPECT_EQ(gate.run(fits_only_alone, {}, std::chrono::milliseconds(0)), MemoryTurn::kRan) << "a place stayed counted";
}
