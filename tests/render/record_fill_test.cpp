// The record a render hands the pipeline: the identity predicate, the worked
// values of the general, negative, colour-group, refine-slot and print fills,
// the fields a fill leaves at the constructor's values, the parameters it
// must not read, and the instance's first fill with the controls it reveals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "fake_params.h"
#include "plugin/color_group_fill.h"
#include "plugin/print_options_fill.h"
#include "plugin/refine_slot_fill.h"
#include "plugin/render_options_fill.h"

using namespace kalthorne;

namespace {

using Record = TextureOptionsStruct;
using Values = std::vector<std::pair<std::string, double>>;

// The instance is made with the catalogue's defaults; the user then sets
// `values` and a 1920 x 1080 RGBA frame is rendered.
RenderPlan render(FakeParams& p, const Values& values, Record& o) {
    o = firstFill(p.h, p, p, 0);
    for (const auto& v : values) p.set(v.first, v.second);
    p.clearLog();
    return fillRenderOptions(p.h, p, 1920, 1080, 4, o);
}

// One field of the record, named for the failure message.
struct Field {
    const char* name;
    std::function<double(const Record&)> get;
};
#define FIELD(expr) Field{#expr, [](const Record& o) { return double(o.expr); }}

struct Case {
    const char* what;
    Values values;
    std::vector<std::pair<Field, float>> expect;
    std::vector<const char*> unread = {};
    std::vector<const char*> read = {};
};

void check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeParams p;
        Record o;
        ASSERT_EQ(render(p, c.values, o), RenderPlan::Process);
        for (const auto& e : c.expect) EXPECT_FLOAT_EQ(e.first.get(o), e.second) << e.first.name;
        for (const char* n : c.unread) EXPECT_FALSE(p.wasRead(n)) << n;
        for (const char* n : c.read) EXPECT_TRUE(p.wasRead(n)) << n;
    }
}

// The same suffixes set on the four negative families.
Values families(const Values& suffixes, Values out = {}) {
    for (const char* f : {"Saturation", "Hue", "Chroma", "Vibrance"})
        for (const auto& s : suffixes) out.emplace_back(f + s.first, s.second);
    return out;
}

const Values kNegative = {{"CameraStock", 3}};
const Values kPrint = {{"PrintDisplayBypass", 0}, {"PrintProfile", 2}};
Values with(Values base, const Values& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

const Field kSlotsAsFirstFill{"every negative slot as first filled", [](const Record& o) {
    const RefineSlotOptions first = firstFillNegativeSlot();
    for (const auto& s : o.refineSlots)
        if (std::memcmp(&s, &first, sizeof s) != 0) return 0.0;
    return 1.0;
}};
const Field kSlotsOn{"negative slots on", [](const Record& o) {
    double on = 0;
    for (const auto& s : o.refineSlots) on += s.slotOn;
    return on;
}};

}  // namespace

// The catalogue's defaults pass frames through; each switch away from its
// neutral value breaks the identity, and the pitch stage is neutral either by
// its bypass or by an ensemble of exactly 3.0. A soft clip switched on with
// neutral settings changes nothing, so it counts as off.
TEST(IdentityPredicate, NeutralSwitches) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::pair<Values, bool>> cases = {
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
    for (const auto& c : cases) {
        FakeParams p;
        Record o;
        const std::string what = c.first.empty() ? "defaults" : c.first.back().first;
        EXPECT_EQ(render(p, c.first, o) == RenderPlan::CopySource, c.second) << what;
        EXPECT_EQ(isNeutralLook(readLookSwitches(p.h, p)), c.second) << what;
    }
}

// A hand-edited project may hold a choice index outside its list: the frame
// passes through instead of indexing past a table. The last options process.
TEST(ChoiceGuard, OutOfRangeIndexPassesThrough) {
    struct Case { const char* name; double value; bool process; };
    for (Case c : {Case{"InputGamut", 49, false}, Case{"InputGamut", -1, false}, Case{"CameraStock", 25, false},
                   Case{"PrintProfile", 10, false}, Case{"DisplayGamutOutput", 15, false},
                   Case{"InputGamut", 48, true}, Case{"CameraStock", 24, true}, Case{"PrintProfile", 9, true},
                   Case{"DisplayGamutOutput", 14, true}}) {
        FakeParams p;
        Record o;
        const RenderPlan plan = render(p, {{"Exposure", 0.5}, {"PrintDisplayBypass", 0}, {c.name, c.value}}, o);
        EXPECT_EQ(plan == RenderPlan::Process, c.process) << c.name << " " << c.value;
    }
}

