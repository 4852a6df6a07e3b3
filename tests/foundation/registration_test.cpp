// The bundle as a host sees it: entry points, the plug-in record, the effect
// descriptor and the Natron test, all through the C interface.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>

#include "tests/host/fresh_process.h"
#include "tests/host/ofx_test_host.h"

using namespace ofxtest;

namespace {

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
  // Reverse domain, then maker, product and host written together.
  const std::string id = p->pluginIdentifier;
  EXPECT_EQ(id.rfind("com.", 0), 0u) << id;
  EXPECT_EQ(id.substr(id.size() - 6), "Natron") << id;
  EXPECT_NE(p->setHost, nullptr);
  EXPECT_NE(p->mainEntry, nullptr);
  EXPECT_EQ(host.plugin(1), nullptr);
  EXPECT_EQ(host.plugin(-1), nullptr);
}

TEST(Registration, EffectDescriptor) {
  Host host;
  std::string error;
  ASSERT_TRUE(host.loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error)) << error;
  const PropertySet& d = host.descriptor().props;
  EXPECT_EQ(d.getString(kOfxPropLabel), "Brew_Natron_1_3");
  EXPECT_EQ(d.getString(kOfxImageEffectPluginPropGrouping), "Kalthorne");
  EXPECT_EQ(d.getStrings(kOfxImageEffectPropSupportedContexts),
            (std::vector<std::string>{kOfxImageEffectContextFilter, kOfxImageEffectContextGeneral}));
  EXPECT_EQ(d.getStrings(kOfxImageEffectPropSupportedPixelDepths), (std::vector<std::string>{kOfxBitDepthFloat}));
  EXPECT_EQ(d.getString(kOfxImageEffectPluginRenderThreadSafety), kOfxImageEffectRenderFullySafe);
  EXPECT_EQ(d.getInt(kOfxImageEffectPluginPropHostFrameThreading), 1);
  // The host's defaults for the first three are on: the effect must switch them off.
  for (const char* off : {kOfxImageEffectPropSupportsMultiResolution, kOfxImageEffectPropSupportsTiles,
                          kOfxImageEffectPluginPropFieldRenderTwiceAlways, kOfxImageEffectPropSupportsMultipleClipPARs,
                          kOfxImageEffectPropSupportsMultipleClipDepths, kOfxImageEffectPluginPropSingleInstance})
    EXPECT_EQ(d.getInt(off), 0) << off;

  // Several lines, each starting with a blank, naming the product, the host
  // and the version.
  const std::string text = d.getString(kOfxPropPluginDescription);
  std::istringstream lines(text);
  std::string line;
  int n = 0;
  for (; std::getline(lines, line); ++n) EXPECT_EQ(line.substr(0, 1), " ") << "line " << n;
  EXPECT_GE(n, 5);
  for (const char* word : {"Brew", "Natron", "1.3", "3.7", "Kalthorne"})
    EXPECT_NE(text.find(word), std::string::npos) << word;
}

// The Natron test runs when the effect is described and a true answer
// sticks, so the hosts come in this order, in a newly started bundle: no
// property, the property 0, the property 1, then 0 again.
TEST(NatronHost, MarkDecidesAndDescribingAgainNeverClearsIt) {
  const bool passed = runInFreshProcess([] {
    const struct {
      NatronMark mark;
      bool natron;
      const char* context;
    } hosts[] = {{NatronMark::Absent, false, kOfxImageEffectContextFilter},
                 {NatronMark::Zero, false, kOfxImageEffectContextGeneral},
                 {NatronMark::Natron, true, kOfxImageEffectContextGeneral}};
    for (const auto& h : hosts) {
      HostOptions o;
      o.natron = h.mark;
      Host host(o);
      std::string error;
      ASSERT_TRUE(host.loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error)) << error;
      if (h.natron) {  // the host stops saying it is Natron and loads and describes again
        host.hostProperties().setInt(kNatronOfxHostIsNatron, 0);
        ASSERT_EQ(host.load(), kOfxStatOK);
        ASSERT_EQ(host.describe(), kOfxStatOK);
      }
      auto inst = host.createInstance(h.context);
      ASSERT_EQ(inst->createStatus(), kOfxStatOK) << h.context;
      std::vector<std::string> texts;
      for (const MessageRecord& m : inst->messages()) texts.push_back(m.text);
      EXPECT_EQ(texts, h.natron ? std::vector<std::string>{}
                                : std::vector<std::string>{"Brew : Unable to process Clips. Unable to detect Natron"})
          << h.context;
      EXPECT_EQ(inst->destroy(), kOfxStatOK);
    }
  });
  EXPECT_TRUE(passed);
}

// Only the OpenFX entry points leave a bundle (the test bundle also gives
// its pipeline entry, which tests replace by a recording stand-in), and every
// symbol the bundle needs is there: it loads with immediate binding.
TEST(Bundle, ExportsOnlyTheEntryPointsAndResolvesEverySymbolAtLoad) {
  std::vector<std::string> bundles{KALTHORNE_SIM_BUNDLE};
#ifdef KALTHORNE_PRODUCT_BUNDLE
  bundles.push_back(KALTHORNE_PRODUCT_BUNDLE);
#endif
  for (const std::string& bundle : bundles) {
    std::set<std::string> symbols;
    FILE* f = popen(("nm -D --defined-only '" + bundle + "' 2>/dev/null").c_str(), "r");
    ASSERT_NE(f, nullptr);
    char buf[1024];
    while (std::fgets(buf, sizeof buf, f)) {
      std::istringstream in(buf);
      std::string addr, type, name;
      if (in >> addr >> type >> name) symbols.insert(name);
    }
    pclose(f);
    EXPECT_EQ(symbols.erase("OfxGetNumberOfPlugins") + symbols.erase("OfxGetPlugin"), 2u) << bundle;
    if (bundle == KALTHORNE_SIM_BUNDLE) {
      symbols.erase("texture_pitch_compress_expand");
      symbols.erase("texture_pitch_compress_expand_failure");
    }
    for (const std::string& s : symbols) ADD_FAILURE() << bundle << " exports " << s;

    void* lib = dlopen(bundle.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto count = reinterpret_cast<int (*)()>(dlsym(lib, "OfxGetNumberOfPlugins"));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count(), 1);
  }
}

}  // namespace
