// Both bundles as a host built on the OpenFX standard's host support library
// sees them: found by its plug-in cache, described, instantiated with and
// without Natron's host property, and (the test bundle, on the CUDA
// stand-in) edited, rendered and given a Look file. Every property set and
// every action is the library's own; nothing in it is patched.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "fake_chooser.h"
#include "looks/camera_presets.h"
#include "params/param_catalogue.h"
#include "plugin/effect_description.h"
#include "plugin/plugin_identity.h"
#include "standard_host.h"
#include "tests/host/fresh_process.h"

using namespace standardhost;
namespace cat = kalthorne::params;

namespace {

const char* const kNoNatronText = "Brew : Unable to process Clips. Unable to detect Natron";

// The folder a bundle's binary sits in: <folder>/X.ofx.bundle/Contents/<arch>/X.ofx.
std::string folderOf(std::string binary) {
  for (int i = 0; i < 4; ++i) binary = binary.substr(0, binary.rfind('/'));
  return binary;
}

struct Loaded {
  Loaded(const std::string& binary, bool natron) : host(natron), bundles(host, folderOf(binary)) {}
  ofxh::ImageEffect::ImageEffectPlugin& effect() { return *bundles.effects().at(0); }
  Host host;
  Bundles bundles;
};

// Every property of a set, values joined, as the library formats them.
std::map<std::string, std::string> contents(const ofxh::Property::Set& set) {
  std::map<std::string, std::string> out;
  for (const auto& entry : set.getProperties()) {
    std::string v;
    for (int i = 0; i < entry.second->getDimension(); ++i) v += (i ? "|" : "") + entry.second->getStringValue(i);
    out[entry.first] = v;
  }
  return out;
}

// A parameter as the catalogue states it: a descriptor of its type fresh
// from the library (its defaults are the host's) with the catalogue's
// settings on it.
std::map<std::string, std::string> expectedDescriptor(const cat::ParamSpec& s, const std::string& type) {
  ofxh::Param::Descriptor d(type, s.name);
  d.addStandardParamProps(type);
  ofxh::Property::Set& p = d.getProperties();
  const cat::ParamAttributes& a = s.attributes;
  if (s.label) p.setStringProperty(kOfxPropLabel, s.label);
  std::string hint = s.hint ? s.hint : "";
  for (int i = 0; i < a.optionCount; ++i) {
    if (!hint.empty()) hint += i == 0 ? "\n\n" : "\n";
    hint += std::string(a.options[i].label) + ": " + a.options[i].help;
    p.setStringProperty(kOfxParamPropChoiceOption, a.options[i].label, i);
  }
  p.setStringProperty(kOfxParamPropHint, hint);
  p.setIntProperty(kOfxParamPropEnabled, a.visible);
  p.setIntProperty(kOfxParamPropSecret, !a.visible);
  if (s.kind == cat::ParamKind::Double) {
    p.setDoubleProperty(kOfxParamPropDefault, s.defaultValue);
    for (const char* k : {kOfxParamPropMin, kOfxParamPropDisplayMin}) p.setDoubleProperty(k, s.low);
    for (const char* k : {kOfxParamPropMax, kOfxParamPropDisplayMax}) p.setDoubleProperty(k, s.high);
    if (a.digits) p.setIntProperty(kOfxParamPropDigits, a.digits);
    if (a.increment != 0.0) p.setDoubleProperty(kOfxParamPropIncrement, a.increment);
  } else if (s.kind != cat::ParamKind::PushButton) {
    p.setIntProperty(kOfxParamPropDefault, int(s.defaultValue));
  }
  if (s.kind == cat::ParamKind::Int) {
    for (const char* k : {kOfxParamPropMin, kOfxParamPropDisplayMin}) p.setIntProperty(k, int(s.low));
    for (const char* k : {kOfxParamPropMax, kOfxParamPropDisplayMax}) p.setIntProperty(k, int(s.high));
  }
  if (a.animates != cat::Setting::HostDefault) p.setIntProperty(kOfxParamPropAnimates, a.animates == cat::Setting::On);
  if (a.evaluateOnChange != cat::Setting::HostDefault)
    p.setIntProperty(kOfxParamPropEvaluateOnChange, a.evaluateOnChange == cat::Setting::On);
  return contents(p);
}

std::vector<std::string> strings(const ofxh::Property::Set& p, const char* name) {
  std::vector<std::string> out;
  for (int i = 0; i < p.getDimension(name); ++i) out.push_back(p.getStringProperty(name, i));
  return out;
}

std::vector<std::string> bundles() {
  std::vector<std::string> out{KALTHORNE_SIM_BUNDLE};
#ifdef KALTHORNE_PRODUCT_BUNDLE
  out.push_back(KALTHORNE_PRODUCT_BUNDLE);
#endif
  return out;
}

class StandardHost : public ::testing::TestWithParam<std::string> {};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Bundles, StandardHost, ::testing::ValuesIn(bundles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return info.param == KALTHORNE_SIM_BUNDLE ? std::string("Test") : std::string("Product");
                         });

