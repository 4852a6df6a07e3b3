// The turns renders take at a device's memory: who waits, for how long, in
// which order, and when a frame is out of memory for good; each promise of
// device_memory_gate.h with several renders at once, their interleaving
// forced by holding the attempts.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/device_memory_gate.h"
#include "synthetic_renders.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Names = std::vector<std::string>;

const DeviceMemoryGate::Duration k10s = std::chrono::seconds(10);

// A render holds memory; one that finds none waits for it, a render arriving
// after lets the waiting one go first, and one that cannot wait long gives up
// without an attempt. When the holder ends, the waiting render has the device
// alone and fits; then the later render runs.
TEST(DeviceMemoryGate, RendersWaitInTurnAndWithinTheirBound) {
  DeviceMemoryGate gate;
  UnitDevice device(10);
  Journal journal;
  Holder holder(gate, device, 1, journal, "holder");
  // Fits only with the device to itself.
  Render waiter(gate, [&](bool alone) {
    journal.add("waiter", alone);
    return !alone;
  }, std::function<bool()>{}, k10s);
  ASSERT_TRUE(eventually([&] { return gate.waiting() == 1; }));
  Render later(gate, [&](bool alone) {
    journal.add("later", alone);
    return false;
  }, std::function<bool()>{}, k10s);
  ASSERT_TRUE(eventually([&] { return gate.held_back() == 1; }));

  const auto start = Clock::now();
  EXPECT_EQ(gate.run([&](bool alone) { journal.add("impatient", alone); return false; }, {}, 50ms),
            MemoryTurn::kWaitedTooLong);
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, 50ms);
  EXPECT_LT(waited, 10s);

  EXPECT_EQ(journal.read(), (Names{"holder", "waiter"}));
  EXPECT_EQ(holder.end(), MemoryTurn::kRan);
  EXPECT_EQ(waiter.join(), MemoryTurn::kRan);
  EXPECT_EQ(later.join(), MemoryTurn::kRan);
  EXPECT_EQ(journal.read(), (Names{"holder", "waiter", "waiter alone", "later"}));
  EXPECT_EQ(gate.waiting(), 0u);
}

// A frame that does not fit even alone fails after its attempt alone, at
// once; a render stuck behind a holder that does not end gives up within its
// bound, its memory long handed back; an attempt that throws leaves the gate
// open.
TEST(DeviceMemoryGate, OutOfMemoryAloneOrAfterTheBound) {
  DeviceMemoryGate gate;
  UnitDevice device(10);
  Journal journal;
  EXPECT_EQ(gate.run(attempt_on(device, 11, journal, "large")), MemoryTurn::kNoRoomAlone);
  EXPECT_EQ(journal.read(), (Names{"large", "large alone"}));

  {
    Holder holder(gate, device, 8, journal, "holder");
    int attempts = 0;
    EXPECT_EQ(gate.run([&](bool) { ++attempts; return true; }, {}, 30ms), MemoryTurn::kWaitedTooLong);
    EXPECT_EQ(attempts, 1);
    EXPECT_EQ(gate.waiting(), 0u);
  }

  EXPECT_THROW(gate.run([](bool) -> bool { throw std::runtime_error("device library"); }), std::runtime_error);
  EXPECT_EQ(gate.run([](bool alone) { return alone; }, {}, 0ms), MemoryTurn::kRan);
  EXPECT_EQ(device.free(), 10);
}

// A render whose attempt failed is not queued yet while it hands its memory
// back; a render that ends in that window freed what it needs. On a device
// of 10 units, with 4 held by a long render and 4 by one that ends then, a
// render of 4 retries at once and fits, the long render still holding.
TEST(DeviceMemoryGate, AnEndWhileAFailedRenderHandsBackIsNotMissed) {
  DeviceMemoryGate gate;
  UnitDevice device(10);
  Journal journal;
  Holder slow(gate, device, 4, journal, "long");
  auto brief = std::make_unique<Holder>(gate, device, 4, journal, "brief");
  Signal failed, brief_ended;
  int attempts = 0;
  Render render(gate, [&](bool alone) {
    ++attempts;
    journal.add("render", alone);
    if (!device.take(4)) {
      // Still handing back: the brief render ends meanwhile.
      failed.set();
      brief_ended.wait();
      return true;
    }
    device.give(4);
    return false;
  }, std::function<bool()>{}, DeviceMemoryGate::Duration(2s));
  ASSERT_TRUE(failed.wait());
  EXPECT_EQ(brief->end(), MemoryTurn::kRan);
  brief_ended.set();
  EXPECT_TRUE(render.ended.wait(5s)) << "the render slept, though its memory was free";
  EXPECT_EQ(render.join(), MemoryTurn::kRan);
  EXPECT_EQ(attempts, 2);
  EXPECT_EQ(journal.read(), (Names{"long", "brief", "render", "render"}));
  EXPECT_EQ(slow.end(), MemoryTurn::kRan);
}

