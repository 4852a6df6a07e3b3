// The effect instance through an OpenFX host: construction, the render
// entry's statuses and messages, identity at the action's time and the
// record handed to the (recording) pipeline.
#include <gtest/gtest.h>

#include <cuda_runtime_api.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "recording_pipeline.h"
#include "tests/host/fresh_process.h"
#include "tests/host/ofx_test_host.h"

using namespace ofxtest;

namespace {

const std::string kM0 = "Brew : Unable to process Clips. Unable to detect Natron";
const std::string kM1 = "Kalthorne : unable to detect a CUDA device. Unable to process footage";
const std::string kNoCode =
    "Kalthorne : the CUDA device has no compiled code for its Compute Capability. Unable to process footage";

// Bytes nobody wrote keep the marker 0xAB; a ramp fills every float.
std::shared_ptr<ImageBuffer> image(OfxRectI bounds, const char* components = kOfxImageComponentRGBA,
                                   const char* depth = kOfxBitDepthFloat, int pad = 0, bool bottomUp = false) {
    auto img = std::make_shared<ImageBuffer>(bounds, components, depth, pad, bottomUp);
    std::memset(img->storage.data(), 0xAB, img->storage.size());
    return img;
}
std::shared_ptr<ImageBuffer> ramp(OfxRectI bounds, const char* components = kOfxImageComponentRGBA, int pad = 0) {
    auto img = image(bounds, components, kOfxBitDepthFloat, pad);
    img->fillWith([](int x, int y, int c) { return 0.01f * x + 0.1f * y + 0.001f * c; });
    return img;
}

// Every pixel of b is a's plus `offset`, and the padding after each of b's
// rows (`pad` bytes) still holds the marker.
bool samePixels(ImageBuffer& a, ImageBuffer& b, float offset = 0.0f, int pad = 0) {
    for (int y = a.bounds.y1; y < a.bounds.y2; ++y)
        for (int x = a.bounds.x1; x < a.bounds.x2; ++x)
            for (int c = 0; c < a.componentCount; ++c)
                if (b.pixelF(x, y)[c] != a.pixelF(x, y)[c] + offset) return false;
    const std::size_t stride = b.storage.size() / b.height();
    for (std::size_t i = 0; i < b.storage.size(); ++i)
        if (i % stride >= stride - pad && b.storage[i] != 0xAB) return false;
    return true;
}

using Values = std::initializer_list<std::pair<const char*, double>>;

void setValues(Instance& inst, Values values) {
    for (const auto& v : values) inst.setValue(v.first, v.second);
}

// An instance that cannot process: its one plain message, identity, and frames
// passed through byte for byte without reading a parameter.
void expectPassThroughInstance(Host& host, const std::string& message) {
    auto inst = host.createInstance(kOfxImageEffectContextFilter);
    ASSERT_EQ(inst->createStatus(), kOfxStatOK);
    ASSERT_EQ(inst->messages().size(), 1u);
    EXPECT_EQ(inst->messages()[0].text, message);
    EXPECT_EQ(inst->messages()[0].type, "OfxMessageMessage");
    EXPECT_FALSE(inst->messages()[0].persistent);
    setValues(*inst, {{"Exposure", 0.5}, {"CameraStock", 5}});
    EXPECT_EQ(inst->isIdentity(0).status, kOfxStatOK);
    EXPECT_EQ(inst->isIdentity(0).clip, "Source");
    inst->clearRecords();
    auto src = ramp(rect(0, 0, 16, 9)), dst = image(rect(0, 0, 16, 9));
    inst->setClipImage("Source", src);
    inst->setClipImage("Output", dst);
    EXPECT_EQ(inst->render(0, rect(0, 0, 16, 9)), kOfxStatOK);
    EXPECT_EQ(src->storage, dst->storage);
    EXPECT_TRUE(recording::records().empty());
    EXPECT_TRUE(inst->events(Event::Kind::GetValueAtTime).empty());
    EXPECT_TRUE(inst->events(Event::Kind::GetValue).empty());
}

class RenderPath : public ::testing::Test {
protected:
    void SetUp() override {
        cudasim::reset();
        recording::reset();
        std::string error;
        ASSERT_TRUE(host.loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error)) << error;
    }
    void TearDown() override {
        inst.reset();
        cudasim::reset();
    }