TEST(RecordFill, GeneralAndNegativeStage) {
    check({
        // Exposure 0 leaves the mode of the constructor's input (11, additive).
        {"zero exposure", {{"InputGamut", 0}, {"HalationBypass", 0}},
         {{FIELD(exposureAmount), 0}, {FIELD(exposureMode), 2}, {FIELD(negGreyMid), 0.34f}}},
        {"no halation breadth", {{"HalationBypass", 0}, {"HalationBreadth", 0.0}},
         {{FIELD(halationOff), 1}, {FIELD(halationBreadthScaled), 0.25f}}, {"HalationSaturation"}},
        {"ensemble 3.0", with(kNegative, {{"PitchBypass", 0}, {"EnsemblePitch", 3.0}}), {{FIELD(pitchOff), 1}},
         {"SopranoPitch"}},
        // Neutral soft clip: off, yet its fields are written.
        {"neutral soft clip",
         {{"SoftClips", 2}, {"CameraHighlightsCeiling", 1.0}, {"CameraShadowsCeiling", 0.0}, {"Exposure", 0.5},
          {"CameraHighlightsRecover", 0.2}},
         {{FIELD(softClipOn), 0}, {FIELD(cameraHighlightsCeiling), 1.0f},
          {FIELD(cameraHighlightsRecoverScaled), 2.0f}}},
        {"soft clip shadow ceiling", {{"SoftClips", 2}, {"CameraShadowsCeiling", 0.1}}, {{FIELD(softClipOn), 1}}},
        {"no camera stock", {{"Exposure", 0.5}, {"ColorCorrection", 1}, {"SaturationRed", 0.9}},
         {{FIELD(saturationGroup.redScaled), 1.0f}, {FIELD(negGreyMid), 0.4455f}},
         {"Develop", "NegCast", "ColorCorrection", "ColorRefine", "ToneCurves", "DiffuseMidHi",
          "BrewHighlightCeiling"}},
        {"development", with(kNegative, {{"Develop", 0.05}, {"Replenish", 1.0}, {"NegCast", 3200}}),
         {{FIELD(developScaled), 0.10111111f}, {FIELD(replenishScaled), 0.2f}, {FIELD(negCastIndex), 32},
          {FIELD(negCastOn), 1}, {FIELD(pixelCountFactor), 864.0f}}},
        {"no replenishment, neutral cast", with(kNegative, {{"Replenish", 0.0}, {"NegCast", 6504}}),
         {{FIELD(replenishScaled), 3.2f}, {FIELD(negCastIndex), 6504}, {FIELD(negCastOn), 0}}},
        // The diffusion pass hands diffuseMidHiScaled to its first band whenever
        // it runs, so it is written even while neutral.
        {"neutral mid-high diffusion", with(kNegative, {{"DiffuseMidHi", 1.0}, {"DiffuseLoMid", 0.5}}),
         {{FIELD(diffuseMidHiOn), 0}, {FIELD(diffuseMidHiScaled), 1.0f}, {FIELD(diffuseLoMidOn), 1}}},
        {"shadow curve all zero",
         with(kNegative, {{"ToneCurves", 4}, {"BrewCurveShadowRed", 0.0}, {"BrewCurveShadowGreen", 0.0},
                          {"BrewCurveShadowBlue", 0.0}, {"BrewCurveShadowPivot", 0.9}}),
         {{FIELD(toneCurvesOn), 1}, {FIELD(brewCurveShadowPivotScaled), 0.391006843f}}, {"BrewCurveShadowPivot"}},
        {"one shadow value",
         with(kNegative, {{"ToneCurves", 4}, {"BrewCurveShadowRed", 0.0}, {"BrewCurveShadowGreen", 0.01},
                          {"BrewCurveShadowBlue", 0.0}, {"BrewCurveShadowPivot", 0.9}}),
         {{FIELD(brewCurveShadowPivotScaled), float(0.9 - 0.108993157)}}},
    });
}

