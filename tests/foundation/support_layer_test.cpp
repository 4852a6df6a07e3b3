// The support layer seen from a host, through a probe effect built on it:
// exception-to-status mapping, image release, the black fill over threads,
// messages, choice hints, change reasons, identity and default answers.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/host/ofx_test_host.h"

using namespace ofxtest;

namespace {

struct Probe {
  explicit Probe(HostOptions o = {}, const std::string& throwIn = "") : host(o) {
    std::string error;
    EXPECT_TRUE(host.loadBundle(FOUNDATION_PROBE_BUNDLE, &error)) << error;
    if (!throwIn.empty()) host.hostProperties().setString("ProbeThrowIn", throwIn);
  }
  bool describeAll() {
    return host.load() == kOfxStatOK && host.describe() == kOfxStatOK &&
           host.describeInContext(kOfxImageEffectContextFilter) == kOfxStatOK;
  }
  std::unique_ptr<Instance> instance() {
    EXPECT_TRUE(describeAll());
    auto inst = host.createInstance(kOfxImageEffectContextFilter);
    EXPECT_EQ(inst->createStatus(), kOfxStatOK);
    return inst;
  }
  Host host;
};

TEST(SupportLayer, ExceptionsInRenderBecomeStatuses) {
  Probe p;
  auto inst = p.instance();
  inst->setClipImage("Output", std::make_shared<ImageBuffer>(rect(0, 0, 4, 4)));
  const struct {
    int mode;
    OfxStatus status;
  } cases[] = {
      {1, kOfxStatErrImageFormat},  // suite status exception keeps its status
      {2, kOfxStatErrMemory},       // std::bad_alloc
      {3, kOfxStatFailed},          // any other std::exception
      {4, kOfxStatFailed},          // not even a std::exception
      {5, kOfxStatFailed},          // a suite exception claiming success is still a failure
      {6, kOfxStatErrMemory},       // memory status travels as bad_alloc
      {7, kOfxStatFailed},          // parameter fetched with the wrong kind
      {8, kOfxStatErrUnknown},      // parameter the host does not have
      {12, kOfxStatFailed},         // thrown while holding an image
      {13, kOfxStatFailed},         // thrown on a worker thread, reported by the caller
      {0, kOfxStatOK},
  };
  for (const auto& c : cases) {
    inst->setValue("Mode", c.mode);
    EXPECT_EQ(statusName(inst->render(0, rect(0, 0, 4, 4))), statusName(c.status)) << "mode " << c.mode;
    EXPECT_EQ(inst->liveImages(), 0) << "mode " << c.mode;
  }
  EXPECT_EQ(inst->badReleases(), 0);
  EXPECT_EQ(inst->imagesFetched(), inst->imagesReleased());
}

TEST(SupportLayer, ExceptionsInDescribeAndCreateBecomeStatuses) {
  {
    Probe p({}, "describe:runtime");
    ASSERT_EQ(p.host.load(), kOfxStatOK);
    EXPECT_EQ(p.host.describe(), kOfxStatFailed);
  }
  {
    Probe p({}, "describeInContext:bad_alloc");
    ASSERT_EQ(p.host.load(), kOfxStatOK);
    ASSERT_EQ(p.host.describe(), kOfxStatOK);
    EXPECT_EQ(p.host.describeInContext(kOfxImageEffectContextFilter), kOfxStatErrMemory);
  }
  {
    Probe p({}, "create:suite");
    ASSERT_TRUE(p.describeAll());
    auto inst = p.host.createInstance(kOfxImageEffectContextFilter);
    EXPECT_EQ(inst->createStatus(), kOfxStatErrFormat);
    // The half-built instance was freed: the handle no longer reaches it.
    EXPECT_EQ(inst->effect().props.getPointer(kOfxPropInstanceData), nullptr);
    EXPECT_EQ(inst->render(0, rect(0, 0, 1, 1)), kOfxStatErrBadHandle);
    EXPECT_EQ(p.host.callAction(kOfxActionDestroyInstance, inst->handle(), nullptr, nullptr), kOfxStatOK);
  }
}

// Black fill of the render window only, clipped to the image, on several
// threads. The window reaches past the image on three sides and its rows
// split evenly over the host's four threads; or it ends inside the image
// with a row count (17) that no thread count from 2 to 8 divides, so the
// last strip must stop at the window's end.
void checkBlackFill(HostOptions options, const std::string& components, int padding, bool bottomUp,
                    const OfxRectI& window) {
  Probe p(options);
  auto inst = p.instance();
  auto out = std::make_shared<ImageBuffer>(rect(-3, 2, 37, 29), components, kOfxBitDepthFloat, padding, bottomUp);
  out->fill(0.5f);
  inst->setClipImage("Output", out);
  ASSERT_EQ(inst->render(0, window), kOfxStatOK);
  int black = 0;
  for (int y = out->bounds.y1; y < out->bounds.y2; ++y)
    for (int x = out->bounds.x1; x < out->bounds.x2; ++x) {
      const bool inside = x >= window.x1 && x < window.x2 && y >= window.y1 && y < window.y2;
      for (int c = 0; c < out->componentCount; ++c)
        ASSERT_EQ(out->pixelF(x, y)[c], inside ? 0.0f : 0.5f)
            << (inside ? "left unfilled inside" : "written outside") << " the render window (rows " << window.y1
            << " to " << window.y2 - 1 << "), at " << x << "," << y << "," << c;
      black += inside;
    }
  EXPECT_EQ(black, (std::min(window.x2, 37) - -3) * (std::min(window.y2, 29) - window.y1));
  EXPECT_EQ(inst->liveImages(), 0);
}

// On the host's threads, and on the layer's own without a host thread suite.
TEST(SupportLayer, BlackFillCoversTheClippedWindowOnHostThreads) {
  HostOptions noSuite;
  noSuite.multiThreadSuite = false;
  for (const OfxRectI& window : {rect(-10, 5, 20, 40), rect(-10, 5, 20, 22)}) {
    checkBlackFill({}, kOfxImageComponentRGBA, 0, false, window);
    checkBlackFill({}, kOfxImageComponentRGB, 12, true, window);
    checkBlackFill(noSuite, kOfxImageComponentRGBA, 4, false, window);
  }
  Probe p;
  auto inst = p.instance();
  auto out = std::make_shared<ImageBuffer>(rect(0, 0, 16, 64));
  inst->setClipImage("Output", out);
  ASSERT_EQ(inst->render(0, rect(0, 0, 16, 64)), kOfxStatOK);
  EXPECT_GE(p.host.multiThreadCalls(), 1u);
  EXPECT_EQ(p.host.maxThreadsUsed(), p.host.options().threads);
}

// A text is never read as a format: it is the format, every '%' doubled,
// with no argument for the host to read (Natron 2.5 loses arguments). A host
// without persistent messages still shows the text once.
TEST(SupportLayer, MessagesKeepTheirTextTypeAndId) {
  for (bool persistentMessages : {true, false}) {
    HostOptions o;
    o.messageSuiteV2 = persistentMessages;
    Probe p(o);
    auto inst = p.instance();
    inst->setValue("Mode", 9);
    ASSERT_EQ(inst->render(0, rect(0, 0, 1, 1)), kOfxStatOK);
    std::vector<std::string> seen;
    for (const MessageRecord& m : inst->messages())
      seen.push_back(m.type + "|" + m.id + "|" + m.text + "|" + m.format + (m.persistent ? "|persistent" : ""));
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "OfxMessageMessage||100% done %s %d|100%% done %%s %%d",
                        std::string("OfxMessageError|id7|Brew : persistent|Brew : persistent") +
                            (persistentMessages ? "|persistent" : "")}));
  }
}

