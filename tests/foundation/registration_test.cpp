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

const char* const kNoNatron = "Brew : Unable to process Clips. Unable to detect Natron";

bool postedNoNatron(Instance& inst) {
  for (const MessageRecord& m : inst.messages())
    if (m.text == kNoNatron) return true;
  return false;
}

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
  // The host's defaults for these are on: the effect must switch them off.
  EXPECT_EQ(d.getInt(kOfxImageEffectPropSupportsMultiResolution), 0);
  EXPECT_EQ(d.getInt(kOfxImageEffectPropSupportsTiles), 0);
  EXPECT_EQ(d.getInt(kOfxImageEffectPluginPropFieldRenderTwiceAlways), 0);
  EXPECT_EQ(d.getInt(kOfxImageEffectPropSupportsMultipleClipPARs), 0);
  EXPECT_EQ(d.getInt(kOfxImageEffectPropSupportsMultipleClipDepths), 0);
  EXPECT_EQ(d.getInt(kOfxImageEffectPluginPropSingleInstance), 0);

  // Several lines, each starting with a blank, naming the product, the host
  // and the version.
  const std::string text = d.getString(kOfxPropPluginDescription);
  std::istringstream lines(text);
  std::string line;
  int n = 0;
  while (std::getline(lines, line)) {
    EXPECT_EQ(line.substr(0, 1), " ") << "line " << n;
    ++n;
  }
  EXPECT_GE(n, 5);
  for (const char* word : {"Brew", "Natron", "1.3", "3.7", "Kalthorne"})
    EXPECT_NE(text.find(word), std::string::npos) << word;
}

TEST(Registration, BothContextsGiveTheSameWorkingInstance) {
  Host host;
  std::string error;
  ASSERT_TRUE(host.loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error)) << error;
  const auto& filter = host.contextDescriptor(kOfxImageEffectContextFilter);
  const auto& general = host.contextDescriptor(kOfxImageEffectContextGeneral);
  ASSERT_EQ(filter.paramSet.params.size(), general.paramSet.params.size());
  for (const char* ctx : {kOfxImageEffectContextFilter, kOfxImageEffectContextGeneral}) {
    auto inst = host.createInstance(ctx);
    EXPECT_EQ(inst->createStatus(), kOfxStatOK) << ctx;
    EXPECT_TRUE(inst->messages().empty()) << ctx;
    EXPECT_EQ(inst->destroy(), kOfxStatOK);
  }
}

// A host whose instance lacks a parameter: the fetch throws, construction
// fails and the host gets the suite's status, with nothing left behind.
TEST(Registration, MissingParameterFailsCreationWithTheSuiteStatus) {
  Host host;
  std::string error;
  ASSERT_TRUE(host.loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error)) << error;
  auto& params = host.contextDescriptor(kOfxImageEffectContextFilter).paramSet.params;
  ASSERT_FALSE(params.empty());
  params.erase(params.begin() + params.size() / 2);
  auto inst = host.createInstance(kOfxImageEffectContextFilter);
  EXPECT_EQ(statusName(inst->createStatus()), statusName(kOfxStatErrUnknown));
  EXPECT_EQ(inst->effect().props.getPointer(kOfxPropInstanceData), nullptr);
  EXPECT_EQ(inst->render(0, rect(0, 0, 1, 1)), kOfxStatErrBadHandle);
}

// The Natron test runs once per process and sticks, so each case gets a
// newly started bundle.
void expectNatronFlag(NatronMark mark, bool expectNatron) {
  HostOptions o;
  o.natron = mark;
  Host host(o);
  std::string error;
  ASSERT_TRUE(host.loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error)) << error;
  auto inst = host.createInstance();
  ASSERT_EQ(inst->createStatus(), kOfxStatOK);
  EXPECT_EQ(postedNoNatron(*inst), !expectNatron);
}

TEST(NatronHost, MarkedHostIsNatron) {
  EXPECT_TRUE(runInFreshProcess([] { expectNatronFlag(NatronMark::Natron, true); }));
}

TEST(NatronHost, HostWithoutThePropertyIsNotNatron) {
  EXPECT_TRUE(runInFreshProcess([] { expectNatronFlag(NatronMark::Absent, false); }));
}

TEST(NatronHost, PropertyZeroIsNotNatron) {
  EXPECT_TRUE(runInFreshProcess([] { expectNatronFlag(NatronMark::Zero, false); }));
}

TEST(NatronHost, DescribingAgainNeverClearsTheFlag) {
  EXPECT_TRUE(runInFreshProcess([] {
    Host host;
    std::string error;
    ASSERT_TRUE(host.loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error)) << error;
    ASSERT_EQ(host.describe(), kOfxStatOK);
    // The host stops saying it is Natron and loads and describes again.
    host.hostProperties().setInt(kNatronOfxHostIsNatron, 0);
    ASSERT_EQ(host.load(), kOfxStatOK);
    ASSERT_EQ(host.describe(), kOfxStatOK);
    auto inst = host.createInstance();
    ASSERT_EQ(inst->createStatus(), kOfxStatOK);
    EXPECT_FALSE(postedNoNatron(*inst));
  }));
}

// Only the OpenFX entry points (and the pipeline's C entry) leave a bundle.
std::set<std::string> exportedSymbols(const std::string& path) {
  std::set<std::string> out;
  FILE* f = popen(("nm -D --defined-only '" + path + "' 2>/dev/null").c_str(), "r");
  if (!f) return out;
  char buf[1024];
  while (std::fgets(buf, sizeof buf, f)) {
    std::istringstream in(buf);
    std::string addr, type, name;
    if (in >> addr >> type >> name) out.insert(name);
  }
  pclose(f);
  return out;
}

void expectOnlyEntryPoints(const std::string& bundle) {
  std::set<std::string> symbols = exportedSymbols(bundle);
  EXPECT_TRUE(symbols.count("OfxGetNumberOfPlugins")) << bundle;
  EXPECT_TRUE(symbols.count("OfxGetPlugin")) << bundle;
  symbols.erase("OfxGetNumberOfPlugins");
  symbols.erase("OfxGetPlugin");
  symbols.erase("texture_pitch_compress_expand");
  for (const std::string& s : symbols) ADD_FAILURE() << bundle << " exports " << s;
}

// Every symbol the bundle needs is there: it loads with immediate binding.
void expectLoadsNow(const std::string& bundle) {
  void* lib = dlopen(bundle.c_str(), RTLD_NOW | RTLD_LOCAL);
  EXPECT_NE(lib, nullptr) << dlerror();
  if (!lib) return;
  auto count = reinterpret_cast<int (*)()>(dlsym(lib, "OfxGetNumberOfPlugins"));
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(count(), 1);
}

TEST(Bundle, ResolvesEverySymbolAtLoad) {
  expectLoadsNow(KALTHORNE_SIM_BUNDLE);
#ifdef KALTHORNE_PRODUCT_BUNDLE
  expectLoadsNow(KALTHORNE_PRODUCT_BUNDLE);
#endif
}

TEST(Bundle, ExportsOnlyTheEntryPoints) {
  expectOnlyEntryPoints(KALTHORNE_SIM_BUNDLE);
#ifdef KALTHORNE_PRODUCT_BUNDLE
  expectOnlyEntryPoints(KALTHORNE_PRODUCT_BUNDLE);
#endif
}

}  // namespace
