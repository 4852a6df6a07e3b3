// Camera- and print-stock choices through the strict host: the print
// visibility rule, the camera reset, printer points and the D55 twins.
#include "interplay_fixture.h"
#include "tests/reference/reference_tables.h"

namespace interplay_test {
namespace {

// Hiding is disable then set secret, showing enable then clear secret; never one flag alone.
std::vector<std::string> pair(bool hide) { return {hide ? "E0" : "E1", hide ? "S1" : "S0"}; }

TEST_F(InterplayTest, PrintVisibilityMatrix) {
    std::vector<std::string> group = {"PrintProfile", "DisplayGamutOutput"};
    group.insert(group.end(), std::begin(kPrinterPoints), std::end(kPrinterPoints));
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
                    for (const std::string& n : group) {
                        EXPECT_EQ(hidden(n), !printable) << n;
                        EXPECT_EQ(flagCalls(n), pair(!printable)) << n;
                    }
                    const bool stockShown = printable && profile != 0;
                    for (const char* n : kPrintStock) {
                        EXPECT_EQ(shown(n), stockShown) << n;
                        EXPECT_EQ(flagCalls(n), pair(!stockShown)) << n;
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
    for (const char* n : kNegativeGroup) EXPECT_EQ(flagCalls(n), pair(true)) << n;
    const auto w = writes();
    ASSERT_EQ(w.size(), 1u + 30u);  // the halation switch, then the reset
    EXPECT_EQ(w[0], (Write{"HalationBypass", 1}));
    // The reset's pivots and curves are not the catalogue's defaults.
    const Write reset[] = {{"BrewCurveShadowPivot", 0.5}, {"BrewCurveHighlightPivot", 0.5}, {"BrewFilmicSlopeR", 0},
                           {"ToneCurves", 0}, {"BrewDmaxRGB", 0.838},
                           // printer points, families and the cast keep their values
                           {"PrinterBlackPointRed", -0.3}, {"NegCast", 4000}, {"SaturationRed", 0.3}};
    for (const Write& r : reset) EXPECT_EQ(get(r.name), r.value) << r.name;
}

void expectPrinterPoints(ofxtest::Instance& fx, double black, double light) {
    for (int i = 0; i < 8; ++i) EXPECT_DOUBLE_EQ(fx.value(kPrinterPoints[i]), i < 4 ? black : light) << kPrinterPoints[i];
}

TEST_F(InterplayTest, EveryStockChoiceStaysInsideTheStrictHost) {
    set("PrintDisplayBypass", 0);
    for (int print : {0, 1, 3}) {
        set("PrintProfile", print);
        for (int stock = 0; stock <= 24; ++stock) ASSERT_EQ(user("CameraStock", stock), kOfxStatOK) << stock;
    }
    set("CameraStock", 9);
    for (int print = 0; print <= 9; ++print) ASSERT_EQ(user("PrintProfile", print), kOfxStatOK) << print;
    EXPECT_TRUE(fx().strictViolations().empty()) << fx().strictViolations().front();
    EXPECT_TRUE(fx().messages().empty());
    // The presets write the masters; echoed as plug-in edits, they start no coupling.
    EXPECT_EQ(count(Event::Kind::BeginEditBlock), 0);
}

TEST_F(InterplayTest, CameraSelectorsAndPrinterPoints) {
    // Selectors are raised only from 0.
    set("ColorCorrection", 3);
    set("ColorRefine", 0);
    set("ToneCurves", 2);
    ASSERT_EQ(user("CameraStock", 5), kOfxStatOK);
    EXPECT_EQ(get("ColorCorrection"), 3);
    EXPECT_EQ(get("ColorRefine"), 1);
    EXPECT_EQ(get("ToneCurves"), 2);
    // Printer points follow the camera stock only while no print stock owns them.
    set("PrintProfile", 4);
    for (const char* n : kPrinterPoints) set(n, 0.2);
    ASSERT_EQ(user("CameraStock", 12), kOfxStatOK);
    expectPrinterPoints(fx(), 0.2, 0.2);
    for (int print : {0, 1}) {
        set("PrintProfile", print);
        ASSERT_EQ(user("CameraStock", 12), kOfxStatOK);
        expectPrinterPoints(fx(), -0.7045, 0.75);
        ASSERT_EQ(user("CameraStock", 1), kOfxStatOK);
        expectPrinterPoints(fx(), 0.141, 0.909);
    }
}

// A user's stock choice leaves the documented preset values in the host
// (tests/reference/presets.tsv), the camera stocks with the print stock at
// Custom, the print stocks with the print bypass off.
TEST_F(InterplayTest, StockChoicesLeaveTheDocumentedValues) {
    set("PrintDisplayBypass", 0);
    for (const std::string source : {"camera", "print"})
        for (const auto& [stock, values] : reference::presets(source)) {
            ASSERT_EQ(user(source == "camera" ? "CameraStock" : "PrintProfile", stock), kOfxStatOK);
            for (const auto& v : values) EXPECT_EQ(get(v.parameter), v.value) << source << " stock " << stock << ": " << v.parameter;
        }
}

TEST_F(InterplayTest, D55OptionsWriteWhatTheirD65TwinsWrite) {
    set("PrintDisplayBypass", 0);
    set("InputGamut", 11);
    for (int d65 = 2; d65 <= 5; ++d65) {
        fx().clearRecords();
        ASSERT_EQ(user("PrintProfile", d65), kOfxStatOK);
        const auto a = writes();
        fx().clearRecords();
        ASSERT_EQ(user("PrintProfile", d65 + 4), kOfxStatOK);
        ASSERT_EQ(a.size(), 203u) << d65;
        EXPECT_EQ(writes(), a) << d65;
    }
}

TEST_F(InterplayTest, NoneCustomAndBypassedPrintStocks) {
    set("PrintDisplayBypass", 0);
    set("CameraStock", 7);
    set("PrintBleachBypass", 1);
    set("PrintBlend", 0.4);
    ASSERT_EQ(user("PrintProfile", 0), kOfxStatOK);
    expectPrinterPoints(fx(), -0.7045, 0.75);
    EXPECT_EQ(get("PrintBleachBypass"), 0);
    EXPECT_EQ(get("PrintBlend"), 0.0);
    for (const char* n : kPrintStock) EXPECT_TRUE(hidden(n)) << n;

    set("CameraStock", 0);
    set("PrintCast", 5000);
    set("PrintHue", 4);
    set("PrintRefineFive", 6);
    ASSERT_EQ(user("PrintProfile", 1), kOfxStatOK);
    expectPrinterPoints(fx(), 0.141, 0.909);
    for (const char* n : {"PrintSat", "PrintHue", "PrintChr", "PrintVib", "PrintRefineTwo", "PrintRefineFive",
                          "PrintRefineSeven"})
        EXPECT_EQ(get(n), 0) << n;
    EXPECT_EQ(get("PrintCast"), 5000);
    for (const char* n : kPrintStock) EXPECT_TRUE(shown(n)) << n;

    set("PrintDisplayBypass", 1);
    fx().clearRecords();
    for (int print : {0, 1, 2, 9}) ASSERT_EQ(user("PrintProfile", print), kOfxStatOK);
    EXPECT_EQ(paramChanges(), 0) << "the print stock stands aside under the bypass";
}

}  // namespace
}  // namespace interplay_test