// Renders queue in the order they first failed and retry in that order: the
// first retries alone while the second waits, then the second.
TEST(DeviceMemoryGate, TheRenderThatFailedFirstRetriesFirst) {
  DeviceMemoryGate gate;
  UnitDevice device(10);
  Journal journal;
  auto holder = std::make_unique<Holder>(gate, device, 1, journal, "holder");
  std::atomic<int> started{0};
  const auto alone_only = [&](const std::string& who, size_t place) {
    return queue_in_turn(gate, started, 2, place, journal, who, [&journal, who](bool alone) {
      journal.add(who, alone);
      return !alone;
    });
  };
  Render second(gate, alone_only("second", 1), std::function<bool()>{}, k10s);
  Render first(gate, alone_only("first", 0), std::function<bool()>{}, k10s);
  ASSERT_TRUE(eventually([&] { return gate.waiting() == 2; }));
  holder->end();
  EXPECT_EQ(first.join(), MemoryTurn::kRan);
  EXPECT_EQ(second.join(), MemoryTurn::kRan);
  EXPECT_EQ(journal.read(), (Names{"holder", "first", "second", "first alone", "second alone"}));
}

// With two renders holding memory, the first to end lets the queued render
// retry, not the last: it fits in what the first handed back and renders
// while the other still holds.
TEST(DeviceMemoryGate, EachEndLetsTheFirstWaiterRetry) {
  DeviceMemoryGate gate;
  UnitDevice device(6);
  Journal journal;
  auto one = std::make_unique<Holder>(gate, device, 2, journal, "one");
  Holder other(gate, device, 2, journal, "other");
  Render render(gate, attempt_on(device, 4, journal, "render"), std::function<bool()>{}, k10s);
  ASSERT_TRUE(eventually([&] { return gate.waiting() == 1; }));
  EXPECT_EQ(one->end(), MemoryTurn::kRan);
  EXPECT_TRUE(render.ended.wait(5s)) << "the render waited for the last end";
  EXPECT_EQ(render.join(), MemoryTurn::kRan);
  EXPECT_EQ(journal.read(), (Names{"one", "other", "render", "render"}));
  EXPECT_EQ(other.end(), MemoryTurn::kRan);
}

// The bound is for all of a render's waits together: a render that waits,
// retries in vain and waits again gives up when its waits add up to the
// bound, not after a second bound.
TEST(DeviceMemoryGate, TheBoundHoldsAcrossRepeatedWaits) {
  constexpr auto kBound = 400ms, kFirstWait = 250ms;
  DeviceMemoryGate gate;
  UnitDevice device(10);
  Journal journal;
  auto one = std::make_unique<Holder>(gate, device, 1, journal, "one");
  Holder other(gate, device, 1, journal, "other");
  std::vector<Clock::time_point> began, ended;
  Render render(gate, [&](bool alone) {
    began.push_back(Clock::now());
    journal.add("render", alone);
    ended.push_back(Clock::now());
    return !alone;
  }, std::function<bool()>{}, DeviceMemoryGate::Duration(kBound));
  ASSERT_TRUE(eventually([&] { return gate.waiting() == 1; }));
  std::this_thread::sleep_for(kFirstWait);
  one->end();
  EXPECT_EQ(render.join(), MemoryTurn::kWaitedTooLong);
  const auto gave_up = Clock::now();
  ASSERT_EQ(journal.read(), (Names{"one", "other", "render", "render"}));
  const auto waited = (began[1] - ended[0]) + (gave_up - ended[1]);
  EXPECT_GE(waited, kBound);
  EXPECT_LT(waited, kBound + 150ms);
  EXPECT_EQ(other.end(), MemoryTurn::kRan);
}

// Renders that arrive while a queued render retries on the memory handed
// to it, beside another render or with the device alone, are held back
// until the retry has ended and the queue is empty; then they all go in.
TEST(DeviceMemoryGate, NewRendersWaitForAQueuedRendersRetry) {
  for (const bool alone : {false, true}) {
    SCOPED_TRACE(alone ? "alone" : "beside another render");
    DeviceMemoryGate gate;
    UnitDevice device(10);
    Journal journal;
    auto one = std::make_unique<Holder>(gate, device, 4, journal, "one");
    std::unique_ptr<Holder> other;
    if (!alone) other = std::make_unique<Holder>(gate, device, 4, journal, "other");
    Signal retrying, release;
    Render render(gate, attempt_on(device, alone ? 8 : 4, journal, "render", [&] {
      retrying.set();
      release.wait();
    }), std::function<bool()>{}, k10s);
    ASSERT_TRUE(eventually([&] { return gate.waiting() == 1; }));
    one->end();
    ASSERT_TRUE(retrying.wait());
    std::atomic<int> inside{0};
    const auto together = [&] {
      ++inside;
      EXPECT_TRUE(eventually([&] { return inside == 2; }, 5s)) << "the renders held back went in one by one";
    };
    Render later(gate, attempt_on(device, 1, journal, "later", together), std::function<bool()>{}, k10s);
    Render latest(gate, attempt_on(device, 1, journal, "later", together), std::function<bool()>{}, k10s);
    ASSERT_TRUE(eventually([&] { return gate.held_back() == 2; }));
    EXPECT_EQ(journal.read().back(), alone ? "render alone" : "render");
    EXPECT_EQ(inside, 0);
    release.set();
    EXPECT_EQ(render.join(), MemoryTurn::kRan);
    EXPECT_EQ(later.join(), MemoryTurn::kRan);
    EXPECT_EQ(latest.join(), MemoryTurn::kRan);
    EXPECT_EQ(journal.read().back(), "later");
  }
}

