// RGB master and channel coupling through the host: one labelled edit block
// per write, and no echo from the plug-in's own writes.
#include "interplay_fixture.h"

namespace interplay_test {
namespace {

using ofxtest::Event;

// The edit blocks in order, each as "label:written parameter".
std::vector<std::string> blocks(const ofxtest::Instance& fx) {
    std::vector<std::string> out;
    std::string open;
    for (const Event& e : fx.events()) {
        if (e.kind == Event::Kind::BeginEditBlock) open = e.name;
        if (e.kind == Event::Kind::SetValue && !open.empty()) out.push_back(open + ":" + e.name);
        if (e.kind == Event::Kind::EndEditBlock) open.clear();
    }
    return out;
}

TEST_F(InterplayTest, MasterEditMovesTheChannelsOneBlockEach) {
    set("BrewDminRed", 0.9);
    set("BrewDminGreen", 0.5);
    set("BrewDminBlue", 0.4);
    fx().clearRecords();
    ASSERT_EQ(user("BrewDminRGB", 0.8), kOfxStatOK);
    EXPECT_NEAR(get("BrewDminRed"), 1.0, 1e-12);
    EXPECT_NEAR(get("BrewDminGreen"), 0.75, 1e-12);
    EXPECT_NEAR(get("BrewDminBlue"), 0.65, 1e-12);
    EXPECT_EQ(get("BrewDminRGB"), 0.8);
    // The host echoed each write as a plug-in edit: no channel reaction ran.
    EXPECT_EQ(blocks(fx()), (std::vector<std::string>{"BrewDminRed:BrewDminRed", "BrewDminGreen:BrewDminGreen",
                                                      "BrewDminBlue:BrewDminBlue"}));
    EXPECT_EQ(count(Event::Kind::EndEditBlock), 3);
}

TEST_F(InterplayTest, ChannelEditSetsTheMasterToTheMean) {
    set("PrinterBlackPointRed", -0.9);
    set("PrinterBlackkPointGreen", -0.5);
    set("PrinterBlackkPointBlue", -0.4);
    fx().clearRecords();
    ASSERT_EQ(user("PrinterBlackkPointGreen", -0.2), kOfxStatOK);
    EXPECT_EQ(blocks(fx()), std::vector<std::string>{"PrinterBlackPointsRGB:PrinterBlackPointsRGB"});
    EXPECT_NEAR(get("PrinterBlackPointsRGB"), (-0.9 + -0.2 + -0.4) / 3.0, 1e-15);
    EXPECT_EQ(get("PrinterBlackPointRed"), -0.9);
    EXPECT_EQ(get("PrinterBlackkPointBlue"), -0.4);
}

TEST_F(InterplayTest, EveryMemberOfTheFourSetsStartsTheCoupling) {
    for (int i = 0; i < 22; ++i) {
        if (!((i >= 2 && i <= 9) || (i >= 12 && i <= 19))) continue;
        fx().clearRecords();
        ASSERT_EQ(user(kReactingNames[i], 0.5), kOfxStatOK);
        const bool master = std::string(kReactingNames[i]).find("RGB") != std::string::npos;
        EXPECT_EQ(count(Event::Kind::BeginEditBlock), master ? 3 : 1) << kReactingNames[i];
    }
}

TEST_F(InterplayTest, StrictHostFlagsAWriteOutsideTheRange) {
    // A stored channel past its range makes the plain mean fall outside too;
    // the strict host must see it, so a clean strict run elsewhere means something.
    set("BrewDminRed", 3.0);
    ASSERT_EQ(user("BrewDminGreen", 0.5), kOfxStatOK);
    ASSERT_EQ(fx().strictViolations().size(), 1u);
    EXPECT_NE(fx().strictViolations()[0].find("BrewDminRGB"), std::string::npos);
}

}  // namespace
}  // namespace interplay_test
