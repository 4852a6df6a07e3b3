// Every way a render leaves the memory gate other than by rendering: the
// host's abort while memory comes to it, a draining render that gives up, an
// abort query or an attempt that throws, the bound. After each the gate
// must be empty (nobody waiting, held back or counted as holding memory)
// and a render that fits only with the device to itself must run at once;
// a render that left must pass on the memory handed to it. The
// interleavings are forced by holding the host's abort query.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "pipeline/device_memory_gate.h"
#include "pipeline/steady_condition.h"
#include "synthetic_renders.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
const DeviceMemoryGate::Duration k10s = std::chrono::seconds(10);

// The host's abort query of a render, held at its first call until the test
// lets it answer `answer` (or throw).
struct HeldQuery {
  Signal asking, go;
  std::atomic<bool> holding{true};
  bool answer = true;
  bool throws = false;
  std::function<bool()> query() {
    return [this] {
      if (!holding.exchange(false)) return false;
      asking.set();
      go.wait();
      if (throws) throw std::runtime_error("host");
      return answer;
    };
  }
};

// A render held back behind a queued one is let in (the queue empties) while
// it asks its host whether the frame was aborted; the host says yes. Its
// place goes back, and the memory handed on with it too.
TEST(DeviceMemoryGateExits, LetInWhileAskingTheHostThenAborted) {
  for (const bool throws : {false, true}) {
    SCOPED_TRACE(throws ? "the query throws" : "the query says aborted");
    DeviceMemoryGate gate;
    UnitDevice device(10);
    Journal journal;
    auto holder = std::make_unique<Holder>(gate, device, 1, journal, "holder");
    Render waiter(gate, fits_only_alone, std::function<bool()>{}, k10s);
    ASSERT_TRUE(eventually([&] { return gate.waiting() == 1; }));
    HeldQuery host;
    host.throws = throws;
    Render newcomer(gate, attempt_on(device, 1, journal, "newcomer"), host.query(), k10s);
    ASSERT_TRUE(host.asking.wait());
    EXPECT_EQ(gate.held_back(), 1u);
    holder->end();
    EXPECT_EQ(waiter.join(), MemoryTurn::kRan);
    EXPECT_EQ(gate.held_back(), 0u) << "the queue emptied: the newcomer was let in";
    host.go.set();
    const MemoryTurn turn = newcomer.join();
    EXPECT_EQ(newcomer.threw, throws);
    if (!throws) {
      EXPECT_EQ(turn, MemoryTurn::kAborted);
    }
    EXPECT_EQ(journal.read(), std::vector<std::string>{"holder"}) << "the aborted render made an attempt";
    expect_empty(gate);
  }
}

// A queued render is given its turn while it asks its host, which then says
// yes (or throws): the turn goes on to the next queued render, which retries
// at once though a render still holds memory.
TEST(DeviceMemoryGateExits, GivenItsTurnWhileAskingTheHostThenAborted) {
  for (const bool throws : {false, true}) {
    SCOPED_TRACE(throws ? "the query throws" : "the query says aborted");
    DeviceMemoryGate gate;
    UnitDevice device(10);
    Journal journal;
    auto first = std::make_unique<Holder>(gate, device, 4, journal, "first");
    Holder second(gate, device, 4, journal, "second");
    std::atomic<int> started{0};
    HeldQuery host;
    host.throws = throws;
    Render quitter(gate, queue_in_turn(gate, started, 2, 0, journal, "quitter", attempt_on(device, 4, journal, "quitter")),
                   host.query(), k10s);
    Render next(gate, queue_in_turn(gate, started, 2, 1, journal, "next", attempt_on(device, 4, journal, "next")),
                std::function<bool()>{}, k10s);
    ASSERT_TRUE(host.asking.wait());
    ASSERT_TRUE(eventually([&] { return gate.waiting() == 2; }));
    first->end();  // its memory goes to the quitter, asleep in its host's query
    host.go.set();
    const MemoryTurn turn = quitter.join();
    EXPECT_EQ(quitter.threw, throws);
    if (!throws) {
      EXPECT_EQ(turn, MemoryTurn::kAborted);
    }
    EXPECT_TRUE(next.ended.wait(2s)) << "the quitter's turn was not passed on";
    EXPECT_EQ(next.join(), MemoryTurn::kRan);
    EXPECT_EQ(second.end(), MemoryTurn::kRan);
    expect_empty(gate);
  }
}