TEST(RecordFill, ColourGroups) {
    const Values cc = with(kNegative, {{"ColorCorrection", 1}});
    const Values edges = families({{"Red", 0.75}, {"Strength", 0.0}, {"CustomStrength", 1.0},
                                   {"CustomWidth", 0.0}, {"CustomHue", 360.0}}, cc);
    check({
        {"families off", with(kNegative, {{"SaturationRed", 0.9}}),
         {{FIELD(saturationGroup.groupOn), 0}, {FIELD(saturationGroup.customOn), 0},
          {FIELD(saturationGroup.redScaled), 1.0f}}},
        {"custom band alone",
         with(cc, {{"SaturationCustomStrength", 0.7}, {"SatZone", 1}, {"SatZoneLow", 0.25}, {"SatZoneLowRange", 1.0}}),
         {{FIELD(saturationGroup.groupOn), 0}, {FIELD(saturationGroup.redScaled), 1.0f},
          {FIELD(saturationGroup.customOn), 1}, {FIELD(saturationGroup.zoneMode), 1}}},
        {"neutral parts skip the zone", with(cc, {{"SatZone", 2}, {"SatZoneLow", 0.9}}),
         {{FIELD(saturationGroup.zoneMode), 0}}, {"SatZone"}},
        {"edge values", edges,
         {{FIELD(hueGroup.strengthScaled), 0.001f}, {FIELD(chromaGroup.strengthScaled), 0.0f},
          {FIELD(vibranceGroup.strengthScaled), -1.0f}, {FIELD(saturationGroup.customWidthSpan), 0.001f},
          {FIELD(chromaGroup.customWidthSpan), 0.001f}, {FIELD(vibranceGroup.customWidthSpan), 0.001f},
          {FIELD(hueGroup.customWidthSpan), 0.0f}, {FIELD(hueGroup.customStrengthTerm), 0.0f},
          {FIELD(chromaGroup.customStrengthTerm), 256.0f}, {FIELD(saturationGroup.customHueSextant), 6.0f}}},
        {"custom terms",
         with(edges, {{"ChromaCustomStrength", 0.75}, {"HueCustomWidth", 90.0}, {"ChromaCustomWidth", 360.0}}),
         {{FIELD(chromaGroup.customStrengthTerm), 16.0f}, {FIELD(chromaGroup.customWidthSpan), 2.0f},
          {FIELD(hueGroup.customStrengthTerm), 0.5f}}},
        {"no chroma custom strength", with(edges, {{"ChromaCustomStrength", 0.0}}),
         {{FIELD(chromaGroup.customStrengthTerm), 1.0f / 256.0f}}},
        {"print selectors off", with(kPrint, {{"PrintSaturationRed", 0.9}}),
         {{FIELD(printSaturationGroup.groupOn), 0}, {FIELD(printSaturationGroup.redScaled), 0.0f}}},
        // One value off neutral writes all six; the print hue term differs.
        {"print families",
         with(kPrint, {{"PrintVib", 4}, {"PrintHueCustomStrength", 1.0}, {"PrintHueCustomWidth", 90.0},
                       {"PrintSaturationYellow", 0.51}}),
         {{FIELD(printHueGroup.customStrengthTerm), 0.75f}, {FIELD(printSaturationGroup.groupOn), 1},
          {FIELD(printSaturationGroup.yellowScaled), 1.02f}, {FIELD(printSaturationGroup.redScaled), 1.0f},
          {FIELD(printSaturationGroup.strengthScaled), 1.0f}}},
        {"print neutral parts", with(kPrint, {{"PrintHue", 1}, {"PrintSatZone", 2}, {"PrintSatZoneLow", 0.9}}),
         {{FIELD(printSaturationGroup.zoneMode), 0}}, {"PrintSatZoneLow"}, {"PrintSatZone"}},
    });
}

// The four zone states the two levels select, with selector 1 and 2 alike.
TEST(RecordFill, ZoneStateMachine) {
    struct Case { double low, high; int mode, both; };
    for (Case c : {Case{0.5, 0.5, 0, 0}, Case{0.75, 0.5, 1, 0}, Case{0.5, 0.875, 2, 0}, Case{0.75, 0.875, 1, 1}}) {
        for (int selector : {1, 2}) {
            FakeParams p;
            Record o;
            render(p, with(kNegative, {{"ColorCorrection", 3}, {"SaturationGreen", 0.6}, {"SatZone", selector},
                                       {"SatZoneLow", c.low}, {"SatZoneHigh", c.high}, {"SatZoneLowRange", 0.5},
                                       {"SatZoneHighRange", 0.0}}), o);
            const ColorGroupOptions& g = o.saturationGroup;
            EXPECT_EQ(g.zoneMode, c.mode) << c.low << " " << c.high;
            EXPECT_EQ(g.zoneBoth, c.both) << c.low << " " << c.high;
            EXPECT_EQ(g.zoneLowScaled, c.low != 0.5 ? 1.5f : 0.5f);
            EXPECT_EQ(g.zoneLowRangeGain, c.low != 0.5 ? 1.0f : 0.5f);
            EXPECT_EQ(g.zoneHighScaled, c.high != 0.5 ? 1.75f : 0.5f);
            EXPECT_EQ(g.zoneHighRangeGain, c.high != 0.5 ? 16.0f : 0.5f);
        }
    }
}

