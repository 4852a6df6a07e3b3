// The render core's record: identity predicate, general, halation, soft-clip,
// pitch and negative-stage fields, and the choice-index guard.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "fake_params.h"
#include "plugin/render_options_fill.h"

using namespace kalthorne;

namespace {

struct Render {
    RenderPlan plan;
    TextureOptionsStruct options;
};

// One render on top of the constructor's fill for the same parameters.
Render renderWith(FakeParams& p, int w = 1920, int h = 1080, int channels = 4) {
    TextureOptionsStruct options = firstFill(p.h, p, p, 0);
    p.clearLog();
    RenderPlan plan = fillRenderOptions(p.h, p, w, h, channels, options);
    return {plan, options};
}

// Any non-neutral look: a camera stock switches the negative stage on.
void withCameraStock(FakeParams& p, int stock = 3) { p.set("CameraStock", stock); }

}  // namespace

// The catalogue's defaults pass frames through; each switch away from its
// neutral value breaks the identity, and the pitch stage is neutral either by
// its bypass or by an ensemble of exactly 3.0.
TEST(IdentityPredicate, NeutralSwitches) {
    struct Case { std::vector<std::pair<const char*, double>> values; bool identity; };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Case> cases = {
        {{}, true},
        {{{"CameraStock", 1}}, false},
        {{{"PrintDisplayBypass", 0}}, false},
        {{{"HalationBypass", 0}}, false},
        {{{"Exposure", 0.001}}, false},
        {{{"Exposure", nan}}, false},
        {{{"SoftClips", 1}, {"CameraHighlightsCeiling", 0.9}}, false},
        {{{"PitchBypass", 0}, {"EnsemblePitch", 3.0}}, true},
        {{{"PitchBypass", 0}, {"EnsemblePitch", 2.9}}, false},
        {{{"PitchBypass", 0}, {"EnsemblePitch", nan}}, false},
        {{{"PitchBypass", 1}, {"EnsemblePitch", 2.9}}, true},
    };
    for (const Case& c : cases) {
        FakeParams p;
        for (const auto& v : c.values) p.set(v.first, v.second);
        const std::string what = c.values.empty() ? "defaults" : c.values.back().first;
        EXPECT_EQ(isNeutralLook(readLookSwitches(p.h, p)), c.identity) << what;
        EXPECT_EQ(renderWith(p).plan == RenderPlan::CopySource, c.identity) << what;
    }
}

// A soft clip that is switched on with neutral settings changes nothing: it
// counts as off (the instance tests show the stored value is left alone).
TEST(SoftClip, NeutralCountsAsOff) {
    FakeParams p;
    p.set("SoftClips", 2);
    p.set("CameraHighlightsCeiling", 1.0);
    p.set("CameraShadowsCeiling", 0.0);
    EXPECT_TRUE(isNeutralLook(readLookSwitches(p.h, p)));

    p.set("Exposure", 0.5);
    p.set("CameraHighlightsRecover", 0.2);
    Render r = renderWith(p);
    ASSERT_EQ(r.plan, RenderPlan::Process);
    EXPECT_EQ(r.options.softClipOn, 0);
    EXPECT_EQ(r.options.cameraHighlightsCeiling, 1.0f);
    EXPECT_EQ(r.options.cameraHighlightsRecoverScaled, 2.0f);  // still written

    p.set("CameraShadowsCeiling", 0.1);
    r = renderWith(p);
    EXPECT_EQ(r.options.softClipOn, 1);
    EXPECT_FLOAT_EQ(r.options.cameraShadowsCeilingScaled, 0.15f);
}

