// The decodings and encodings against independent values: the published
// curves and primaries (data/colour_reference.csv, made with colour-science)
// and, where the plug-in keeps constants or matrices of its own, the worked
// values and white points those must reproduce.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>

#include "colour_test_util.h"
#include "reference_csv.h"

using namespace colour_test;
using colour::Gamut;
using colour::Mat3;
using colour_reference::rows;

namespace {

const std::map<std::string, Gamut>& gamuts_by_name() {
  static const std::map<std::string, Gamut> names = {
#define COLOUR_TEST_GAMUT_NAME(name, ...) {#name, Gamut::name},
      COLOUR_GAMUTS(COLOUR_TEST_GAMUT_NAME)
#undef COLOUR_TEST_GAMUT_NAME
  };
  return names;
}

void expect_matrix_near(const Mat3& m, const std::vector<double>& ref, double tol, const std::string& what) {
  ASSERT_EQ(ref.size(), 9u) << what;
  for (int k = 0; k < 9; ++k) EXPECT_NEAR(m.m[k], ref[k], tol) << what << " element " << k;
}

// The ST 2084 curve (steep power of a difference) amplifies the rounding of
// its single-precision evaluation.
double relative_tolerance(int option) {
  return colour::option_info(option).transfer == colour::Transfer::PQ ? 3e-5 : 1e-5;
}

}  // namespace

TEST(ColourReference, EveryCodedOptionIsDecodedByItsPublishedCurve) {
  ASSERT_FALSE(rows("curve").empty()) << "reference data not found at " << COLOUR_REFERENCE_CSV;
  std::set<int> covered;
  for (const auto& r : rows("curve")) {
    const int option = std::stoi(r.key);
    ASSERT_EQ(r.values.size(), 2u);
    covered.insert(option);
    const double code = r.values[0], linear = r.values[1];
    const float got = curve(option, static_cast<float>(code));
    EXPECT_NEAR(got, linear, tolerance(linear, relative_tolerance(option), 2e-7)) << where(option, code);
  }
  // Every option but the four linear ones and ADX (its own density fit).
  EXPECT_EQ(covered.size(), size_t(colour::kInputOptionCount - 5));
}

TEST(ColourReference, PublishedMatricesAndTheirInverse) {
  ASSERT_FALSE(rows("matrix").empty());
  for (const auto& ref : rows("matrix")) {
    const std::string& name = ref.key;
    if (name == "XYZ_TO_AWG4") {
      expect_matrix_near(colour::xyz_to_awg4(), ref.values, 2e-6, name);
      continue;
    }
    if (name == "ADAPT_P3D60_TO_D65" || name == "ADAPT_P3DCI_TO_D65") {
      const auto adapt = name == "ADAPT_P3D60_TO_D65" ? colour::Adapt::P3D60 : colour::Adapt::P3DCI;
      expect_matrix_near(colour::adaptation_to_d65(adapt), ref.values, 2e-6, name);
      const Mat3 p = colour::mat3_mul(colour::adaptation_to_d65(adapt), colour::adaptation_from_d65(adapt));
      for (int k = 0; k < 9; ++k) EXPECT_NEAR(p.m[k], k % 4 == 0 ? 1.0f : 0.0f, 2e-6f) << name << " inverse";
      continue;
    }
    const auto it = gamuts_by_name().find(name);
    ASSERT_NE(it, gamuts_by_name().end()) << name;
    expect_matrix_near(colour::gamut_to_xyz(it->second), ref.values, 2e-6, name);
  }
}

TEST(ColourReference, WholeDecodingsIntoTheWorkingSpace) {
  ASSERT_FALSE(rows("decode").empty());
  for (const auto& r : rows("decode")) {
    const int option = std::stoi(r.key);
    ASSERT_EQ(r.values.size(), 6u);
    const double* code = &r.values[0];
    const double* awg4 = &r.values[3];
    float out[3];
    decode(option, float(code[0]), float(code[1]), float(code[2]), out);
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(out[c], awg4[c], tolerance(awg4[c], relative_tolerance(option), 1e-6))
          << where(option, code[c]) << " ch " << c;
  }
}

TEST(ColourReference, WholeEncodingsFromTheWorkingSpace) {
  std::set<int> covered;
  for (const auto& r : rows("encode")) {
    const int option = std::stoi(r.key);
    ASSERT_EQ(r.values.size(), 6u);
    covered.insert(option);
    const double* awg4 = &r.values[0];
    const double* code = &r.values[3];
    float out[3];
    encode(option, float(awg4[0]), float(awg4[1]), float(awg4[2]), out);
    // Code values live on [0, 1]: 1e-5 of that range.
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(out[c], code[c], 1e-5) << where(option, awg4[c]) << " ch " << c;
  }
  EXPECT_GE(covered.size(), size_t(35));
}

