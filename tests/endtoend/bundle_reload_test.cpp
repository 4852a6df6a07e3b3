// A host that renders, unloads the bundle and loads it again, closing the
// library in between or not (a host may do either): every load renders on
// pools made afresh, and nothing the bundle made on the device outlives its
// unload: no memory pool, and no memory a pool keeps for the process.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "cudasim/cudasim_control.h"
#include "tests/host/fresh_process.h"
#include "tests/host/ofx_test_host.h"

using namespace ofxtest;

namespace {

constexpr int kW = 16, kH = 8;

// Loads, renders a frame of a look with film, halation and texture stages,
// and unloads.
void renderOnce(Host& host) {
  std::string error;
  ASSERT_TRUE(host.loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error)) << error;
  std::unique_ptr<Instance> i = host.createInstance(kOfxImageEffectContextFilter);
  ASSERT_EQ(i->createStatus(), kOfxStatOK);
  for (const auto& e : {std::make_pair("CameraStock", 4.0), std::make_pair("HalationBypass", 0.0),
                        std::make_pair("PitchBypass", 0.0), std::make_pair("EnsemblePitch", 6.0)})
    ASSERT_EQ(i->userEdit(e.first, e.second), kOfxStatOK) << e.first;
  auto src = std::make_shared<ImageBuffer>(rect(0, 0, kW, kH));
  src->fillWith([](int x, int y, int c) { return c == 3 ? 1.0f : 0.05f + 0.04f * float(x + y + c); });
  i->setClipImage("Source", src);
  i->setClipImage("Output", std::make_shared<ImageBuffer>(rect(0, 0, kW, kH)));
  ASSERT_EQ(i->render(0, rect(0, 0, kW, kH)), kOfxStatOK);
  EXPECT_TRUE(i->messages().empty());
  i->destroy();
  const OfxStatus unloaded = host.callAction(kOfxActionUnload, nullptr, nullptr, nullptr);
  EXPECT_TRUE(unloaded == kOfxStatOK || unloaded == kOfxStatReplyDefault) << statusName(unloaded);
}

// Drops every reference the process holds to the bundle, as a host that
// closes it does (each host here opened it once).
void closeBundle() {
  for (int references = 0; references < 64; ++references) {
    void* library = dlopen(KALTHORNE_SIM_BUNDLE, RTLD_NOW | RTLD_NOLOAD);
    if (!library) return;
    dlclose(library);
    dlclose(library);
  }
}

TEST(BundleReload, NothingOnTheDeviceOutlivesAnUnload) {
  EXPECT_TRUE(runInFreshProcess([] {
    cudasim::reset();
    constexpr int kCycles = 20;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
      SCOPED_TRACE("cycle " + std::to_string(cycle));
      {
        Host host;
        renderOnce(host);
      }
      if (cycle % 2 == 0) closeBundle();
      const cudasim::AllocationStats s = cudasim::allocation_stats();
      EXPECT_EQ(s.live, 0u);
      EXPECT_EQ(s.pools_created, size_t(cycle + 1)) << "the frame rendered on a pool of an earlier load";
      EXPECT_EQ(s.pools_destroyed, s.pools_created);
      EXPECT_EQ(s.live_pools, 0u);
      EXPECT_EQ(s.kept_bytes, 0u);
      size_t freeBytes = 0, totalBytes = 0;
      ASSERT_EQ(cudaMemGetInfo(&freeBytes, &totalBytes), cudaSuccess);
      EXPECT_EQ(freeBytes, totalBytes);
      if (::testing::Test::HasFailure()) return;
    }
  }));
}

}  // namespace
