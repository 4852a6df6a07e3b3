// The colour corrector shared by the negative and the print side.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "pipeline/film_corrector.cuh"

namespace {

using film::hexcone_hue;

void expect_rgb(const float got[3], float r, float g, float b, float tol) {
  EXPECT_NEAR(got[0], r, tol);
  EXPECT_NEAR(got[1], g, tol);
  EXPECT_NEAR(got[2], b, tol);
}

// A family record with random values inside what the render path stores.
ColorGroupOptions random_group(std::mt19937& rng, bool saturationScale) {
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  auto v = [&] { return saturationScale ? 2.0f * u(rng) : 2.0f * u(rng) - 1.0f; };
  auto range_gain = [&] { return 1.0f / exp2f(8.0f * u(rng) - 4.0f); };
  ColorGroupOptions g{};
  g.groupOn = u(rng) < 0.7f;
  g.redScaled = v(), g.magentaScaled = v(), g.blueScaled = v(), g.cyanScaled = v(), g.greenScaled = v();
  g.yellowScaled = v();
  g.strengthScaled = saturationScale ? 2.0f * u(rng) : u(rng);
  g.customOn = u(rng) < 0.6f;
  g.customHueSextant = 6.0f * u(rng);
  g.customWidthSpan = 2.0f * u(rng);
  g.customStrengthTerm = saturationScale ? 2.0f * u(rng) : exp2f((4.0f * u(rng) - 2.0f) * 4.0f);
  g.zoneMode = (int)(3.0f * u(rng)) % 3;
  g.zoneBoth = u(rng) < 0.5f;
  g.zoneLowScaled = 2.0f * u(rng), g.zoneLowRangeGain = range_gain();
  g.zoneHighScaled = 2.0f * u(rng), g.zoneHighRangeGain = range_gain();
  return g;
}

RefineSlotOptions random_slot(std::mt19937& rng) {
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  RefineSlotOptions s{};
  s.slotOn = 1;
  s.satOn = s.hueOn = s.chrOn = s.vibOn = 1;
  s.satHueSextant = 6 * u(rng); s.satWidthSpan = fmaxf(0.001f, 2 * u(rng)); s.satStrengthScaled = 2 * u(rng);
  s.hueHueSextant = 6 * u(rng); s.hueWidthSpan = 2 * u(rng); s.hueStrengthScaled = 4 * u(rng) - 2;
  s.chrHueSextant = 6 * u(rng); s.chrWidthSpan = fmaxf(0.001f, 2 * u(rng));
  s.chrStrengthGain = exp2f((4 * u(rng) - 2) * 4);
  s.vibHueSextant = 6 * u(rng); s.vibWidthSpan = fmaxf(0.001f, 2 * u(rng)); s.vibStrengthScaled = 2 * u(rng) - 1;
  s.zoneMode = 1; s.zoneBoth = 1;
  s.zoneLowScaled = 2 * u(rng); s.zoneLowRangeGain = 1; s.zoneHighScaled = 2 * u(rng); s.zoneHighRangeGain = 1;
  return s;
}

void run_corrector(float p[3], const ColorGroupOptions g[4], bool refineOn, const RefineSlotOptions* slots, int n) {
  film::colour_corrector(p, g[0], g[1], g[2], g[3], refineOn, slots, n);
}

TEST(FilmCorrector, ChromaGreenValueOnTheWorkedPixels) {
  ColorGroupOptions c{};
  c.groupOn = 1;
  c.strengthScaled = 1.0f;
  c.greenScaled = 0.5f;
  float p[3] = {0.2f, 0.8f, 0.3f};
  film::chroma_family(p, hexcone_hue(p), c);
  expect_rgb(p, 0.41187f, 1.647482f, 0.617806f, 2e-6f);
  // Red and blue pixels lie outside the green window.
  float q[3] = {0.8f, 0.3f, 0.2f}, r[3] = {0.2f, 0.3f, 0.8f};
  film::chroma_family(q, hexcone_hue(q), c);
  film::chroma_family(r, hexcone_hue(r), c);
  expect_rgb(q, 0.8f, 0.3f, 0.2f, 0.0f);
  expect_rgb(r, 0.2f, 0.3f, 0.8f, 0.0f);
}

TEST(FilmCorrector, VibranceWorkedPixel) {
  ColorGroupOptions v{};
  v.groupOn = 1;
  v.redScaled = v.magentaScaled = v.blueScaled = v.cyanScaled = v.greenScaled = v.yellowScaled = 0.3f;
  v.strengthScaled = 0.3f;
  float p[3] = {0.5f, 0.2f, 0.0f};
  film::vibrance_family(p, hexcone_hue(p), v);
  expect_rgb(p, 0.5f, 0.149412f, 0.0f, 2e-6f);
}

// Settings that ask for no change leave any pixel as it was, with every
// family, custom band, zone and refine quality switched on.
TEST(FilmCorrector, NeutralSettingsLeaveTheImage) {
  ColorGroupOptions g[4]{};
  for (int k = 0; k < 4; ++k) {
    ColorGroupOptions& x = g[k];
    x.groupOn = x.customOn = x.zoneMode = x.zoneBoth = 1;
    x.customWidthSpan = 0.5f;
    x.zoneLowScaled = x.zoneHighScaled = x.zoneLowRangeGain = x.zoneHighRangeGain = 1.0f;
    // Saturation gains 1; hue and chroma at their mid strength turn and
    // scale by zero values and a custom gain of 1; vibrance all 0.
    const float value = k == 0 ? 1.0f : 0.0f;
    x.redScaled = x.magentaScaled = x.blueScaled = x.cyanScaled = x.greenScaled = x.yellowScaled = value;
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

TEST(FilmCorrector, SaturationZoneModeTwoWithBothEqualsModeOne) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> u(0.0f, 3.0f);
  for (int trial = 0; trial < 200; ++trial) {
    ColorGroupOptions one = random_group(rng, true);
    one.zoneBoth = 1;
    one.zoneMode = 1;
    ColorGroupOptions two = one;
    two.zoneMode = 2;
    float p[3] = {u(rng), u(rng), u(rng)}, q[3] = {p[0], p[1], p[2]};
    const float h = hexcone_hue(p);
    film::saturation_family(p, h, one);
    film::saturation_family(q, h, two);
    for (int c = 0; c < 3; ++c) ASSERT_EQ(p[c], q[c]);
  }
}

// Zone fields act only for a family in force, and in the Hue, Chroma and
// Vibrance families only with zoneBoth.
TEST(FilmCorrector, ZonesNeedAFamilyInForceAndZoneBoth) {
  ColorGroupOptions g{};
  g.zoneMode = g.zoneBoth = 1;
  g.zoneLowScaled = 0.2f, g.zoneHighScaled = 1.8f;
  g.zoneLowRangeGain = g.zoneHighRangeGain = 1.0f;
  ColorGroupOptions off[4] = {g, g, g, g};
  ColorGroupOptions hue[4]{};
  hue[1] = g;
  hue[1].groupOn = 1;  // zero values: the turn itself changes nothing
  hue[1].strengthScaled = 0.5f;
  hue[1].zoneBoth = 0;
  for (const ColorGroupOptions* groups : {off, hue}) {
    float p[3] = {0.6f, 0.3f, 0.1f};
    run_corrector(p, groups, false, nullptr, 0);
    expect_rgb(p, 0.6f, 0.3f, 0.1f, 1e-6f);
  }
}

// Zones pull a family's result towards its mean Yg. In the Vibrance family a
// channel at 0 takes none of the high band (so a pull towards grey cannot
// lift it), while the low band acts on every channel as in the other families.
TEST(FilmCorrector, VibranceHighZoneSparesChannelsAtZero) {
  ColorGroupOptions z{};
  z.groupOn = z.zoneMode = z.zoneBoth = 1;  // values and strength 0: the family itself changes nothing
  z.zoneLowRangeGain = z.zoneHighRangeGain = 1.0f;
  const float yg = 0.3f, wl = 1.0f / (1.0f + yg), wh = yg / (1.0f + yg);  // mean Yg of the pixel below
  const struct { float low, high; bool vibrance; float blue; } cases[] = {
      {1.0f, 0.2f, true, 0.0f}, {1.0f, 0.2f, false, yg * 0.8f * wh}, {0.5f, 1.0f, true, yg * 0.5f * wl}};
  for (const auto& c : cases) {
    z.zoneLowScaled = c.low;
    z.zoneHighScaled = c.high;
    ColorGroupOptions g[4]{};
    g[c.vibrance ? 3 : 1] = z;
    if (!c.vibrance) g[1].strengthScaled = 0.5f;
    float p[3] = {0.6f, 0.3f, 0.0f};
    run_corrector(p, g, false, nullptr, 0);
    EXPECT_NEAR(p[2], c.blue, 1e-6f);
  }
}

// Custom band centres: the band sits where fmod(h + centre, 6) is 2.
TEST(FilmCorrector, CustomCentreTwoIsRedAndZeroIsGreen) {
  EXPECT_EQ(film::hue_band(0.0f, 2.0f, 0.5f), 1.0f);
  EXPECT_EQ(film::hue_band(2.0f, 0.0f, 0.5f), 1.0f);
  EXPECT_EQ(film::hue_band(2.0f, 2.0f, 0.5f), 0.0f);
  // Hexcone hues of the six sector centres.
  const float sectors[6][3] = {{1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}, {1, 0, 1}};
  for (int s = 0; s < 6; ++s) EXPECT_FLOAT_EQ(hexcone_hue(sectors[s]), (float)s);
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

// Chroma before saturation: the other order gives a visibly different result.
TEST(FilmCorrector, RefineSlotAppliesChromaBeforeSaturation) {
  RefineSlotOptions s{};
  s.slotOn = s.chrOn = s.satOn = 1;
  s.chrHueSextant = s.satHueSextant = 2.0f;  // both on red
  s.chrWidthSpan = s.satWidthSpan = 1.0f;
  s.chrStrengthGain = 6.0f;
  s.satStrengthScaled = 1.9f;
  const float px[3] = {0.6f, 0.2f, 0.15f}, h = hexcone_hue(px);
  float slot[3] = {px[0], px[1], px[2]}, chrFirst[3] = {px[0], px[1], px[2]}, satFirst[3] = {px[0], px[1], px[2]};
  film::refine_slot(slot, h, s);
  film::chroma_quality(chrFirst, h, 2.0f, 1.0f, 6.0f);
  film::saturation_band(chrFirst, h, 2.0f, 1.0f, 1.9f);
  film::saturation_band(satFirst, h, 2.0f, 1.0f, 1.9f);
  film::chroma_quality(satFirst, h, 2.0f, 1.0f, 6.0f);
  expect_rgb(slot, chrFirst[0], chrFirst[1], chrFirst[2], 0.0f);
  EXPECT_GT(std::fabs(satFirst[0] - chrFirst[0]) + std::fabs(satFirst[1] - chrFirst[1]), 1e-4f);
}

// Whatever the settings (inside what the render path stores) and whatever
// the pixel, the corrector yields finite values in the working range; and a
// grey pixel, which has no hue to act on, stays grey. (With the balanced rows
// summing to 1 only to within 3.5e-6, strong settings tint grey by up to 2 %.)
TEST(FilmCorrector, AnySettingsStayFiniteAndHeldAndKeepGreyGrey) {
  std::mt19937 rng(17);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  const float specials[] = {0.0f, 469.8f, 1e-30f, 1e-6f};
  for (int trial = 0; trial < 2000; ++trial) {
    ColorGroupOptions g[4] = {random_group(rng, true), random_group(rng, false), random_group(rng, false),
                              random_group(rng, false)};
    if (trial % 5 == 0) g[1].customWidthSpan = 0.0f;
    RefineSlotOptions slots[kNegativeRefineSlotCount];
    for (RefineSlotOptions& s : slots) s = random_slot(rng);
    if (trial % 7 == 0) slots[3].hueWidthSpan = 0.0f;
    float p[3];
    for (float& c : p) c = u(rng) < 0.2f ? specials[(int)(u(rng) * 4) % 4] : 10.0f * u(rng) * u(rng);
    run_corrector(p, g, true, slots, kNegativeRefineSlotCount);
    for (int c = 0; c < 3; ++c) {
      ASSERT_TRUE(std::isfinite(p[c])) << "trial " << trial;
      ASSERT_GE(p[c], 0.0f);
      ASSERT_LE(p[c], film::kHoldMax);
    }
    const float grey = 20.0f * u(rng);
    float q[3] = {grey, grey, grey};
    run_corrector(q, g, true, slots, kNegativeRefineSlotCount);
    for (int c = 0; c < 3; ++c) ASSERT_NEAR(q[c], grey, 1e-3f * (1 + grey)) << "trial " << trial;
  }
}

}  // namespace