// Memory handed back while queued renders retry goes to the next in line:
// the next queued render tries again beside the first, and with both trying,
// the render held back longest goes in and the later one stays out.
TEST(DeviceMemoryGate, MemoryHandedBackDuringARetryGoesToTheNextInLine) {
  DeviceMemoryGate gate;
  UnitDevice device(10);
  Journal journal;
  std::vector<std::unique_ptr<Holder>> holders;
  for (const char* name : {"h1", "h2", "h3"}) holders.push_back(std::make_unique<Holder>(gate, device, 2, journal, name));
  std::atomic<int> started{0};
  Signal first_in, second_in, release;
  const auto held = [&](const std::string& who, Signal& in) {
    return queue_in_turn(gate, started, 2, who == "first" ? 0 : 1, journal, who,
                         attempt_on(device, 2, journal, who, [&] {
                           in.set();
                           release.wait();
                         }));
  };
  Render first(gate, held("first", first_in), std::function<bool()>{}, k10s);
  Render second(gate, held("second", second_in), std::function<bool()>{}, k10s);
  ASSERT_TRUE(eventually([&] { return gate.waiting() == 2; }));
  Signal early_in;
  Render early(gate, attempt_on(device, 1, journal, "early", [&] {
    early_in.set();
    release.wait();
  }), std::function<bool()>{}, k10s);
  ASSERT_TRUE(eventually([&] { return gate.held_back() == 1; }));
  Render late(gate, attempt_on(device, 1, journal, "late"), std::function<bool()>{}, k10s);
  ASSERT_TRUE(eventually([&] { return gate.held_back() == 2; }));

  holders[0]->end();
  ASSERT_TRUE(first_in.wait());
  holders[1]->end();
  EXPECT_TRUE(second_in.wait(5s)) << "the second waited for the first's retry";
  holders[2]->end();
  EXPECT_TRUE(early_in.wait(5s)) << "the render held back longest stayed out";
  EXPECT_EQ(gate.held_back(), 1u);
  EXPECT_FALSE(late.ended.is_set());
  release.set();
  EXPECT_EQ(first.join(), MemoryTurn::kRan);
  EXPECT_EQ(second.join(), MemoryTurn::kRan);
  EXPECT_EQ(early.join(), MemoryTurn::kRan);
  EXPECT_EQ(late.join(), MemoryTurn::kRan);
  EXPECT_EQ(journal.read(), (Names{"h1", "h2", "h3", "first", "second", "first", "second", "early", "late"}));
}

// A render given its turn has its place on the device before it wakes: the
// first queued render, failing again meanwhile, does not take the device
// alone from under it. The render given its turn is held in its host's
// abort query so that it wakes late.
TEST(DeviceMemoryGate, ARenderGivenItsTurnKeepsItsPlace) {
  DeviceMemoryGate gate;
  UnitDevice device(10);
  Journal journal;
  auto one = std::make_unique<Holder>(gate, device, 2, journal, "one");
  auto other = std::make_unique<Holder>(gate, device, 2, journal, "other");
  std::atomic<int> started{0};
  Signal first_retrying, first_go, first_waits, second_asked, second_go;
  std::atomic<bool> hold_second{false};
  Render first(gate, queue_in_turn(gate, started, 2, 0, journal, "first", [&](bool alone) {
    journal.add("first", alone);
    if (alone) return false;
    first_retrying.set();
    first_go.wait();
    return true;
  }), [&] {
    if (first_go.is_set()) first_waits.set();
    return false;
  }, k10s);
  Render second(gate, queue_in_turn(gate, started, 2, 1, journal, "second", attempt_on(device, 2, journal, "second")),
                [&] {
                  if (hold_second) {
                    second_asked.set();
                    second_go.wait();
                  }
                  return false;
                }, k10s);
  ASSERT_TRUE(eventually([&] { return gate.waiting() == 2; }));
  hold_second = true;
  ASSERT_TRUE(second_asked.wait());
  one->end();
  ASSERT_TRUE(first_retrying.wait());
  other->end();  // its memory goes to the second, asleep in its host's query
  first_go.set();
  ASSERT_TRUE(eventually([&] { return first_waits.is_set() || first.ended.is_set(); }));
  second_go.set();
  EXPECT_EQ(first.join(), MemoryTurn::kRan);
  EXPECT_EQ(second.join(), MemoryTurn::kRan);
  EXPECT_EQ(journal.read(), (Names{"one", "other", "first", "second", "first", "second", "first alone"}));
}

