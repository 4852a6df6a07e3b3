// Tone, density and display pieces of the negative output and print stage,
// and the development's diffusion code and plan.
#include <gtest/gtest.h>

#include <cmath>

#include "pipeline/film_develop.cuh"
#include "pipeline/film_print.cuh"

namespace {

// Grey at 100 nits: the print kernels render 0.18 to 0.10919, the display
// kernel (which adds the toe) to 0.10003.
TEST(FilmTone, GreyThroughTheToneScaleAt100Nits) {
  const float grey[3] = {0.18f, 0.18f, 0.18f};
  float abc[3], xyz[3];
  film::tone_scale_abc(grey, 100.0f, true, abc);
  film::abc_to_xyz(abc, xyz);
  EXPECT_NEAR(xyz[1], 0.10003f, 1e-5f);

  // The whole print chain up to XYZ, with families, curves, gamma and cast off.
  film::PrintCorrectorArgs corrector{};
  film::PrintSettings s{};
  s.corrector = &corrector;
  s.printer.displayScale = 100.0f;
  s.printer.greyMid = 0.4f;
  s.printProfile = 6;
  s.printSaturation = s.blendComplement = 1.0f;
  film::print_to_xyz(grey, s, xyz);
  EXPECT_NEAR(xyz[1], 0.10919f, 2e-5f);
  EXPECT_NEAR(xyz[0] / xyz[1], 0.3127f / 0.329f, 1e-3f);  // stays on the D65 white
}

// Checked against the published Bradford cone matrix: the adaptation maps
// the D55 white to the D65 white and is diagonal in Bradford cone space.
TEST(FilmTone, PrintWhiteAdaptationIsBradfordD55ToD65) {
  const double B[3][3] = {{0.8951, 0.2664, -0.1614}, {-0.7502, 1.7135, 0.0367}, {0.0389, -0.0685, 1.0296}};
  const double src[3] = {0.33242 / 0.34743, 1.0, (1.0 - 0.33242 - 0.34743) / 0.34743};
  const double dst[3] = {0.31271 / 0.32902, 1.0, (1.0 - 0.31271 - 0.32902) / 0.32902};
  const colour::Mat3 m = film::d55_to_d65();
  for (int r = 0; r < 3; ++r) {
    double white = 0.0, coneSrc = 0.0, coneDst = 0.0;
    for (int k = 0; k < 3; ++k) {
      white += m.m[r * 3 + k] * src[k];
      coneSrc += B[r][k] * src[k];
      coneDst += B[r][k] * dst[k];
    }
    EXPECT_NEAR(white, dst[r], 2e-6);
    for (int c = 0; c < 3; ++c) {
      double bm = 0.0;
      for (int k = 0; k < 3; ++k) bm += B[r][k] * m.m[k * 3 + c];
      EXPECT_NEAR(bm, coneDst / coneSrc * B[r][c], 2e-5) << r << "," << c;
    }
  }
}

TEST(FilmTone, LogC4RoundTripAndEnds) {
  EXPECT_NEAR(film::logc4_encode(469.8f), 1.0f, 1e-6f);
  EXPECT_NEAR(film::logc4_encode(0.18f), 0.278396f, 2e-6f);
  for (float black : {0.0f, -1.0f, NAN}) EXPECT_FLOAT_EQ(film::logc4_encode(black), 0.09286413f);
  for (float x = 0.001f; x < 469.0f; x *= 1.7f) EXPECT_NEAR(film::logc4_decode(film::logc4_encode(x)), x, 2e-5f * x);
}

TEST(FilmTone, DensityRangeRunsFromDminToDmax) {
  EXPECT_NEAR(film::density_range(0.0f, false, 1.0f, 2.0f, 0.07f, 1.6f, 0.0f), 0.07f, 1e-6f);
  EXPECT_NEAR(film::density_range(1e6f, false, 1.0f, 2.0f, 0.07f, 0.9f, 0.0f), 0.9f, 1e-5f);
  EXPECT_NEAR(film::density_range(1e3f, true, 1.5f, 2.0f, 0.07f, 0.9f, 0.0f), 0.9f, 1e-5f);
  // Held in [0, 1], and above LogC4 black for a LogC4 output.
  EXPECT_EQ(film::density_range(0.0f, true, 1.0f, 2.0f, -0.125f, 1.6f, 0.0f), 0.0f);
  EXPECT_EQ(film::density_range(0.0f, true, 1.0f, 2.0f, -0.125f, 1.6f, film::kLogC4Black), film::kLogC4Black);
  EXPECT_EQ(film::density_range(1e6f, true, 1.0f, 2.0f, 0.0f, 2.0f, 0.0f), 1.0f);
  EXPECT_EQ(film::density_range(NAN, true, 1.0f, 2.0f, 0.0f, 2.0f, 0.0f), 0.0f);
}

// A tone curve whose toe, midtone and shoulder values are 0 is the identity.
TEST(FilmTone, FlatToneCurveIsIdentityAndShoulderMinusOneHolds) {
  for (float v = 0.09f; v <= 1.0f; v += 0.01f) {
    EXPECT_NEAR(film::tone_curve(v, 0.391f, 0.489f, 0.4f, 0.0f, 0.0f, 0.0f), v, 2e-6f);
    EXPECT_NEAR(film::tone_curve(v, 0.391f, 0.489f, 0.4f, 0.0f, 0.0f, -1.0f), fminf(v, 0.489f), 2e-6f);
  }
}

TEST(FilmTone, CastAndTintKeepLuminance) {
  float v[3] = {0.3f, 0.5f, 0.2f};
  const float y0 = film::cast_luminance(v);
  film::cast_and_tint(v, true, 35, 0.3f, -0.2f);
  EXPECT_NEAR(film::cast_luminance(v), y0, 1e-6f);
  EXPECT_GT(v[0] / v[2], 0.3f / 0.2f);  // a warm cast
  // A black pixel stays black.
  float k[3] = {0, 0, 0};
  film::cast_and_tint(k, true, 140, 0.4f, 0.4f);
  EXPECT_EQ(k[0] + k[1] + k[2], 0.0f);
  // Cast and tint are two steps with a hold between them: the warm cast
  // takes red past the ceiling, which the tint then starts from.
  float hot[3] = {469.8f, 400.0f, 300.0f};
  film::cast_and_tint(hot, true, 30, 0.5f, 0.0f);
  EXPECT_NEAR(hot[1], 358.6f, 0.05f);
  // A print pixel below black can leave a cast with negative luminance; it
  // is still scaled back to the luminance it came in with.
  float dark[3] = {-0.01f, 0.0029f, 0.0f};
  film::rescale_to(dark, 0.0001f);
  EXPECT_NEAR(film::cast_luminance(dark), 0.0001f, 1e-9f);
}

// The print kernels take the frame pixel and the print plane as they come (a
// negative's shadows lie below 0) and hold them only after cast and tint;
// print saturation is not held. So each result is the print chain run on
// exactly those values, for both print kernels; a hold anywhere else would
// change each of these pixels.
TEST(FilmPrint, HeldOnlyAfterCastAndTint) {
  film::PrintCorrectorArgs corrector{};
  film::BleachArgs bleach{0.3f, {0.8f, 0.9f, 1.0f}, {1.1f, 1.0f, 0.9f}};
  film::PrintSettings s{};
  s.corrector = &corrector;
  s.printer = {0.4f, {0.0176f, 0.0176f, 0.0176f}, 1.0f / 0.71f, 2.0f, 0, 100.0f, {1.818f, 1.818f, 1.818f}};
  s.printProfile = 6;
  const float pale[3] = {-0.2f, 0.5f, 0.4f}, blue[3] = {0.0f, 0.0f, 4.0f};
  const float cyan[3] = {-0.5f, 0.3f, 0.3f}, grey[3] = {0.2f, 0.2f, 0.2f};
  const struct {
    const char* what;
    const float *in, *plain;
    bool cast;
    float saturation, blendComplement;
  } cases[] = {{"cast on a pixel with a channel below 0", pale, pale, true, 1.0f, 1.0f},
               {"saturation taking red and green below 0", blue, blue, false, 0.5f, 1.0f},
               {"blend partner from a print plane below 0", grey, cyan, false, 1.0f, 0.0f}};
  for (const film::BleachArgs* b : {(const film::BleachArgs*)nullptr, (const film::BleachArgs*)&bleach}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (b ? ", bleach kernel" : ", print-gamma kernel"));
      s.bleach = b;
      s.cast = {c.cast, 35, 0.0f, 0.0f};
      s.printSaturation = c.saturation;
      s.blendComplement = c.blendComplement;
      float v[3] = {c.in[0], c.in[1], c.in[2]};
      film::cast_and_tint(v, c.cast, 35, 0.0f, 0.0f);
      const float y = film::awg4_luminance(v);
      for (float& x : v) x = y + c.saturation * (x - y);
      float xyz[3], expected[3], got[3];
      film::print_to_xyz(c.blendComplement == 0.0f ? c.plain : v, s, xyz);
      film::print_finish(xyz, s, expected);
      film::print_pixel(c.in, c.plain, s, got);
      for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(got[ch], expected[ch]) << ch;
    }
  }
}

