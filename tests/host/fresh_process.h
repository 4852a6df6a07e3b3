// Runs a test body in a newly started copy of the test executable, so that
// the bundle's static state (such as the "host is Natron" flag, which never
// turns back) is that of a host that has just loaded it:
//   EXPECT_TRUE(ofxtest::runInFreshProcess([] { ...gtest expectations... }));
// The child re-runs only the current test, with OFXTEST_FRESH_CHILD set (and
// the `environment` given, for what a library reads once per process), and
// there runs the body directly; its failures make this return false.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace ofxtest {

inline bool runInFreshProcess(const std::function<void()>& body,
                              const std::vector<std::pair<std::string, std::string>>& environment = {}) {
  if (std::getenv("OFXTEST_FRESH_CHILD")) {
    body();
    return !::testing::Test::HasFailure();
  }
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (!info) return false;
  const std::string filter =
      std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    setenv("OFXTEST_FRESH_CHILD", "1", 1);
    for (const auto& variable : environment) setenv(variable.first.c_str(), variable.second.c_str(), 1);
    execl("/proc/self/exe", "/proc/self/exe", filter.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace ofxtest