// A host's abort query that throws while its render waits, held back or
// queued without a turn, takes the render out of line before the exception
// goes on: the renders after it are let in and handed memory as before.
TEST(DeviceMemoryGateExits, AnAbortQueryThatThrowsWhileWaitingLeavesNothingBehind) {
  DeviceMemoryGate gate;
  UnitDevice device(10);
  Journal journal;
  auto holder = std::make_unique<Holder>(gate, device, 1, journal, "holder");
  const auto throwing = []() -> bool { throw std::runtime_error("host"); };
  // First and second in the queue.
  std::atomic<int> started{0};
  Render waiter(gate, queue_in_turn(gate, started, 2, 0, journal, "waiter", fits_only_alone),
                std::function<bool()>{}, k10s);
  Render second(gate, queue_in_turn(gate, started, 2, 1, journal, "second", fits_only_alone),
                std::function<bool()>(throwing), k10s);
  second.join();
  EXPECT_TRUE(second.threw);
  EXPECT_EQ(gate.waiting(), 1u);
  // Held back.
  EXPECT_THROW(gate.run(attempt_on(device, 1, journal, "held back"), throwing, k10s), std::runtime_error);
  EXPECT_EQ(gate.held_back(), 0u);
  Render later(gate, attempt_on(device, 1, journal, "later"), std::function<bool()>{}, k10s);
  ASSERT_TRUE(eventually([&] { return gate.held_back() == 1; }));
  holder->end();
  EXPECT_EQ(waiter.join(), MemoryTurn::kRan);
  EXPECT_EQ(later.join(), MemoryTurn::kRan);
  EXPECT_EQ(journal.read(), (std::vector<std::string>{"holder", "waiter", "second", "later"}));
  expect_empty(gate);
}

// A render whose retries failed twice takes every hand-back; when it gives
// up, what came to it is free and goes on. On a device of 10 units, a long
// render holds 3; the draining render needs 10, and the render queued behind
// it needs 5: with 7 free once the draining render aborts, that render
// retries at once and fits, the long render still holding.
TEST(DeviceMemoryGateExits, ADrainingRenderThatGivesUpPassesOnWhatCameToIt) {
  DeviceMemoryGate gate;
  UnitDevice device(10);
  Journal journal;
  Holder long_render(gate, device, 3, journal, "long");
  std::vector<std::unique_ptr<Holder>> brief;
  for (const char* name : {"b1", "b2", "b3"}) brief.push_back(std::make_unique<Holder>(gate, device, 2, journal, name));
  std::atomic<int> started{0}, big_attempts{0};
  std::atomic<bool> abort_big{false};
  Render big(gate, queue_in_turn(gate, started, 2, 0, journal, "big", [&](bool alone) {
    ++big_attempts;
    return attempt_on(device, 10, journal, "big")(alone);
  }), [&] { return abort_big.load(); }, k10s);
  Render middle(gate, queue_in_turn(gate, started, 2, 1, journal, "middle", attempt_on(device, 5, journal, "middle")),
                std::function<bool()>{}, k10s);
  ASSERT_TRUE(eventually([&] { return gate.waiting() == 2; }));
  // Each retry must have ended before the next brief render ends, so that
  // the big render, not retrying, is the one in line.
  for (int b = 0; b < 3; ++b) {
    brief[b]->end();
    ASSERT_TRUE(eventually([&] { return big_attempts == b + 1 && gate.holding() == 3 - b; }));
  }
  EXPECT_EQ(device.free(), 7);
  abort_big = true;
  EXPECT_EQ(big.join(), MemoryTurn::kAborted);
  EXPECT_TRUE(middle.ended.wait(2s)) << "the memory handed to the draining render came to no one";
  EXPECT_EQ(middle.join(), MemoryTurn::kRan);
  EXPECT_EQ(long_render.end(), MemoryTurn::kRan);
  expect_empty(gate);
}

// A draining render given memory while it sleeps, a turn already waiting for
// it, takes the memory, not a second place: after it renders nothing stays
// counted.
TEST(DeviceMemoryGateExits, ADrainingRenderGivenMemoryTwiceHoldsOnePlace) {
  DeviceMemoryGate gate;
  UnitDevice device(10);
  Journal journal;
  std::vector<std::unique_ptr<Holder>> holders;
  for (const char* name : {"h1", "h2", "h3", "h4", "h5"})
    holders.push_back(std::make_unique<Holder>(gate, device, 2, journal, name));
  std::atomic<int> attempts{0};
  std::atomic<bool> hold_query{false};
  Signal asking, go;
  Render big(gate, [&](bool alone) {
    ++attempts;
    return attempt_on(device, 8, journal, "big")(alone);
  }, [&] {
    if (hold_query.exchange(false)) {
      asking.set();
      go.wait();
    }
    return false;
  }, k10s);
  ASSERT_TRUE(eventually([&] { return gate.waiting() == 1; }));
  holders[0]->end();
  ASSERT_TRUE(eventually([&] { return attempts == 2; }));
  holders[1]->end();
  ASSERT_TRUE(eventually([&] { return attempts == 3 && gate.holding() == 3; }));  // draining, asleep
  hold_query = true;
  ASSERT_TRUE(asking.wait(2s));
  holders[2]->end();  // its turn
  holders[3]->end();  // memory for it, the turn still waiting
  go.set();
  EXPECT_EQ(big.join(), MemoryTurn::kRan);
  EXPECT_EQ(attempts, 4);
  EXPECT_EQ(gate.holding(), 1);
  holders[4]->end();
  expect_empty(gate);
}

