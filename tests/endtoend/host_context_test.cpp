// The host's thread keeps its CUDA context through the actions that touch
// the device: purging caches gives back the pools' memory (runtime work,
// which on a thread with no context current would leave the device's primary
// context current there) and leaves the thread as it found it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "cudasim/cudasim_control.h"
#include "tests/host/ofx_test_host.h"

using namespace ofxtest;

namespace {

TEST(HostContext, PurgingCachesLeavesTheHostThreadWithoutAContext) {
  cudasim::reset();
  Host host;
  std::string error;
  ASSERT_TRUE(host.loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error)) << error;
  std::unique_ptr<Instance> i = host.createInstance(kOfxImageEffectContextFilter);
  ASSERT_EQ(i->createStatus(), kOfxStatOK);
  ASSERT_EQ(i->userEdit("CameraStock", 2), kOfxStatOK);
  auto src = std::make_shared<ImageBuffer>(rect(0, 0, 8, 4));
  src->fillWith([](int x, int y, int c) { return c == 3 ? 1.0f : 0.1f * float(x + y + c); });
  i->setClipImage("Source", src);
  i->setClipImageAt("Output", 1, std::make_shared<ImageBuffer>(rect(0, 0, 8, 4)));
  ASSERT_EQ(i->render(1, rect(0, 0, 8, 4)), kOfxStatOK);  // the device's pool now exists

  void* context = &context;
  std::thread main_thread([&] {
    cudasim::clear_call_log();
    host.callAction(kOfxActionPurgeCaches, i->handle(), nullptr, nullptr);
    context = cudasim::current_context();
  });
  main_thread.join();
  bool trimmed = false;
  for (const auto& c : cudasim::call_log()) trimmed |= c.function == "cudaMemPoolTrimTo";
  EXPECT_TRUE(trimmed);
  EXPECT_EQ(context, nullptr);
}

}  // namespace