TEST(GeneralFields, FrameExposureAndGrey) {
    FakeParams p;
    p.set("InputGamut", 27);
    p.set("Exposure", 0.5);
    Render r = renderWith(p, 640, 360, 3);
    ASSERT_EQ(r.plan, RenderPlan::Process);
    EXPECT_EQ(r.options.frameWidth, 640);
    EXPECT_EQ(r.options.frameHeight, 360);
    EXPECT_EQ(r.options.channelCount, 3);
    EXPECT_EQ(r.options.inputGamut, 27);
    EXPECT_EQ(r.options.exposureAmount, static_cast<float>(std::exp2(2.5)));
    EXPECT_EQ(r.options.negGreyMid, 0.483f);
    EXPECT_EQ(r.options.printGreyMid, 0.483f);

    // Exposure 0 leaves the mode as the constructor set it (log input: 2).
    FakeParams q;
    q.set("InputGamut", 0);
    TextureOptionsStruct options = firstFill(q.h, q, q, 0);  // mode 1 for a linear input
    q.set("InputGamut", 11);
    q.set("HalationBypass", 0);
    ASSERT_EQ(fillRenderOptions(q.h, q, 8, 8, 4, options), RenderPlan::Process);
    EXPECT_EQ(options.exposureAmount, 0.0f);
    EXPECT_EQ(options.exposureMode, 1);
}

TEST(Halation, ZeroBreadthReadsNothingElse) {
    FakeParams p;
    p.set("HalationBypass", 0);
    p.set("HalationBreadth", 0.0);
    Render r = renderWith(p);
    EXPECT_EQ(r.options.halationOff, 1);
    EXPECT_FALSE(p.wasRead("HalationSaturation"));
    EXPECT_EQ(r.options.halationBreadthScaled, 0.25f);  // constructor's value

    p.set("HalationBreadth", 0.8);
    p.set("HalationBlendG", 0.25);
    r = renderWith(p);
    EXPECT_EQ(r.options.halationOff, 0);
    EXPECT_EQ(r.options.halationBreadthScaled, 0.4f);
    EXPECT_EQ(r.options.halationBlendGComplement, 0.75f);
}

TEST(Pitch, EnsembleThreeIsOffAndReadsNoBand) {
    FakeParams p;
    withCameraStock(p);
    p.set("PitchBypass", 0);
    p.set("EnsemblePitch", 3.0);
    Render r = renderWith(p);
    EXPECT_EQ(r.options.pitchOff, 1);
    EXPECT_FALSE(p.wasRead("SopranoPitch"));

    p.set("EnsemblePitch", 2.0);
    p.set("BassPitch", 5.0);
    r = renderWith(p);
    EXPECT_EQ(r.options.pitchOff, 0);
    EXPECT_FLOAT_EQ(r.options.ensemblePitchScaled, 0.8f);
    EXPECT_FLOAT_EQ(r.options.bassPitchScaled, 1.4f);
}

TEST(NegativeStage, NoCameraStockReadsNoNegativeParameter) {
    FakeParams p;
    p.set("Exposure", 0.5);
    p.set("ColorCorrection", 1);
    p.set("SaturationRed", 0.9);
    Render r = renderWith(p);
    ASSERT_EQ(r.plan, RenderPlan::Process);
    for (const char* name : {"Develop", "NegCast", "ColorCorrection", "ColorRefine", "ToneCurves",
                             "DiffuseMidHi", "BrewHighlightCeiling"})
        EXPECT_FALSE(p.wasRead(name)) << name;
    EXPECT_EQ(r.options.saturationGroup.redScaled, 1.0f);  // first fill, not 1.8
    EXPECT_EQ(r.options.negGreyMid, 0.4455f);            // LogC3 default input
}

TEST(NegativeStage, DevelopmentValues) {
    FakeParams p;
    withCameraStock(p);
    p.set("Develop", 0.05);
    p.set("Replenish", 1.0);
    p.set("NegCast", 3200);
    p.set("NegBlend", 0.25);
    Render r = renderWith(p);
    EXPECT_FLOAT_EQ(r.options.developScaled, 0.10111111f);
    EXPECT_EQ(r.options.replenishScaled, 0.2f);
    EXPECT_EQ(r.options.negCastIndex, 32);
    EXPECT_EQ(r.options.negCastOn, 1);
    EXPECT_EQ(r.options.negBlendComplement, 0.75f);
    EXPECT_EQ(r.options.pixelCountFactor, 864.0f);
    p.set("Replenish", 0.0);
    p.set("NegCast", 6504);
    r = renderWith(p);
    EXPECT_FLOAT_EQ(r.options.replenishScaled, 3.2f);
    EXPECT_EQ(r.options.negCastIndex, 6504);
    EXPECT_EQ(r.options.negCastOn, 0);
}

