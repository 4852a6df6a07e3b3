// A colourist's session through an OpenFX host with the real CPU pipeline on
// the CUDA stand-in (one capable device): neutral frames, film stocks, a Look
// file and animated exposure, each render checked for sound output and for
// images and device memory handed back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "cudasim/cudasim_control.h"
#include "fake_chooser.h"
#include "tests/host/ofx_test_host.h"

using namespace ofxtest;

namespace {

constexpr int kW = 37, kH = 23;  // odd on both axes: no launch shape divides it

std::shared_ptr<ImageBuffer> gradient(const char* components) {
    auto img = std::make_shared<ImageBuffer>(rect(0, 0, kW, kH), components);
    img->fillWith([](int x, int y, int c) {
        if (c == 3) return 0.2f + 0.6f * x / kW;                      // varied alpha
        return 0.02f + 0.9f * x / kW * (0.3f + 0.7f * y / kH) + 0.05f * c;  // shadows to highlights
    });
    return img;
}

bool sameFrame(const ImageBuffer& a, const ImageBuffer& b) {
    return a.storage.size() == b.storage.size() && std::memcmp(a.storage.data(), b.storage.data(), a.storage.size()) == 0;
}

class ColouristSession : public ::testing::Test {
protected:
    void SetUp() override {
        cudasim::reset();
        std::string error;
        ASSERT_TRUE(host.loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error)) << error;
        inst = create();
    }
    void TearDown() override {
        inst.reset();
        cudasim::reset();
    }
    std::unique_ptr<Instance> create() {
        auto i = host.createInstance(kOfxImageEffectContextFilter);
        EXPECT_EQ(i->createStatus(), kOfxStatOK);
        EXPECT_TRUE(i->messages().empty()) << i->messages()[0].text;
        return i;
    }

    // One frame through `i`: status OK, every sample finite, alpha carried
    // over, no image held, no device memory leaked or misused.
    std::shared_ptr<ImageBuffer> render(Instance& i, const char* components, double time = 0) {
        auto src = gradient(components);
        auto dst = std::make_shared<ImageBuffer>(rect(0, 0, kW, kH), components);
        dst->fill(-7.0f);
        i.setClipImage("Source", src);
        i.setClipImage("Output", dst);
        EXPECT_EQ(i.render(time, rect(0, 0, kW, kH)), kOfxStatOK) << components;
        bool finite = true, alphaKept = true;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                for (int c = 0; c < dst->componentCount; ++c) {
                    finite = finite && std::isfinite(dst->pixelF(x, y)[c]);
                    if (c == 3) alphaKept = alphaKept && dst->pixelF(x, y)[3] == src->pixelF(x, y)[3];
                }
        EXPECT_TRUE(finite) << components;
        EXPECT_TRUE(alphaKept) << components;
        EXPECT_EQ(i.liveImages(), 0);
        EXPECT_EQ(i.badReleases(), 0);
        const cudasim::AllocationStats s = cudasim::allocation_stats();
        EXPECT_EQ(s.live, 0u) << s.live_bytes << " bytes left on the device";
        EXPECT_EQ(s.double_frees + s.invalid_frees + s.guard_overruns + s.bad_pointers, 0u)
            << (cudasim::violations().empty() ? std::string() : cudasim::violations()[0]);
        EXPECT_GT(s.allocations, 0u) << "the pipeline never ran";
        cudasim::reset();
        // Everything but alpha changes somewhere under a film look.
        EXPECT_FALSE(sameFrame(*src, *dst)) << components;
        return dst;
    }
    // Both layouts through the current look; returns the RGBA frame.
    std::shared_ptr<ImageBuffer> renderBoth(Instance& i) {
        render(i, kOfxImageComponentRGB);
        return render(i, kOfxImageComponentRGBA);
    }

    Host host;
    std::unique_ptr<Instance> inst;
};

}  // namespace

