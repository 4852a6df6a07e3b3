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

// The bundle loaded, in a process of its own, on two working stand-in devices.
void loadOnTwoDevices(Host& host) {
  cudasim::reset();
  cudasim::set_devices({cudasim::Device{}, cudasim::Device{}});
  std::string error;
  ASSERT_TRUE(host.loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error)) << error;
}

std::shared_ptr<ImageBuffer> sourceFrame() {
  auto src = std::make_shared<ImageBuffer>(rect(0, 0, kW, kH));
  src->fillWith([](int x, int y, int c) { return c == 3 ? 0.5f : 0.05f + 0.04f * float(x + y + c); });
  return src;
}

// An instance made on the host's current device, with a look that is not
// neutral, reading `src`.
std::unique_ptr<Instance> lookingInstance(Host& host, const std::shared_ptr<ImageBuffer>& src) {
  std::unique_ptr<Instance> i = host.createInstance(kOfxImageEffectContextFilter);
  EXPECT_EQ(i->createStatus(), kOfxStatOK);
  EXPECT_EQ(i->userEdit("CameraStock", 2), kOfxStatOK);
  i->setClipImage("Source", src);
  return i;
}

std::pair<OfxStatus, std::shared_ptr<ImageBuffer>> renderFrame(Instance& i, double time) {
  auto out = std::make_shared<ImageBuffer>(rect(0, 0, kW, kH));
  i.setClipImageAt("Output", time, out);
  const OfxStatus status = i.render(time, rect(0, 0, kW, kH));
  return std::make_pair(status, out);
}

// A process of its own (a lost device stays lost) meets `fault` at its nth
// call in the second frame of instance a; then a and b render twice each.
void expectLostDevicePassThrough(const char* function, cudaError_t fault) {
  EXPECT_TRUE(runInFreshProcess([&] {
    Host host;
    ASSERT_NO_FATAL_FAILURE(loadOnTwoDevices(host));
    const auto src = sourceFrame();
    std::unique_ptr<Instance> a = lookingInstance(host, src);
    std::unique_ptr<Instance> b = lookingInstance(host, src);
    ASSERT_EQ(renderFrame(*a, 1).first, kOfxStatOK);  // the device works

    cudasim::fail_call(function, 1, fault);
    EXPECT_EQ(renderFrame(*a, 2).first, kOfxStatFailed);  // the frame that met the fault
    EXPECT_EQ(persistentTexts(*a), std::vector<std::string>{kFailedText});

    cudasim::clear_call_log();
    cudasim::clear_launch_trace();
    for (int n = 0; n < 2; ++n)
      for (Instance* i : {a.get(), b.get()}) {
        const auto r = renderFrame(*i, 3 + n);
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

// Device 0 lost, the host then working on a healthy device 1: an instance
// made there renders on device 1, without a message, the frame device 0 gave
// before its fault; the lost device's own instance still passes through.
TEST(LostDevice, AnInstanceMadeAfterDeviceZeroIsLostRendersOnTheHostsHealthyDevice) {
  EXPECT_TRUE(runInFreshProcess([] {
    Host host;
    ASSERT_NO_FATAL_FAILURE(loadOnTwoDevices(host));
    const auto src = sourceFrame();
    std::unique_ptr<Instance> a = lookingInstance(host, src);
    const auto before = renderFrame(*a, 1);
    ASSERT_EQ(before.first, kOfxStatOK);
    ASSERT_FALSE(sameFrame(*before.second, *src)) << "the look must change the frame";
    cudasim::fail_call("launch", 1, cudaErrorIllegalAddress);
    ASSERT_EQ(renderFrame(*a, 2).first, kOfxStatFailed);

    ASSERT_EQ(cudaSetDevice(1), cudaSuccess);
    std::unique_ptr<Instance> c = lookingInstance(host, src);
    EXPECT_TRUE(c->messages().empty());
    cudasim::clear_call_log();
    cudasim::clear_launch_trace();
    const auto r = renderFrame(*c, 3);
    EXPECT_EQ(r.first, kOfxStatOK);
    EXPECT_TRUE(sameFrame(*r.second, *before.second)) << "not rendered as before the fault";
    EXPECT_FALSE(cudasim::launch_trace().empty());
    for (const auto& launch : cudasim::launch_trace()) EXPECT_TRUE(launch.ran && launch.device == 1) << launch.kernel;
    for (const auto& call : cudasim::call_log()) EXPECT_NE(call.device, 0) << call.function;
    EXPECT_TRUE(c->messages().empty());

    const auto passed = renderFrame(*a, 4);
    EXPECT_EQ(passed.first, kOfxStatOK);
    EXPECT_TRUE(sameFrame(*passed.second, *src));
    EXPECT_EQ(persistentTexts(*a), (std::vector<std::string>{kFailedText, kLostText}));
  }));
}

}  // namespace