// Once the last queued render leaves, by failing alone or by giving up,
// every render held back goes in, not only the first.
TEST(DeviceMemoryGateExits, WhenTheLastQueuedRenderLeavesAllHeldBackGoIn) {
  for (const bool aborts : {false, true}) {
    SCOPED_TRACE(aborts ? "it aborts" : "it fails alone");
    DeviceMemoryGate gate;
    UnitDevice device(10);
    Journal journal;
    auto holder = std::make_unique<Holder>(gate, device, 1, journal, "holder");
    std::atomic<bool> abort_it{false};
    Render queued(gate, attempt_on(device, 11, journal, "queued"), [&] { return abort_it.load(); }, k10s);
    ASSERT_TRUE(eventually([&] { return gate.waiting() == 1; }));
    std::atomic<int> inside{0};
    const auto together = [&] {
      ++inside;
      EXPECT_TRUE(eventually([&] { return inside == 2; }, 5s)) << "the renders held back went in one by one";
    };
    Render one(gate, attempt_on(device, 1, journal, "later", together), std::function<bool()>{}, k10s);
    Render two(gate, attempt_on(device, 1, journal, "later", together), std::function<bool()>{}, k10s);
    ASSERT_TRUE(eventually([&] { return gate.held_back() == 2; }));
    if (aborts)
      abort_it = true;
    else
      holder->end();  // the queued render then tries alone and cannot fit
    EXPECT_EQ(queued.join(), aborts ? MemoryTurn::kAborted : MemoryTurn::kNoRoomAlone);
    EXPECT_EQ(one.join(), MemoryTurn::kRan);
    EXPECT_EQ(two.join(), MemoryTurn::kRan);
    holder.reset();
    expect_empty(gate);
  }
}

// While the first queued render tries with the device to itself, a render
// that leaves the queue passes on what came to it to that render, not to a
// render held back, which would start beside it. Here the second queued
// render was given its turn while the first retried, failed again, and
// aborts while the first tries alone.
TEST(DeviceMemoryGateExits, NothingStartsBesideARenderTryingAlone) {
  DeviceMemoryGate gate;
  UnitDevice device(10);
  Journal journal;
  auto h1 = std::make_unique<Holder>(gate, device, 1, journal, "h1");
  auto h2 = std::make_unique<Holder>(gate, device, 1, journal, "h2");
  std::atomic<int> started{0};
  std::atomic<bool> alone_inside{false}, abort_second{false};
  Signal retrying, go_on, trying_alone, finish_alone;
  Render first(gate, queue_in_turn(gate, started, 2, 0, journal, "first", [&](bool alone) {
    journal.add("first", alone);
    if (!alone) {
      retrying.set();
      go_on.wait();
      return true;
    }
    alone_inside = true;
    trying_alone.set();
    finish_alone.wait();
    alone_inside = false;
    return false;
  }), std::function<bool()>{}, k10s);
  Render second(gate, queue_in_turn(gate, started, 2, 1, journal, "second", [&](bool alone) {
    journal.add("second", alone);
    return true;
  }), [&] { return abort_second.load(); }, k10s);
  ASSERT_TRUE(eventually([&] { return gate.waiting() == 2; }));
  h1->end();  // the first's turn
  ASSERT_TRUE(retrying.wait());
  h2->end();  // the second's turn, the first retrying: it retries and fails
  ASSERT_TRUE(eventually([&] { return journal.read().size() == 6 && gate.holding() == 1; }));
  go_on.set();
  ASSERT_TRUE(trying_alone.wait());
  std::atomic<bool> beside{false};
  Render later(gate, [&](bool) {
    beside = alone_inside.load();
    return false;
  }, std::function<bool()>{}, k10s);
  ASSERT_TRUE(eventually([&] { return gate.held_back() == 1; }));
  abort_second = true;
  EXPECT_EQ(second.join(), MemoryTurn::kAborted);
  EXPECT_FALSE(later.ended.wait(200ms)) << "a render went in beside the render trying alone";
  finish_alone.set();
  EXPECT_EQ(first.join(), MemoryTurn::kRan);
  EXPECT_EQ(later.join(), MemoryTurn::kRan);
  EXPECT_FALSE(beside);
  expect_empty(gate);
}

