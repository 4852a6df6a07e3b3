// Internal state shared by the runtime functions and the launcher.
#pragma once

#include "cudasim/cudasim_control.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace cudasim {
namespace detail {

constexpr size_t kDefaultLogLimit = size_t(1) << 16;

struct State {
  std::mutex mutex;
  std::vector<Device> devices{Device{}};
  std::deque<Call> calls;
  std::deque<Launch> launches;
  size_t log_limit = kDefaultLogLimit;
  size_t dropped_calls = 0;
  size_t dropped_launches = 0;
  struct Failure {
    std::string function;
    long first;  // 1-based call number (counted from when the failure was set)
    long last;   // inclusive; -1 = unbounded
    long seen;   // calls of `function` since the failure was set
    cudaError_t error;
  };
  std::vector<Failure> failures;
  std::vector<std::pair<std::string, std::function<void()>>> hooks;  // before_next_call
  std::set<const void*> cooperative;
  struct Stream {
    int device;               // current when it was created
    bool blocking;            // cudaStreamDefault: ordered with the legacy default stream
    std::thread::id creator;  // the host thread that made it
  };
  std::map<cudaStream_t, Stream> streams;  // created and not yet destroyed
  // Devices whose context met a sticky error, with that error: every call
  // that needs the context fails with it until the process ends (reset()).
  std::map<int, cudaError_t> lost;
  int worker_threads = 4;
};

State& state();

// Appends to a bounded log; caller holds the state mutex.
template <typename Entry>
void push_bounded(std::deque<Entry>& log, Entry&& entry, size_t limit, size_t& dropped) {
  log.push_back(std::move(entry));
  while (log.size() > limit) {
    log.pop_front();
    ++dropped;
  }
}

// Consumes one call of `function` against the injected failures.
cudaError_t injected_failure(const std::string& function);
void note_violation(const std::string& text);
void set_last_error(cudaError_t error);
// The default stream (0), cudaStreamLegacy, cudaStreamPerThread or a live
// created stream; anything else is noted as a bad stream.
bool stream_usable(cudaStream_t stream, const char* function);
// The device of the thread's current context, or else its runtime device.
int current_device();
// The device a stream belongs to (the current one for the default streams).
int stream_device(cudaStream_t stream);
// An error that leaves the context unusable for good (from a
// synchronisation, an unknown error too).
bool is_sticky(cudaError_t error, bool synchronisation);
// Marks `device` lost with `error` when the error is sticky.
void note_fault(int device, cudaError_t error, bool synchronisation);
// The sticky error of a lost device, else cudaSuccess.
cudaError_t lost_error(int device);
// What cudaDeviceGetAttribute answers for the device (0 for no device).
int device_attribute(int device, int attr);

// Deferred device work (stream_queue.cpp). Streams are keyed with the
// legacy default stream as null.
using Work = std::function<void()>;
cudaStream_t stream_key(cudaStream_t stream);
bool stream_blocking(cudaStream_t stream);
// Queues work on the stream; its sequence number there.
uint64_t enqueue(cudaStream_t stream, Work work);
// The number the stream's next work will get.
uint64_t next_sequence(cudaStream_t stream);
// Whether the stream has run its work up to `sequence`.
bool completed(cudaStream_t stream, uint64_t sequence);
// Runs the stream's queued work (with the legacy stream, the blocking
// streams' first); all streams'.
void synchronize_stream(cudaStream_t stream);
void synchronize_all();
// Runs the stream's work and forgets the stream.
void forget_stream(cudaStream_t stream);
// Queued work is dropped (reset()).
void drop_all_work();

// Strict checks (runtime.cpp): a finding stops the process with its text
// unless findings are only counted (set_findings_fatal(false)).
void strict_finding(const std::string& text);
// Memory at `pointer` used by `what` on `stream`: inside an allocation of
// the current device, whose last use on another stream is ordered before
// this one; the use is remembered.
void track_use(const char* what, const void* pointer, cudaStream_t stream);
// Work of `what` on `stream`: a stream of the current device, and, on a host
// thread that has streams of its own (a render), one of them.
void check_work_stream(const char* what, cudaStream_t stream);

}  // namespace detail
}  // namespace cudasim
