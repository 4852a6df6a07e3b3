// Exposure and highlight/shadow values: the clamps and the neutral settings
// that the rest of the pipeline relies on.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "pipeline/pixel_kernels.cuh"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(Exposure, ClampsToTheWorkingRangeAndSendsNaNToZero) {
  EXPECT_EQ(exposure_linear_value(100.0f, 8.0f), 469.8f);
  EXPECT_EQ(exposure_linear_value(-0.5f, 2.0f), 0.0f);
  EXPECT_EQ(exposure_linear_value(0.25f, 2.0f), 0.5f);
  EXPECT_EQ(exposure_linear_value(kNaN, 2.0f), 0.0f);
  EXPECT_EQ(exposure_linear_value(std::numeric_limits<float>::infinity(), 0.0f), 0.0f);  // inf * 0

  EXPECT_EQ(exposure_log_value(0.9f, 0.2f), 1.0f);
  EXPECT_EQ(exposure_log_value(0.1f, -0.2f), 0.0f);
  EXPECT_FLOAT_EQ(exposure_log_value(0.5f, 0.25f), 0.75f);
  EXPECT_EQ(exposure_log_value(kNaN, 0.2f), 0.0f);
}

TEST(HighlightsShadows, NeutralSettingsAreAnIdentity) {
  for (float v = -2.0f; v <= 3.0f; v += 0.03125f)
    EXPECT_NEAR(highlights_shadows_value(v, 1.0f, 1.0f, 0.0f, 0.0f), v, 1e-6f) << v;
}

TEST(HighlightsShadows, RollOffsJoinSmoothlyAndStayInsideTheirLimits) {
  const float ceiling = 0.8f, recover = 6.0f;  // recover as scaled: Recover * 5 + 1
  // At and just above the ceiling the curve is the identity with slope 1.
  EXPECT_EQ(highlights_shadows_value(ceiling, ceiling, 1.0f, 0.0f, 0.0f), ceiling);
  EXPECT_NEAR(highlights_shadows_value(ceiling + 1e-3f, ceiling, recover, 0.0f, 0.0f), ceiling + 1e-3f, 1e-5f);
  // The limit step keeps every highlight below 1.0 once t1 = 1 - 0.02 k is below 1.
  float previous = -1.0f;
  for (float v = 0.0f; v < 1000.0f; v = v * 1.5f + 0.01f) {
    const float r = highlights_shadows_value(v, ceiling, recover, 0.0f, 0.0f);
    EXPECT_LT(r, 1.0f) << v;
    EXPECT_GE(r, previous) << v;  // monotone
    previous = r;
  }
  // Shadows mirror it: with a negative scaled recover the result stays above 0.
  const float shadowCeiling = 1.5f, shadowRecover = -1.5f;
  for (float v = 1.0f; v > -1000.0f; v = v - std::fabs(v) * 0.5f - 0.01f)
    EXPECT_GT(highlights_shadows_value(v, 1.0f, 1.0f, shadowCeiling, shadowRecover), 0.0f) << v;
}

}  // namespace