    Instance& create() {
        inst = host.createInstance(kOfxImageEffectContextFilter);
        EXPECT_EQ(inst->createStatus(), kOfxStatOK);
        constructionMessages.clear();
        for (const auto& m : inst->messages()) {
            EXPECT_EQ(m.type, "OfxMessageMessage");
            EXPECT_EQ(m.id, "");
            constructionMessages.push_back(m.text);
        }
        return *inst;
    }
    // An instance with a ready GPU and a non-neutral look (exposure on a
    // linear input), source and output images of 8 x 4.
    Instance& createActive() {
        Instance& i = create();
        setValues(i, {{"InputGamut", 0}, {"Exposure", 0.5}});
        return attachImages(i);
    }
    Instance& attachImages(Instance& i) {
        src = ramp(rect(0, 0, 8, 4));
        dst = image(rect(0, 0, 8, 4));
        i.setClipImage("Source", src);
        i.setClipImage("Output", dst);
        i.clearRecords();
        return i;
    }
    // The values a stored project gives the next instance made.
    void storedProject(Values values) {
        for (const auto& v : values) {
            ParamObject* p = host.contextDescriptor(kOfxImageEffectContextFilter).paramSet.find(v.first);
            ASSERT_NE(p, nullptr) << v.first;
            if (p->type == kOfxParamTypeDouble)
                p->props.setDouble(kOfxParamPropDefault, v.second);
            else
                p->props.setInt(kOfxParamPropDefault, static_cast<int>(v.second));
        }
    }
    Host host;
    std::unique_ptr<Instance> inst;
    std::shared_ptr<ImageBuffer> src, dst;
    std::vector<std::string> constructionMessages;
};

}  // namespace

// A processed frame is the pipeline's (source + 1); an identity frame a
// copy. Both honour padded and bottom-up rows, and an empty window does nothing.
TEST_F(RenderPath, FramesReachThePipelineOrAreCopiedRowByRow) {
    Instance& i = createActive();
    EXPECT_TRUE(constructionMessages.empty());
    EXPECT_EQ(i.render(0, rect(3, 2, 3, 4)), kOfxStatOK);
    EXPECT_EQ(i.imagesFetched(), 0);
    EXPECT_EQ(i.isIdentity(0).status, kOfxStatReplyDefault);
    ASSERT_EQ(i.render(0, rect(0, 0, 8, 4)), kOfxStatOK);
    ASSERT_EQ(recording::records().size(), 1u);
    EXPECT_EQ(recording::records()[0].frameWidth, 8);
    EXPECT_EQ(recording::records()[0].frameHeight, 4);
    EXPECT_TRUE(samePixels(*src, *dst, 1.0f));
    EXPECT_EQ(i.liveImages(), 0);

    for (double exposure : {0.5, 0.0}) {
        recording::reset();
        i.setValue("Exposure", exposure);
        src = ramp(rect(0, 0, 5, 3), kOfxImageComponentRGB, 12);
        dst = image(rect(0, 0, 5, 3), kOfxImageComponentRGB, kOfxBitDepthFloat, 20, true);
        i.setClipImage("Source", src);
        i.setClipImage("Output", dst);
        ASSERT_EQ(i.render(0, rect(0, 0, 5, 3)), kOfxStatOK);
        const bool processed = exposure != 0.0;
        ASSERT_EQ(recording::records().size(), processed ? 1u : 0u);
        for (const auto& r : recording::records()) EXPECT_EQ(r.channelCount, 3);
        EXPECT_TRUE(samePixels(*src, *dst, processed ? 1.0f : 0.0f, 20)) << exposure;
    }
}

