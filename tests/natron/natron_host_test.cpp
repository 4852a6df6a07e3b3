// Both bundles in Natron's own renderer, a real OpenFX host: they load, the
// effect is created, and the test bundle's frames equal, bit for bit, the
// same look rendered from the same ColorBars frame through the in-memory
// host. Both run the same CPU pipeline, so any difference is the host's
// doing (values it passes, clip preferences, image layout).
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "cudasim/cudasim_control.h"
#include "fake_chooser.h"
#include "natron_run.h"
#include "tests/host/ofx_test_host.h"

using namespace natrontest;

namespace {

const char* const kSize = "320x180";
const char* const kLoaded = "OpenFX: loading com.kalthorne.KalthorneBrewNatron v1.3";
const char* const kCreated = "[natron_graph] created com.kalthorne.KalthorneBrewNatron";
const char* const kNoDevice = "message: Kalthorne : unable to detect a CUDA device. Unable to process footage\n";

// Loaded with no error, the effect's node created, every frame written;
// the test bundle, which has a device, posts no message.
void expectRendered(const NatronRun& run, bool quiet = true) {
  if (quiet) {
    EXPECT_EQ(run.log().find(" message: "), std::string::npos) << run.log();
  }
  EXPECT_TRUE(run.finished()) << run.log();
  EXPECT_NE(run.log().find(kLoaded), std::string::npos) << run.log();
  EXPECT_EQ(run.log().find("couldn't open library"), std::string::npos) << run.log();
  EXPECT_NE(run.log().find(kCreated), std::string::npos) << run.log();
  EXPECT_NE(run.log().find("Write1 ==> Rendering finished"), std::string::npos) << run.log();
}

// ColorBars at full intensity, as Natron writes it.
const Frame& source() {
  static const Frame frame = [] {
    NatronRun run(KALTHORNE_SIM_BUNDLE, {{"KB_FX", "0"}, {"KB_SIZE", kSize}, {"KB_GEN_SET", "barIntensity=100"}});
    EXPECT_TRUE(run.finished()) << run.log();
    return run.frame(1);
  }();
  return frame;
}

Settings withSource(Settings s) {
  s.insert(s.begin(), {{"KB_SIZE", kSize}, {"KB_GEN_SET", "barIntensity=100"}});
  return s;
}

// A look as a user sets it: "Name=value;..." in order, then a Look file.
struct Look {
  const char* name;
  const char* set;
  const char* lookFile = "";
};

std::ostream& operator<<(std::ostream& o, const Look& l) { return o << l.name; }

// The look through the in-memory host, with Natron's habits (its host mark,
// instance-changed from inside the plug-in's own writes), at frame 1.
Frame renderInMemory(const Look& look, const Frame& src) {
  static ofxtest::Host host([] {
    ofxtest::HostOptions o;
    o.notifyPluginEdits = true;
    return o;
  }());
  static const bool loaded = host.loadAndDescribe(KALTHORNE_SIM_BUNDLE);
  if (!loaded) return {};
  auto inst = host.createInstance(kOfxImageEffectContextFilter);
  if (inst->createStatus() != kOfxStatOK) return {};
  const double time = 1;
  inst->setCurrentTime(time);
  std::istringstream items(look.set);
  for (std::string item; std::getline(items, item, ';');) {
    const std::size_t eq = item.find('=');
    EXPECT_EQ(inst->userEdit(item.substr(0, eq), std::atof(item.c_str() + eq + 1), time), kOfxStatOK) << item;
  }
  if (*look.lookFile) {
    looktest::FakeChooser chooser;
    chooser.answer(looktest::FakeChooser::Answer::Pick, look.lookFile);
    EXPECT_EQ(inst->paramChanged("LoadLooks", kOfxChangeUserEdited, time), kOfxStatOK);
  }
  for (const auto& m : inst->messages()) ADD_FAILURE() << "message: " << m.text;

  const OfxRectI bounds = ofxtest::rect(0, 0, src.width, src.height);
  auto in = std::make_shared<ofxtest::ImageBuffer>(bounds);
  in->fillWith([&](int x, int y, int c) { return c == 3 ? 1.0f : src.rgb[(std::size_t(y) * src.width + x) * 3 + c]; });
  auto out = std::make_shared<ofxtest::ImageBuffer>(bounds);
  inst->setClipImage("Source", in);
  inst->setClipImage("Output", out);
  EXPECT_EQ(inst->render(time, bounds), kOfxStatOK);
  Frame f{src.width, src.height, {}};
  for (int y = 0; y < src.height; ++y)
    for (int x = 0; x < src.width; ++x)
      for (int c = 0; c < 3; ++c) f.rgb.push_back(out->pixelF(x, y)[c]);
  return f;
}

class NatronLooks : public ::testing::TestWithParam<Look> {};

}  // namespace

TEST(NatronHost, TestBundleGivesTheSourceBackWithDefaults) {
  ASSERT_FALSE(source().empty());
  NatronRun run(KALTHORNE_SIM_BUNDLE, withSource({}));
  expectRendered(run);
  EXPECT_EQ(difference(source(), run.frame(1)), "");
}

