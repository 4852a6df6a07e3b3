// The colour corrector shared by the negative and the print side.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "film_test_support.h"
#include "pipeline/film_corrector.cuh"

namespace {

using film::hexcone_hue;

void expect_rgb(const float got[3], float r, float g, float b, float tol) {
  EXPECT_NEAR(got[0], r, tol);
  EXPECT_NEAR(got[1], g, tol);
  EXPECT_NEAR(got[2], b, tol);
}

void run_corrector(float p[3], const ColorGroupOptions g[4], bool refineOn, const RefineSlotOptions* slots, int n) {
  film::colour_corrector(p, g[0], g[1], g[2], g[3], refineOn, slots, n);
}

TEST(FilmCorrector, ChromaAndVibranceWorkedPixels) {
  ColorGroupOptions c{};
  c.groupOn = 1;
  c.strengthScaled = 1.0f;
  c.greenScaled = 0.5f;
  float p[3] = {0.2f, 0.8f, 0.3f};
  film::chroma_family(p, hexcone_hue(p), c);
  expect_rgb(p, 0.41187f, 1.647482f, 0.617806f, 2e-6f);

  ColorGroupOptions v{};
  v.groupOn = 1;
  v.redScaled = v.magentaScaled = v.blueScaled = v.cyanScaled = v.greenScaled = v.yellowScaled = 0.3f;
  v.strengthScaled = 0.3f;
  float q[3] = {0.5f, 0.2f, 0.0f};
  film::vibrance_family(q, hexcone_hue(q), v);
  expect_rgb(q, 0.5f, 0.149412f, 0.0f, 2e-6f);
}

// Settings that ask for no change leave any pixel as it was, with every
// family, custom band, zone and refine quality switched on.
TEST(FilmCorrector, NeutralSettingsLeaveTheImage) {
  // Saturation gains 1; hue and chroma at their mid strength turn and scale
  // by zero values and a custom gain of 1; vibrance all 0.
  ColorGroupOptions g[4]{};
  for (int k = 0; k < 4; ++k) {
    ColorGroupOptions& x = g[k];
    x.groupOn = x.customOn = x.zoneMode = x.zoneBoth = 1;
    x.customWidthSpan = 0.5f;
    x.zoneLowScaled = x.zoneHighScaled = x.zoneLowRangeGain = x.zoneHighRangeGain = 1.0f;
    x.redScaled = x.magentaScaled = x.blueScaled = x.cyanScaled = x.greenScaled = x.yellowScaled = k == 0;
    x.strengthScaled = k == 0 ? 1.0f : (k == 3 ? 0.0f : 0.5f);
    x.customStrengthTerm = (k == 0 || k == 2) ? 1.0f : 0.0f;
  }
  RefineSlotOptions slots[kNegativeRefineSlotCount]{};
  for (RefineSlotOptions& s : slots) {
    s.slotOn = s.satOn = s.hueOn = s.chrOn = s.vibOn = s.zoneBoth = 1;
    s.satWidthSpan = s.hueWidthSpan = s.chrWidthSpan = s.vibWidthSpan = 0.4f;
    s.satStrengthScaled = s.chrStrengthGain = s.zoneLowScaled = s.zoneHighScaled = 1.0f;
    s.zoneMode = 2;
  }
  // Pixels whose balanced components are all positive, so no component is
  // held at 0 on the way.
  const float pixels[][3] = {{0.18f, 0.18f, 0.18f}, {0.4f, 0.25f, 0.2f}, {0.2f, 0.35f, 0.3f},
                             {0.3f, 0.3f, 0.45f}, {2.0f, 1.5f, 1.2f}};
  for (const auto& px : pixels) {
    float p[3] = {px[0], px[1], px[2]};
    run_corrector(p, g, true, slots, kNegativeRefineSlotCount);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(p[c], px[c], 2e-5f * (1 + px[c])) << px[0] << "," << px[1];
  }
}

// Zones pull a family's result towards its mean, but only for a family in
// force and, in the Hue, Chroma and Vibrance families, only with zoneBoth. In
// the Vibrance family a channel at 0 takes none of the high band (so a pull
// towards grey cannot lift it), while the low band, and the high band of the
// other families, lift it. The families' own values and strengths change
// nothing here.
TEST(FilmCorrector, ZoneRules) {
  enum Outcome { kUnchanged, kBlueStaysZero, kBlueLifted };
  const struct {
    const char* what;
    int family;
    bool on, both;
    float low, high;
    Outcome outcome;
  } cases[] = {{"no family in force", 1, false, true, 0.2f, 1.8f, kUnchanged},
               {"hue without zoneBoth", 1, true, false, 0.2f, 1.8f, kUnchanged},
               {"hue, high band", 1, true, true, 1.0f, 0.2f, kBlueLifted},
               {"vibrance, high band", 3, true, true, 1.0f, 0.2f, kBlueStaysZero},
               {"vibrance, low band", 3, true, true, 0.5f, 1.0f, kBlueLifted}};
  for (const auto& c : cases) {
    ColorGroupOptions g[4]{};
    ColorGroupOptions& z = g[c.family];
    z.groupOn = c.on;
    z.strengthScaled = c.family == 1 ? 0.5f : 0.0f;  // the hue family's mid strength turns nothing
    z.zoneMode = 1;
    z.zoneBoth = c.both;
    z.zoneLowScaled = c.low, z.zoneHighScaled = c.high;
    z.zoneLowRangeGain = z.zoneHighRangeGain = 1.0f;
    float p[3] = {0.6f, 0.3f, 0.0f};
    run_corrector(p, g, false, nullptr, 0);
    if (c.outcome == kUnchanged) expect_rgb(p, 0.6f, 0.3f, 0.0f, 1e-6f);
    if (c.outcome == kBlueStaysZero) { EXPECT_EQ(p[2], 0.0f) << c.what; }
    if (c.outcome == kBlueLifted) { EXPECT_GT(p[2], 0.01f) << c.what; }
  }
}

// A band of width 0 is reachable (Hue family breadth has no floor): it must
// act as "off" and never evaluate 0/0 at its centre.
TEST(FilmCorrector, ZeroWidthBandAtItsOwnCentreIsOff) {
  const float px[3] = {0.7f, 0.2f, 0.1f}, h = hexcone_hue(px), centre = 2.0f - h;  // band centred on the pixel
  ColorGroupOptions g{};
  g.customOn = 1;
  g.customHueSextant = centre;
  g.customWidthSpan = 0.0f;
  g.customStrengthTerm = 0.8f;
  g.strengthScaled = 0.5f;
  void (*families[4])(float*, float, const ColorGroupOptions&) = {film::saturation_family, film::hue_family,
                                                                   film::chroma_family, film::vibrance_family};
  for (auto family : families) {
    float p[3] = {px[0], px[1], px[2]};
    family(p, h, g);
    expect_rgb(p, px[0], px[1], px[2], 1e-6f);  // NaN fails too
  }
  RefineSlotOptions s{};
  s.slotOn = s.satOn = s.hueOn = s.chrOn = s.vibOn = 1;
  s.satHueSextant = s.hueHueSextant = s.chrHueSextant = s.vibHueSextant = centre;
  s.satStrengthScaled = 1.7f, s.hueStrengthScaled = 1.5f, s.chrStrengthGain = 4.0f, s.vibStrengthScaled = 0.6f;
  float p[3] = {px[0], px[1], px[2]};
  film::refine_slots(p, &s, 1);
  expect_rgb(p, px[0], px[1], px[2], 1e-6f);
}

// With the settings the render path stores from random in-range parameters,
// on the negative and the print side: any pixel yields finite values in the
// working range; a grey pixel, which has no hue to act on, stays grey; and
// the Saturation family's zoneMode 2 with zoneBoth equals zoneMode 1 with it.
TEST(FilmCorrector, StoredSettingsStayFiniteAndHeldKeepGreyGreyAndZoneModesAgree) {
  std::mt19937 rng(17);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  const float specials[] = {0.0f, 469.8f, 1e-30f, 1e-6f};
  for (int trial = 0; trial < 400; ++trial) {
    TextureOptionsStruct o = filmtest::random_record(rng, 8, 8, 4);
    if (trial % 5 == 0) o.hueGroup.customWidthSpan = o.printHueGroup.customWidthSpan = 0.0f;
    if (trial % 7 == 0) o.refineSlots[3].hueWidthSpan = o.printRefineSlots[3].hueWidthSpan = 0.0f;
    const bool print = trial % 2;
    const ColorGroupOptions g[4] = {print ? o.printSaturationGroup : o.saturationGroup,
                                    print ? o.printHueGroup : o.hueGroup, print ? o.printChromaGroup : o.chromaGroup,
                                    print ? o.printVibranceGroup : o.vibranceGroup};
    const bool refineOn = print ? o.printRefineOn : o.colorRefineOn;
    const RefineSlotOptions* slots = print ? o.printRefineSlots : o.refineSlots;
    const int n = print ? kPrintRefineSlotCount : kNegativeRefineSlotCount;
    for (int k = 0; k < 5; ++k) {
      float p[3];
      for (float& c : p) c = u(rng) < 0.2f ? specials[(int)(u(rng) * 4) % 4] : 10.0f * u(rng) * u(rng);
      run_corrector(p, g, refineOn, slots, n);
      for (int c = 0; c < 3; ++c)
        ASSERT_TRUE(std::isfinite(p[c]) && p[c] >= 0.0f && p[c] <= film::kHoldMax) << "trial " << trial << ": " << p[c];
      const float grey = 20.0f * u(rng);
      float q[3] = {grey, grey, grey};
      run_corrector(q, g, refineOn, slots, n);
      for (int c = 0; c < 3; ++c) ASSERT_NEAR(q[c], grey, 1e-3f * (1 + grey)) << "trial " << trial;

      ColorGroupOptions one = g[0];
      one.zoneBoth = 1;
      one.zoneMode = 1;
      ColorGroupOptions two = one;
      two.zoneMode = 2;
      float a[3] = {3 * u(rng), 3 * u(rng), 3 * u(rng)}, b[3] = {a[0], a[1], a[2]};
      film::saturation_family(a, hexcone_hue(a), one);
      film::saturation_family(b, hexcone_hue(b), two);
      for (int c = 0; c < 3; ++c) ASSERT_EQ(a[c], b[c]) << "zone modes, trial " << trial;
    }
  }
}

}  // namespace
