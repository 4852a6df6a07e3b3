// Exposure, cast, grey, pixel-count and format rules, against values worked
// out by hand or published for the encodings and formats.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "plugin/render_option_rules.h"
#include "plugin/source_formats.h"

using namespace kalthorne;

// Linear: exp2(10 E); sRGB: exp2(5 E) = 5.656854; log encodings and
// ACESproxy: additive. Exposure 0 gives 0, not exp2(0) = 1.
TEST(ExposureRule, FactorOrOffsetByInputClass) {
    struct Case { int input; double exposure; float amount; int mode; };
    for (Case c : {Case{0, 0.5, 32.0f, 1}, Case{27, 0.5, static_cast<float>(std::exp2(2.5)), 1},
                   Case{11, 0.5, 0.1f, 2}, Case{8, 0.5, 0.1f, 2}, Case{47, 0.5, 0.1f, 2}, Case{0, 0.0, 0.0f, 1}}) {
        EXPECT_EQ(exposureFor(c.input, c.exposure).amount, c.amount) << c.input << " " << c.exposure;
        EXPECT_EQ(exposureFor(c.input, c.exposure).mode, c.mode) << c.input << " " << c.exposure;
    }
}

TEST(InputClasses, CountsAndNesting) {
    int linear = 0, display = 0, gamma = 0;
    for (int i = 0; i < kInputGamutOptions; ++i) {
        linear += isLinearInput(i);
        display += isDisplayReferredInput(i);
        gamma += isGammaBasedInput(i);
        EXPECT_TRUE(!isDisplayReferredInput(i) || isGammaBasedInput(i)) << i;
        EXPECT_FALSE(isLinearInput(i) && isGammaBasedInput(i)) << i;
    }
    EXPECT_EQ(linear, 4);
    EXPECT_EQ(display, 8);
    EXPECT_EQ(gamma, 12);
}

// A hand-edited kelvin at the bottom of the int range must not overflow.
TEST(CastRule, KelvinToIndex) {
    struct Case { int kelvin, index, on; };
    for (Case c : {Case{3000, 30, 1}, Case{3200, 32, 1}, Case{5600, 56, 1}, Case{14000, 140, 1},
                   Case{6504, 6504, 0}, Case{6505, 66, 1}, Case{INT_MIN, -21474835, 1}}) {
        EXPECT_EQ(castRule(c.kelvin).index, c.index) << c.kelvin;
        EXPECT_EQ(castRule(c.kelvin).on, c.on) << c.kelvin;
    }
}

// Halfway between the input's 18 % grey and 0.5; GoPro's grey lies above it.
TEST(GreyAndPixelCount, PublishedGreysAndHdFrame) {
    for (int linear : {0, 4, 5, 30}) EXPECT_EQ(greyMidField(linear), 0.34f) << linear;
    for (int goPro : {40, 41}) EXPECT_EQ(greyMidField(goPro), 0.59f) << goPro;
    EXPECT_EQ(greyMidField(2), 0.4794921875f);  // Cineon 470/1024
    EXPECT_EQ(pixelCountFactor(1920, 1080), 864.0f);
    EXPECT_EQ(pixelCountFactor(2400, 1), 1.0f);
}

// Published frame sizes; an unknown format leaves the outputs as they were.
TEST(Formats, KnownSizesAndOutOfRange) {
    struct Case { int format, width, height; double par; };
    const int bad = -7;
    for (Case c : {Case{eSourceFormatDCI2K, 2048, 1080, 1.0}, Case{eSourceFormatQVGA, 320, 240, 1.0},
                   Case{eSourceFormatPAL, 720, 576, 1.0667}, Case{eSourceFormatPALWide, 720, 576, 1.4223},
                   Case{eSourceFormat4KAnamorphic, 3656, 3112, 2.0}, Case{0, bad, bad, bad}, Case{1, bad, bad, bad},
                   Case{36, bad, bad, bad}, Case{-1, bad, bad, bad}, Case{-2147483647 - 1, bad, bad, bad}}) {
        int w = bad, h = bad;
        double par = bad;
        formatResolution(c.format, &w, &h, &par);
        EXPECT_EQ(w, c.width) << c.format;
        EXPECT_EQ(h, c.height) << c.format;
        EXPECT_EQ(par, c.par) << c.format;
    }
    EXPECT_EQ(kLastSourceFormat - kFirstSourceFormat + 1, 34);
}
