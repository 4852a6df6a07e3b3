// Colour-group records: the zone state machine, the family transforms and
// the gates, negative against print.
#include <gtest/gtest.h>

#include <string>

#include "fake_params.h"
#include "plugin/color_group_fill.h"

using namespace kalthorne;

namespace {

struct Groups {
    ColorGroupOptions sat = firstFillSaturationGroup();
    ColorGroupOptions hue = firstFillNegativeGroup();
    ColorGroupOptions chr = firstFillNegativeGroup();
    ColorGroupOptions vib = firstFillNegativeGroup();
};

Groups negative(FakeParams& p) {
    Groups g;
    fillColorGroups(p.h, p, g.sat, g.hue, g.chr, g.vib);
    return g;
}

Groups print(FakeParams& p) {
    Groups g;
    g.sat = g.hue = g.chr = g.vib = ColorGroupOptions{};
    fillPrintColorGroups(p.h, p, g.sat, g.hue, g.chr, g.vib);
    return g;
}

}  // namespace

TEST(ColorGroups, GateOffSwitchesFlagsOnly) {
    FakeParams p({{"SaturationRed", 0.9}});
    Groups g = negative(p);
    EXPECT_EQ(g.sat.groupOn, 0);
    EXPECT_EQ(g.sat.redScaled, 1.0f);
    EXPECT_EQ(p.reads.size(), 1u);  // only ColorCorrection

    FakeParams q({{"PrintSaturationRed", 0.9}});
    Groups pg = print(q);
    EXPECT_EQ(pg.sat.groupOn, 0);
    EXPECT_EQ(pg.sat.redScaled, 0.0f);
    EXPECT_EQ(q.reads.size(), 4u);  // the four print selectors
}

// The four zone states that the two levels select, with selector 1 and 2 alike.
TEST(ColorGroups, ZoneStateMachine) {
    struct Case { double low, high; int mode, both; };
    for (Case c : {Case{0.5, 0.5, 0, 0}, Case{0.75, 0.5, 1, 0}, Case{0.5, 0.875, 2, 0},
                   Case{0.75, 0.875, 1, 1}}) {
        for (int selector : {1, 2}) {
            FakeParams p({{"ColorCorrection", 3}, {"SaturationGreen", 0.6}, {"SatZone", selector},
                          {"SatZoneLow", c.low}, {"SatZoneHigh", c.high}, {"SatZoneLowRange", 0.5},
                          {"SatZoneHighRange", 0.0}});
            Groups g = negative(p);
            EXPECT_EQ(g.sat.zoneMode, c.mode) << c.low << " " << c.high;
            EXPECT_EQ(g.sat.zoneBoth, c.both) << c.low << " " << c.high;
            EXPECT_EQ(g.sat.zoneLowScaled, c.low != 0.5 ? 1.5f : 0.5f);
            EXPECT_EQ(g.sat.zoneLowRangeGain, c.low != 0.5 ? 1.0f : 0.5f);
            EXPECT_EQ(g.sat.zoneHighScaled, c.high != 0.5 ? 1.75f : 0.5f);
            EXPECT_EQ(g.sat.zoneHighRangeGain, c.high != 0.5 ? 16.0f : 0.5f);
        }
    }
}

TEST(ColorGroups, NeutralPartsSkipTheZoneOnTheNegativeSideOnly) {
    FakeParams p({{"ColorCorrection", 1}, {"SatZone", 2}, {"SatZoneLow", 0.9}});
    Groups g = negative(p);
    EXPECT_EQ(g.sat.zoneMode, 0);
    EXPECT_FALSE(p.wasRead("SatZone"));

    FakeParams q({{"PrintHue", 1}, {"PrintSatZone", 2}, {"PrintSatZoneLow", 0.9}});
    Groups pg = print(q);
    EXPECT_EQ(pg.sat.zoneMode, 0);
    EXPECT_TRUE(q.wasRead("PrintSatZone"));
    EXPECT_FALSE(q.wasRead("PrintSatZoneLow"));
}

