// Internal state shared by the runtime functions and the launcher.
#pragma once

#include "cudasim/cudasim_control.h"

#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace cudasim {
namespace detail {

struct State {
  std::mutex mutex;
  std::vector<Device> devices{Device{}};
  std::vector<Call> calls;
  std::vector<Launch> launches;
  struct Failure {
    std::string function;
    long first;  // 1-based call number (counted from when the failure was set)
    long last;   // inclusive; -1 = unbounded
    long seen;   // calls of `function` since the failure was set
    cudaError_t error;
  };
  std::vector<Failure> failures;
  std::set<const void*> cooperative;
  int worker_threads = 4;
};

State& state();

// Consumes one call of `function` against the injected failures.
cudaError_t injected_failure(const std::string& function);
void note_violation(const std::string& text);
void set_last_error(cudaError_t error);

}  // namespace detail
}  // namespace cudasim