// Found, described and instantiated in both contexts; each context holds the
// two clips, the page and every parameter of the catalogue in its order,
// each with exactly the properties the catalogue and the library's defaults
// give it.
TEST_P(StandardHost, CacheFindsOneEffectThatDescribesAndInstantiatesInBothContexts) {
  cudasim::reset();  // one capable device for the test bundle
  Loaded loaded(GetParam(), true);
  ASSERT_EQ(loaded.bundles.effects().size(), 1u);
  ofxh::ImageEffect::ImageEffectPlugin& effect = loaded.effect();
  EXPECT_EQ(effect.getBinary()->getFilePath(), GetParam());
  EXPECT_EQ(effect.getPluginApi(), kOfxImageEffectPluginApi);
  EXPECT_EQ(effect.getApiVersion(), 1);
  EXPECT_EQ(effect.getIdentifier(), kPluginIdentifier);
  EXPECT_EQ(effect.getVersionMajor(), 1);
  EXPECT_EQ(effect.getVersionMinor(), 3);

  const ofxh::Property::Set& d = effect.getDescriptor().getProps();
  EXPECT_EQ(d.getStringProperty(kOfxPropLabel), "Brew_Natron_1_3");
  EXPECT_EQ(d.getStringProperty(kOfxImageEffectPluginPropGrouping), "Kalthorne");
  EXPECT_EQ(d.getStringProperty(kOfxPropPluginDescription), kalthorne::kEffectDescription);
  EXPECT_EQ(strings(d, kOfxImageEffectPropSupportedContexts),
            (std::vector<std::string>{kOfxImageEffectContextFilter, kOfxImageEffectContextGeneral}));
  EXPECT_EQ(strings(d, kOfxImageEffectPropSupportedPixelDepths), std::vector<std::string>{kOfxBitDepthFloat});
  EXPECT_EQ(d.getStringProperty(kOfxImageEffectPluginRenderThreadSafety), kOfxImageEffectRenderFullySafe);
  EXPECT_EQ(d.getIntProperty(kOfxImageEffectPluginPropHostFrameThreading), 1);
  for (const char* off : {kOfxImageEffectPropSupportsMultiResolution, kOfxImageEffectPropSupportsTiles,
                          kOfxImageEffectPluginPropFieldRenderTwiceAlways, kOfxImageEffectPropSupportsMultipleClipPARs,
                          kOfxImageEffectPropSupportsMultipleClipDepths, kOfxImageEffectPluginPropSingleInstance,
                          kOfxImageEffectPropTemporalClipAccess})
    EXPECT_EQ(d.getIntProperty(off), 0) << off;

  EXPECT_EQ(effect.getContext(kOfxImageEffectContextGenerator), nullptr);
  EXPECT_TRUE(loaded.host.messages.empty()) << loaded.host.messages[0].text;
  for (const char* context : {kOfxImageEffectContextFilter, kOfxImageEffectContextGeneral}) {
    SCOPED_TRACE(context);
    ofxh::ImageEffect::Descriptor* desc = effect.getContext(context);
    ASSERT_NE(desc, nullptr);
    const auto& clips = desc->getClipsByOrder();
    ASSERT_EQ(clips.size(), 2u);
    for (int i = 0; i < 2; ++i) {
      ofxh::ImageEffect::ClipDescriptor expected(i == 0 ? "Source" : "Output");
      ofxh::Property::Set& p = expected.getProps();
      p.setStringProperty(kOfxImageEffectPropSupportedComponents, kOfxImageComponentRGBA, 0);
      p.setStringProperty(kOfxImageEffectPropSupportedComponents, kOfxImageComponentRGB, 1);
      p.setIntProperty(kOfxImageEffectPropSupportsTiles, 0);
      EXPECT_EQ(contents(clips[i]->getProps()), contents(p)) << expected.getName();
    }
    const auto& params = desc->getParamList();
    ASSERT_EQ(params.size(), std::size_t(cat::kParamCount) + 1);
    auto it = params.begin();
    ofxh::Param::Descriptor page(kOfxParamTypePage, "Controls");
    page.addStandardParamProps(kOfxParamTypePage);
    for (int i = 0; i < cat::kParamCount; ++i)
      page.getProperties().setStringProperty(kOfxParamPropPageChild, cat::kParamSpecs[i].name, i);
    EXPECT_EQ(contents((*it)->getProperties()), contents(page.getProperties()));
    for (const cat::ParamSpec& spec : cat::kParamSpecs) {
      const ofxh::Param::Descriptor* p = *++it;
      ASSERT_EQ(p->getName(), spec.name);
      EXPECT_EQ(contents(p->getProperties()), expectedDescriptor(spec, p->getType())) << spec.name;
    }

    OfxStatus status = kOfxStatFailed;
    auto inst = Instance::create(effect, context, &status);
    ASSERT_EQ(status, kOfxStatOK);
    EXPECT_EQ(inst->getParams().size(), params.size());
    for (const Message& m : inst->messages) EXPECT_NE(m.text, kNoNatronText);
    if (GetParam() == KALTHORNE_SIM_BUNDLE) {
      EXPECT_TRUE(inst->messages.empty()) << inst->messages[0].text;
    }
  }
}

