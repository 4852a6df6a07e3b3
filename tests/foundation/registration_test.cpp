// The bundle as a host sees it: entry points, the plug-in record and the
// effect descriptor, all through the C interface.
#include <gtest/gtest.h>

#include "tests/host/ofx_test_host.h"

using namespace ofxtest;

namespace {

struct LoadedHost {
  explicit LoadedHost(HostOptions o = {}) : host(o) {
    std::string error;
    ok = host.loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error);
    EXPECT_TRUE(ok) << error;
  }
  Host host;
  bool ok = false;
};

TEST(Registration, OnePluginWithImageEffectRecord) {
  Host host;
  std::string error;
  ASSERT_TRUE(host.loadBundle(KALTHORNE_SIM_BUNDLE, &error)) << error;
  EXPECT_EQ(host.numberOfPlugins(), 1);
  const OfxPlugin* p = host.plugin(0);
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p->pluginApi, "OfxImageEffectPluginAPI");
  EXPECT_EQ(p->apiVersion, 1);
  EXPECT_EQ(p->pluginVersionMajor, 1u);
  EXPECT_EQ(p->pluginVersionMinor, 3u);
  EXPECT_NE(p->setHost, nullptr);
  EXPECT_NE(p->mainEntry, nullptr);
  EXPECT_EQ(host.plugin(1), nullptr);
  EXPECT_EQ(host.plugin(-1), nullptr);
}

TEST(Registration, SmokeCreateRenderDestroy) {
  LoadedHost h;
  ASSERT_TRUE(h.ok);
  auto inst = h.host.createInstance(kOfxImageEffectContextFilter);
  ASSERT_EQ(inst->createStatus(), kOfxStatOK);
  auto src = std::make_shared<ImageBuffer>(rect(0, 0, 8, 4));
  auto dst = std::make_shared<ImageBuffer>(rect(0, 0, 8, 4));
  src->fill(0.25f);
  inst->setClipImage("Source", src);
  inst->setClipImage("Output", dst);
  EXPECT_EQ(inst->render(0, rect(0, 0, 8, 4)), kOfxStatOK);
  EXPECT_EQ(inst->liveImages(), 0);
  EXPECT_EQ(inst->destroy(), kOfxStatOK);
}

}  // namespace