TEST(SupportLayer, ChoiceOptionsAndTheirHelpInTheHint) {
  Probe p;
  ASSERT_TRUE(p.describeAll());
  EffectObject& d = p.host.contextDescriptor(kOfxImageEffectContextFilter);
  const PropertySet& withHint = d.paramSet.find("WithHint")->props;
  EXPECT_EQ(withHint.getStrings(kOfxParamPropChoiceOption), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(withHint.getString(kOfxParamPropHint), "Own hint\n\nA:  first\nB: second");
  const PropertySet& noHint = d.paramSet.find("NoHint")->props;
  EXPECT_EQ(noHint.getString(kOfxParamPropHint), "A: x\nB: y");
}

TEST(SupportLayer, ChangeReasonsAndTime) {
  Probe p;
  auto inst = p.instance();
  ASSERT_EQ(inst->paramChanged("Mode", kOfxChangeUserEdited, 4), kOfxStatOK);
  ASSERT_EQ(inst->paramChanged("Mode", kOfxChangePluginEdited, 5), kOfxStatOK);
  ASSERT_EQ(inst->paramChanged("Mode", kOfxChangeTime, 6), kOfxStatOK);
  // A reason the layer does not know must not pass for a user edit.
  ASSERT_EQ(inst->paramChanged("Mode", "OfxChangeSomethingNew", 7), kOfxStatOK);
  std::vector<std::string> texts;
  for (const MessageRecord& m : inst->messages()) texts.push_back(m.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"Mode 0 4.000000", "Mode 1 5.000000", "Mode 2 6.000000",
                                             "Mode 1 7.000000"}));
}