// Every refusal: its status, its persistent error, and no image left held.
TEST_F(RenderPath, RenderEntryStatusMatrix) {
    struct Case {
        const char* what;
        std::function<void(Instance&)> setup;
        OfxStatus status;
        std::string message;  // empty: none
    };
    const std::string formatText =
        "Brew : Natron gave Input and Output images with different channel counts or pixel depths";
    const std::string depthText = "Brew : Kalthorne only supports floating point pixel depths";
    const std::string sizeText = "Brew : Natron gave Input and Output images of different sizes";
    const char* alpha = kOfxImageComponentAlpha;
    auto frame = [](const char* components, const char* depth = kOfxBitDepthFloat) {
        return image(rect(0, 0, 8, 4), components, depth);
    };
    auto unplug = [](Instance& i) { i.setClipConnected("Source", false); };
    // Source and output images of the frame's buffers under the bounds given.
    const OfxRectI kFrame{0, 0, 8, 4}, kWide{INT_MIN, 0, INT_MAX, 1}, kTall{0, -2, 1, INT_MAX},
        kInverted{INT_MAX, 0, INT_MIN, 1};
    auto bounded = [&](Instance& i, std::pair<OfxRectI, OfxRectI> sourceAndOutput) {
        auto s = frame(kOfxImageComponentRGBA), o = frame(kOfxImageComponentRGBA);
        s->bounds = sourceAndOutput.first;
        o->bounds = sourceAndOutput.second;
        i.setClipImage("Source", s);
        i.setClipImage("Output", o);
    };
    const std::vector<Case> cases = {
        {"no output image", [](Instance& i) { i.setClipImage("Output", nullptr); }, kOfxStatFailed,
         "Brew : Natron gave Target clip with wrong render scale properties"},
        {"RGBA output, RGB source",
         [](Instance& i) { i.setClipImage("Source", ramp(rect(0, 0, 8, 4), kOfxImageComponentRGB)); },
         kOfxStatErrImageFormat, formatText},
        {"alpha only",
         [&](Instance& i) { i.setClipImage("Source", frame(alpha)); i.setClipImage("Output", frame(alpha)); },
         kOfxStatErrUnsupported, "Brew : Kalthorne only supports RGB and RGBA clips"},
        {"no source, alpha output", [&](Instance& i) { unplug(i); i.setClipImage("Output", frame(alpha)); },
         kOfxStatErrUnsupported, ""},
        {"output clip not float",
         [](Instance& i) { i.setClipFormat("Output", kOfxImageComponentRGBA, kOfxBitDepthShort); },
         kOfxStatErrUnsupported, depthText},
        {"8-bit images under a float clip",
         [&](Instance& i) {
             i.setClipImage("Source", frame(kOfxImageComponentRGBA, kOfxBitDepthByte));
             i.setClipImage("Output", frame(kOfxImageComponentRGBA, kOfxBitDepthByte));
         },
         kOfxStatErrUnsupported, depthText},
        {"no source, 16-bit output image",
         [&](Instance& i) { unplug(i); i.setClipImage("Output", frame(kOfxImageComponentRGBA, kOfxBitDepthShort)); },
         kOfxStatErrUnsupported, depthText},
        {"source of another size",
         [](Instance& i) { i.setClipImage("Source", ramp(rect(0, 0, 8, 3))); }, kOfxStatErrImageFormat, sizeText},
        // Bounds whose width or height does not fit an int, as a host may
        // hand them: refused before anything is measured by them, as a plain
        // failure when both images have them or there is no source (no text
        // names them), and as a size mismatch when the images differ,
        // whichever is too large.
        {"bounds wider than an int", [&](Instance& i) { bounded(i, {kWide, kWide}); }, kOfxStatFailed,
         ""},
        {"bounds taller than an int", [&](Instance& i) { bounded(i, {kTall, kTall}); }, kOfxStatFailed,
         ""},
        {"bounds inverted past an int", [&](Instance& i) { bounded(i, {kInverted, kInverted}); },
         kOfxStatFailed, ""},
        {"no source, output wider than an int",
         [&](Instance& i) { unplug(i); bounded(i, {kFrame, kWide}); }, kOfxStatFailed, ""},
        {"output wider than an int, source of the frame",
         [&](Instance& i) { bounded(i, {kFrame, kWide}); }, kOfxStatErrImageFormat, sizeText},
        {"source wider than an int, output of the frame",
         [&](Instance& i) { bounded(i, {kWide, kFrame}); }, kOfxStatErrImageFormat, sizeText},
        {"source wider, output taller than an int",
         [&](Instance& i) { bounded(i, {kWide, kTall}); }, kOfxStatErrImageFormat, sizeText},
        {"rows shorter than a row of pixels",
         [](Instance& i) { auto s = ramp(rect(0, 0, 8, 4)); s->rowBytes = 16; i.setClipImage("Source", s); },
         kOfxStatErrImageFormat, "Brew : Natron gave images with invalid row bytes. Unable to process footage"},
        {"GPU failure", [](Instance&) { recording::reset(false); }, kOfxStatFailed,
         "Brew : GPU processing failed. Unable to process footage"},
        {"frame larger than the GPU's memory", [](Instance&) { recording::reset(false, kFrameOutOfMemory); },
         kOfxStatErrMemory,
         "Brew : the frame does not fit in the GPU's free memory, even with no other frame rendering. Unable "
         "to process footage"},
        {"GPU memory held by other frames too long",
         [](Instance&) { recording::reset(false, kFrameWaitedForMemory); }, kOfxStatErrMemory,
         "Brew : other frames held the GPU's memory for a minute. Unable to process footage"},
        // The host asked for it: no message.
        {"aborted by the host while waiting for GPU memory",
         [](Instance&) { recording::reset(false, kFrameAborted); }, kOfxStatFailed, ""},
    };
    for (const Case& c : cases) {
        Instance& i = createActive();
        c.setup(i);
        EXPECT_EQ(i.render(0, rect(0, 0, 8, 4)), c.status) << c.what;
        std::vector<MessageRecord> messages = i.messages();
        if (c.message.empty()) {
            EXPECT_TRUE(messages.empty()) << c.what;
        } else {
            ASSERT_EQ(messages.size(), 1u) << c.what;
            EXPECT_EQ(messages[0].text, c.message) << c.what;
            EXPECT_EQ(messages[0].type, "OfxMessageError");
            EXPECT_TRUE(messages[0].persistent) << c.what;
        }
        EXPECT_EQ(i.liveImages(), 0) << c.what;
        EXPECT_EQ(i.badReleases(), 0) << c.what;
        recording::reset();
    }
}

