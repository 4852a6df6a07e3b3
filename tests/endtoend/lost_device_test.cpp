// A device fault that poisons the context: the frame that met it fails;
// from then on the device is lost for the whole process. Frames of every
// instance on it pass through without a CUDA call on that device, each
// instance says so once, and another device keeps rendering.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "tests/host/fresh_process.h"
#include "tests/host/ofx_test_host.h"

using namespace ofxtest;

namespace {

constexpr int kW = 13, kH = 7;
const std::string kLostText =
    "Kalthorne : the CUDA device stopped working. Restart the host to process footage again";
const std::string kFailedText = "Brew : GPU processing failed. Unable to process footage";

bool sameFrame(const ImageBuffer& a, const ImageBuffer& b) {
  return a.storage.size() == b.storage.size() && std::memcmp(a.storage.data(), b.storage.data(), a.storage.size()) == 0;
}

std::vector<std::string> persistentTexts(const Instance& i) {
  std::vector<std::string> texts;
  for (const auto& m : i.messages())
    if (m.persistent) texts.push_back(m.text);
  return texts;
}

// A process of its own (a lost device stays lost) meets `fault` at its nth
// call in the second frame of instance a; then a and b render twice each.
void expectLostDevicePassThrough(const char* function, cudaError_t fault) {
  EXPECT_TRUE(runInFreshProcess([&] {
    cudasim::reset();
    cudasim::set_devices({cudasim::Device{}, cudasim::Device{}});
    Host host;
    std::string error;
    ASSERT_TRUE(host.loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error)) << error;
    auto src = std::make_shared<ImageBuffer>(rect(0, 0, kW, kH));
    src->fillWith([](int x, int y, int c) { return c == 3 ? 0.5f : 0.05f + 0.04f * float(x + y + c); });
    std::unique_ptr<Instance> a = host.createInstance(kOfxImageEffectContextFilter);
    std::unique_ptr<Instance> b = host.createInstance(kOfxImageEffectContextFilter);
    for (Instance* i : {a.get(), b.get()}) {
      ASSERT_EQ(i->createStatus(), kOfxStatOK);
      ASSERT_EQ(i->userEdit("CameraStock", 2), kOfxStatOK);
      i->setClipImage("Source", src);
    }
    auto render = [&](Instance& i, double time) {
      auto out = std::make_shared<ImageBuffer>(rect(0, 0, kW, kH));
      i.setClipImageAt("Output", time, out);
      const OfxStatus status = i.render(time, rect(0, 0, kW, kH));
      return std::make_pair(status, out);
    };
    ASSERT_EQ(render(*a, 1).first, kOfxStatOK);  // the device works

    cudasim::fail_call(function, 1, fault);
    EXPECT_EQ(render(*a, 2).first, kOfxStatFailed);  // the frame that met the fault
    EXPECT_EQ(persistentTexts(*a), std::vector<std::string>{kFailedText});

    cudasim::clear_call_log();
    cudasim::clear_launch_trace();
    for (int n = 0; n < 2; ++n)
      for (Instance* i : {a.get(), b.get()}) {
        const auto r = render(*i, 3 + n);
        EXPECT_EQ(r.first, kOfxStatOK);
        EXPECT_TRUE(sameFrame(*r.second, *src)) << "not passed through";
      }
    for (const auto& c : cudasim::call_log()) EXPECT_NE(c.device, 0) << c.function;
    EXPECT_TRUE(cudasim::launch_trace().empty());
    EXPECT_EQ(persistentTexts(*a), (std::vector<std::string>{kFailedText, kLostText}));
    EXPECT_EQ(persistentTexts(*b), std::vector<std::string>{kLostText});
    // Purging caches leaves the lost device alone too.
    host.callAction(kOfxActionPurgeCaches, a->handle(), nullptr, nullptr);
    for (const auto& c : cudasim::call_log()) EXPECT_NE(c.device, 0) << c.function;
  }));
}

TEST(LostDevice, AfterAKernelFaultFramesPassThroughAndEachInstanceSaysSoOnce) {
  expectLostDevicePassThrough("launch", cudaErrorIllegalAddress);
}

TEST(LostDevice, AfterAnUnknownErrorFromTheWaitFramesPassThroughAndEachInstanceSaysSoOnce) {
  expectLostDevicePassThrough("cudaStreamSynchronize", cudaErrorUnknown);
}

}  // namespace