TEST(SupportLayer, IdentityAnswersClipAndTime) {
  Probe p;
  auto inst = p.instance();
  IdentityResult r = inst->isIdentity(7);
  EXPECT_EQ(r.status, kOfxStatReplyDefault);
  inst->setValue("Mode", 20);
  r = inst->isIdentity(7);
  EXPECT_EQ(r.status, kOfxStatOK);
  EXPECT_EQ(r.clip, "Source");
  EXPECT_EQ(r.time, 6);
}

// What a host hears for actions the effect leaves alone: the default
// answer, never an error, also for actions this layer has never heard of.
TEST(SupportLayer, UnhandledActionsAnswerDefault) {
  Probe p;
  auto inst = p.instance();
  PropertySet in, out;
  in.setDouble(kOfxPropTime, 0);
  in.setDoubles(kOfxImageEffectPropRenderScale, {1.0, 1.0});
  in.setDoubles(kOfxImageEffectPropRegionOfInterest, {0, 0, 4, 4});
  in.setString(kOfxPropChangeReason, kOfxChangeUserEdited);
  const struct {
    const char* action;
    OfxStatus status;
  } cases[] = {
      {kOfxImageEffectActionGetRegionOfDefinition, kOfxStatReplyDefault},
      {kOfxImageEffectActionGetRegionsOfInterest, kOfxStatReplyDefault},
      {kOfxImageEffectActionGetFramesNeeded, kOfxStatReplyDefault},
      {kOfxImageEffectActionGetClipPreferences, kOfxStatReplyDefault},
      {kOfxImageEffectActionGetTimeDomain, kOfxStatReplyDefault},
      {"OfxImageEffectActionGetOutputColourspace", kOfxStatReplyDefault},
      {kOfxActionBeginInstanceChanged, kOfxStatOK},
      {kOfxActionEndInstanceChanged, kOfxStatOK},
      {kOfxActionBeginInstanceEdit, kOfxStatOK},
      {kOfxActionEndInstanceEdit, kOfxStatOK},
      {kOfxActionPurgeCaches, kOfxStatOK},
      {kOfxActionSyncPrivateData, kOfxStatOK},
  };
  for (const auto& c : cases)
    EXPECT_EQ(statusName(p.host.callAction(c.action, inst->handle(), &in, &out)), statusName(c.status)) << c.action;
  EXPECT_FALSE(out.has(kOfxImageEffectPropRegionOfDefinition));
  // Unknown actions on a descriptor or on no handle at all.
  EXPECT_EQ(p.host.callAction("OfxActionSomethingNew", p.host.descriptor().handle(), &in, &out),
            kOfxStatReplyDefault);
  EXPECT_EQ(p.host.callAction("OfxActionSomethingNew", nullptr, nullptr, nullptr), kOfxStatReplyDefault);
}