TEST(RecordFill, RefineSlots) {
    const Values cr = with(kNegative, {{"ColorRefine", 1}});
    Values strengths = with(with(cr, kPrint), {{"PrintRefineTwo", 0}, {"PrintRefineFive", 3}});
    for (const char* slot : {"RefineThree", "PrintRefineThree"})
        for (const auto& v : Values{{"HueStrength", 1.0}, {"ChrStrength", 0.75}, {"SatStrength", 0.0},
                                    {"SatWidth", 0.0}, {"VibStrength", 1.0}, {"VibWidth", 360.0}, {"VibHue", 360.0}})
            strengths.emplace_back(slot + v.first, v.second);
    check({
        {"selector off", with(kNegative, {{"RefineTwoSatStrength", 0.9}}),
         {{FIELD(colorRefineOn), 0}, {kSlotsAsFirstFill, 1}}},
        {"one quality in slot nine", with(cr, {{"RefineNineHueStrength", 0.75}, {"RefineNineHueWidth", 0.0}}),
         {{FIELD(colorRefineOn), 1}, {kSlotsOn, 1}, {FIELD(refineSlots[7].slotOn), 1},
          {FIELD(refineSlots[7].hueOn), 1}, {FIELD(refineSlots[7].satOn), 0},
          {FIELD(refineSlots[7].hueStrengthScaled), 1.0f}, {FIELD(refineSlots[7].hueWidthSpan), 0.0f},
          {FIELD(refineSlots[7].satStrengthScaled), 1.0f}}},
        // Only PrintRefineFive is on, yet every print slot is filled.
        {"strengths by side", strengths,
         {{FIELD(refineSlots[1].hueStrengthScaled), 2.0f}, {FIELD(printRefineSlots[1].hueStrengthScaled), 2.5f},
          {FIELD(refineSlots[1].chrStrengthGain), 16.0f}, {FIELD(printRefineSlots[1].chrStrengthGain), 16.0f},
          {FIELD(refineSlots[1].satWidthSpan), 0.001f}, {FIELD(refineSlots[1].vibWidthSpan), 2.0f},
          {FIELD(refineSlots[1].vibHueSextant), 6.0f}, {FIELD(printRefineOn), 1}},
         {}, {"PrintRefineTwoSatStrength", "PrintRefineSevenVibStrength"}},
        // Slot four selects a zone, but all four of its qualities are neutral.
        {"zone states",
         with(with(cr, kPrint),
              {{"PrintRefineTwo", 1}, {"RefineTwoSatStrength", 0.6}, {"RefineTwoZone", 2}, {"RefineTwoZoneLow", 0.25},
               {"RefineTwoZoneLowRange", 0.0}, {"RefineTwoZoneHigh", 0.75}, {"RefineTwoZoneHighRange", 1.0},
               {"RefineThreeSatStrength", 0.6}, {"RefineThreeZone", 1}, {"RefineThreeZoneHigh", 0.75},
               {"RefineThreeZoneHighRange", 0.5}, {"RefineFourZone", 1}, {"PrintRefineFourZone", 1}}),
         {{FIELD(refineSlots[0].zoneMode), 1}, {FIELD(refineSlots[0].zoneBoth), 1},
          {FIELD(refineSlots[0].zoneLowScaled), 0.5f}, {FIELD(refineSlots[0].zoneLowRangeGain), 16.0f},
          {FIELD(refineSlots[0].zoneHighScaled), 1.5f}, {FIELD(refineSlots[0].zoneHighRangeGain), 0.0625f},
          {FIELD(refineSlots[1].zoneMode), 2}, {FIELD(refineSlots[1].zoneBoth), 0},
          {FIELD(refineSlots[1].zoneHighRangeGain), 1.0f}, {FIELD(refineSlots[1].zoneLowScaled), 0.5f},
          {FIELD(printRefineSlots[2].zoneMode), 0}, {FIELD(printRefineOn), 0}},
         {"RefineFourZone"}, {"PrintRefineFourZone"}},
    });
    // ColorRefine 7 means what 1 means.
    FakeParams one, seven;
    Record a, b;
    render(one, with(cr, {{"RefineNineHueStrength", 0.75}}), a);
    render(seven, with(cr, {{"RefineNineHueStrength", 0.75}, {"ColorRefine", 7}}), b);
    EXPECT_EQ(std::memcmp(a.refineSlots, b.refineSlots, sizeof a.refineSlots), 0);
}

