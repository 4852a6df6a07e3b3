// The record a render hands the pipeline: the identity predicate, the guard
// against stored choice indices outside their lists, and the instance's first
// fill with the controls it reveals. Every field's rule: record_rules_test.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "fake_params.h"
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

// What a reopened project shows and writes at construction (the values it
// records: record_rules_test).
TEST(FirstFill, ForcedBypassAndRevealedControls) {
    // ACESproxy is gamma-based, so the bypass is forced on and nothing shown.
    FakeParams g({{"InputGamut", 8}, {"PrintDisplayBypass", 0}, {"Exposure", 0.5}});
    firstFill(g.h, g, g, 1);
    EXPECT_EQ(g.writes, std::vector<std::string>{"PrintDisplayBypass"});
    EXPECT_TRUE(g.shown.empty());
    for (int cast : {3200, 6504}) {  // which controls: the instance tests
        FakeParams c({{"CameraStock", 3}, {"NegCast", double(cast)}});
        firstFill(c.h, c, c, 0);
        EXPECT_EQ(c.shown.size(), 12u);
    }
    FakeParams none({{"PrintDisplayBypass", 0}, {"PrintProfile", 0}});
    firstFill(none.h, none, none, 0);
    EXPECT_EQ(none.shown.size(), 10u);  // stock, 8 printer controls, display
    EXPECT_EQ(std::count(none.shown.begin(), none.shown.end(), "PrintCast"), 0);
    FakeParams film({{"PrintDisplayBypass", 0}, {"PrintProfile", 2}, {"BrewBleachBypass", 1}, {"PrintBleachBypass", 1}});
    firstFill(film.h, film, film, 0);
    EXPECT_EQ(film.shown.size(), 15u);
}