// A render drains the device only after two failed retries: memory handed
// back during its second retry still lets in a render held back.
TEST(DeviceMemoryGateExits, MemoryHandedBackDuringASecondRetryLetsInARenderHeldBack) {
  DeviceMemoryGate gate;
  UnitDevice device(10);
  Journal journal;
  std::vector<std::unique_ptr<Holder>> holders;
  for (const char* name : {"h1", "h2", "h3"}) holders.push_back(std::make_unique<Holder>(gate, device, 2, journal, name));
  std::atomic<int> attempts{0};
  Signal second_retry, go_on;
  Render big(gate, [&](bool alone) {
    if (++attempts == 3) {
      second_retry.set();
      go_on.wait();
    }
    return attempt_on(device, 10, journal, "big")(alone);
  }, std::function<bool()>{}, k10s);
  ASSERT_TRUE(eventually([&] { return gate.waiting() == 1; }));
  Render later(gate, attempt_on(device, 1, journal, "later"), std::function<bool()>{}, k10s);
  ASSERT_TRUE(eventually([&] { return gate.held_back() == 1; }));
  holders[0]->end();
  ASSERT_TRUE(eventually([&] { return attempts == 2 && gate.holding() == 2; }));
  holders[1]->end();
  ASSERT_TRUE(second_retry.wait());
  holders[2]->end();
  EXPECT_TRUE(later.ended.wait(2s)) << "the big render drained the device after one failed retry";
  go_on.set();
  EXPECT_EQ(later.join(), MemoryTurn::kRan);
  EXPECT_EQ(big.join(), MemoryTurn::kRan);
  expect_empty(gate);
}

// An attempt that throws on a retry, after its render queued, takes the
// render out of the queue before the exception goes on.
TEST(DeviceMemoryGateExits, AnAttemptThatThrowsOnARetryLeavesTheQueue) {
  DeviceMemoryGate gate;
  UnitDevice device(10);
  Journal journal;
  auto holder = std::make_unique<Holder>(gate, device, 1, journal, "holder");
  std::atomic<int> attempts{0};
  Render render(gate, std::function<bool(bool)>([&](bool) -> bool {
    if (++attempts == 2) throw std::runtime_error("device library");
    return true;
  }), std::function<bool()>{}, k10s);
  ASSERT_TRUE(eventually([&] { return gate.waiting() == 1; }));
  holder->end();
  render.join();
  EXPECT_TRUE(render.threw);
  // Memory handed on now must find no render in line: a node left linked
  // would be written on a stack that is gone.
  holder = std::make_unique<Holder>(gate, device, 1, journal, "again");
  holder->end();
  expect_empty(gate);
}

// A waiting render asks its host about every 50 ms, not in a spin, and a
// timed wait with nothing to wake it lasts its time, its seconds counted
// once: waits run on the monotonic clock the deadline is read from.
TEST(DeviceMemoryGateExits, TimedWaitsLastTheirTime) {
  DeviceMemoryGate gate;
  UnitDevice device(10);
  Journal journal;
  Holder holder(gate, device, 1, journal, "holder");
  std::atomic<int> asked{0};
  const auto start = Clock::now();
  EXPECT_EQ(gate.run(fits_only_alone, [&] { return ++asked, false; }, 300ms), MemoryTurn::kWaitedTooLong);
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, 300ms);
  EXPECT_LT(waited, 450ms);
  EXPECT_GE(asked, 4);
  EXPECT_LE(asked, 10) << "the waiting render spun";

  std::mutex mutex;
  SteadyCondition condition;
  for (const auto timeout : {Clock::duration(150ms), Clock::duration(1500ms)}) {
    std::unique_lock<std::mutex> lock(mutex);
    const auto before = Clock::now();
    condition.wait_for(lock, timeout);
    const auto lasted = Clock::now() - before;
    EXPECT_GE(lasted, timeout);
    EXPECT_LT(lasted, timeout + 200ms);
  }
}

// Each device has a gate of its own: a render on device 1 does not wait for
// the renders queued at device 0.
TEST(DeviceMemoryGateExits, EachDeviceHasItsOwnGate) {
  DeviceMemoryGate& zero = device_memory_gate(0);
  DeviceMemoryGate& one = device_memory_gate(1);
  UnitDevice device(10);
  Journal journal;
  auto holder = std::make_unique<Holder>(zero, device, 1, journal, "holder");
  Render waiter(zero, fits_only_alone, std::function<bool()>{}, k10s);
  ASSERT_TRUE(eventually([&] { return zero.waiting() == 1; }));
  EXPECT_EQ(one.run(fits_only_alone, {}, 0ms), MemoryTurn::kRan);
  holder->end();
  EXPECT_EQ(waiter.join(), MemoryTurn::kRan);
  expect_empty(zero);
}

}  // namespace
