// The decodings and encodings against independent values: the published
// curves and primaries (data/colour_reference.csv, made with colour-science)
// and, where the plug-in keeps constants or matrices of its own, the worked
// values and white points those must reproduce.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "colour_test_util.h"

using namespace colour_test;
using colour::Gamut;
using colour::Mat3;

namespace {

struct Row {
  std::string key;             // option index or matrix name
  std::vector<double> values;  // the numbers after the key, in file order
};

// The rows of one kind ("curve", "matrix", "decode", "encode") of the
// reference file made by tools/colour_reference.py, in file order.
std::vector<Row> rows(const std::string& kind) {
  std::vector<Row> out;
  std::ifstream in(COLOUR_REFERENCE_CSV);
  for (std::string line, field; std::getline(in, line);) {
    std::istringstream fields(line);
    if (!std::getline(fields, field, ',') || field != kind) continue;
    Row& r = out.emplace_back();
    std::getline(fields, r.key, ',');
    while (std::getline(fields, field, ',')) r.values.push_back(std::strtod(field.c_str(), nullptr));
  }
  return out;
}

// Relative to the reference, with an absolute floor near zero. The ST 2084
// curve (steep power of a difference) amplifies the rounding of its
// single-precision evaluation.
double tolerance(int option, double reference, double absolute) {
  return (colour::option_info(option).transfer == colour::Transfer::PQ ? 3e-5 : 1e-5) * std::fabs(reference) + absolute;
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
    EXPECT_NEAR(got, linear, tolerance(option, linear, 2e-7)) << where(option, code);
  }
  // Every option but the four linear ones and ADX (its own density fit).
  EXPECT_EQ(covered.size(), size_t(colour::kInputOptionCount - 5));
}

TEST(ColourReference, PublishedMatrices) {
  std::map<std::string, Mat3> ours = {{"XYZ_TO_AWG4", colour::xyz_to_awg4()},
                                      {"ADAPT_P3D60_TO_D65", colour::adaptation_to_d65(colour::Adapt::P3D60)},
                                      {"ADAPT_P3DCI_TO_D65", colour::adaptation_to_d65(colour::Adapt::P3DCI)}};
#define COLOUR_TEST_GAMUT(name, ...) ours[#name] = colour::gamut_to_xyz(Gamut::name);
  COLOUR_GAMUTS(COLOUR_TEST_GAMUT)
#undef COLOUR_TEST_GAMUT
  ASSERT_FALSE(rows("matrix").empty());
  for (const auto& ref : rows("matrix")) {
    ASSERT_TRUE(ours.count(ref.key) && ref.values.size() == 9) << ref.key;
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(ours[ref.key].m[k], ref.values[k], 2e-6) << ref.key << " element " << k;
  }
}

// Code values and ARRI Wide Gamut 4 values both ways through the whole
// transform. Encoded code values live on [0, 1]: 1e-5 of that range.
TEST(ColourReference, WholeDecodingsAndEncodings) {
  ASSERT_FALSE(rows("decode").empty());
  std::set<int> encoded;
  for (const bool decoding : {true, false}) {
    for (const auto& r : rows(decoding ? "decode" : "encode")) {
      const int option = std::stoi(r.key);
      ASSERT_EQ(r.values.size(), 6u);
      const double *in = &r.values[0], *ref = &r.values[3];
      float out[3];
      (decoding ? decode : encode)(option, float(in[0]), float(in[1]), float(in[2]), out);
      if (!decoding) encoded.insert(option);
      for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(out[c], ref[c], decoding ? tolerance(option, ref[c], 1e-6) : 1e-5)
            << (decoding ? "decoding " : "encoding ") << where(option, in[c]) << " ch " << c;
    }
  }
  EXPECT_GE(encoded.size(), size_t(35));
}

// The ends of the curves, which the reference rows do not reach.
TEST(ColourWorkedValues, EndsOfTheCurves) {
  const struct { bool decoding; int option; float in, out, tol; } cases[] = {
      {true, 47, 1.0f, 469.8f, 0.0f},  // the top of the working space
      {true, 8, 1.0f, 469.8f, 0.0f},   // ACESproxy's top code decodes past it and is clamped
      {true, 42, 0.0f, 0.0f, 0.0f},    // PQ black, without dividing by zero
      {false, 47, 400.0f, 0.98497f, 2e-5f}, {false, 1, 400.0f, 1.0f, 2e-5f}, {false, 11, -0.5f, 0.092809f, 2e-5f},
      {false, 47, -0.5f, 0.0928641f, 2e-5f}, {false, 19, -0.5f, 0.125f, 2e-5f}};
  for (const auto& k : cases) {
    float out[3];
    (k.decoding ? decode : encode)(k.option, k.in, k.in, k.in, out);
    for (float v : out) EXPECT_NEAR(v, k.out, k.tol) << where(k.option, k.in);
  }
  EXPECT_GT(curve(8, 1.0f), colour::kWorkingMax);
  // N-Log meets at its break.
  EXPECT_NEAR(curve(10, std::nextafter(452.0f / 1023.0f, 0.0f)), 0.3287f, 5e-4f);
  EXPECT_NEAR(curve(10, 452.0f / 1023.0f), 0.3287f, 5e-4f);
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
// row sums to 1), the four segments meet, and the top segment is
// 10^((100/55) cid - 2.017455).
TEST(ColourWorkedValues, AdxDensityFit) {
  for (int r = 0; r < 3; ++r) {
    EXPECT_NEAR(CDD_TO_CID[r] + CDD_TO_CID[3 + r] + CDD_TO_CID[6 + r], 1.0f, 1e-6f);
    EXPECT_NEAR(EXP_TO_ACES[r] + EXP_TO_ACES[3 + r] + EXP_TO_ACES[6 + r], 1.0f, 2e-5f);  // five digits
  }
  for (float brk : {0.0f, 0.01f, 0.6f}) {
    const float below = colour::adx_density_to_exposure(std::nextafter(brk, -1.0f));
    const float at = colour::adx_density_to_exposure(brk);
    EXPECT_NEAR(below, at, at * 2e-5f) << brk;
  }
  // Neutral code values on the top segment: cdd = cid per channel, ACES =
  // exposure, and the working space keeps the neutral.
  float out[3];
  for (float x : {0.6f, 0.9f}) {
    const double e = std::pow(10.0, (100.0 / 55.0) * (2.048 * x - 0.19) - 2.017455);
    decode(9, x, x, x, out);
    for (float v : out) EXPECT_NEAR(v, e, e * 3e-5) << x;
  }
  // The channel mixing of a saturated red asks for a negative green density,
  // which the encoding keeps (no code limit).
  encode(9, 0.5f, 0.01f, 0.01f, out);
  EXPECT_NEAR(out[1], -0.6974f, 5e-4f);
}
