// The render core's record: identity predicate, general, halation, soft-clip,
// pitch and negative-stage fields, and the choice-index guard.
#include <gtest/gtest.h>

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

}  // namespace

// The catalogue's defaults pass frames through; each switch away from its
// neutral value breaks the identity, and the pitch stage is neutral either by
// its bypass or by an ensemble of exactly 3.0. A soft clip switched on with
// neutral settings changes nothing, so it counts as off.
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
        {{{"SoftClips", 2}, {"CameraHighlightsCeiling", 1.0}, {"CameraShadowsCeiling", 0.0}}, true},
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

TEST(SoftClip, NeutralIsOffInTheRecordButItsFieldsAreWritten) {
    FakeParams p({{"SoftClips", 2}, {"CameraHighlightsCeiling", 1.0}, {"CameraShadowsCeiling", 0.0},
                  {"Exposure", 0.5}, {"CameraHighlightsRecover", 0.2}});
    Render r = renderWith(p);
    ASSERT_EQ(r.plan, RenderPlan::Process);
    EXPECT_EQ(r.options.softClipOn, 0);
    EXPECT_EQ(r.options.cameraHighlightsCeiling, 1.0f);
    EXPECT_EQ(r.options.cameraHighlightsRecoverScaled, 2.0f);

    p.set("CameraShadowsCeiling", 0.1);
    r = renderWith(p);
    EXPECT_EQ(r.options.softClipOn, 1);
    EXPECT_FLOAT_EQ(r.options.cameraShadowsCeilingScaled, 0.15f);
}

// Exposure 0 leaves the mode as the constructor set it (1 for the linear
// input it was made with), though the input is now a log one.
TEST(GeneralFields, ZeroExposureAndGrey) {
    FakeParams q({{"InputGamut", 0}});
    TextureOptionsStruct options = firstFill(q.h, q, q, 0);
    q.set({{"InputGamut", 11}, {"HalationBypass", 0}});
    ASSERT_EQ(fillRenderOptions(q.h, q, 640, 360, 3, options), RenderPlan::Process);
    EXPECT_EQ(options.exposureAmount, 0.0f);
    EXPECT_EQ(options.exposureMode, 1);
    EXPECT_EQ(options.inputGamut, 11);
    EXPECT_EQ(options.negGreyMid, 0.4455f);
    EXPECT_EQ(options.printGreyMid, 0.4455f);
}

TEST(Halation, ZeroBreadthReadsNothingElse) {
    FakeParams p({{"HalationBypass", 0}, {"HalationBreadth", 0.0}});
    Render r = renderWith(p);
    EXPECT_EQ(r.options.halationOff, 1);
    EXPECT_FALSE(p.wasRead("HalationSaturation"));
    EXPECT_EQ(r.options.halationBreadthScaled, 0.25f);  // constructor's value

    p.set({{"HalationBreadth", 0.8}, {"HalationBlendG", 0.25}});
    r = renderWith(p);
    EXPECT_EQ(r.options.halationOff, 0);
    EXPECT_EQ(r.options.halationBreadthScaled, 0.4f);
    EXPECT_EQ(r.options.halationBlendGComplement, 0.75f);
}

TEST(Pitch, EnsembleThreeIsOffAndReadsNoBand) {
    FakeParams p({{"CameraStock", 3}, {"PitchBypass", 0}, {"EnsemblePitch", 3.0}});
    Render r = renderWith(p);
    EXPECT_EQ(r.options.pitchOff, 1);
    EXPECT_FALSE(p.wasRead("SopranoPitch"));

    p.set({{"EnsemblePitch", 2.0}, {"BassPitch", 5.0}});
    r = renderWith(p);
    EXPECT_EQ(r.options.pitchOff, 0);
    EXPECT_FLOAT_EQ(r.options.ensemblePitchScaled, 0.8f);
    EXPECT_FLOAT_EQ(r.options.bassPitchScaled, 1.4f);
}

TEST(NegativeStage, NoCameraStockReadsNoNegativeParameter) {
    FakeParams p({{"Exposure", 0.5}, {"ColorCorrection", 1}, {"SaturationRed", 0.9}});
    Render r = renderWith(p);
    ASSERT_EQ(r.plan, RenderPlan::Process);
    for (const char* name : {"Develop", "NegCast", "ColorCorrection", "ColorRefine", "ToneCurves",
                             "DiffuseMidHi", "BrewHighlightCeiling"})
        EXPECT_FALSE(p.wasRead(name)) << name;
    EXPECT_EQ(r.options.saturationGroup.redScaled, 1.0f);  // first fill, not 1.8
}

TEST(NegativeStage, DevelopmentValues) {
    FakeParams p({{"CameraStock", 3}, {"Develop", 0.05}, {"Replenish", 1.0}, {"NegCast", 3200}, {"NegBlend", 0.25}});
    Render r = renderWith(p);
    EXPECT_FLOAT_EQ(r.options.developScaled, 0.10111111f);
    EXPECT_EQ(r.options.replenishScaled, 0.2f);
    EXPECT_EQ(r.options.negCastIndex, 32);
    EXPECT_EQ(r.options.negCastOn, 1);
    EXPECT_EQ(r.options.negBlendComplement, 0.75f);
    EXPECT_EQ(r.options.pixelCountFactor, 864.0f);
    p.set("Replenish", 0.0);
    EXPECT_FLOAT_EQ(renderWith(p).options.replenishScaled, 3.2f);
}

// The diffusion pass gives diffuseMidHiScaled to its first band whenever it
// runs, so every render with a camera stock must write it.
TEST(NegativeStage, DiffuseMidHiWrittenEvenWhenNeutral) {
    FakeParams p({{"CameraStock", 3}, {"DiffuseMidHi", 1.0}, {"DiffuseLoMid", 0.5}});
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
    FakeParams p({{"CameraStock", 3}, {"ToneCurves", 4}, {"BrewCurveShadowRed", 0.0}, {"BrewCurveShadowGreen", 0.0},
                  {"BrewCurveShadowBlue", 0.0}, {"BrewCurveShadowPivot", 0.9}, {"BrewCurveHighlightPivot", 0.5},
                  {"BrewCurveHighlightRed", 0.1}, {"BrewFilmicSlopeR", 0.0}, {"BrewFilmicPivotR", 0.0},
                  {"BrewBleachBypass", 1}, {"BrewCurveBleachPivot", 0.0}, {"BrewCurveBleachRed", 0.4}});
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
    EXPECT_FLOAT_EQ(renderWith(p).options.brewCurveShadowPivotScaled, static_cast<float>(0.9 - 0.108993157));
}

// A hand-edited project may hold a choice index outside its list: the frame
// passes through instead of indexing past a table. The last options process.
TEST(ChoiceGuard, OutOfRangeIndexPassesThrough) {
    struct Case { const char* name; double value; bool process; };
    for (Case c : {Case{"InputGamut", 49, false}, Case{"InputGamut", -1, false}, Case{"CameraStock", 25, false},
                   Case{"PrintProfile", 10, false}, Case{"DisplayGamutOutput", 15, false},
                   Case{"InputGamut", 48, true}, Case{"CameraStock", 24, true}, Case{"PrintProfile", 9, true},
                   Case{"DisplayGamutOutput", 14, true}}) {
        FakeParams p({{"Exposure", 0.5}, {"PrintDisplayBypass", 0}});
        p.set(c.name, c.value);
        EXPECT_EQ(renderWith(p).plan == RenderPlan::Process, c.process) << c.name << " " << c.value;
    }
}
