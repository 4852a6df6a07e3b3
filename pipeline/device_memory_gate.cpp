#include "pipeline/device_memory_gate.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <optional>

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

// Everything below runs under the gate's lock but where Unlocked says not.

// One counted place on the device. The render takes it, or the render whose
// memory it gets gives it one; it goes back when the render's attempt ends
// or the render leaves without taking it, and moves, still counted, from a
// turn or a let-in to the attempt it is for.
class DeviceMemoryGate::Place {
 public:
  explicit Place(DeviceMemoryGate& gate) : gate_(gate) {}
  ~Place() { give_back(); }
  Place(const Place&) = delete;
  Place& operator=(const Place&) = delete;

  bool held() const { return held_; }
  // A render holds one place at a time: one given it again is not counted
  // again.
  void take() {
    if (held_) return;
    held_ = true;
    ++gate_.holders_;
  }
  void give_back() {
    if (!held_) return;
    held_ = false;
    --gate_.holders_;
    gate_.changed_.notify_all();
  }
  void move_to(Place& to) {
    if (!held_ || to.held_) return;
    held_ = false;
    to.held_ = true;
  }

 private:
  DeviceMemoryGate& gate_;
  bool held_ = false;
};

// The memory handed on to a render (a turn, its let-in, what a draining
// render takes) that it has not rendered with. It is free again once the
// render's attempts failed and handed back all they got, so a render that
// leaves without rendering passes each hand-back on to the next in line.
class DeviceMemoryGate::Handed {
 public:
  explicit Handed(DeviceMemoryGate& gate) : gate_(gate) {}
  ~Handed() {
    for (; count > 0; --count) gate_.hand_on();
    gate_.changed_.notify_all();
  }
  Handed(const Handed&) = delete;
  Handed& operator=(const Handed&) = delete;

  int count = 0;

 private:
  DeviceMemoryGate& gate_;
};

// A new render held back while renders are queued, in the order they came.
class DeviceMemoryGate::HeldBack {
 public:
  HeldBack(DeviceMemoryGate& gate, Handed& handed) : gate(gate), place(gate), handed(handed) {
    append(gate.arrivals_, *this);
  }
  // Let in and leaving before its attempt (the host aborted it meanwhile),
  // it gives back the place it was given.
  ~HeldBack() {
    if (!admitted) unlink(gate.arrivals_, *this);
  }
  HeldBack(const HeldBack&) = delete;
  HeldBack& operator=(const HeldBack&) = delete;

  DeviceMemoryGate& gate;
  Place place;  // held from when it is let in
  Handed& handed;
  bool admitted = false;
  HeldBack* next = nullptr;
};

// A render whose attempt failed, queued by the time it first failed until it
// has rendered or given up.
class DeviceMemoryGate::InLine {
 public:
  InLine(DeviceMemoryGate& gate, Handed& handed) : gate(gate), turn(gate), handed(handed) {
    append(gate.queue_, *this);
  }
  // Leaving, it gives back a turn it did not take (its Place does); when
  // the queue empties, the renders held back so far go in.
  ~InLine() {
    unlink(gate.queue_, *this);
    if (!gate.queue_)
      while (gate.arrivals_) gate.admit(false);
    gate.changed_.notify_all();
  }
  InLine(const InLine&) = delete;
  InLine& operator=(const InLine&) = delete;

  DeviceMemoryGate& gate;
  Place turn;  // memory handed back came to it: it tries again
  Handed& handed;
  bool retrying = false;
  bool alone = false;  // retrying with no other render holding memory
  int failed_retries = 0;
  InLine* next = nullptr;
};

// The gate's lock let go for a call that may take long or take locks of its
// own, and held again however the call ends.
class DeviceMemoryGate::Unlocked {
 public:
  explicit Unlocked(Lock& lock) : lock_(lock) { lock_.unlock(); }
  ~Unlocked() { lock_.lock(); }
  Unlocked(const Unlocked&) = delete;
  Unlocked& operator=(const Unlocked&) = delete;

 private:
  Lock& lock_;
};

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
      // its own, and the gate's other renders need not wait for it. What
      // came to the render meanwhile goes back with it if the host says yes.
      bool stop;
      {
        Unlocked unlocked(lock);
        stop = aborted();
      }
      if (stop) return Waited::kAborted;
    }
    if (!ready()) changed_.wait_for(lock, aborted ? std::min(budget, poll) : budget);
    budget -= Clock::now() - start;
  }
}

