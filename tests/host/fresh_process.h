// Runs a test body in a forked child, so it sees the bundle's static state
// as a newly started host would. Use before anything in the test process has
// loaded the bundle in a way that matters, or where that does not matter
// because the child loads it for the first time only if the parent has not.
//
//   TEST(X, Y) { EXPECT_TRUE(ofxtest::runInFreshProcess([] { ...gtest asserts... })); }
//
// The child's failed expectations print as usual and make this return false.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace ofxtest {

inline bool runInFreshProcess(const std::function<void()>& body) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    body();
    std::fflush(nullptr);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace ofxtest