// The diffusion pass gives diffuseMidHiScaled to its first band whenever it
// runs, so every render with a camera stock must write it.
TEST(NegativeStage, DiffuseMidHiWrittenEvenWhenNeutral) {
    FakeParams p;
    withCameraStock(p);
    p.set("DiffuseMidHi", 1.0);
    p.set("DiffuseLoMid", 0.5);
    Render r = renderWith(p);
    EXPECT_EQ(r.options.diffuseMidHiOn, 0);
    EXPECT_EQ(r.options.diffuseMidHiScaled, 1.0f);
    EXPECT_EQ(r.options.diffuseLoMidOn, 1);
    EXPECT_EQ(r.options.diffuseLoMidComplement, 0.5f);
    p.set("DiffuseMidHi", 0.25);
    r = renderWith(p);
    EXPECT_EQ(r.options.diffuseMidHiOn, 1);
    EXPECT_EQ(r.options.diffuseMidHiScaled, -0.5f);
}

TEST(NegativeStage, ToneCurveAndBleach) {
    FakeParams p;
    withCameraStock(p);
    p.set("ToneCurves", 4);
    p.set("BrewCurveShadowRed", 0.0);
    p.set("BrewCurveShadowGreen", 0.0);
    p.set("BrewCurveShadowBlue", 0.0);
    p.set("BrewCurveShadowPivot", 0.9);
    p.set("BrewCurveHighlightPivot", 0.5);
    p.set("BrewCurveHighlightRed", 0.1);
    p.set("BrewFilmicSlopeR", 0.0);
    p.set("BrewFilmicPivotR", 0.0);
    p.set("BrewBleachBypass", 1);
    p.set("BrewCurveBleachPivot", 0.0);
    p.set("BrewCurveBleachRed", 0.4);
    Render r = renderWith(p);
    EXPECT_EQ(r.options.toneCurvesOn, 1);
    EXPECT_EQ(r.options.brewCurveShadowPivotScaled, 0.391006843f);
    EXPECT_FALSE(p.wasRead("BrewCurveShadowPivot"));
    EXPECT_EQ(r.options.brewCurveHighlightPivotScaled, 0.488758553f);  // formula at 0.5
    EXPECT_EQ(r.options.brewFilmicSlopeRScaled, 1.5f);
    EXPECT_FLOAT_EQ(r.options.brewFilmicPivotRGain, 1.0f / 0.71f);
    EXPECT_EQ(r.options.brewCurveBleachPivotScaled, 0.05f);
    EXPECT_EQ(r.options.brewCurveBleachRedScaled, 1.0f);
    EXPECT_EQ(r.options.brewCurveBleachRedGain, 1.0f);  // p / p^1

    p.set("BrewCurveShadowGreen", 0.01);  // one non-zero value uses the pivot again
    r = renderWith(p);
    EXPECT_FLOAT_EQ(r.options.brewCurveShadowPivotScaled, static_cast<float>(0.9 - 0.108993157));
}

// A hand-edited project may hold a choice index outside its list: the frame
// passes through instead of indexing past a table.
TEST(ChoiceGuard, OutOfRangeIndexPassesThrough) {
    struct Case { const char* name; double value; };
    for (Case c : {Case{"InputGamut", 49}, Case{"InputGamut", -1}, Case{"CameraStock", 25},
                   Case{"PrintProfile", 10}, Case{"DisplayGamutOutput", 15}}) {
        FakeParams p;
        p.set("Exposure", 0.5);
        p.set("PrintDisplayBypass", 0);
        p.set(c.name, c.value);
        EXPECT_EQ(renderWith(p).plan, RenderPlan::CopySource) << c.name << " " << c.value;
    }
    FakeParams ok;
    ok.set("Exposure", 0.5);
    ok.set("PrintDisplayBypass", 0);
    ok.set("InputGamut", 48);
    ok.set("PrintProfile", 9);
    ok.set("DisplayGamutOutput", 14);
    EXPECT_EQ(renderWith(ok).plan, RenderPlan::Process);
}
