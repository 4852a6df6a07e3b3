// Renders of every size through one memory gate at once, with hosts that
// abort frames, answer their abort query slowly or throw from it, and
// attempts that throw: whatever way each render leaves, every frame that
// fits on the device alone renders or ends as its host asked, none waits
// out its bound, and the gate ends empty. The choices are seeded; the
// schedule is the machine's.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/device_memory_gate.h"
#include "synthetic_renders.h"

namespace {

using namespace std::chrono_literals;

constexpr int kDeviceUnits = 10, kThreads = 8, kRendersEach = 40;

struct Outcomes {
  std::atomic<int> ran{0}, aborted{0}, threw{0}, waited_too_long{0}, no_room_alone{0};
  std::atomic<int> most_attempts{0};
};

// One render of a thread's sequence, its choices drawn from `random`.
void one_render(DeviceMemoryGate& gate, UnitDevice& device, std::mt19937& random, Outcomes& outcomes) {
  std::uniform_int_distribution<int> percent(0, 99);
  // Mostly small frames, some that need most of the device.
  const int units = percent(random) < 75 ? 1 + int(random() % 4) : 6 + int(random() % 5);
  const bool aborts = percent(random) < 20, query_throws = percent(random) < 4;
  const int attempt_throws = percent(random) < 4 ? 1 + int(random() % 3) : 0;
  const int asks_before_abort = int(random() % 4);
  const auto query_time = std::chrono::microseconds(random() % 200);
  int attempts = 0, asks = 0;
  const auto attempt = [&](bool) {
    ++attempts;
    for (int got = 0; got < units; ++got) {
      if (!device.take(1)) {
        device.give(got);
        if (attempts == attempt_throws) throw std::runtime_error("device library");
        return true;
      }
      std::this_thread::sleep_for(20us);
    }
    std::this_thread::sleep_for(100us);
    device.give(units);
    return false;
  };
  const auto query = [&] {
    std::this_thread::sleep_for(query_time);
    ++asks;
    if (query_throws && asks > asks_before_abort) throw std::runtime_error("host");
    return aborts && asks > asks_before_abort;
  };
  try {
    switch (gate.run(attempt, query, 20s)) {
      case MemoryTurn::kRan: ++outcomes.ran; break;
      case MemoryTurn::kAborted: ++outcomes.aborted; break;
      case MemoryTurn::kWaitedTooLong: ++outcomes.waited_too_long; break;
      case MemoryTurn::kNoRoomAlone: ++outcomes.no_room_alone; break;
    }
  } catch (const std::runtime_error&) {
    ++outcomes.threw;
  }
  for (int most = outcomes.most_attempts; attempts > most && !outcomes.most_attempts.compare_exchange_weak(most, attempts);) {
  }
}

TEST(DeviceMemoryGateStress, EveryWayOutLeavesTheGateEmpty) {
  for (const unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    DeviceMemoryGate gate;
    UnitDevice device(kDeviceUnits);
    Outcomes outcomes;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([&, t] {
        std::mt19937 random(seed * 1000 + unsigned(t));
        for (int r = 0; r < kRendersEach; ++r) one_render(gate, device, random, outcomes);
      });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(outcomes.waited_too_long, 0) << "a render waited out its bound";
    EXPECT_EQ(outcomes.no_room_alone, 0) << "every frame fits alone";
    EXPECT_EQ(outcomes.ran + outcomes.aborted + outcomes.threw, kThreads * kRendersEach);
    EXPECT_GT(outcomes.aborted, 0);
    EXPECT_GT(outcomes.threw, 0);
    // Each render's attempts are bounded: three more than the other renders
    // at the gate, which are never more than the other threads.
    EXPECT_LE(outcomes.most_attempts, 3 + kThreads - 1);
    EXPECT_EQ(device.free(), kDeviceUnits);
    expect_empty(gate);
    std::printf("seed %u: %d ran, %d aborted, %d threw, at most %d attempts\n", seed, outcomes.ran.load(),
                outcomes.aborted.load(), outcomes.threw.load(), outcomes.most_attempts.load());
  }
}

}  // namespace