// Without a GPU the product bundle passes frames through, whatever the look,
// and says why in Natron's log, letter for letter.
TEST(NatronHost, ProductBundleWithoutADevicePassesFramesThroughAndSaysWhy) {
#ifndef KALTHORNE_PRODUCT_BUNDLE
  GTEST_SKIP() << "the product bundle is not built (no nvcc)";
#else
  ASSERT_FALSE(source().empty());
  NatronRun run(KALTHORNE_PRODUCT_BUNDLE, withSource({{"KB_SET", "CameraStock=4;Exposure=0.5"}}));
  expectRendered(run, false);
  EXPECT_NE(run.log().find(kNoDevice), std::string::npos) << run.log();
  EXPECT_EQ(difference(source(), run.frame(1)), "");
#endif
}

TEST_P(NatronLooks, EqualTheInMemoryHostsFrame) {
  const Look& look = GetParam();
  ASSERT_FALSE(source().empty());
  Settings s = withSource({{"KB_SET", look.set}});
  if (*look.lookFile) s.push_back({"KB_LOOK", look.lookFile});
  NatronRun run(KALTHORNE_SIM_BUNDLE, s);
  expectRendered(run);
  const Frame natron = run.frame(1);
  EXPECT_NE(difference(source(), natron), "") << "the look changed nothing";
  EXPECT_EQ(difference(renderInMemory(look, source()), natron), "");
}

INSTANTIATE_TEST_SUITE_P(
    Looks, NatronLooks,
    ::testing::Values(Look{"CameraStock", "CameraStock=4"}, Look{"Exposure", "Exposure=0.35"},
                      Look{"Halation", "HalationBypass=0;HalationBreadth=0.6"},
                      Look{"Texture", "PitchBypass=0;EnsemblePitch=6;SopranoPitch=7;BassPitch=1.5"},
                      Look{"PrintStock", "PrintDisplayBypass=0;PrintProfile=2"},
                      Look{"HdrCompensationOnLinear", "InputGamut=0;Exposure=1;HDRcomp=1;PitchBypass=0;EnsemblePitch=6;SopranoPitch=8"},
                      Look{"LookFile", "", LOOKS_TEST_DATA_DIR "/reference.prm"}),
    [](const ::testing::TestParamInfo<Look>& info) { return std::string(info.param.name); });

namespace {

// Frames 1 to `frames` of `together` each equal the frame rendered alone
// with `alone`'s settings.
void expectFramesAsRenderedAlone(const NatronRun& together, const Settings& alone, int frames) {
  for (int frame = 1; frame <= frames; ++frame) {
    SCOPED_TRACE(frame);
    NatronRun run(KALTHORNE_SIM_BUNDLE, alone, std::to_string(frame) + "-" + std::to_string(frame));
    ASSERT_FALSE(run.frame(frame).empty()) << run.log();
    EXPECT_EQ(difference(run.frame(frame), together.frame(frame)), "");
  }
}

}  // namespace

// Natron renders a range of frames on several threads at once; each frame
// equals the frame rendered alone.
TEST(NatronHost, FramesRenderedAtOnceEqualFramesRenderedOneAtATime) {
  const Settings s = withSource({{"KB_SET", "CameraStock=4;HalationBypass=0"}, {"KB_KEYS", "Exposure=1:-0.5,4:0.5"}});
  NatronRun together(KALTHORNE_SIM_BUNDLE, s, "1-4");
  expectRendered(together);
  expectFramesAsRenderedAlone(together, s, 4);
  for (int frame = 2; frame <= 4; ++frame)
    EXPECT_NE(difference(together.frame(1), together.frame(frame)), "") << "the key was ignored, frame " << frame;
}

// On a small card: frames 1 to 8 at once through a device with room for two
// and a half frames of a heavy look (the device's size given to the
// stand-in through the environment) each wait for memory rather than fail,
// and equal the frames rendered alone on a device without that limit.
TEST(NatronHost, FramesAtOnceOnADeviceWithRoomForTwoWaitForMemory) {
  const char* const look =
      "CameraStock=4;DiffuseLoMid=0.3;DiffuseMidHi=0.6;HalationBypass=0;PitchBypass=0;EnsemblePitch=6";
  ASSERT_FALSE(source().empty());
  cudasim::reset_peak();
  ASSERT_FALSE(renderInMemory(Look{"heavy", look}, source()).empty());
  const double frameMiB = double(cudasim::allocation_stats().peak_live_bytes) / double(1 << 20);
  Settings s = withSource({{"KB_SET", look}, {"KB_KEYS", "Exposure=1:-0.5,8:0.5"}});
  Settings small = s;
  small.push_back({"CUDASIM_DEVICE_MEMORY_MB", std::to_string(frameMiB * 2.5)});
  NatronRun together(KALTHORNE_SIM_BUNDLE, small, "1-8");
  expectRendered(together);
  expectFramesAsRenderedAlone(together, s, 8);
}
