// The print visibility rule and the camera-negative group, as the flags the
// host holds and the order of the flag calls.
#include "interplay_fixture.h"

namespace interplay_test {
namespace {

using ofxtest::Event;

const char* const kNegativeGroup[] = {"NegCast",       "NegTintGtoM",  "NegTintRtoC", "NegBlend",
                                      "BrewDminRGB",   "BrewDminRed",  "BrewDminGreen", "BrewDminBlue",
                                      "BrewDmaxRGB",   "BrewDmaxRed",  "BrewDmaxGreen", "BrewDmaxBlue"};

// Hiding is disable then set secret; showing is enable then clear secret;
// never one flag alone.
void expectPair(const std::vector<std::string>& calls, bool hide, const std::string& name) {
    const std::vector<std::string> expected = hide ? std::vector<std::string>{"E0", "S1"}
                                                   : std::vector<std::string>{"E1", "S0"};
    EXPECT_EQ(calls, expected) << name;
}

TEST_F(InterplayTest, PrintVisibilityMatrix) {
    for (const char* entry : {"PrintDisplayBypass", "InputGamut"}) {
        for (int bypass : {1, 0}) {
            for (int gamut : {11, 27}) {
                for (int profile : {0, 3}) {
                    SCOPED_TRACE(std::string(entry) + " bypass " + std::to_string(bypass) + " gamut " +
                                 std::to_string(gamut) + " profile " + std::to_string(profile));
                    set("PrintDisplayBypass", bypass);
                    set("InputGamut", gamut);
                    set("PrintProfile", profile);
                    fx().clearRecords();
                    ASSERT_EQ(changed(entry, kOfxChangeUserEdited), kOfxStatOK);
                    const bool printable = bypass == 0 && gamut == 11;
                    EXPECT_EQ(get("PrintDisplayBypass"), printable ? 0 : 1);
                    EXPECT_EQ(get("PrintProfile"), profile);  // the rule never writes the print stock
                    for (const char* n : {"PrintProfile", "DisplayGamutOutput"}) {
                        EXPECT_EQ(hidden(n), !printable) << n;
                        expectPair(flagCalls(n), !printable, n);
                    }
                    for (const char* n : kPrinterPoints) {
                        EXPECT_EQ(hidden(n), !printable) << n;
                        expectPair(flagCalls(n), !printable, n);
                    }
                    const bool stockShown = printable && profile != 0;
                    for (const char* n : kPrintStock) {
                        EXPECT_EQ(shown(n), stockShown) << n;
                        expectPair(flagCalls(n), !stockShown, n);
                    }
                    // Only the colour-space entry writes an existing bypass again.
                    const bool bypassWritten = !printable && (bypass == 0 || std::string(entry) == "InputGamut");
                    EXPECT_EQ(writes().size(), bypassWritten ? 1u : 0u);
                    EXPECT_EQ(fx().events(Event::Kind::BeginEditBlock).size(), 0u);
                }
            }
        }
    }
}

TEST_F(InterplayTest, GammaInputForcesTheBypassAndKeepsItOn) {
    set("PrintDisplayBypass", 0);
    set("PrintProfile", 3);
    ASSERT_EQ(user("InputGamut", 11), kOfxStatOK);
    ASSERT_TRUE(shown("PrintCast"));
    ASSERT_EQ(user("InputGamut", 27), kOfxStatOK);
    EXPECT_EQ(get("PrintDisplayBypass"), 1);
    for (const char* n : kPrintStock) EXPECT_TRUE(hidden(n)) << n;
    ASSERT_EQ(user("InputGamut", 11), kOfxStatOK);
    EXPECT_EQ(get("PrintDisplayBypass"), 1);
    EXPECT_TRUE(hidden("PrintProfile"));
    // Turning the bypass off under a gamma-based input turns it on again.
    set("InputGamut", 44);
    ASSERT_EQ(user("PrintDisplayBypass", 0), kOfxStatOK);
    EXPECT_EQ(get("PrintDisplayBypass"), 1);
}

TEST_F(InterplayTest, CameraStockZeroHidesTheGroupAndResetsTheNegative) {
    ASSERT_EQ(user("CameraStock", 6), kOfxStatOK);
    for (const char* n : kNegativeGroup) EXPECT_TRUE(shown(n)) << n;
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
    EXPECT_EQ(get("BrewCurveShadowPivot"), 0.5);
    EXPECT_EQ(get("BrewCurveHighlightPivot"), 0.5);
    EXPECT_EQ(get("ToneCurves"), 0);
    EXPECT_EQ(get("BrewDmaxRGB"), 0.838);
    // Printer points, families and the cast keep their values.
    EXPECT_EQ(get("PrinterBlackPointRed"), -0.3);
    EXPECT_EQ(get("NegCast"), 4000);
    EXPECT_EQ(get("SaturationRed"), 0.3);
}

}  // namespace
}  // namespace interplay_test