// The host answers as strictly as a real one: only the standard's names for
// each object, each of its own type and dimension ...
TEST(StrictHost, PropertySetsHoldOnlyTheStandardsProperties) {
  Probe p;
  ASSERT_TRUE(p.describeAll());
  OfxHost* h = p.host.ofxHost();
  auto props = static_cast<const OfxPropertySuiteV1*>(h->fetchSuite(h->host, kOfxPropertySuite, 1));
  OfxPropertySetHandle d = p.host.descriptor().props.handle();
  int i = 0;
  double x = 0;
  char* text = nullptr;
  EXPECT_EQ(props->propSetInt(d, kOfxImageEffectPropSupportsMultipleClipDepths, 0, 0), kOfxStatOK);
  EXPECT_EQ(props->propSetInt(d, "OfxImageEffectPropSupportsMultipleClipDepths", 0, 0), kOfxStatErrUnknown);
  EXPECT_EQ(props->propGetInt(d, "OfxImageEffectPropSupportsMultipleClipDepths", 0, &i), kOfxStatErrUnknown);
  EXPECT_EQ(props->propGetString(d, kOfxImageEffectPropContext, 0, &text), kOfxStatErrUnknown);  // an instance's
  EXPECT_EQ(props->propSetDouble(d, kOfxImageEffectPropSupportsTiles, 0, 1.0), kOfxStatErrValue);
  EXPECT_EQ(props->propGetDouble(d, kOfxImageEffectPropSupportsTiles, 0, &x), kOfxStatErrUnknown);
  EXPECT_EQ(props->propSetInt(d, kOfxImageEffectPropSupportsTiles, 1, 0), kOfxStatErrBadIndex);
  const int two[] = {0, 0};
  EXPECT_EQ(props->propSetIntN(d, kOfxImageEffectPropSupportsTiles, 2, two), kOfxStatErrBadIndex);
  EXPECT_EQ(props->propGetString(d, kOfxImageEffectPropSupportedContexts, 1, &text), kOfxStatErrBadIndex);
  EXPECT_EQ(props->propGetInt(h->host, kNatronOfxHostIsNatron, 0, &i), kOfxStatOK);
  HostOptions absent;
  absent.natron = NatronMark::Absent;
  Host other(absent);
  EXPECT_EQ(props->propGetInt(other.ofxHost()->host, kNatronOfxHostIsNatron, 0, &i), kOfxStatErrUnknown);
}

// ... and refuses calls outside the actions the standard allows them in.
TEST(StrictHost, CallsOnlyInTheActionsThatAllowThem) {
  Probe p;
  ASSERT_TRUE(p.describeAll());
  OfxHost* h = p.host.ofxHost();
  auto effects = static_cast<const OfxImageEffectSuiteV1*>(h->fetchSuite(h->host, kOfxImageEffectSuite, 1));
  auto params = static_cast<const OfxParameterSuiteV1*>(h->fetchSuite(h->host, kOfxParameterSuite, 1));
  EffectObject& d = p.host.contextDescriptor(kOfxImageEffectContextFilter);
  OfxPropertySetHandle defined = nullptr;
  EXPECT_EQ(params->paramDefine(reinterpret_cast<OfxParamSetHandle>(&d.paramSet), kOfxParamTypeDouble, "Late",
                                &defined),
            kOfxStatErrUnsupported);
  EXPECT_EQ(effects->clipDefine(d.handle(), "Late", &defined), kOfxStatErrUnsupported);

  auto inst = p.host.createInstance(kOfxImageEffectContextFilter);
  inst->setValue("Mode", 10);  // writes in an edit block
  EXPECT_EQ(inst->render(0, rect(0, 0, 1, 1)), kOfxStatErrUnsupported);
  EXPECT_EQ(inst->value("Mode"), 10);
  OfxImageClipHandle clip = nullptr;
  ASSERT_EQ(effects->clipGetHandle(inst->handle(), kOfxImageEffectOutputClipName, &clip, nullptr), kOfxStatOK);
  inst->setClipImage(kOfxImageEffectOutputClipName, std::make_shared<ImageBuffer>(rect(0, 0, 1, 1)));
  OfxPropertySetHandle image = nullptr;
  EXPECT_EQ(effects->clipGetImage(clip, 0, nullptr, &image), kOfxStatErrUnsupported);  // no action runs
  EXPECT_EQ(p.host.refusedCalls().size(), 5u);  // define twice, edit block, write, image
}

}  // namespace
