// Camera- and print-stock choices through the host: conditions, printer
// points, D55 twins and the strict host's range checks.
#include "interplay_fixture.h"

namespace interplay_test {
namespace {

using ofxtest::Event;

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

TEST_F(InterplayTest, D55OptionsWriteWhatTheirD65TwinsWrite) {
    set("PrintDisplayBypass", 0);
    set("InputGamut", 11);
    for (int d65 = 2; d65 <= 5; ++d65) {
        fx().clearRecords();
        ASSERT_EQ(user("PrintProfile", d65), kOfxStatOK);
        const auto a = writes();
        fx().clearRecords();
        ASSERT_EQ(user("PrintProfile", d65 + 4), kOfxStatOK);
        const auto b = writes();
        ASSERT_EQ(a.size(), 203u) << d65;
        ASSERT_EQ(b.size(), a.size()) << d65;
        for (size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].name, b[i].name);
            EXPECT_EQ(a[i].value, b[i].value) << a[i].name;
        }
        for (const char* n : kPrintStock) EXPECT_TRUE(shown(n)) << n;
        for (const char* n : kPrinterPoints) EXPECT_TRUE(shown(n)) << n;
    }
}

TEST_F(InterplayTest, NoneAndCustomPrintStocks) {
    set("PrintDisplayBypass", 0);
    set("CameraStock", 7);
    set("PrintBleachBypass", 1);
    set("PrintBlend", 0.4);
    ASSERT_EQ(user("PrintProfile", 0), kOfxStatOK);
    expectPrinterPoints(fx(), -0.7045, 0.75);
    EXPECT_EQ(get("PrintBleachBypass"), 0);
    EXPECT_EQ(get("PrintBlend"), 0.0);
    for (const char* n : kPrintStock) EXPECT_TRUE(hidden(n)) << n;
    for (const char* n : kPrinterPoints) EXPECT_TRUE(shown(n)) << n;

    set("CameraStock", 0);
    set("PrintCast", 5000);
    set("PrintTintGtoM", 0.25);
    set("PrintSaturation", 0.7);
    set("PrintHue", 4);
    set("PrintRefineFive", 6);
    ASSERT_EQ(user("PrintProfile", 1), kOfxStatOK);
    expectPrinterPoints(fx(), 0.141, 0.909);
    for (const char* n : {"PrintSat", "PrintHue", "PrintChr", "PrintVib", "PrintRefineTwo", "PrintRefineFive",
                          "PrintRefineSeven"})
        EXPECT_EQ(get(n), 0) << n;
    EXPECT_EQ(get("PrintCast"), 5000);
    EXPECT_EQ(get("PrintTintGtoM"), 0.25);
    EXPECT_EQ(get("PrintSaturation"), 0.7);
    for (const char* n : kPrintStock) EXPECT_TRUE(shown(n)) << n;
}

TEST_F(InterplayTest, PrintStockStandsAsideUnderTheBypass) {
    set("PrintDisplayBypass", 1);
    fx().clearRecords();
    for (int print : {0, 1, 2, 9}) ASSERT_EQ(user("PrintProfile", print), kOfxStatOK);
    EXPECT_EQ(paramChanges(), 0);
}

}  // namespace
}  // namespace interplay_test
