// Generic scaled Lab: the way in and the way back for every option, worked
// values and bad input. The kernels that run it over a frame are pinned by
// the golden frames' texture roads.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "colour_test_util.h"
#include "pipeline/colour_lab.cuh"
#include "pipeline/film_corrector.cuh"

using namespace colour_test;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

void to_lab(int option, float r, float g, float b, float lab[3]) {
  const float in[3] = {r, g, b};
  colour::colour_to_scaled_lab(in, option, lab);
}

}  // namespace

TEST(ColourLab, RoundTripReturnsTheCodeValuesForEveryOption) {
  for (int option = 0; option < colour::kInputOptionCount; ++option) {
    // Greys, and colours whose darkest channel is not near black: there a
    // steep curve (a gamma near 0) turns the rounding of the other channels'
    // Lab into large code value steps.
    std::vector<std::array<float, 3>> samples = {
        {0.3f, 0.4f, 0.5f}, {0.9f, 0.35f, 0.6f}, {0.45f, 0.7f, 0.35f}, {1.0f, 0.5f, 0.75f}};
    for (int k = 0; k <= 100; ++k) samples.push_back({k / 100.0f, k / 100.0f, k / 100.0f});
    for (const auto& s : samples) {
      if (near_curve_step(option, s[0]) || near_curve_step(option, s[1]) || near_curve_step(option, s[2])) continue;
      // DCDM decodes its top code values to light that its pass-through
      // range (code values above 1) also reaches: there the way back is open.
      if (option == 46 && std::fmax(s[0], std::fmax(s[1], s[2])) > 0.95f) continue;
      float lab[3], back[3];
      to_lab(option, s[0], s[1], s[2], lab);
      colour::scaled_lab_to_colour(lab, option, back);
      // The Rec.2020 scene option encodes with the exact BT.2020 constants
      // but decodes with the rounded ones.
      const float tol = option == 29 ? 3e-5f : 2e-5f;
      for (int c = 0; c < 3; ++c) {
        // At black the power curves are infinitely steep: the last bit of the
        // Lab values moves the code value visibly but the light invisibly.
        const bool same_light = std::fabs(curve(option, back[c]) - curve(option, s[c])) < 1e-7f;
        EXPECT_TRUE(std::fabs(back[c] - s[c]) <= tol || same_light)
            << where(option, s[c]) << " ch " << c << " came back as " << back[c];
      }
    }
  }
}

TEST(ColourLab, WorkedValues) {
  float lab[3];
  to_lab(0, 0.4f, 0.4f, 0.4f, lab);  // CIE L* of 0.4 is 69.47
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(lab[c], c ? 0.5f : 0.6947f, 1e-4f);
  // The ACES spaces keep their own white, so their neutral is slightly off
  // neutral in the D65 Lab.
  for (int option : {4, 5}) {
    to_lab(option, 0.4f, 0.4f, 0.4f, lab);
    EXPECT_NEAR(lab[1], 0.50139f, 2e-5f) << option;
    EXPECT_NEAR(lab[2], 0.51851f, 2e-5f) << option;
  }
  // Lab black goes back to black.
  const float black[3] = {0.0f, 0.5f, 0.5f};
  float rgb[3];
  colour::scaled_lab_to_colour(black, 0, rgb);
  for (float v : rgb) EXPECT_NEAR(v, 0.0f, 1e-6f);
}

// One bad pixel must not become NaN: the texture stage's recursive blurs
// would carry it across the whole frame.
TEST(ColourLab, NonFiniteInputAndOutOfRangePqCodesGiveFiniteLab) {
  for (int option = 0; option < colour::kInputOptionCount; ++option) {
    float zero[3], lab[3], back[3];
    to_lab(option, 0.0f, 0.2f, 0.0f, zero);
    for (float bad : {kNaN, kInf, -kInf}) {
      to_lab(option, bad, 0.2f, bad, lab);
      for (int c = 0; c < 3; ++c) EXPECT_EQ(lab[c], zero[c]) << where(option, bad);
      const float bad_lab[3] = {bad, bad, 0.5f};
      colour::scaled_lab_to_colour(bad_lab, option, back);
      for (float v : back) EXPECT_TRUE(std::isfinite(v)) << where(option, bad);
    }
    for (float huge : {1e30f, -1e30f, 50.0f}) {
      to_lab(option, huge, 0.5f, -huge, lab);
      colour::scaled_lab_to_colour(lab, option, back);
      for (int c = 0; c < 3; ++c) EXPECT_TRUE(std::isfinite(lab[c]) && std::isfinite(back[c])) << where(option, huge);
    }
  }
  for (int option : {42, 43}) {  // PQ codes are limited to [0, 1] first
    float over[3], one[3], under[3], zero[3];
    to_lab(option, 7.0f, 7.0f, 7.0f, over);
    to_lab(option, 1.0f, 1.0f, 1.0f, one);
    to_lab(option, -2.0f, -2.0f, -2.0f, under);
    to_lab(option, 0.0f, 0.0f, 0.0f, zero);
    for (int c = 0; c < 3; ++c) EXPECT_TRUE(over[c] == one[c] && under[c] == zero[c]) << option;
  }
}

// The custom hue band of the colour corrector with a breadth of 0 is off
// rather than 0/0 at its centre.
TEST(ColourMendedFaults, ZeroWidthHueBandIsOffNotNaN) {
  for (float h = 0.0f; h < 6.0f; h += 0.25f) {
    EXPECT_EQ(film::hue_band(h, 0.0f, 0.0f), 0.0f) << h;
    EXPECT_EQ(film::hue_band(h, 0.0f, std::numeric_limits<float>::quiet_NaN()), 0.0f) << h;
  }
}