// The host flag outlives a describe, so this host gets a bundle of its own.
TEST_P(StandardHost, InstancesInAHostWithoutNatronsProperty) {
  const bool passed = ofxtest::runInFreshProcess([&] {
    Loaded loaded(GetParam(), false);
    OfxStatus status = kOfxStatFailed;
    auto inst = Instance::create(loaded.effect(), kOfxImageEffectContextFilter, &status);
    ASSERT_EQ(status, kOfxStatOK);
    ASSERT_EQ(inst->messages.size(), 1u);
    EXPECT_EQ(inst->messages[0].type, kOfxMessageMessage);
    EXPECT_EQ(inst->messages[0].text, kNoNatronText);
    // The text is the whole format: nothing is left to an argument list.
    EXPECT_EQ(inst->messages[0].format, kNoNatronText);
  });
  EXPECT_TRUE(passed);
}

namespace {

// The test bundle in a Natron host with one capable stand-in device.
class StandardHostSession : public ::testing::Test {
 protected:
  void SetUp() override {
    cudasim::reset();
    OfxStatus status = kOfxStatFailed;
    inst = Instance::create(loaded.effect(), kOfxImageEffectContextFilter, &status);
    ASSERT_EQ(status, kOfxStatOK);
    ASSERT_TRUE(inst->messages.empty()) << inst->messages[0].text;
  }
  void TearDown() override {
    inst.reset();
    cudasim::reset();
  }

