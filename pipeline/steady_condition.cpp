#include "pipeline/steady_condition.h"

#include <time.h>

#include <cstdint>

SteadyCondition::SteadyCondition() {
  pthread_condattr_t attributes;
  pthread_condattr_init(&attributes);
  pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
  pthread_cond_init(&cond_, &attributes);
  pthread_condattr_destroy(&attributes);
}

SteadyCondition::~SteadyCondition() { pthread_cond_destroy(&cond_); }

void SteadyCondition::notify_all() { pthread_cond_broadcast(&cond_); }

void SteadyCondition::wait_for(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::duration timeout) {
  constexpr int64_t kNanoseconds = 1000000000;
  const int64_t wait = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  // No deadline so far off that the seconds overflow: a day is as good.
  const int64_t capped = wait < 0 ? 0 : wait > 86400 * kNanoseconds ? 86400 * kNanoseconds : wait;
  const int64_t nanoseconds = int64_t(deadline.tv_nsec) + capped % kNanoseconds;
  deadline.tv_sec += time_t(capped / kNanoseconds + nanoseconds / kNanoseconds);
  deadline.tv_nsec = long(nanoseconds % kNanoseconds);
  pthread_cond_timedwait(&cond_, lock.mutex()->native_handle(), &deadline);
}
