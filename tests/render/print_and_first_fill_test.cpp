// Print and display fields, and the instance's first fill with the controls
// it reveals.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fake_params.h"
#include "plugin/print_options_fill.h"
#include "plugin/render_options_fill.h"

using namespace kalthorne;

namespace {

TextureOptionsStruct printFill(FakeParams& p, int inputGamut, bool bypass) {
    TextureOptionsStruct o;
    o.inputGamut = inputGamut;
    p.clearLog();
    EXPECT_TRUE(fillPrintOptions(p.h, p, bypass, o));
    return o;
}

bool contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

}  // namespace

// Input 42 is gamma-based, but the print stage still runs for it.
TEST(PrintOptions, OffByBypassOrDisplayReferredInput) {
    struct Case { int input; bool bypass; int off; };
    for (Case c : {Case{11, true, 1}, Case{27, false, 1}, Case{42, false, 0}}) {
        FakeParams p;
        const TextureOptionsStruct o = printFill(p, c.input, c.bypass);
        EXPECT_EQ(o.printOff, c.off) << c.input;
        EXPECT_EQ(p.reads.empty(), c.off == 1) << c.input;
        EXPECT_TRUE(!c.off || o.printProfile == 0) << c.input;
    }
}

TEST(PrintOptions, DisplayOnlyStock) {
    FakeParams p({{"PrintProfile", 0}, {"PrintBleachBypass", 1}, {"PrinterLightGreen", 0.25},
                  {"PrinterBlackkPointBlue", 1.0}, {"PrintCast", 3000}, {"DisplayGamutOutput", 7}});
    TextureOptionsStruct o = printFill(p, 11, false);
    EXPECT_EQ(o.printBleachBypass, 0);
    EXPECT_EQ(o.displayGamutOutput, 7);
    EXPECT_EQ(o.displayScale, 100.0f);
    EXPECT_EQ(o.printerLightGreenScaled, 0.5f);
    EXPECT_EQ(o.printerBlackPointBlueScaled, 0.125f);
    EXPECT_EQ(o.printCastIndex, 30);
    EXPECT_EQ(o.printCastOn, 1);
    EXPECT_EQ(o.printFilmicSlopeRScaled, 0.0f);  // untouched
    EXPECT_FALSE(p.wasRead("PrintFilmicSlopeR"));
    EXPECT_FALSE(p.wasRead("PrintSat"));
}

TEST(PrintOptions, CustomAndFilmStocks) {
    FakeParams p({{"PrintProfile", 1}, {"PrintFilmicSlopeR", 0.0}, {"PrintFilmicPivotR", 0.0}, {"PrintCast", 6504}});
    TextureOptionsStruct o = printFill(p, 11, false);
    EXPECT_EQ(o.printCurvesOn, 0);
    EXPECT_EQ(o.printGammaRedOn + o.printGammaGreenOn + o.printGammaBlueOn, 0);
    EXPECT_EQ(o.printFilmicSlopeRScaled, 2.0f);
    EXPECT_FLOAT_EQ(o.printFilmicPivotRGain, 1.0f / 0.71f);
    EXPECT_EQ(o.printCastIndex, 6504);
    EXPECT_EQ(o.printCastOn, 0);

    p.set({{"PrintProfile", 2}, {"PrintGammaPivot", 0.25}, {"PrintGammaRed", 0.8}, {"PrintGammaGreen", 0.4},
           {"PrintCurveHighlightRed", 0.0}, {"PrintCurveHighlightGreen", 0.0}, {"PrintCurveHighlightBlue", 0.0}});
    o = printFill(p, 11, false);
    EXPECT_EQ(o.printCurvesOn, 1);
    EXPECT_EQ(o.printGammaRedOn, 1);
    EXPECT_EQ(o.printGammaRedScaled, 2.0f);
    EXPECT_FLOAT_EQ(o.printGammaRedGain, 4.0f);  // 0.25 / 0.25^2
    EXPECT_EQ(o.printGammaGreenOn, 0);
    EXPECT_EQ(o.printGammaGreenScaled, 0.0f);
    EXPECT_EQ(o.printCurveHighlightPivotScaled, 0.488758553f);
    EXPECT_FALSE(p.wasRead("PrintCurveHighlightPivot"));
}

// ACESproxy is gamma-based, so the bypass is forced on, yet its exposure is
// additive.
TEST(FirstFill, GammaInputForcesTheBypass) {
    FakeParams p({{"InputGamut", 8}, {"PrintDisplayBypass", 0}, {"Exposure", 0.5}});
    TextureOptionsStruct o = firstFill(p.h, p, p, 1);
    EXPECT_EQ(p.writes, std::vector<std::string>{"PrintDisplayBypass"});
    EXPECT_EQ(o.printOff, 1);
    EXPECT_TRUE(p.shown.empty());
    EXPECT_EQ(o.exposureMode, 2);
    EXPECT_EQ(o.exposureAmount, 0.1f);
    EXPECT_EQ(o.cudaDevice, 1);
    EXPECT_EQ(o.displayScale, 100.0f);
}

TEST(FirstFill, CameraStockShowsTheWholeNegativeGroup) {
    FakeParams p({{"CameraStock", 3}, {"NegCast", 3200}});
    TextureOptionsStruct o = firstFill(p.h, p, p, 0);
    EXPECT_EQ(o.negCastIndex, 32);
    EXPECT_EQ(o.negCastOn, 1);
    EXPECT_EQ(p.shown.size(), 12u);  // which ones: the instance tests

    FakeParams q({{"CameraStock", 3}, {"NegCast", 6504}});
    o = firstFill(q.h, q, q, 0);
    EXPECT_EQ(o.negCastOn, 0);
    EXPECT_EQ(o.negCastIndex, 0);
}

TEST(FirstFill, PrintGroupVisibility) {
    FakeParams p({{"PrintDisplayBypass", 0}, {"PrintProfile", 0}});
    TextureOptionsStruct o = firstFill(p.h, p, p, 0);
    EXPECT_EQ(o.printOff, 0);
    EXPECT_EQ(p.shown.size(), 10u);  // stock, 8 printer controls, display
    EXPECT_FALSE(contains(p.shown, "PrintCast"));
    EXPECT_TRUE(contains(p.shown, "PrinterBlackkPointGreen"));

    FakeParams q({{"PrintDisplayBypass", 0}, {"PrintProfile", 2}, {"BrewBleachBypass", 1}, {"PrintBleachBypass", 1}});
    o = firstFill(q.h, q, q, 0);
    EXPECT_EQ(q.shown.size(), 15u);
    EXPECT_EQ(o.brewBleachBypass, 1);
    EXPECT_EQ(o.printBleachBypass, 0);
}
