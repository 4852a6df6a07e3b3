// Properties every option must have whatever its constants: encoding undoes
// decoding, grey survives the round trip, bad values give defined results,
// matrices and their computed inverses cancel; and the encodings whose limits
// used to clip highlights, fall to -inf or miss the way back.
#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "colour_test_util.h"

using namespace colour_test;

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

float option_max_code(int option) { return colour::option_is_linear(option) ? 20.0f : 1.0f; }

void expect_round_trip(int option, float r, float g, float b, float tol) {
  float lin[3], code[3];
  decode(option, r, g, b, lin);
  encode(option, lin[0], lin[1], lin[2], code);
  const float in[3] = {r, g, b};
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(code[c], in[c], tol) << where(option, in[c]) << " ch " << c;
}

// The round trip holds where the decoded light is neither below black (the
// encodings send negative light to 0) nor past the working-space ceiling.
bool invertible_at(int option, float r, float g, float b) {
  const float in[3] = {r, g, b};
  for (float x : in) {
    if (near_curve_step(option, x)) return false;
    // ACESproxy's 12-bit code values span 256 to 3760.
    if (option == 8 && (x < 256.0f / 4095.0f || x > 3760.0f / 4095.0f)) return false;
    if (curve(option, x) < 0.0f) return false;
  }
  float lin[3];
  decode(option, r, g, b, lin);
  for (float v : lin)
    if (v <= 0.0f || v >= colour::kWorkingMax) return false;
  return true;
}

}  // namespace

// encode(decode(x)) = x, and 18 % grey out and back in.
TEST(ColourRoundTrip, EncodingUndoesDecodingForEveryOption) {
  // ACESproxy carries 12-bit code values only.
  const auto code_value = [](int option, float x) { return option == 8 ? std::round(x * 4095.0f) / 4095.0f : x; };
  for (int option = 0; option < colour::kInputOptionCount; ++option) {
    const float top = option_max_code(option);
    int checked = 0;
    for (int k = 0; k <= 400; ++k) {
      const float x = code_value(option, top * k / 400.0f);
      if (!invertible_at(option, x, x, x)) continue;
      expect_round_trip(option, x, x, x, 2e-5f * std::fmax(1.0f, x));
      ++checked;
    }
    for (const auto& c : {std::array<float, 3>{0.3f, 0.4f, 0.5f}, {0.55f, 0.45f, 0.4f}, {0.7f, 0.62f, 0.66f}}) {
      const float r = code_value(option, c[0] * top), g = code_value(option, c[1] * top),
                  b = code_value(option, c[2] * top);
      if (!invertible_at(option, r, g, b)) continue;
      expect_round_trip(option, r, g, b, 3e-5f * std::fmax(1.0f, top));
      ++checked;
    }
    EXPECT_GT(checked, 100) << "option " << option;

    float code[3], lin[3];
    encode(option, 0.18f, 0.18f, 0.18f, code);
    decode(option, code[0], code[1], code[2], lin);
    // ACESproxy quantises to 1/200 of a stop.
    for (float v : lin) EXPECT_NEAR(v, 0.18f, option == 8 ? 0.18f * 0.004f : 2e-5f) << "grey, option " << option;
  }
}

// Bad code values decode inside the working space and are written back
// inside the code range, NaN and negatives as 0; bad working values encode
// to finite codes inside the limits (PLogLin once encoded black as -inf),
// NaN as 0.
TEST(ColourRobustness, BadValuesGiveDefinedResults) {
  const float bad[] = {kNaN, kInf, -kInf, -1.0f, -1e30f, 1e30f, 2.0f, 469.8f, FLT_MAX};
  for (int option = 0; option < colour::kInputOptionCount; ++option) {
    const float hi = colour::option_is_linear(option) ? colour::kWorkingMax : 1.0f;
    const bool limited = colour::option_info(option).code_limit;
    float zero_lin[3], zero_code[3];
    decode(option, 0.0f, 0.4f, 0.0f, zero_lin);
    encode(option, 0.0f, 0.18f, 0.0f, zero_code);
    for (float v : bad) {
      float px[4] = {v, 0.4f, v, 0.25f}, lin[3], code[3];
      input_to_awg4_linear(px, option, lin);
      encode(option, v, 0.18f, v, code);
      EXPECT_TRUE(v >= 0.0f || (px[0] == 0.0f && px[2] == 0.0f)) << where(option, v);
      EXPECT_EQ(px[3], 0.25f) << "alpha is never touched";
      for (int c = 0; c < 3; ++c) {
        const std::string at = where(option, v) + " ch " + std::to_string(c);
        EXPECT_TRUE(lin[c] >= 0.0f && lin[c] <= colour::kWorkingMax) << at;
        EXPECT_TRUE(px[c] >= 0.0f && px[c] <= hi) << at << " written back";
        EXPECT_TRUE(v >= 0.0f || lin[c] == zero_lin[c]) << at;
        // ADX has no code limit
        EXPECT_TRUE(std::isfinite(code[c]) && (option == 9 || code[c] >= 0.0f) && (!limited || code[c] <= 1.0f))
            << at << " encoded as " << code[c];
        EXPECT_TRUE(!std::isnan(v) || code[c] == zero_code[c]) << at;
      }
    }
  }
}

// The inverses of the gamut and adaptation matrices are computed; the two
// listed working-space matrices are both checked against the published ones.
TEST(ColourMatrices, ForwardTimesComputedInverseIsIdentity) {
  std::vector<colour::Mat3> products;
  for (int g = 0; g < static_cast<int>(colour::Gamut::NONE); ++g) {
    const auto gamut = static_cast<colour::Gamut>(g);
    products.push_back(colour::mat3_mul(colour::gamut_to_xyz(gamut), colour::gamut_from_xyz(gamut)));
  }
  for (auto a : {colour::Adapt::P3D60, colour::Adapt::P3DCI})
    products.push_back(colour::mat3_mul(colour::adaptation_to_d65(a), colour::adaptation_from_d65(a)));
  for (size_t i = 0; i < products.size(); ++i)
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(products[i].m[k], k % 4 == 0 ? 1.0f : 0.0f, 2e-6f) << i << " at " << k;
}

// F-Log2 used to clip every highlight above linear 1.0.
TEST(ColourMendedFaults, FLog2KeepsHighlightsAboveOne) {
  float previous = 0.0f, code[3], back[3];
  for (float linear : {1.0f, 4.0f, 40.0f}) {
    encode(13, linear, linear, linear, code);
    EXPECT_TRUE(code[1] > previous && code[1] < 1.0f) << linear << ": " << code[1];
    decode(13, code[0], code[1], code[2], back);
    EXPECT_NEAR(back[1], linear, linear * 2e-5f);
    previous = code[1];
  }
  encode(13, 400.0f, 400.0f, 400.0f, code);
  EXPECT_EQ(code[1], 1.0f);
}

// DCDM's encoding used to skip the way back from the equal-energy white and
// so did not return the decoded code values.
TEST(ColourMendedFaults, DcdmEncodingInvertsItsDecoding) {
  // X, Y, Z code values near the equal-energy white (saturated ones leave
  // the working space's gamut and are clamped there).
  const float codes[][3] = {{0.5f, 0.5f, 0.5f}, {0.45f, 0.47f, 0.44f}, {0.9f, 0.88f, 0.91f}};
  for (const auto& x : codes) expect_round_trip(46, x[0], x[1], x[2], 2e-5f);
  float out[3];
  encode(46, -1.0f, 500.0f, 0.1f, out);
  for (float c : out) EXPECT_TRUE(c >= 0.0f && c <= 1.0f);
}