// A render whose retries failed twice needs more memory than one render
// hands back at a time: what is handed back comes to it first from then on.
// Two, not one: a retry may fail because renders let in beside it took the
// memory, and a render that drained the device at once would hold back the
// frames that fit beside it.
constexpr int kFailedRetriesBeforeDraining = 2;

void DeviceMemoryGate::hand_on() {
  // A render trying with the device to itself needs all of it: memory that a
  // render leaving the queue passes on meanwhile is its own, and nothing
  // starts beside it.
  if (queue_ && queue_->alone) {
    ++queue_->handed.count;
    return;
  }
  for (InLine* w = queue_; w; w = w->next)
    if (w->failed_retries >= kFailedRetriesBeforeDraining) {
      give_turn(*w);
      return;
    }
  for (InLine* w = queue_; w; w = w->next)
    if (!w->retrying && !w->turn.held()) {
      give_turn(*w);
      return;
    }
  if (arrivals_)
    admit(true);
  else
    ++unclaimed_;
}

// A render given its turn or let in holds its place on the device from
// then on, so that no render tries alone before it has had its attempt. A
// draining render given memory while a turn waits for it already takes the
// memory, not a second place.
void DeviceMemoryGate::give_turn(InLine& render) {
  render.turn.take();
  ++render.handed.count;
}

void DeviceMemoryGate::admit(bool handed) {
  HeldBack& arrival = *arrivals_;
  arrivals_ = arrival.next;
  arrival.admitted = true;
  arrival.place.take();
  if (handed) ++arrival.handed.count;
}

MemoryTurn DeviceMemoryGate::run(const std::function<bool(bool alone)>& attempt,
                                 const std::function<bool()>& aborted, Duration bound) {
  // Declared first, so held again and let go last: what the render holds
  // gives itself back under the lock on every way out.
  Lock lock(mutex_);
  Place place(*this);  // its place on the device while it tries
  Handed handed(*this);
  // A new render lets the queued renders go first: it goes in when the
  // queue empties, or when memory handed back comes to it, in the order
  // renders came.
  if (queue_) {
    HeldBack held(*this, handed);
    const Waited entered = wait(lock, bound, aborted, [&] { return held.admitted; });
    if (entered != Waited::kReady) return entered == Waited::kAborted ? MemoryTurn::kAborted : MemoryTurn::kWaitedTooLong;
    held.place.move_to(place);
  } else {
    place.take();
  }
  std::optional<InLine> line;
  bool alone = false;
  for (;;) {
    const uint64_t unclaimed_before = unclaimed_;
    if (line) {
      line->retrying = true;
      line->alone = alone;
    }
    bool no_memory;
    {
      Unlocked unlocked(lock);
      no_memory = attempt(alone);
    }
    if (line) line->retrying = line->alone = false;
    if (!no_memory || alone) {
      // It leaves the queue before it hands its memory on, which would
      // otherwise come back to it.
      if (!no_memory) handed.count = 0;
      line.reset();
      place.give_back();
      if (!no_memory) hand_on();
      changed_.notify_all();
      return no_memory ? MemoryTurn::kNoRoomAlone : MemoryTurn::kRan;
    }
    place.give_back();
    if (line)
      ++line->failed_retries;
    else
      line.emplace(*this, handed);
    // Memory handed back while it tried, that no other render took, is its
    // own: it was not in line for it yet.
    if (unclaimed_ != unclaimed_before && !line->turn.held()) give_turn(*line);
    InLine& self = *line;
    const Waited turn =
        wait(lock, bound, aborted, [&] { return self.turn.held() || (queue_ == &self && holders_ == 0); });
    if (turn != Waited::kReady) return turn == Waited::kAborted ? MemoryTurn::kAborted : MemoryTurn::kWaitedTooLong;
    // Its turn is its place on the device already.
    alone = queue_ == &self && holders_ == (self.turn.held() ? 1 : 0);
    if (self.turn.held())
      self.turn.move_to(place);
    else
      place.take();
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

int DeviceMemoryGate::holding() {
  std::lock_guard<std::mutex> lock(mutex_);
  return holders_;
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
