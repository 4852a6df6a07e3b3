// Refine-slot records of both sides.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fake_params.h"
#include "plugin/refine_slot_fill.h"

using namespace kalthorne;

namespace {

struct Negative {
    int32_t on = 0;
    RefineSlotOptions slots[kNegativeRefineSlotCount];
};

Negative fillNegative(FakeParams& p) {
    Negative n;
    for (auto& s : n.slots) s = firstFillNegativeSlot();
    fillRefineSlots(p.h, p, n.on, n.slots);
    return n;
}

struct Print {
    uint8_t on = 0;
    RefineSlotOptions slots[kPrintRefineSlotCount];
};

Print fillPrint(FakeParams& p) {
    Print n;
    fillPrintRefineSlots(p.h, p, n.on, n.slots);
    return n;
}

bool sameSlot(const RefineSlotOptions& a, const RefineSlotOptions& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

TEST(RefineSlots, SelectorOffLeavesEverySlot) {
    FakeParams p({{"RefineTwoSatStrength", 0.9}});
    Negative n = fillNegative(p);
    EXPECT_EQ(n.on, 0);
    for (const auto& s : n.slots) EXPECT_TRUE(sameSlot(s, firstFillNegativeSlot()));
}

TEST(RefineSlots, OneQualityInSlotNine) {
    FakeParams p({{"ColorRefine", 1}, {"RefineNineHueStrength", 0.75}, {"RefineNineHueWidth", 0.0}});
    Negative n = fillNegative(p);
    EXPECT_EQ(n.on, 1);
    for (int i = 0; i < kNegativeRefineSlotCount; ++i) EXPECT_EQ(n.slots[i].slotOn, i == 7 ? 1 : 0) << i;
    const RefineSlotOptions& nine = n.slots[7];
    EXPECT_EQ(nine.hueOn, 1);
    EXPECT_EQ(nine.satOn, 0);
    EXPECT_EQ(nine.hueStrengthScaled, 1.0f);
    EXPECT_EQ(nine.hueWidthSpan, 0.0f);  // no floor for hue
    EXPECT_EQ(nine.satStrengthScaled, 1.0f);  // neutral quality keeps its first fill

    p.set("ColorRefine", 7);
    Negative seven = fillNegative(p);
    for (int i = 0; i < kNegativeRefineSlotCount; ++i) EXPECT_TRUE(sameSlot(seven.slots[i], n.slots[i]));
}

TEST(RefineSlots, StrengthTransformsBySide) {
    FakeParams p({{"ColorRefine", 1}, {"PrintRefineFive", 3}});
    for (const char* slot : {"RefineThree", "PrintRefineThree"})
        for (const auto& v : FakeParams::Values{{"HueStrength", 1.0}, {"ChrStrength", 0.75}, {"SatStrength", 0.0},
                                                {"SatWidth", 0.0}, {"VibStrength", 1.0}, {"VibWidth", 360.0},
                                                {"VibHue", 360.0}})
            p.set(slot + std::string(v.first), v.second);
    Negative n = fillNegative(p);
    Print pr = fillPrint(p);
    EXPECT_EQ(n.slots[1].hueStrengthScaled, 2.0f);
    EXPECT_EQ(pr.slots[1].hueStrengthScaled, 2.5f);
    EXPECT_EQ(n.slots[1].chrStrengthGain, 16.0f);
    EXPECT_EQ(pr.slots[1].chrStrengthGain, 16.0f);
    EXPECT_EQ(n.slots[1].satStrengthScaled, 0.0f);
    EXPECT_EQ(n.slots[1].satWidthSpan, 0.001f);
    EXPECT_EQ(n.slots[1].vibStrengthScaled, 1.0f);
    EXPECT_EQ(n.slots[1].vibWidthSpan, 2.0f);
    EXPECT_EQ(n.slots[1].vibHueSextant, 6.0f);
    // Only PrintRefineFive is set, yet every print slot is filled.
    EXPECT_EQ(pr.on, 1);
    EXPECT_TRUE(p.wasRead("PrintRefineTwoSatStrength"));
    EXPECT_TRUE(p.wasRead("PrintRefineSevenVibStrength"));
}

// Slot four selects a zone, but all four of its qualities are neutral.
TEST(RefineSlots, ZoneStatesAndEntryRuleBySide) {
    FakeParams p({{"ColorRefine", 1}, {"PrintRefineTwo", 1}, {"RefineTwoSatStrength", 0.6}, {"RefineTwoZone", 2},
                  {"RefineTwoZoneLow", 0.25}, {"RefineTwoZoneLowRange", 0.0}, {"RefineTwoZoneHigh", 0.75},
                  {"RefineTwoZoneHighRange", 1.0}, {"RefineThreeSatStrength", 0.6}, {"RefineThreeZone", 1},
                  {"RefineThreeZoneHigh", 0.75}, {"RefineThreeZoneHighRange", 0.5}, {"RefineFourZone", 1},
                  {"PrintRefineFourZone", 1}});
    Negative n = fillNegative(p);
    EXPECT_EQ(n.slots[0].zoneMode, 1);
    EXPECT_EQ(n.slots[0].zoneBoth, 1);
    EXPECT_EQ(n.slots[0].zoneLowScaled, 0.5f);
    EXPECT_EQ(n.slots[0].zoneLowRangeGain, 16.0f);
    EXPECT_EQ(n.slots[0].zoneHighScaled, 1.5f);
    EXPECT_EQ(n.slots[0].zoneHighRangeGain, 0.0625f);
    EXPECT_EQ(n.slots[1].zoneMode, 2);
    EXPECT_EQ(n.slots[1].zoneBoth, 0);
    EXPECT_EQ(n.slots[1].zoneHighRangeGain, 1.0f);
    EXPECT_EQ(n.slots[1].zoneLowScaled, 0.5f);  // first fill kept
    EXPECT_FALSE(p.wasRead("RefineFourZone"));

    Print pr;
    pr.slots[2].zoneMode = 9;  // must be overwritten with 0
    fillPrintRefineSlots(p.h, p, pr.on, pr.slots);
    EXPECT_TRUE(p.wasRead("PrintRefineFourZone"));
    EXPECT_EQ(pr.slots[2].zoneMode, 0);
    EXPECT_EQ(pr.on, 0);  // selectors on, but every print strength neutral
}
