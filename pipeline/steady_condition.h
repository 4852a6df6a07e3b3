// A condition variable whose timed waits run on the monotonic clock in
// every build. The product's C++ runtime is built for glibc 2.28, which has
// no pthread_cond_clockwait, so its std::condition_variable times a wait on
// the steady clock by the wall clock: a step of the system's time (NTP, the
// user) would lengthen or cut short a render's wait for memory. A condition
// whose clock attribute is CLOCK_MONOTONIC waits by the clock steady_clock
// reads, with functions glibc 2.28 has.
#pragma once

#include <pthread.h>

#include <chrono>
#include <mutex>

class SteadyCondition {
 public:
  SteadyCondition();
  ~SteadyCondition();
  SteadyCondition(const SteadyCondition&) = delete;
  SteadyCondition& operator=(const SteadyCondition&) = delete;

  void notify_all();
  // Releases `lock` while it waits, until notified or `timeout` has passed
  // (or spuriously), and holds it again on return.
  void wait_for(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::duration timeout);

 private:
  pthread_cond_t cond_;
};
