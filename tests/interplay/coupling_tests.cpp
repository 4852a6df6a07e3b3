// The arithmetic of a master edit: the channels follow the master, and what
// one channel cannot take inside the range is shared by the other two.
#include <gtest/gtest.h>

#include <cmath>

#include "looks/interplay_rules.h"

using kalthorne::looks::masterShift;

TEST(MasterShift, WorkedExamples) {
    struct Case {
        const char* what;
        double master, r, g, b, lo, hi;
        double nr, ng, nb;
    };
    const Case cases[] = {
        {"balanced master", 0.6, 0.9, 0.5, 0.4, -1.0, 1.0, 0.9, 0.5, 0.4},
        {"red over the top", 0.8, 0.9, 0.5, 0.4, -1.0, 1.0, 1.0, 0.75, 0.65},
        {"red under the lights' floor", 0.1, 0.1, 0.4, 0.4, 0.0, 1.0, 0.0, 0.15, 0.15},
        {"red under the black points' floor", -0.8, -0.9, -0.5, -0.4, -1.0, 1.0, -1.0, -0.75, -0.65},
        // One pass: both overflowing channels take half of the other's excess
        // and clamp, so the mean (2.3 / 3) misses the master.
        {"two channels over", 0.8, 0.9, 0.9, 0.0, -1.0, 1.0, 1.0, 1.0, 0.3},
    };
    for (const Case& c : cases) {
        const auto got = masterShift(c.master, c.r, c.g, c.b, c.lo, c.hi);
        EXPECT_NEAR(got[0], c.nr, 1e-12) << c.what;
        EXPECT_NEAR(got[1], c.ng, 1e-12) << c.what;
        EXPECT_NEAR(got[2], c.nb, 1e-12) << c.what;
    }
    const auto nan = masterShift(std::nan(""), 0.1, 0.2, 0.3, 0.0, 1.0);
    EXPECT_TRUE(std::isnan(nan[0]) && std::isnan(nan[1]) && std::isnan(nan[2]));
}