// The ends of the curves, which the reference rows do not reach.
TEST(ColourWorkedValues, Decodings) {
  const struct { int option; float code, linear, tol; } cases[] = {
      {47, 1.0f, 469.8f, 0.0f},             // the top of the working space
      {8, 1.0f, 469.8f, 0.0f},              // ACESproxy's top code decodes past it and is clamped
      {42, 0.0f, 0.0f, 0.0f},               // PQ black, without dividing by zero
  };
  for (const auto& k : cases) {
    float out[3];
    decode(k.option, k.code, k.code, k.code, out);
    for (float v : out) EXPECT_NEAR(v, k.linear, k.tol) << where(k.option, k.code);
  }
  EXPECT_GT(curve(8, 1.0f), colour::kWorkingMax);
  // N-Log meets at its break.
  EXPECT_NEAR(curve(10, std::nextafter(452.0f / 1023.0f, 0.0f)), 0.3287f, 5e-4f);
  EXPECT_NEAR(curve(10, 452.0f / 1023.0f), 0.3287f, 5e-4f);
}

TEST(ColourWorkedValues, EncodingsOfHighlightsAndNegatives) {
  const struct { int option; float linear; float code; } cases[] = {
      {47, 400.0f, 0.98497f}, {1, 400.0f, 1.0f}, {11, -0.5f, 0.092809f}, {47, -0.5f, 0.0928641f}, {19, -0.5f, 0.125f}};
  for (const auto& c : cases) {
    float out[3];
    encode(c.option, c.linear, c.linear, c.linear, out);
    for (float v : out) EXPECT_NEAR(v, c.code, 2e-5f) << where(c.option, c.linear);
  }
}

// The matrices that are the plug-in's own must still map R = G = B = 1 to
// their white: D65 for the decoding, the ACES white for the generic Lab
// conversion of the ACES-white spaces. Some are rounded to fewer digits (or,
// like Blackmagic Wide Gamut, have a white a hair off D65), so the check is
// only as fine as telling the two whites apart (they differ by 0.08 in Z).
TEST(ColourWorkedValues, OwnMatricesMapWhiteToWhite) {
  const auto expect_white = [](Gamut g, const double white[3], int option) {
    const Mat3 m = colour::gamut_to_xyz(g);
    for (int r = 0; r < 3; ++r)
      EXPECT_NEAR(m.m[r * 3] + m.m[r * 3 + 1] + m.m[r * 3 + 2], white[r], 3e-4) << "option " << option << " row " << r;
  };
  const double d65[3] = {0.95046, 1.0, 1.08906}, aces[3] = {0.95264, 1.0, 1.00882};
  for (int option = 0; option < colour::kInputOptionCount; ++option) {
    const auto info = colour::option_info(option);
    if (info.to_xyz != Gamut::NONE && info.adapt == colour::Adapt::NONE) expect_white(info.to_xyz, d65, option);
  }
  for (int option : {4, 5, 6, 7, 8, 9, 17, 18, 20, 21, 22, 23, 24, 25, 35, 36, 37, 38, 39})
    expect_white(colour::option_info(option).lab_to_xyz, aces, option);
}

// ADX: the density fit is the plug-in's own, so it is checked against the
// forms it is stated in: the density matrices keep neutrals neutral (each
// row sums to 1), the top segment is 10^((100/55) cid - 2.017455), and the
// four segments meet.
TEST(ColourWorkedValues, AdxDensityFit) {
  for (int r = 0; r < 3; ++r) {
    EXPECT_NEAR(CDD_TO_CID[r] + CDD_TO_CID[3 + r] + CDD_TO_CID[6 + r], 1.0f, 1e-6f);
    EXPECT_NEAR(EXP_TO_ACES[r] + EXP_TO_ACES[3 + r] + EXP_TO_ACES[6 + r], 1.0f, 2e-5f);  // five digits
  }
  for (double cid : {0.6, 0.75, 1.0, 1.4}) {
    const double e = std::pow(10.0, (100.0 / 55.0) * cid - 2.017455);
    EXPECT_NEAR(colour::adx_density_to_exposure(float(cid)), e, e * 2e-6) << cid;
  }
  for (float brk : {0.0f, 0.01f, 0.6f}) {
    const float below = colour::adx_density_to_exposure(std::nextafter(brk, -1.0f));
    const float at = colour::adx_density_to_exposure(brk);
    EXPECT_NEAR(below, at, at * 2e-5f) << brk;
  }
  // A neutral code value: cdd = cid per channel, ACES = exposure, and the
  // working space keeps the neutral.
  const float x = 0.6f;
  const double e = std::pow(10.0, (100.0 / 55.0) * (2.048 * x - 0.19) - 2.017455);
  float out[3];
  decode(9, x, x, x, out);
  for (float v : out) EXPECT_NEAR(v, e, e * 3e-5);
  // The channel mixing of a saturated red asks for a negative green density,
  // which the encoding keeps (no code limit).
  encode(9, 0.5f, 0.01f, 0.01f, out);
  EXPECT_NEAR(out[1], -0.6974f, 5e-4f);
}