TEST(ColorGroups, CustomBandAloneEvaluatesTheZone) {
    FakeParams p({{"ColorCorrection", 1}, {"SaturationCustomStrength", 0.7}, {"SatZone", 1}, {"SatZoneLow", 0.25},
                  {"SatZoneLowRange", 1.0}});
    Groups g = negative(p);
    EXPECT_EQ(g.sat.groupOn, 0);
    EXPECT_EQ(g.sat.redScaled, 1.0f);
    EXPECT_EQ(g.sat.customOn, 1);
    EXPECT_FLOAT_EQ(g.sat.customStrengthTerm, 1.4f);
    EXPECT_EQ(g.sat.customHueSextant, 3.0f);   // 180 degrees
    EXPECT_FLOAT_EQ(g.sat.customWidthSpan, 1.0f / 3.0f);
    EXPECT_EQ(g.sat.zoneMode, 1);
    EXPECT_EQ(g.sat.zoneLowRangeGain, 0.0625f);
}

TEST(ColorGroups, FamilyTransforms) {
    FakeParams p({{"ColorCorrection", 1}});
    for (const char* f : {"Saturation", "Hue", "Chroma", "Vibrance"}) {
        p.set(std::string(f) + "Red", 0.75);
        p.set(std::string(f) + "Strength", 0.0);
        p.set(std::string(f) + "CustomStrength", 1.0);
        p.set(std::string(f) + "CustomWidth", 0.0);
        p.set(std::string(f) + "CustomHue", 360.0);
    }
    Groups g = negative(p);
    EXPECT_EQ(g.sat.redScaled, 1.5f);
    EXPECT_EQ(g.sat.magentaScaled, 1.0f);  // neutral 0.5 -> 1.0
    EXPECT_EQ(g.hue.redScaled, 0.5f);
    EXPECT_EQ(g.hue.magentaScaled, 0.0f);
    EXPECT_EQ(g.sat.strengthScaled, 0.0f);
    EXPECT_EQ(g.hue.strengthScaled, 0.001f);
    EXPECT_EQ(g.chr.strengthScaled, 0.0f);
    EXPECT_EQ(g.vib.strengthScaled, -1.0f);
    EXPECT_EQ(g.sat.customWidthSpan, 0.001f);
    EXPECT_EQ(g.chr.customWidthSpan, 0.001f);
    EXPECT_EQ(g.hue.customWidthSpan, 0.0f);
    EXPECT_EQ(g.hue.customStrengthTerm, 0.0f);  // scaled by a zero breadth
    EXPECT_EQ(g.chr.customStrengthTerm, 256.0f);
    EXPECT_EQ(g.vib.customStrengthTerm, 1.0f);
    EXPECT_EQ(g.sat.customHueSextant, 6.0f);

    p.set({{"ChromaCustomStrength", 0.75}, {"HueCustomWidth", 90.0}, {"ChromaCustomWidth", 360.0}});
    g = negative(p);
    EXPECT_EQ(g.chr.customStrengthTerm, 16.0f);
    EXPECT_EQ(g.chr.customWidthSpan, 2.0f);
    EXPECT_EQ(g.hue.customStrengthTerm, 0.5f);
    p.set("ChromaCustomStrength", 0.0);
    g = negative(p);
    EXPECT_EQ(g.chr.customStrengthTerm, 1.0f / 256.0f);
}

TEST(ColorGroups, PrintHueCustomTermDiffersFromNegative) {
    FakeParams p({{"PrintVib", 4}, {"PrintHueCustomStrength", 1.0}, {"PrintHueCustomWidth", 90.0},
                  {"PrintSaturationYellow", 0.51}});
    Groups g = print(p);
    EXPECT_EQ(g.hue.customStrengthTerm, 0.75f);
    EXPECT_EQ(g.sat.groupOn, 1);
    EXPECT_FLOAT_EQ(g.sat.yellowScaled, 1.02f);
    EXPECT_EQ(g.sat.redScaled, 1.0f);  // all six written once one is off neutral
    EXPECT_EQ(g.sat.strengthScaled, 1.0f);
}
