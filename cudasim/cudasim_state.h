// Internal state shared by the runtime functions and the launcher.
#pragma once

#include "cudasim/cudasim_control.h"

#include <deque>
#include <mutex>
#include <set>
#include <string>
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
  std::set<const void*> cooperative;
  std::set<cudaStream_t> streams;  // created and not yet destroyed
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

}  // namespace detail
}  // namespace cudasim