// The pipeline is handed the host's abort for the render's instance: it
// answers as the host does, yes once the host aborts.
TEST_F(RenderPath, ThePipelineAsksTheHostWhetherItAborted) {
    Instance& i = createActive();
    ASSERT_EQ(i.render(0, rect(0, 0, 8, 4)), kOfxStatOK);
    i.setAborted(true);
    ASSERT_EQ(i.render(0, rect(0, 0, 8, 4)), kOfxStatOK);
    EXPECT_EQ(recording::abortAnswers(), (std::vector<bool>{false, true}));
    EXPECT_EQ(i.abortQueries(), 2);
}

// Unconnected, or connected without an image at that time: the window's part
// inside the output image turns black, alpha included, and nothing else.
TEST_F(RenderPath, NoSourceFillsOnlyTheWindowWithBlack) {
    for (bool connected : {false, true}) {
        Instance& i = createActive();
        if (connected)
            i.setClipImage("Source", nullptr);
        else
            i.setClipConnected("Source", false);
        dst->fill(0.7f);
        ASSERT_EQ(i.render(0, rect(6, 2, 12, 9)), kOfxStatOK);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x)
                for (int c = 0; c < 4; ++c)
                    EXPECT_EQ(dst->pixelF(x, y)[c], x >= 6 && y >= 2 ? 0.0f : 0.7f) << x << "," << y;
        EXPECT_TRUE(i.messages().empty());
        EXPECT_EQ(i.liveImages(), 0);
    }
}

// Renders read every parameter at the render time, whatever the host's
// current time, the identity rule holds at the action's time, and a soft clip
// switched on with neutral settings is off for both without the render
// touching the stored value.
TEST_F(RenderPath, ParametersAreReadAtTheActionTimeAndNeverWritten) {
    Instance& i = createActive();
    setValues(i, {{"SoftClips", 2}, {"CameraHighlightsCeiling", 1.0}, {"CameraShadowsCeiling", 0.0}});
    i.setValueAtTime("Exposure", 10, 0.0);
    i.setValueAtTime("Exposure", 20, 0.5);
    i.setCurrentTime(10);
    EXPECT_EQ(i.isIdentity(10).status, kOfxStatOK);
    EXPECT_EQ(i.isIdentity(15).status, kOfxStatReplyDefault);
    i.clearRecords();
    ASSERT_EQ(i.render(15, rect(0, 0, 8, 4)), kOfxStatOK);
    ASSERT_EQ(recording::records().size(), 1u);
    EXPECT_EQ(recording::records()[0].exposureAmount, static_cast<float>(std::exp2(2.5)));
    EXPECT_EQ(recording::records()[0].softClipOn, 0);
    EXPECT_TRUE(i.events(Event::Kind::GetValue).empty());
    for (const Event& e : i.events(Event::Kind::GetValueAtTime)) EXPECT_EQ(e.time, 15.0) << e.name;
    EXPECT_TRUE(i.events(Event::Kind::SetValue).empty());
    EXPECT_EQ(i.value("SoftClips"), 2.0);
}

// Fields a render leaves alone come from the constructor's fill, never from
// an earlier render.
TEST_F(RenderPath, UnwrittenFieldsKeepTheFirstFill) {
    Instance& i = createActive();
    setValues(i, {{"CameraStock", 3}, {"Develop", 0.05}, {"ColorCorrection", 1}, {"SaturationRed", 0.9}});
    ASSERT_EQ(i.render(0, rect(0, 0, 8, 4)), kOfxStatOK);
    i.setValue("CameraStock", 0);
    ASSERT_EQ(i.render(0, rect(0, 0, 8, 4)), kOfxStatOK);
    const std::vector<TextureOptionsStruct> r = recording::records();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_FLOAT_EQ(r[0].developScaled, 0.10111111f);
    EXPECT_FLOAT_EQ(r[0].saturationGroup.redScaled, 1.8f);
    EXPECT_EQ(r[0].pixelCountFactor, 8.0f * 4.0f / 2400.0f);
    EXPECT_EQ(r[1].developScaled, 0.9f);
    EXPECT_EQ(r[1].saturationGroup.redScaled, 1.0f);
    EXPECT_EQ(r[1].pixelCountFactor, 864.0f);
}

