// A host rendering frames of several instances on several threads at once,
// as Natron's frame threading does, while the user re-picks the stocks: each
// frame must be the frame that instance renders alone.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "pipeline/device_memory_turns.h"
#include "tests/host/fresh_process.h"
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

// An instance of a heavy look, w x h: camera stock with both diffusion
// bands, halation and texture, stages that run cooperative kernels.
std::unique_ptr<Instance> heavyInstance(Host& host, int w, int h) {
    std::unique_ptr<Instance> i = host.createInstance(kOfxImageEffectContextFilter);
    EXPECT_EQ(i->createStatus(), kOfxStatOK);
    const Edits look = {{"CameraStock", 4},   {"DiffuseLoMid", 0.3}, {"DiffuseMidHi", 0.6},
                        {"HalationBypass", 0}, {"PitchBypass", 0},   {"EnsemblePitch", 6.0}};
    for (const auto& e : look) EXPECT_EQ(i->userEdit(e.first, e.second), kOfxStatOK) << e.first;
    auto src = std::make_shared<ImageBuffer>(rect(0, 0, w, h));
    src->fillWith([&](int x, int y, int c) { return c == 3 ? 0.8f : 0.02f + 0.9f * (x + 3 * y + c) / (w + 3 * h); });
    i->setClipImage("Source", src);
    return i;
}

// Renders `count` frames of the instance's whole output at once, a thread
// each, started together, at times first, first + 1, ...; their statuses.
// The threads end together too, as a host's render threads outlive their
// frames.
std::vector<OfxStatus> renderAtOnce(Instance& instance, const OfxRectI& window, int count, double first) {
    std::atomic<int> ready{0}, done{0};
    std::vector<OfxStatus> status(size_t(count), kOfxStatOK);
    std::vector<std::thread> threads;
    for (int n = 0; n < count; ++n)
        threads.emplace_back([&, n] {
            for (++ready; ready < count;) std::this_thread::yield();
            status[size_t(n)] = instance.render(first + n, window);
            for (++done; done < count;) std::this_thread::yield();
        });
    for (auto& t : threads) t.join();
    return status;
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

// A small card: eight renders at once of a heavy look (camera stock with
// both diffusion bands, halation and texture) in a process whose device has
// room for two and a half of its frames (CUDASIM_DEVICE_MEMORY_MB). Renders
// that find no memory wait for the others and render again: every frame is
// the frame rendered alone, and no message. Then a frame larger than the
// whole device fails at once with the memory message, after the pool's kept
// memory went back; nothing stays allocated, and the host's purge leaves
// nothing kept.
TEST(ConcurrentRenders, WaitForMemoryOnADeviceWithRoomForTwoFrames) {
    constexpr int W = 24, H = 16, kRenders = 8;
    cudasim::reset();
    Host host;
    std::string error;
    ASSERT_TRUE(host.loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error)) << error;
    std::unique_ptr<Instance> instance = heavyInstance(host, W, H);
    auto outputAt = [&](double time) {
        auto out = std::make_shared<ImageBuffer>(rect(0, 0, W, H));
        instance->setClipImageAt("Output", time, out);
        return out;
    };
    const auto alone = outputAt(100);
    cudasim::reset_peak();
    ASSERT_EQ(instance->render(100, rect(0, 0, W, H)), kOfxStatOK);
    const size_t frameBytes = cudasim::allocation_stats().peak_live_bytes;
    const std::string deviceMiB = std::to_string(2.5 * double(frameBytes) / double(1 << 20));

    EXPECT_TRUE(runInFreshProcess([&] {
        size_t freeBytes = 0, totalBytes = 0;
        ASSERT_EQ(cudaMemGetInfo(&freeBytes, &totalBytes), cudaSuccess);
        ASSERT_GE(totalBytes, 2 * frameBytes);
        ASSERT_LT(totalBytes, 3 * frameBytes);
        cudasim::clear_call_log();
        // Renders that happen not to overlap never run short: a few more
        // bursts then, until they do.
        int shortOfMemory = 0;
        for (int burst = 0; burst < 4 && shortOfMemory == 0; ++burst) {
            std::vector<std::shared_ptr<ImageBuffer>> outputs;
            for (int n = 0; n < kRenders; ++n) outputs.push_back(outputAt(burst * kRenders + n));
            const std::vector<OfxStatus> status = renderAtOnce(*instance, rect(0, 0, W, H), kRenders, burst * kRenders);
            for (const auto& c : cudasim::call_log()) shortOfMemory += c.result == cudaErrorMemoryAllocation;
            for (int n = 0; n < kRenders; ++n) {
                EXPECT_EQ(status[size_t(n)], kOfxStatOK) << "render " << n;
                EXPECT_TRUE(sameFrame(*outputs[size_t(n)], *alone)) << "render " << n;
            }
        }
        EXPECT_GT(shortOfMemory, 0) << "the renders never ran short of memory";
        EXPECT_TRUE(instance->messages().empty());
        EXPECT_EQ(cudasim::allocation_stats().live, 0u);

        // Three times the pixels: more than the whole device.
        std::unique_ptr<Instance> large = heavyInstance(host, 3 * W, H);
        large->setClipImage("Output", std::make_shared<ImageBuffer>(rect(0, 0, 3 * W, H)));
        cudasim::clear_call_log();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(large->render(0, rect(0, 0, 3 * W, H)), kOfxStatErrMemory);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(kDeviceMemoryWaitSeconds));
        ASSERT_EQ(large->messages().size(), 1u);
        EXPECT_EQ(large->messages()[0].text,
                  "Brew : the frame does not fit in the GPU's free memory, even with no other frame rendering. "
                  "Unable to process footage");
        int trims = 0;
        for (const auto& c : cudasim::call_log()) trims += c.function == "cudaMemPoolTrimTo";
        EXPECT_EQ(trims, 1);
        EXPECT_EQ(cudasim::allocation_stats().live, 0u);
        // What the last attempt took the pool keeps for the next frame, as
        // between any frames; the host's purge gives it back.
        ASSERT_EQ(cudaMemGetInfo(&freeBytes, &totalBytes), cudaSuccess);
        EXPECT_EQ(freeBytes + cudasim::allocation_stats().kept_bytes, totalBytes);
        host.callAction(kOfxActionPurgeCaches, large->handle(), nullptr, nullptr);
        ASSERT_EQ(cudaMemGetInfo(&freeBytes, &totalBytes), cudaSuccess);
        EXPECT_EQ(freeBytes, totalBytes);
    }, {{"CUDASIM_DEVICE_MEMORY_MB", deviceMiB}}));
}

