// A colourist's session through an OpenFX host with the real CPU pipeline on
// the CUDA stand-in (one capable device): film stocks from the menus, a D55
// print, a stored Look and keyed exposure, each frame checked for sound output
// and for images and device memory handed back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "cudasim/cudasim_control.h"
#include "fake_chooser.h"
#include "tests/host/ofx_test_host.h"

using namespace ofxtest;

namespace {

constexpr int kW = 37, kH = 23;  // odd on both axes: no launch shape divides it

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

    // One frame of shadows to highlights with varied alpha: status OK, every
    // sample finite, alpha carried over, the picture changed, no image held,
    // no device memory leaked or misused.
    std::shared_ptr<ImageBuffer> render(Instance& i, const char* components, double time = 0) {
        SCOPED_TRACE(components);
        auto src = std::make_shared<ImageBuffer>(rect(0, 0, kW, kH), components);
        src->fillWith([](int x, int y, int c) {
            return c == 3 ? 0.2f + 0.6f * x / kW : 0.02f + 0.9f * x / kW * (0.3f + 0.7f * y / kH) + 0.05f * c;
        });
        auto dst = std::make_shared<ImageBuffer>(rect(0, 0, kW, kH), components);
        dst->fill(-7.0f);
        i.setClipImage("Source", src);
        i.setClipImage("Output", dst);
        EXPECT_EQ(i.render(time, rect(0, 0, kW, kH)), kOfxStatOK);
        int unsound = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                for (int c = 0; c < dst->componentCount; ++c)
                    unsound += !std::isfinite(dst->pixelF(x, y)[c]) ||
                               (c == 3 && dst->pixelF(x, y)[3] != src->pixelF(x, y)[3]);
        EXPECT_EQ(unsound, 0) << "non-finite samples or alpha changed";
        EXPECT_FALSE(sameFrame(*src, *dst));
        EXPECT_EQ(i.liveImages() + i.badReleases(), 0);
        const cudasim::AllocationStats s = cudasim::allocation_stats();
        EXPECT_GT(s.allocations, 0u) << "the pipeline never ran";
        EXPECT_EQ(s.live + s.double_frees + s.invalid_frees + s.guard_overruns + s.bad_pointers, 0u)
            << (cudasim::violations().empty() ? std::string() : cudasim::violations()[0]);
        cudasim::reset();
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

// Camera and print stocks picked from the menus, then a stored Look: each
// renders soundly, and each choice reaches the frame.
TEST_F(ColouristSession, FilmStocksAndALookRenderSoundly) {
    using Pick = std::pair<const char*, int>;
    for (Pick pick : {Pick{"PrintDisplayBypass", 0}, Pick{"CameraStock", 2}, Pick{"PrintProfile", 2}})
        ASSERT_EQ(inst->userEdit(pick.first, pick.second), kOfxStatOK) << pick.first;
    ASSERT_EQ(inst->value("PrintDisplayBypass"), 0.0);
    EXPECT_NE(inst->isIdentity(0).status, kOfxStatOK);
    auto frame = renderBoth(*inst);
    for (Pick pick : {Pick{"CameraStock", 24}, Pick{"PrintProfile", 6}}) {  // a reversal stock, a D55 print
        ASSERT_EQ(inst->userEdit(pick.first, pick.second), kOfxStatOK);
        auto next = renderBoth(*inst);
        EXPECT_FALSE(sameFrame(*frame, *next)) << pick.first << " ignored";
        frame = next;
    }
    EXPECT_TRUE(inst->messages().empty());

    looktest::FakeChooser chooser;
    chooser.answer(looktest::FakeChooser::Answer::Pick, std::string(LOOKS_TEST_DATA_DIR) + "/reference.prm");
    ASSERT_EQ(inst->paramChanged("LoadLooks"), kOfxStatOK);
    ASSERT_EQ(chooser.runs(), 1);
    EXPECT_TRUE(inst->messages().empty()) << inst->messages()[0].text;
    EXPECT_EQ(inst->value("CameraStock"), 12.0);
    EXPECT_FALSE(sameFrame(*frame, *renderBoth(*inst))) << "Look not applied";
}

// Exposure keyed 0 at t=0 and 0.5 at t=10 on a film look: the frames differ,
// and the one at t=0 is the frame of an unkeyed instance at exposure 0.
TEST_F(ColouristSession, AnimatedExposureIsRenderedAtTheFramesTime) {
    auto still = create();
    for (Instance* i : {inst.get(), still.get()}) ASSERT_EQ(i->userEdit("CameraStock", 2), kOfxStatOK);
    inst->setValueAtTime("Exposure", 0, 0.0);
    inst->setValueAtTime("Exposure", 10, 0.5);
    inst->setCurrentTime(5);
    for (const char* layout : {kOfxImageComponentRGBA, kOfxImageComponentRGB}) {
        const auto atZero = render(*inst, layout, 0);
        EXPECT_FALSE(sameFrame(*atZero, *render(*inst, layout, 10))) << layout;
        EXPECT_TRUE(sameFrame(*atZero, *render(*still, layout, 0))) << layout;
    }
}