// Input 42 is gamma-based, yet the print stage runs for it; sRGB is display
// referred and bypasses it. Either way, nothing of the print is read.
TEST(RecordFill, PrintAndDisplay) {
    for (auto c : {std::make_pair(27, 1), std::make_pair(42, 0)}) {
        FakeParams p;
        Record o;
        o.inputGamut = c.first;
        EXPECT_TRUE(fillPrintOptions(p.h, p, false, o));
        EXPECT_EQ(o.printOff, c.second) << c.first;
        EXPECT_EQ(p.wasRead("PrintProfile"), c.second == 0) << c.first;
    }
    check({
        {"bypassed", {{"Exposure", 0.5}}, {{FIELD(printOff), 1}, {FIELD(printProfile), 0}},
         {"PrintProfile", "DisplayGamutOutput", "PrinterLightRed"}},
        {"display only",
         {{"PrintDisplayBypass", 0}, {"PrintProfile", 0}, {"PrintBleachBypass", 1}, {"PrintCast", 3000},
          {"DisplayGamutOutput", 7}},
         {{FIELD(printBleachBypass), 0}, {FIELD(displayGamutOutput), 7}, {FIELD(displayScale), 100.0f},
          {FIELD(printCastIndex), 30}, {FIELD(printCastOn), 1}, {FIELD(printFilmicSlopeRScaled), 0.0f}},
         {"PrintFilmicSlopeR", "PrintSat"}},
        {"custom print",
         {{"PrintDisplayBypass", 0}, {"PrintProfile", 1}, {"PrintFilmicSlopeR", 0.0}, {"PrintFilmicPivotR", 0.0},
          {"PrintCast", 6504}},
         {{FIELD(printCurvesOn), 0}, {FIELD(printGammaRedOn), 0}, {FIELD(printGammaGreenOn), 0},
          {FIELD(printGammaBlueOn), 0}, {FIELD(printFilmicSlopeRScaled), 2.0f},
          {FIELD(printFilmicPivotRGain), 1.0f / 0.71f}, {FIELD(printCastIndex), 6504}, {FIELD(printCastOn), 0}}},
        {"film print",
         with(kPrint, {{"PrintGammaRed", 0.8}, {"PrintGammaGreen", 0.4}, {"PrintCurveHighlightRed", 0.0},
                       {"PrintCurveHighlightGreen", 0.0}, {"PrintCurveHighlightBlue", 0.0}}),
         {{FIELD(printCurvesOn), 1}, {FIELD(printGammaRedOn), 1}, {FIELD(printGammaGreenOn), 0},
          {FIELD(printGammaGreenScaled), 0.0f}, {FIELD(printCurveHighlightPivotScaled), 0.488758553f}},
         {"PrintCurveHighlightPivot"}},
    });
}

// What a reopened project shows and records at construction.
TEST(FirstFill, ForcedBypassAndRevealedControls) {
    // ACESproxy is gamma-based, so the bypass is forced on, yet its exposure is additive.
    FakeParams g({{"InputGamut", 8}, {"PrintDisplayBypass", 0}, {"Exposure", 0.5}});
    Record o = firstFill(g.h, g, g, 1);
    EXPECT_EQ(g.writes, std::vector<std::string>{"PrintDisplayBypass"});
    EXPECT_TRUE(g.shown.empty());
    EXPECT_EQ(o.printOff, 1);
    EXPECT_EQ(o.exposureMode, 2);
    EXPECT_EQ(o.exposureAmount, 0.1f);
    EXPECT_EQ(o.cudaDevice, 1);
    EXPECT_EQ(o.displayScale, 100.0f);

    for (int cast : {3200, 6504}) {  // which controls: the instance tests
        FakeParams c({{"CameraStock", 3}, {"NegCast", double(cast)}});
        o = firstFill(c.h, c, c, 0);
        EXPECT_EQ(o.negCastIndex, cast == 3200 ? 32 : 0);
        EXPECT_EQ(o.negCastOn, cast == 3200 ? 1 : 0);
        EXPECT_EQ(c.shown.size(), 12u);
    }

    FakeParams none({{"PrintDisplayBypass", 0}, {"PrintProfile", 0}});
    firstFill(none.h, none, none, 0);
    EXPECT_EQ(none.shown.size(), 10u);  // stock, 8 printer controls, display
    EXPECT_EQ(std::count(none.shown.begin(), none.shown.end(), "PrintCast"), 0);
    FakeParams film({{"PrintDisplayBypass", 0}, {"PrintProfile", 2}, {"BrewBleachBypass", 1}, {"PrintBleachBypass", 1}});
    o = firstFill(film.h, film, film, 0);
    EXPECT_EQ(film.shown.size(), 15u);
    EXPECT_EQ(o.brewBleachBypass, 1);
    EXPECT_EQ(o.printBleachBypass, 0);
}
