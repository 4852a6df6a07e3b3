// Renders of unequal sizes at once through a device's memory gate: a frame
// that needs the device to itself, rendered again and again beside three
// smaller ones that fit together and run back to back, must get its turn
// within its bound on attempts, and frames that fit together must not be
// held up by the gate.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "pipeline/device_memory_gate.h"
#include "synthetic_renders.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kDeviceUnits = 10, kSmallUnits = 3, kSmallRenders = 3, kBigRenders = 40;

// A render's attempt as the pipeline makes it: it takes its memory a unit at
// a time with work in between, then renders; short of a unit it fails,
// handing back what it got.
bool render_on(UnitDevice& device, int units) {
  for (int got = 0; got < units; ++got) {
    if (!device.take(1)) {
      device.give(got);
      return true;
    }
    std::this_thread::sleep_for(200us);
  }
  std::this_thread::sleep_for(1ms);
  device.give(units);
  return false;
}

// Three small renders loop until the big render's thread has rendered its 40
// frames.
TEST(DeviceMemoryGateStarvation, AFrameThatNeedsTheDeviceAloneGetsItsTurn) {
  DeviceMemoryGate gate;
  UnitDevice device(kDeviceUnits);
  std::atomic<bool> done{false};
  std::atomic<int> small_renders{0}, small_failures{0};
  std::vector<std::thread> small;
  for (int s = 0; s < kSmallRenders; ++s)
    small.emplace_back([&] {
      while (!done) {
        const MemoryTurn turn = gate.run([&](bool) { return render_on(device, kSmallUnits); }, {}, 10s);
        (turn == MemoryTurn::kRan ? small_renders : small_failures)++;
      }
    });

  struct Big {
    MemoryTurn turn;
    int attempts;
    Clock::duration wait;  // from the call to its last attempt
  };
  std::vector<Big> big;
  const auto start = Clock::now();
  for (int b = 0; b < kBigRenders; ++b) {
    int attempts = 0;
    Clock::time_point last;
    const auto called = Clock::now();
    const MemoryTurn turn = gate.run([&](bool) {
      ++attempts;
      last = Clock::now();
      return render_on(device, kDeviceUnits);
    }, {}, 2s);
    big.push_back({turn, attempts, last - called});
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  done = true;
  for (auto& t : small) t.join();

  int ran = 0, most = 0, total = 0;
  Clock::duration longest{};
  for (const Big& b : big) {
    ran += b.turn == MemoryTurn::kRan;
    most = std::max(most, b.attempts);
    total += b.attempts;
    longest = std::max(longest, b.wait);
  }
  std::printf("big renders: %d of %d ran, attempts at most %d (%.2f on average), longest wait %.1f ms; "
              "small renders: %.0f a second\n",
              ran, kBigRenders, most, double(total) / kBigRenders,
              std::chrono::duration<double, std::milli>(longest).count(), small_renders / seconds);
  EXPECT_EQ(ran, kBigRenders);
  // The bound on attempts (device_memory_turns.h): three more than the
  // other renders.
  EXPECT_LE(most, kSmallRenders + 3);
  EXPECT_EQ(small_failures, 0);
  EXPECT_GT(small_renders, 0);
  EXPECT_EQ(device.free(), kDeviceUnits);
}

// Frames that fit together render together: three equal renders, one
// attempt each, all inside their attempts at once, nothing queued.
TEST(DeviceMemoryGateStarvation, FramesThatFitTogetherRenderTogether) {
  DeviceMemoryGate gate;
  UnitDevice device(kDeviceUnits);
  std::atomic<int> inside{0}, attempts{0};
  std::vector<std::thread> renders;
  std::vector<MemoryTurn> turns(kSmallRenders);
  for (int s = 0; s < kSmallRenders; ++s)
    renders.emplace_back([&, s] {
      turns[size_t(s)] = gate.run([&](bool) {
        ++attempts;
        if (!device.take(kSmallUnits)) return true;
        ++inside;
        const bool met = eventually([&] { return inside == kSmallRenders; }, 10s);
        device.give(kSmallUnits);
        EXPECT_TRUE(met) << "the gate kept frames that fit together apart";
        return false;
      });
    });
  for (auto& t : renders) t.join();
  EXPECT_EQ(attempts, kSmallRenders);
  for (const MemoryTurn t : turns) EXPECT_EQ(t, MemoryTurn::kRan);
  EXPECT_EQ(gate.waiting(), 0u);
}

}  // namespace
