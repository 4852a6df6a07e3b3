// The print visibility rule and the camera-negative group, as the flags the
// host holds and the order of the flag calls.
#include "interplay_fixture.h"

namespace interplay_test {
namespace {

using ofxtest::Event;

// Hiding is disable then set secret, showing enable then clear secret; never
// one flag alone.
void expectPair(const std::vector<std::string>& calls, bool hide, const std::string& name) {
    const std::vector<std::string> expected = {hide ? "E0" : "E1", hide ? "S1" : "S0"};
    EXPECT_EQ(calls, expected) << name;
}

TEST_F(InterplayTest, PrintVisibilityMatrix) {
    for (const std::string entry : {"PrintDisplayBypass", "InputGamut"})
        for (int bypass : {1, 0})
            for (int gamut : {11, 47, 27, 46})  // two outside the gamma-based set, two inside
                for (int profile : {0, 3}) {
                    SCOPED_TRACE(entry + " bypass " + std::to_string(bypass) + " gamut " + std::to_string(gamut) +
                                 " profile " + std::to_string(profile));
                    set("PrintDisplayBypass", bypass);
                    set("InputGamut", gamut);
                    set("PrintProfile", profile);
                    fx().clearRecords();
                    ASSERT_EQ(changed(entry, kOfxChangeUserEdited), kOfxStatOK);
                    const bool printable = bypass == 0 && (gamut == 11 || gamut == 47);
                    EXPECT_EQ(get("PrintDisplayBypass"), printable ? 0 : 1);
                    std::vector<std::string> group = {"PrintProfile", "DisplayGamutOutput"};
                    group.insert(group.end(), std::begin(kPrinterPoints), std::end(kPrinterPoints));
                    for (const std::string& n : group) {
                        EXPECT_EQ(hidden(n), !printable) << n;
                        expectPair(flagCalls(n), !printable, n);
                    }
                    const bool stockShown = printable && profile != 0;
                    for (const char* n : kPrintStock) {
                        EXPECT_EQ(shown(n), stockShown) << n;
                        expectPair(flagCalls(n), !stockShown, n);
                    }
                    // The only write is the bypass: forced on, or written again
                    // by the colour-space entry. The print stock is never written.
                    const bool bypassWritten = !printable && (bypass == 0 || entry == "InputGamut");
                    EXPECT_EQ(writes().size(), bypassWritten ? 1u : 0u);
                    EXPECT_EQ(count(Event::Kind::BeginEditBlock), 0);
                }
}

TEST_F(InterplayTest, CameraStockZeroHidesTheGroupAndResetsTheNegative) {
    set("HalationBypass", 0);
    ASSERT_EQ(user("CameraStock", 6), kOfxStatOK);
    for (const char* n : kNegativeGroup) EXPECT_TRUE(shown(n)) << n;
    EXPECT_EQ(get("HalationBypass"), 1);
    set("PrinterBlackPointRed", -0.3);
    set("HalationBypass", 0);
    set("NegCast", 4000);
    set("SaturationRed", 0.3);
    fx().clearRecords();
    ASSERT_EQ(user("CameraStock", 0), kOfxStatOK);
    for (const char* n : kNegativeGroup) expectPair(flagCalls(n), true, n);
    const auto w = writes();
    ASSERT_EQ(w.size(), 1u + 30u);  // the halation switch, then the reset
    EXPECT_EQ(w[0].name, "HalationBypass");
    EXPECT_EQ(get("HalationBypass"), 1);
    // The reset's pivots and curves are not the catalogue's defaults.
    EXPECT_EQ(get("BrewCurveShadowPivot"), 0.5);
    EXPECT_EQ(get("BrewCurveHighlightPivot"), 0.5);
    EXPECT_EQ(get("BrewFilmicSlopeR"), 0.0);
    EXPECT_EQ(get("ToneCurves"), 0);
    EXPECT_EQ(get("BrewDmaxRGB"), 0.838);
    // Printer points, families and the cast keep their values.
    EXPECT_EQ(get("PrinterBlackPointRed"), -0.3);
    EXPECT_EQ(get("NegCast"), 4000);
    EXPECT_EQ(get("SaturationRed"), 0.3);
}

}  // namespace
}  // namespace interplay_test
