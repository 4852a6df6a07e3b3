#include "pipeline/device_memory_gate.h"

#include <algorithm>
#include <mutex>
#include <new>

namespace {

// The renders in line and those held back live on their own stacks, linked
// through `next` in the order they joined.
template <typename Node>
void append(Node*& head, Node& node) {
  Node** end = &head;
  while (*end) end = &(*end)->next;
  *end = &node;
}

template <typename Node>
void unlink(Node*& head, Node& node) {
  for (Node** n = &head; *n; n = &(*n)->next)
    if (*n == &node) {
      *n = node.next;
      return;
    }
}

template <typename Node>
size_t length(const Node* head) {
  size_t n = 0;
  for (; head; head = head->next) ++n;
  return n;
}

}  // namespace

template <typename Ready>
DeviceMemoryGate::Waited DeviceMemoryGate::wait(Lock& lock, Duration& budget, const std::function<bool()>& aborted,
                                                Ready ready) {
  using Clock = std::chrono::steady_clock;
  const Duration poll = std::chrono::milliseconds(kAbortPollMilliseconds);
  for (;;) {
    if (ready()) return Waited::kReady;
    if (budget <= Duration::zero()) return Waited::kOutOfTime;
    const auto start = Clock::now();
    if (aborted) {
      // The host's query runs without the gate's lock: it may take locks of
      // its own, and the gate's other renders need not wait for it.
      lock.unlock();
      const bool stop = aborted();
      lock.lock();
      if (stop) return Waited::kAborted;
    }
    if (!ready()) changed_.wait_for(lock, aborted ? std::min(budget, poll) : budget);
    budget -= Clock::now() - start;
  }
}

void DeviceMemoryGate::end_attempt(bool ran) {
  --holders_;
  if (ran) hand_on();
  changed_.notify_all();
}

// A render whose retries failed twice needs more memory than one render
// hands back at a time: what is handed back comes to it first from then on.
// Two, not one: a retry may fail because renders let in beside it took the
// memory, and a render that drained the device at once would hold back the
// frames that fit beside it.
constexpr int kFailedRetriesBeforeDraining = 2;

void DeviceMemoryGate::hand_on() {
  for (Waiter* w = queue_; w; w = w->next)
    if (w->failed_retries >= kFailedRetriesBeforeDraining) {
      if (!w->turn) give_turn(*w);
      return;
    }
  for (Waiter* w = queue_; w; w = w->next)
    if (!w->retrying && !w->turn) {
      give_turn(*w);
      return;
    }
  if (arrivals_)
    admit(*arrivals_);
  else
    ++unclaimed_;
}

// A render given its turn or let in holds its place on the device from
// then on, so that no render tries alone before it has had its attempt.
void DeviceMemoryGate::give_turn(Waiter& waiter) {
  waiter.turn = true;
  ++holders_;
}

void DeviceMemoryGate::admit(Arrival& arrival) {
  arrivals_ = arrival.next;
  arrival.admitted = true;
  ++holders_;
}

void DeviceMemoryGate::leave_queue(Waiter& waiter) {
  unlink(queue_, waiter);
  // A turn it did not take goes on; when the queue empties, the renders
  // held back so far go in.
  if (waiter.turn) {
    --holders_;
    hand_on();
  }
  if (!queue_)
    while (arrivals_) admit(*arrivals_);
  changed_.notify_all();
}

MemoryTurn DeviceMemoryGate::run(const std::function<bool(bool alone)>& attempt,
                                 const std::function<bool()>& aborted, Duration bound) {
  Lock lock(mutex_);
  // A new render lets the queued renders go first: it goes in when the
  // queue empties, or when memory handed back comes to it, in the order
  // renders came.
  if (queue_) {
    Arrival arrival;
    append(arrivals_, arrival);
    const Waited entered = wait(lock, bound, aborted, [&] { return arrival.admitted; });
    if (entered != Waited::kReady) {
      unlink(arrivals_, arrival);
      return entered == Waited::kAborted ? MemoryTurn::kAborted : MemoryTurn::kWaitedTooLong;
    }
  } else {
    ++holders_;
  }
  Waiter self;
  bool queued = false;
  bool alone = false;
  for (;;) {
    const uint64_t unclaimed_before = unclaimed_;
    self.retrying = queued;
    lock.unlock();
    bool no_memory = false;
    try {
      no_memory = attempt(alone);
    } catch (...) {
      lock.lock();
      self.retrying = false;
      end_attempt(false);
      if (queued) leave_queue(self);
      throw;
    }
    lock.lock();
    self.retrying = false;
    if (!no_memory || alone) {
      if (queued) leave_queue(self);
      end_attempt(!no_memory);
      return no_memory ? MemoryTurn::kNoRoomAlone : MemoryTurn::kRan;
    }
    end_attempt(false);
    if (queued) ++self.failed_retries;
    if (!queued) append(queue_, self);
    queued = true;
    // Memory handed back while it tried, that no other render took, is its
    // own: it was not in line for it yet.
    if (unclaimed_ != unclaimed_before && !self.turn) give_turn(self);
    const Waited turn =
        wait(lock, bound, aborted, [&] { return self.turn || (queue_ == &self && holders_ == 0); });
    if (turn != Waited::kReady) {
      leave_queue(self);
      return turn == Waited::kAborted ? MemoryTurn::kAborted : MemoryTurn::kWaitedTooLong;
    }
    // Its turn is its place on the device already.
    alone = queue_ == &self && holders_ == (self.turn ? 1 : 0);
    if (self.turn)
      self.turn = false;
    else
      ++holders_;
  }
}

size_t DeviceMemoryGate::waiting() {
  std::lock_guard<std::mutex> lock(mutex_);
  return length(queue_);
}

size_t DeviceMemoryGate::held_back() {
  std::lock_guard<std::mutex> lock(mutex_);
  return length(arrivals_);
}

DeviceMemoryGate& device_memory_gate(int device) {
  // Never destroyed, since renders may run at exit, and held in static
  // storage rather than on the heap, so that a bundle the host unloads
  // leaves nothing behind (a gate owns no heap memory: its queue lives on
  // the waiting renders' stacks). Devices past the table share a gate: they
  // then wait for each other's renders too.
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

MemoryTurn take_memory_turns(int device, bool (*attempt)(void* context, bool alone), void* context,
                             bool (*aborted)(void* abortContext), void* abortContext) {
  std::function<bool()> asked;
  if (aborted) asked = [=] { return aborted(abortContext); };
  return device_memory_gate(device).run([=](bool alone) { return attempt(context, alone); }, asked);
}
