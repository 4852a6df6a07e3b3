// The cast rule on a hand-edited value and the delivery formats, against
// published sizes. The exposure, grey, cast and pixel-count rules of each
// record field: record_rules_test.
#include <gtest/gtest.h>

#include <climits>

#include "plugin/render_option_rules.h"
#include "plugin/source_formats.h"

using namespace kalthorne;

// A hand-edited kelvin at the bottom of the int range must not overflow
// (the parameter range: record_rules_test).
TEST(CastRule, KelvinAtTheBottomOfTheIntRange) {
    EXPECT_EQ(castRule(INT_MIN).index, -21474835);
    EXPECT_EQ(castRule(INT_MIN).on, 1);
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