TEST_F(ColouristSession, NeutralDefaultsPassFramesUnchanged) {
    const IdentityResult id = inst->isIdentity(0);
    EXPECT_EQ(id.status, kOfxStatOK);
    EXPECT_EQ(id.clip, "Source");
    auto src = gradient(kOfxImageComponentRGBA);
    auto dst = std::make_shared<ImageBuffer>(rect(0, 0, kW, kH));
    inst->setClipImage("Source", src);
    inst->setClipImage("Output", dst);
    ASSERT_EQ(inst->render(0, rect(0, 0, kW, kH)), kOfxStatOK);
    EXPECT_TRUE(sameFrame(*src, *dst));
    EXPECT_EQ(inst->liveImages(), 0);
    EXPECT_EQ(cudasim::allocation_stats().live, 0u);
}

// Camera and print stocks picked from the menus, then a stored Look: each
// renders soundly, and each choice reaches the frame.
TEST_F(ColouristSession, FilmStocksAndALookRenderSoundly) {
    ASSERT_EQ(inst->userEdit("PrintDisplayBypass", 0), kOfxStatOK);
    ASSERT_EQ(inst->userEdit("CameraStock", 2), kOfxStatOK);
    ASSERT_EQ(inst->userEdit("PrintProfile", 2), kOfxStatOK);
    ASSERT_EQ(inst->value("PrintDisplayBypass"), 0.0);
    EXPECT_EQ(inst->value("InputGamut"), 11.0);
    EXPECT_NE(inst->isIdentity(0).status, kOfxStatOK);
    const auto first = renderBoth(*inst);

    ASSERT_EQ(inst->userEdit("CameraStock", 24), kOfxStatOK);
    const auto reversal = renderBoth(*inst);
    EXPECT_FALSE(sameFrame(*first, *reversal)) << "camera stock ignored";
    ASSERT_EQ(inst->userEdit("PrintProfile", 6), kOfxStatOK);  // D55 print
    const auto d55 = renderBoth(*inst);
    EXPECT_FALSE(sameFrame(*reversal, *d55)) << "print stock ignored";
    EXPECT_TRUE(inst->messages().empty());

    looktest::FakeChooser chooser;
    chooser.answer(looktest::FakeChooser::Answer::Pick, std::string(LOOKS_TEST_DATA_DIR) + "/reference.prm");
    ASSERT_EQ(inst->paramChanged("LoadLooks"), kOfxStatOK);
    ASSERT_EQ(chooser.runs(), 1);
    EXPECT_TRUE(inst->messages().empty()) << inst->messages()[0].text;
    EXPECT_EQ(inst->value("CameraStock"), 12.0);
    const auto look = renderBoth(*inst);
    EXPECT_FALSE(sameFrame(*d55, *look)) << "Look not applied";
}

// Exposure keyed 0 at t=0 and 0.5 at t=10 on a film look: the frames differ,
// and the one at t=0 is the frame of an unkeyed instance at exposure 0.
TEST_F(ColouristSession, AnimatedExposureIsRenderedAtTheFramesTime) {
    auto still = create();
    for (Instance* i : {inst.get(), still.get()}) {
        ASSERT_EQ(i->userEdit("CameraStock", 2), kOfxStatOK);
        ASSERT_EQ(i->userEdit("Exposure", 0.0), kOfxStatOK);
    }
    inst->setValueAtTime("Exposure", 0, 0.0);
    inst->setValueAtTime("Exposure", 10, 0.5);
    inst->setCurrentTime(5);
    for (const char* layout : {kOfxImageComponentRGBA, kOfxImageComponentRGB}) {
        const auto atZero = render(*inst, layout, 0);
        const auto atTen = render(*inst, layout, 10);
        const auto unkeyed = render(*still, layout, 0);
        EXPECT_FALSE(sameFrame(*atZero, *atTen)) << layout;
        EXPECT_TRUE(sameFrame(*atZero, *unkeyed)) << layout;
    }
}