// A render whose retries failed twice needs more memory than one render
// hands back: from then on what is handed back comes to it, even while it is
// trying again, and no render starts beside it; once no render holds memory
// it has the device alone.
TEST(DeviceMemoryGate, ARenderWhoseRetriesFailedTwiceDrainsTheDevice) {
  DeviceMemoryGate gate;
  UnitDevice device(10);
  Journal journal;
  std::vector<std::unique_ptr<Holder>> holders;
  for (const char* name : {"h1", "h2", "h3", "h4"}) holders.push_back(std::make_unique<Holder>(gate, device, 2, journal, name));
  std::atomic<int> attempts{0};
  Signal third_retry, go_on;
  Render big(gate, [&](bool alone) {
    journal.add("big", alone);
    const bool fits = device.take(10);
    if (++attempts == 4) {
      third_retry.set();
      go_on.wait();
    }
    if (fits) device.give(10);
    return !fits;
  }, std::function<bool()>{}, k10s);
  ASSERT_TRUE(eventually([&] { return gate.waiting() == 1; }));
  holders[0]->end();
  ASSERT_TRUE(eventually([&] { return attempts == 2 && gate.waiting() == 1; }));
  holders[1]->end();
  ASSERT_TRUE(eventually([&] { return attempts == 3; }));
  Render later(gate, attempt_on(device, 1, journal, "later"), std::function<bool()>{}, k10s);
  ASSERT_TRUE(eventually([&] { return gate.held_back() == 1; }));
  holders[2]->end();
  ASSERT_TRUE(third_retry.wait());
  // Handed back while it tries: its own, not the render held back.
  holders[3]->end();
  EXPECT_EQ(gate.held_back(), 1u);
  go_on.set();
  EXPECT_EQ(big.join(), MemoryTurn::kRan);
  EXPECT_EQ(later.join(), MemoryTurn::kRan);
  EXPECT_EQ(journal.read(), (Names{"h1", "h2", "h3", "h4", "big", "big", "big", "big", "big alone", "later"}));
}

// The host's abort ends a wait within 100 ms, for a queued render and for a
// new render held back behind it, each with no further attempt; a render
// whose host does not abort waits and renders as before.
TEST(DeviceMemoryGate, AnAbortEndsAWaitWithin100ms) {
  DeviceMemoryGate gate;
  UnitDevice device(10);
  Journal journal;
  auto holder = std::make_unique<Holder>(gate, device, 6, journal, "holder");
  std::atomic<bool> abort_queued{false}, abort_new{false};
  std::atomic<int> started{0}, queued_asked{0}, new_asked{0}, patient_asked{0};
  Render queued(gate, queue_in_turn(gate, started, 2, 0, journal, "queued", attempt_on(device, 6, journal, "queued")), [&] {
    ++queued_asked;
    return abort_queued.load();
  }, k10s);
  Render patient(gate, queue_in_turn(gate, started, 2, 1, journal, "patient", attempt_on(device, 6, journal, "patient")), [&] {
    ++patient_asked;
    return false;
  }, k10s);
  ASSERT_TRUE(eventually([&] { return gate.waiting() == 2; }));
  Render later(gate, attempt_on(device, 1, journal, "later"), [&] {
    ++new_asked;
    return abort_new.load();
  }, k10s);
  ASSERT_TRUE(eventually([&] { return gate.held_back() == 1 && queued_asked > 0 && new_asked > 0; }));

  for (auto* abort : {&abort_queued, &abort_new}) {
    Render& render = abort == &abort_queued ? queued : later;
    const auto start = Clock::now();
    *abort = true;
    ASSERT_TRUE(render.ended.wait(5s));
    EXPECT_LT(Clock::now() - start, 100ms);
    EXPECT_EQ(render.join(), MemoryTurn::kAborted);
  }
  EXPECT_EQ(gate.waiting(), 1u);
  EXPECT_EQ(gate.held_back(), 0u);
  EXPECT_EQ(holder->end(), MemoryTurn::kRan);
  EXPECT_EQ(patient.join(), MemoryTurn::kRan);
  EXPECT_GT(patient_asked, 0);
  EXPECT_EQ(journal.read(), (Names{"holder", "queued", "patient", "patient alone"}));
}

}  // namespace