  // One frame of `components` through the current look: it renders, stays
  // finite, keeps alpha, changes the picture and hands every image back.
  void renderChanges(const char* components) {
    SCOPED_TRACE(components);
    constexpr int w = 29, h = 17;
    auto src = std::make_shared<Frame>(), dst = std::make_shared<Frame>();
    for (auto* f : {src.get(), dst.get()}) {
      f->bounds = OfxRectI{0, 0, w, h};
      f->components = components;
      f->pixels.assign(std::size_t(w * h * f->channels()), -7.0f);
    }
    for (std::size_t i = 0; i < src->pixels.size(); ++i) src->pixels[i] = 0.02f + 0.9f * float(i % 97) / 97.0f;
    inst->setFrame("Source", src);
    inst->setFrame("Output", dst);
    ASSERT_EQ(inst->renderFrame(0, OfxRectI{0, 0, w, h}), kOfxStatOK);
    bool finite = true, alphaKept = true;
    for (std::size_t i = 0; i < dst->pixels.size(); ++i) {
      finite = finite && std::isfinite(dst->pixels[i]);
      if (src->channels() == 4 && i % 4 == 3) alphaKept = alphaKept && dst->pixels[i] == src->pixels[i];
    }
    EXPECT_TRUE(finite);
    EXPECT_TRUE(alphaKept);
    EXPECT_NE(dst->pixels, src->pixels);
    EXPECT_EQ(inst->liveImages, 0);
    EXPECT_TRUE(inst->messages.empty()) << inst->messages[0].text;
    EXPECT_GT(cudasim::allocation_stats().allocations, 0u) << "the pipeline never ran";
    EXPECT_EQ(cudasim::allocation_stats().live, 0u);
  }

  Loaded loaded{KALTHORNE_SIM_BUNDLE, true};
  std::unique_ptr<Instance> inst;
};

}  // namespace

// A camera stock picked by the user writes its preset through the library's
// parameter instances; with a print stock the look renders soundly.
TEST_F(StandardHostSession, CameraStockEditWritesItsPresetAndTheLookRenders) {
  ASSERT_EQ(inst->userEdit("PrintDisplayBypass", 0), kOfxStatOK);
  kalthorne::looks::CameraSelectors selectors;
  selectors.colorCorrection = int(inst->value("ColorCorrection"));
  selectors.colorRefine = int(inst->value("ColorRefine"));
  selectors.toneCurves = int(inst->value("ToneCurves"));
  const auto preset = kalthorne::looks::cameraPresetWrites(2, int(inst->value("PrintProfile")), selectors);
  ASSERT_FALSE(preset.empty());
  inst->pluginWrites.clear();
  ASSERT_EQ(inst->userEdit("CameraStock", 2), kOfxStatOK);
  std::map<std::string, double> last;
  for (const auto& w : preset) last[w.name] = w.value;
  for (const auto& w : last) EXPECT_EQ(inst->value(w.first), w.second) << w.first;
  EXPECT_GE(inst->pluginWrites.size(), preset.size());
  EXPECT_TRUE(inst->messages.empty()) << inst->messages[0].text;

  ASSERT_EQ(inst->userEdit("PrintProfile", 2), kOfxStatOK);
  renderChanges(kOfxImageComponentRGB);
  renderChanges(kOfxImageComponentRGBA);
}

TEST_F(StandardHostSession, LookFileLoadsThroughTheChooser) {
  looktest::FakeChooser chooser;
  chooser.answer(looktest::FakeChooser::Answer::Pick, std::string(LOOKS_TEST_DATA_DIR) + "/reference.prm");
  ASSERT_EQ(inst->changed("LoadLooks"), kOfxStatOK);
  EXPECT_EQ(chooser.runs(), 1);
  EXPECT_TRUE(inst->messages.empty()) << inst->messages[0].text;
  EXPECT_EQ(inst->value("CameraStock"), 12.0);
  renderChanges(kOfxImageComponentRGBA);
}
