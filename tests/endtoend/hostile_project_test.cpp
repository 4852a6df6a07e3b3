// A project as a damaged file, a script or a hand edit can store it: every
// parameter of the catalogue at values outside what it declares, rendered
// through the host on a film look with every stage switched on.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "params/param_catalogue.h"
#include "tests/host/ofx_test_host.h"

using namespace ofxtest;
using kalthorne::params::kParamSpecs;
using kalthorne::params::ParamKind;

namespace {

constexpr int kW = 6, kH = 4;

// Scene-linear Rec.709 from black to highlights far above 1.
std::shared_ptr<ImageBuffer> linearHighlights() {
    auto img = std::make_shared<ImageBuffer>(rect(0, 0, kW, kH));
    const float levels[] = {0.0f, 0.01f, 0.18f, 0.5f, 1.0f, 2.5f, 4.0f, 9.0f, 16.0f, 30.0f, 120.0f};
    img->fillWith([&](int x, int y, int c) {
        return c == 3 ? 0.5f : levels[(x + kW * y + 3 * c) % 11] * (c == 1 ? 0.8f : 1.0f);
    });
    return img;
}

// The values a hostile project stores, per kind: non-finite numbers, huge
// ones, and just past each end of the declared range.
std::vector<double> hostileValues(const kalthorne::params::ParamSpec& p) {
    switch (p.kind) {
        case ParamKind::Double:
            return {NAN, INFINITY, -INFINITY, 1e30, -1e30, 1e300, p.low - 1.0, p.high + 1.0};
        case ParamKind::Int:
            return {INT_MIN, INT_MAX, -1.0, p.low - 1.0, p.high + 1.0};
        case ParamKind::Boolean:
            return {-1.0, 2.0};
        case ParamKind::Choice:
            return {-1.0, double(p.attributes.optionCount), INT_MAX};
        case ParamKind::PushButton:
            break;
    }
    return {};
}

}  // namespace

// Every parameter at every hostile value of its kind, on camera stock 13 and
// print stock 9 over linear Rec.709 with halation, texture, soft clip and HDR
// compression on. Numbers go a sixth of them at a time (one render per class
// of value and group); they cannot switch a stage off, so the frame stays
// display-referred. Switches and choices go one at a time: they may turn the
// print off or pass the frame through.
TEST(HostileProject, NoStoredValueMakesAFrameNonFiniteOrLeaveTheDisplayRange) {
    cudasim::reset();
    Host host;
    std::string error;
    ASSERT_TRUE(host.loadAndDescribe(KALTHORNE_SIM_BUNDLE, &error)) << error;
    auto inst = host.createInstance(kOfxImageEffectContextFilter);
    ASSERT_EQ(inst->createStatus(), kOfxStatOK);
    using Edit = std::pair<const char*, double>;
    for (Edit e : {Edit{"PrintDisplayBypass", 0}, Edit{"CameraStock", 13}, Edit{"PrintProfile", 9},
                   Edit{"InputGamut", 0}})
        ASSERT_EQ(inst->userEdit(e.first, e.second), kOfxStatOK) << e.first;
    for (Edit e : {Edit{"HalationBypass", 0}, Edit{"PitchBypass", 0}, Edit{"EnsemblePitch", 6.0},
                   Edit{"BassPitch", 7.0}, Edit{"SoftClips", 1}, Edit{"CameraHighlightsCeiling", 0.9},
                   Edit{"HDRcomp", 1}})
        inst->setValue(e.first, e.second);
    const auto src = linearHighlights();
    const auto dst = std::make_shared<ImageBuffer>(rect(0, 0, kW, kH));
    inst->setClipImage("Source", src);
    inst->setClipImage("Output", dst);

    // One frame: a status of OK, every sample finite, alpha carried, and,
    // when the print stage is sure to run, no sample below 0 or above
    // `ceiling` (1 for a display-referred picture). The render writes no
    // parameter.
    auto renderSoundly = [&](const std::string& what, bool printRuns, float ceiling = 1.0f) {
        inst->clearRecords();
        dst->fill(-7.0f);
        EXPECT_EQ(inst->render(0, rect(0, 0, kW, kH)), kOfxStatOK) << what;
        EXPECT_TRUE(inst->events(Event::Kind::SetValue).empty()) << what << ": the render wrote a parameter";
        EXPECT_EQ(inst->liveImages(), 0);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                for (int c = 0; c < 4; ++c) {
                    const float v = dst->pixelF(x, y)[c];
                    if (c == 3 ? v == src->pixelF(x, y)[3]
                               : std::isfinite(v) && (!printRuns || (v >= 0.0f && v <= ceiling)))
                        continue;
                    ADD_FAILURE() << what << ": " << v << " at " << x << "," << y << "," << c;
                    return false;
                }
        return !::testing::Test::HasFailure();
    };
    // The highlight expansion after the print takes display white
    // (luminance 1) to about 16.
    ASSERT_TRUE(renderSoundly("the look with HDR compression", true, 16.01f));
    // Off from here: the compression's black for a non-finite luminance
    // would hide what a stored value does to the print.
    inst->setValue("HDRcomp", 0);
    ASSERT_TRUE(renderSoundly("the look", true));

    constexpr size_t kGroups = 6, kNumberClasses = 8;
    for (size_t cls = 0; cls < kNumberClasses; ++cls)
        for (size_t group = 0; group < kGroups; ++group) {
            std::vector<Edit> kept;
            size_t n = 0;
            for (const auto& p : kParamSpecs) {
                if ((p.kind != ParamKind::Double && p.kind != ParamKind::Int) || n++ % kGroups != group) continue;
                kept.emplace_back(p.name, inst->value(p.name));
                const std::vector<double> values = hostileValues(p);
                inst->setValue(p.name, values[cls % values.size()]);
            }
            ASSERT_TRUE(renderSoundly("value class " + std::to_string(cls) + " from " + kept.front().first, true));
            for (const auto& k : kept) inst->setValue(k.first, k.second);
        }

    for (const auto& p : kParamSpecs) {
        if (p.kind != ParamKind::Boolean && p.kind != ParamKind::Choice) continue;
        const double kept = inst->value(p.name);
        for (double v : hostileValues(p)) {
            inst->setValue(p.name, v);
            ASSERT_TRUE(renderSoundly(std::string(p.name) + " = " + std::to_string(v), false));
        }
        inst->setValue(p.name, kept);
    }
    EXPECT_EQ(cudasim::allocation_stats().live, 0u);
}