// A host's load: thirty-two renders at once of the heavy look, each on a
// thread of its own that runs its cooperative kernels' threads on fiber
// stacks of its own: every render completes with the frame rendered alone.
TEST(ConcurrentRenders, ThirtyTwoHeavyRendersAtOnce) {
    constexpr int W = 225, H = 8, kRenders = 32;
    cudasim::reset();
    Host host;
    std::string error;
    ASSERT_TRUE(host.loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error)) << error;
    std::unique_ptr<Instance> instance = heavyInstance(host, W, H);
    std::vector<std::shared_ptr<ImageBuffer>> outputs;
    for (int n = 0; n <= kRenders; ++n) {
        outputs.push_back(std::make_shared<ImageBuffer>(rect(0, 0, W, H)));
        instance->setClipImageAt("Output", n, outputs.back());
    }
    ASSERT_EQ(instance->render(kRenders, rect(0, 0, W, H)), kOfxStatOK);
    const std::vector<OfxStatus> status = renderAtOnce(*instance, rect(0, 0, W, H), kRenders, 0);
    for (int n = 0; n < kRenders; ++n) {
        EXPECT_EQ(status[size_t(n)], kOfxStatOK) << "render " << n;
        EXPECT_TRUE(sameFrame(*outputs[size_t(n)], *outputs[kRenders])) << "render " << n;
    }
    EXPECT_TRUE(instance->messages().empty());
    EXPECT_EQ(cudasim::allocation_stats().live, 0u);
}

}  // namespace
