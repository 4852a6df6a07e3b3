// Exposure, cast, grey, pixel-count and format rules, against values worked
// out by hand or published for the encodings and formats.
#include <gtest/gtest.h>

#include <cmath>

#include "plugin/render_option_rules.h"
#include "plugin/source_formats.h"

using namespace kalthorne;

TEST(ExposureRule, FactorOrOffsetByInputClass) {
    EXPECT_EQ(exposureFor(0, 0.5).amount, 32.0f);  // linear: exp2(10 E)
    EXPECT_EQ(exposureFor(0, 0.5).mode, 1);
    EXPECT_EQ(exposureFor(27, 0.5).amount, static_cast<float>(std::exp2(2.5)));  // sRGB: exp2(5 E)
    EXPECT_NEAR(exposureFor(27, 0.5).amount, 5.656854f, 1e-6f);
    EXPECT_EQ(exposureFor(27, 0.5).mode, 1);
    for (int logInput : {11, 8, 47}) {  // log encodings and ACESproxy: additive
        EXPECT_EQ(exposureFor(logInput, 0.5).amount, 0.1f) << logInput;
        EXPECT_EQ(exposureFor(logInput, 0.5).mode, 2) << logInput;
    }
    EXPECT_EQ(exposureFor(0, 0.0).amount, 0.0f);  // not exp2(0) = 1
    EXPECT_EQ(exposureFor(0, 0.0).mode, 1);
}

TEST(InputClasses, CountsAndNesting) {
    int linear = 0, display = 0, gamma = 0;
    for (int i = 0; i < kInputGamutOptions; ++i) {
        linear += isLinearInput(i);
        display += isDisplayReferredInput(i);
        gamma += isGammaBasedInput(i);
        if (isDisplayReferredInput(i)) {
            EXPECT_TRUE(isGammaBasedInput(i)) << i;
        }
        EXPECT_FALSE(isLinearInput(i) && isGammaBasedInput(i)) << i;
    }
    EXPECT_EQ(linear, 4);
    EXPECT_EQ(display, 8);
    EXPECT_EQ(gamma, 12);
}

TEST(CastRule, KelvinToIndex) {
    struct Case { int kelvin, index, on; };
    for (Case c : {Case{3000, 30, 1}, Case{3200, 32, 1}, Case{5600, 56, 1}, Case{14000, 140, 1},
                   Case{6504, 6504, 0}, Case{6505, 66, 1}}) {
        EXPECT_EQ(castRule(c.kelvin).index, c.index) << c.kelvin;
        EXPECT_EQ(castRule(c.kelvin).on, c.on) << c.kelvin;
    }
}

// Halfway between the input's 18 % grey and 0.5; GoPro's grey lies above it.
TEST(GreyAndPixelCount, PublishedGreysAndHdFrame) {
    for (int linear : {0, 4, 5, 30}) EXPECT_EQ(greyMidField(linear), 0.34f) << linear;
    EXPECT_EQ(greyMidField(40), 0.59f);
    EXPECT_EQ(greyMidField(41), 0.59f);
    EXPECT_EQ(greyMidField(2), 0.4794921875f);  // Cineon 470/1024
    EXPECT_EQ(pixelCountFactor(1920, 1080), 864.0f);
    EXPECT_EQ(pixelCountFactor(2400, 1), 1.0f);
}

TEST(Formats, KnownSizesAndOutOfRange) {
    int w = -7, h = -7;
    double par = -7.0;
    formatResolution(eSourceFormatDCI2K, &w, &h, &par);
    EXPECT_EQ(w, 2048); EXPECT_EQ(h, 1080); EXPECT_EQ(par, 1.0);
    formatResolution(eSourceFormatQVGA, &w, &h, &par);
    EXPECT_EQ(w, 320); EXPECT_EQ(h, 240); EXPECT_EQ(par, 1.0);
    formatResolution(eSourceFormatPAL, &w, &h, &par);
    EXPECT_EQ(par, 1.0667);
    formatResolution(eSourceFormatPALWide, &w, &h, &par);
    EXPECT_EQ(par, 1.4223);
    formatResolution(eSourceFormat4KAnamorphic, &w, &h, &par);
    EXPECT_EQ(par, 2.0);

    for (int bad : {0, 1, 36, -1, -2147483647 - 1}) {
        w = h = -7;
        par = -7.0;
        formatResolution(bad, &w, &h, &par);
        EXPECT_EQ(w, -7) << bad;
        EXPECT_EQ(h, -7) << bad;
        EXPECT_EQ(par, -7.0) << bad;
    }
    EXPECT_EQ(kLastSourceFormat - kFirstSourceFormat + 1, 34);
}