TEST(FilmDevelop, DiffusionCodeRoundTripAndClamps) {
  for (float d = 0.5f; d < 4e5f; d *= 2.3f)
    EXPECT_NEAR(film::code_to_developer(film::developer_to_code(d), 0.0f), d, 2e-4f * d);
  EXPECT_NEAR(film::developer_to_code(469.9f * film::kLabScale), 1.0f, 1e-6f);
  EXPECT_NEAR(film::developer_to_code(NAN), 1.0f, 1e-6f);
  EXPECT_EQ(film::code_to_developer(0.7f, 0.4f), film::kLabScale);
  EXPECT_EQ(film::code_to_developer(NAN, 0.4f), film::kLabScale);
  EXPECT_EQ(film::diffusion_sharpen(NAN, 0.0f, 1.0f), 0.0f);
  EXPECT_EQ(film::diffusion_sharpen(0.9f, 0.1f, 3.0f), 1.0f);
}

TEST(FilmDevelop, PlanQuantities) {
  const film::DevelopPlan p = film::develop_plan(1920, 1080, 1920 * 0.00041666668f * 1080, 100.0f, 3, 0.2f, true,
                                                 0.5f, 0.0f);
  EXPECT_NEAR(p.area, 2400.0f, 0.01f);
  // A record without the area factor still gets the area of its frame.
  EXPECT_NEAR(film::develop_plan(60, 40, 0.0f, 100.0f, 3, 1, true, 0.5f, 0).area, 2400.0f, 0.01f);
  // Agitation values no control produces still give a period of at least 1.
  for (int a : {-3, 0, 13, 1000}) EXPECT_GE(film::develop_plan(8, 8, 64 / 2400.0f, 100.0f, a, 1, false, 0, 0).period, 1);
  // The exchange grid of an empty plane is one idle block, not a division by zero.
  EXPECT_EQ(film::exchange_blocks(0), 1);
  EXPECT_EQ(film::exchange_blocks(-5), 1);
}

}  // namespace
