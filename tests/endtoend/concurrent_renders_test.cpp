// A host rendering frames of several instances on several threads at once,
// as Natron's frame threading does, while the user re-picks the stocks: each
// frame must be the frame that instance renders alone.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "tests/host/ofx_test_host.h"

using namespace ofxtest;

namespace {

constexpr int kW = 19, kH = 11;
constexpr int kInstances = 3, kThreads = 6, kRendersPerThread = 3;

using Edits = std::vector<std::pair<const char*, double>>;

// Per instance: values stored in the project, then the user's picks. The last
// pick is the one the user keeps re-picking during the renders; picking it
// again writes the values it already wrote.
const std::pair<Edits, Edits> kLooks[kInstances] = {
    {{}, {{"PrintDisplayBypass", 0}, {"CameraStock", 2}, {"PrintProfile", 2}}},
    {{{"HalationBypass", 0}, {"PitchBypass", 0}, {"EnsemblePitch", 6.0}}, {{"CameraStock", 13}}},
    {{{"PitchBypass", 0}, {"TenorPitch", 1.0}}, {{"PrintDisplayBypass", 0}, {"PrintProfile", 6}}},
};

bool sameFrame(const ImageBuffer& a, const ImageBuffer& b) {
    return a.storage.size() == b.storage.size() && std::memcmp(a.storage.data(), b.storage.data(), a.storage.size()) == 0;
}

TEST(ConcurrentRenders, EqualSerialOnesWhilePresetsAreRepicked) {
    cudasim::reset();
    Host host;
    std::string error;
    ASSERT_TRUE(host.loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error)) << error;
    auto src = std::make_shared<ImageBuffer>(rect(0, 0, kW, kH));
    src->fillWith([](int x, int y, int c) { return c == 3 ? 0.75f : 0.03f + 0.9f * (x + 2 * y + c) / (kW + 2 * kH); });
    std::vector<std::unique_ptr<Instance>> instances;
    for (const auto& look : kLooks) {
        instances.push_back(host.createInstance(kOfxImageEffectContextFilter));
        Instance& i = *instances.back();
        ASSERT_EQ(i.createStatus(), kOfxStatOK);
        for (const auto& s : look.first) i.setValue(s.first, s.second);
        for (const auto& e : look.second) ASSERT_EQ(i.userEdit(e.first, e.second), kOfxStatOK) << e.first;
        i.setClipImage("Source", src);
    }

    // Every render has a time, and so an output image, of its own.
    auto outputAt = [&](int n, double time) {
        auto out = std::make_shared<ImageBuffer>(rect(0, 0, kW, kH));
        instances[size_t(n % kInstances)]->setClipImageAt("Output", time, out);
        return out;
    };
    std::vector<std::shared_ptr<ImageBuffer>> alone, outputs;
    for (int i = 0; i < kInstances; ++i) {
        alone.push_back(outputAt(i, 1000 + i));
        ASSERT_EQ(instances[size_t(i)]->render(1000 + i, rect(0, 0, kW, kH)), kOfxStatOK);
        EXPECT_FALSE(sameFrame(*src, *alone.back())) << "look " << i << " changes nothing";
    }
    for (int n = 0; n < kThreads * kRendersPerThread; ++n) outputs.push_back(outputAt(n, n));

    std::atomic<int> failed{0}, running{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int n = t * kRendersPerThread; n < (t + 1) * kRendersPerThread; ++n)
                failed += instances[size_t(n % kInstances)]->render(n, rect(0, 0, kW, kH)) != kOfxStatOK;
            --running;
        });
    for (int edits = 0; running > 0 || edits < kInstances; ++edits) {
        const auto& pick = kLooks[edits % kInstances].second.back();
        EXPECT_EQ(instances[size_t(edits % kInstances)]->userEdit(pick.first, pick.second), kOfxStatOK);
    }
    for (auto& t : threads) t.join();

    EXPECT_EQ(failed, 0);
    for (int n = 0; n < kThreads * kRendersPerThread; ++n)
        EXPECT_TRUE(sameFrame(*outputs[size_t(n)], *alone[size_t(n % kInstances)])) << "render " << n;
    for (const auto& i : instances) {
        EXPECT_EQ(i->liveImages(), 0);
        EXPECT_TRUE(i->messages().empty());
    }
    EXPECT_EQ(cudasim::allocation_stats().live, 0u);
}

}  // namespace