// What a reopened project carries: values the instance finds at creation.
TEST_F(RenderPath, ConstructionRevealsControlsAndForcesTheBypass) {
    storedProject({{"InputGamut", 27}, {"PrintDisplayBypass", 0}, {"CameraStock", 3}, {"NegCast", 3200}});
    Instance& i = create();
    std::vector<Event> writes = i.events(Event::Kind::SetValue);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].name, "PrintDisplayBypass");
    EXPECT_EQ(writes[0].value, 1.0);
    for (const char* shown : {"NegCast", "NegBlend", "BrewDminRGB", "BrewDmaxBlue"}) {
        EXPECT_TRUE(i.enabled(shown)) << shown;
        EXPECT_FALSE(i.secret(shown)) << shown;
    }
    EXPECT_TRUE(i.secret("PrintProfile"));
    EXPECT_TRUE(i.secret("DisplayGamutOutput"));

    ASSERT_EQ(attachImages(i).render(0, rect(0, 0, 8, 4)), kOfxStatOK);
    ASSERT_EQ(recording::records().size(), 1u);
    EXPECT_EQ(recording::records()[0].negCastIndex, 32);
    EXPECT_EQ(recording::records()[0].printOff, 1);
    EXPECT_EQ(recording::records()[0].exposureMode, 1);  // sRGB
}

TEST_F(RenderPath, ClipChangesClearSrcClipChanged) {
    Instance& i = create();
    for (const char* clip : {"Output", "Source"}) {  // a user's edit, a plug-in's edit
        i.setValue("SrcClipChanged", 1);
        EXPECT_EQ(i.clipChanged(clip, clip[0] == 'O' ? kOfxChangeUserEdited : kOfxChangePluginEdited), kOfxStatOK);
        EXPECT_EQ(i.value("SrcClipChanged"), 0.0) << clip;
    }
}

// The choice's messages reach the host as plain messages, and the chosen
// device reaches every record.
TEST_F(RenderPath, DeviceChoiceMessagesAndChosenDevice) {
    std::vector<cudasim::Device> devices(2);
    devices[0].major = 5, devices[0].minor = 2;
    cudasim::set_devices(devices);
    ASSERT_EQ(cudaSetDevice(1), cudaSuccess);
    createActive();
    ASSERT_EQ(constructionMessages.size(), 1u);
    EXPECT_EQ(constructionMessages[0].rfind("Kalthorne : fastest CUDA device does not have", 0), 0u);
    ASSERT_EQ(inst->render(0, rect(0, 0, 8, 4)), kOfxStatOK);
    ASSERT_EQ(recording::records().size(), 1u);
    EXPECT_EQ(recording::records()[0].cudaDevice, 1);
}

// No device at all, and a device of a family the bundle has no machine code for.
TEST_F(RenderPath, NoUsableDevicePassesFramesThrough) {
    cudasim::Device later;
    later.major = 13, later.minor = 0, later.hasCode = false;
    const std::pair<std::vector<cudasim::Device>, std::string> cases[] = {{{}, kM1}, {{later}, kNoCode}};
    for (const auto& c : cases) {
        cudasim::set_devices(c.first);
        expectPassThroughInstance(host, c.second);
    }
}

TEST(NonNatronHost, NoCudaCallAndFramesPassThrough) {
    EXPECT_TRUE(runInFreshProcess([] {
        cudasim::reset();
        recording::reset();
        HostOptions options;
        options.natron = NatronMark::Absent;
        Host host(options);
        std::string error;
        ASSERT_TRUE(host.loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error)) << error;
        cudasim::clear_call_log();
        expectPassThroughInstance(host, kM0);
        EXPECT_TRUE(cudasim::call_log().empty());
    }));
}

#ifdef KALTHORNE_PRODUCT_BUNDLE
// The nvcc-built bundle on a machine without a GPU: the real CUDA runtime
// finds no device, the instance says so and passes frames through.
TEST(ProductBundle, WithoutGpuPostsM1AndPassesFramesThrough) {
    EXPECT_TRUE(runInFreshProcess([] {
        Host host;
        std::string error;
        ASSERT_TRUE(host.loadAndDescribe(KALTHORNE_PRODUCT_BUNDLE, &error)) << error;
        expectPassThroughInstance(host, kM1);
    }));
}
#endif
