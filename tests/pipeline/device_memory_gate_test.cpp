// The turns renders take at a device's memory: who waits, for how long, in
// which order, and when a frame is out of memory for good.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/device_memory_gate.h"

namespace {

using namespace std::chrono_literals;

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

void waitUntil(const std::function<bool()>& done) {
  while (!done()) std::this_thread::sleep_for(1ms);
}

// A render holds memory; one that finds none waits for it, a render arriving
// after lets the waiting one go first, and one that cannot wait long gives up
// without an attempt. When the holder ends, the waiting render has the device
// alone and fits; then the later render runs.
TEST(DeviceMemoryGate, RendersWaitInTurnAndWithinTheirBound) {
  DeviceMemoryGate gate;
  Journal journal;
  std::promise<void> release;
  std::atomic<bool> holding{false};
  std::thread holder([&] {
    EXPECT_EQ(gate.run([&](bool alone) {
      journal.add("holder", alone);
      holding = true;
      release.get_future().wait();
      return false;
    }), MemoryTurn::kRan);
  });
  waitUntil([&] { return holding.load(); });

  MemoryTurn waiterTurn{}, laterTurn{};
  std::thread waiter([&] {
    waiterTurn = gate.run([&](bool alone) {
      journal.add("waiter", alone);
      return !alone;  // fits only with the device to itself
    });
  });
  waitUntil([&] { return gate.waiting() == 1; });
  std::thread later([&] { laterTurn = gate.run([&](bool alone) { journal.add("later", alone); return false; }); });

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(gate.run([&](bool alone) { journal.add("impatient", alone); return false; }, 50ms),
            MemoryTurn::kWaitedTooLong);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 50ms);
  EXPECT_LT(waited, 10s);

  EXPECT_EQ(journal.read(), (std::vector<std::string>{"holder", "waiter"}));
  release.set_value();
  holder.join();
  waiter.join();
  later.join();
  EXPECT_EQ(waiterTurn, MemoryTurn::kRan);
  EXPECT_EQ(laterTurn, MemoryTurn::kRan);
  EXPECT_EQ(journal.read(), (std::vector<std::string>{"holder", "waiter", "waiter alone", "later"}));
  EXPECT_EQ(gate.waiting(), 0u);
}

// A frame that does not fit even alone fails after its attempt alone, at
// once; a render stuck behind a holder that does not end gives up within its
// bound, its memory long handed back; an attempt that throws leaves the gate
// open.
TEST(DeviceMemoryGate, OutOfMemoryAloneOrAfterTheBound) {
  DeviceMemoryGate gate;
  Journal journal;
  EXPECT_EQ(gate.run([&](bool alone) { journal.add("large", alone); return true; }), MemoryTurn::kNoRoomAlone);
  EXPECT_EQ(journal.read(), (std::vector<std::string>{"large", "large alone"}));

  std::promise<void> release;
  std::atomic<bool> holding{false};
  std::thread holder([&] {
    gate.run([&](bool) {
      holding = true;
      release.get_future().wait();
      return false;
    });
  });
  waitUntil([&] { return holding.load(); });
  int attempts = 0;
  EXPECT_EQ(gate.run([&](bool) { ++attempts; return true; }, 30ms), MemoryTurn::kWaitedTooLong);
  EXPECT_EQ(attempts, 1);
  EXPECT_EQ(gate.waiting(), 0u);
  release.set_value();
  holder.join();

  EXPECT_THROW(gate.run([](bool) -> bool { throw std::runtime_error("device library"); }), std::runtime_error);
  EXPECT_EQ(gate.run([](bool alone) { return alone; }, 0ms), MemoryTurn::kRan);
}

}  // namespace
