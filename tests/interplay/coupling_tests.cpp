// RGB master and channel coupling arithmetic and the print-bypass input set.
#include <gtest/gtest.h>

#include <cmath>

#include "looks/interplay_rules.h"
#include "plugin/render_option_rules.h"

using namespace kalthorne::looks;

namespace {

constexpr double kTol = 1e-12;

void expectChannels(const std::array<double, 3>& got, double r, double g, double b) {
    EXPECT_NEAR(got[0], r, kTol);
    EXPECT_NEAR(got[1], g, kTol);
    EXPECT_NEAR(got[2], b, kTol);
}

}  // namespace

TEST(MasterShift, MovesChannelsAndSpillsOverflowIntoTheOthers) {
    // One channel over the top: its excess is shared, the mean lands on the master.
    auto dmin = masterShift(0.8, 0.9, 0.5, 0.4, -1.0, 1.0);
    expectChannels(dmin, 1.0, 0.75, 0.65);
    EXPECT_NEAR((dmin[0] + dmin[1] + dmin[2]) / 3.0, 0.8, kTol);

    // One channel under the floor of the lights' [0, 1] range.
    auto lights = masterShift(0.1, 0.1, 0.4, 0.4, 0.0, 1.0);
    expectChannels(lights, 0.0, 0.15, 0.15);
    EXPECT_NEAR((lights[0] + lights[1] + lights[2]) / 3.0, 0.1, kTol);

    // Under the floor of the black points' [-1, 1] range.
    expectChannels(masterShift(-0.8, -0.9, -0.5, -0.4, -1.0, 1.0), -1.0, -0.75, -0.65);
}

TEST(MasterShift, SinglePassLeavesTheMeanOffWhenTwoChannelsOverflow) {
    // Both overflowing channels receive half of the other's excess and clamp;
    // the mean then differs from the master by design.
    auto got = masterShift(0.8, 0.9, 0.9, 0.0, -1.0, 1.0);
    expectChannels(got, 1.0, 1.0, 0.3);
    EXPECT_NEAR((got[0] + got[1] + got[2]) / 3.0, 2.3 / 3.0, kTol);
}

TEST(MasterShift, BalancedMasterKeepsChannelsAndNaNPassesTheClamp) {
    expectChannels(masterShift(0.6, 0.9, 0.5, 0.4, -1.0, 1.0), 0.9, 0.5, 0.4);
    auto nan = masterShift(std::nan(""), 0.1, 0.2, 0.3, 0.0, 1.0);
    EXPECT_TRUE(std::isnan(nan[0]) && std::isnan(nan[1]) && std::isnan(nan[2]));
}

TEST(RgbGroups, EveryMemberFindsItsGroupAndRole) {
    int channel = 99;
    const RgbGroup* g = findRgbGroup("PrinterBlackkPointGreen", &channel);
    ASSERT_NE(g, nullptr);
    EXPECT_STREQ(g->master, "PrinterBlackPointsRGB");
    EXPECT_EQ(channel, 1);
    g = findRgbGroup("PrinterLightsRGB", &channel);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(channel, -1);
    EXPECT_EQ(g->lo, 0.0);
    // Names differing only in letters the catalogue spells oddly are not members.
    EXPECT_EQ(findRgbGroup("PrinterBlackPointGreen", &channel), nullptr);
    EXPECT_EQ(findRgbGroup("PrinterLightRGB", &channel), nullptr);
    EXPECT_DOUBLE_EQ(channelMean(0.9, 0.5, 0.4), (0.9 + 0.5 + 0.4) / 3.0);
}

TEST(PrintBypassInputs, TwelveGammaBasedInputsOfTheFortyNine) {
    int count = 0;
    for (int g = 0; g <= 48; ++g) count += isPrintBypassInput(g) ? 1 : 0;
    EXPECT_EQ(count, 12);
    for (int g : {1, 8, 27, 29, 31, 32, 33, 34, 42, 43, 44, 46}) EXPECT_TRUE(isPrintBypassInput(g)) << g;
    for (int g : {-1, 0, 11, 30, 47, 48, 49}) EXPECT_FALSE(isPrintBypassInput(g)) << g;
    // The instance constructor forces the bypass for the same inputs.
    for (int g = -2; g <= 60; ++g) EXPECT_EQ(isPrintBypassInput(g), kalthorne::isGammaBasedInput(g)) << g;
}
