// Per-pixel arithmetic of the film stage: the colour corrector shared by
// the negative and the print side; the tone, density and display pieces of
// the negative output and print stage; the development's diffusion code and
// plan.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "frame_roads.h"
#include "pipeline/film_corrector.cuh"
#include "pipeline/film_develop.cuh"
#include "pipeline/film_negative.cuh"
#include "pipeline/film_print.cuh"

namespace {

using film::hexcone_hue;

void expect_rgb(const float got[3], float r, float g, float b, float tol) {
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], c == 0 ? r : (c == 1 ? g : b), tol) << "channel " << c;
}

uint32_t bits_of(float f) {
  uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

float float_of(uint32_t b) {
  float f;
  std::memcpy(&f, &b, sizeof f);
  return f;
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

// The smoothstep weight is 1 at u = 1 but rounds above 1 for hundreds of
// floats just below it; (1 - s)^e of a Chroma gain above 2 was then NaN and
// the pixel held to black. Every float u in [0.999, 1] and a step either side.
TEST(FilmCorrector, SmoothstepWeightStaysInItsRangeNearOne) {
  int outside = 0;
  for (float u = 0.999f; u <= 1.0f; u = std::nextafter(u, 2.0f)) {
    const float s = film::smoothstep_weight(u);
    outside += !(s >= 0.0f && s <= 1.0f);
    ASSERT_TRUE(std::isfinite(film::chroma_factor(s, 16.0f))) << "u " << u;
  }
  EXPECT_EQ(outside, 0);
  EXPECT_EQ(film::smoothstep_weight(1.0f), 1.0f);
  EXPECT_EQ(film::smoothstep_weight(0.0f), 0.0f);
  EXPECT_EQ(film::smoothstep_weight(std::nextafter(0.0f, 1.0f)), 0.0f);
  EXPECT_EQ(film::smoothstep_weight(0.5f), 0.5f);  // exact inside the range
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

// The bands wrap hues without fmodf. The general band's fmod_six must give
// fmodf's bits for every float (checked once over all 2^32; here a strided
// sample, the floats about 0, 6, 12 and 2^24 and the specials). The six
// sectors' bands skip even that: a hue from hexcone_hue lies in [0, 6] (or
// is NaN), so h + offset lies in [1, 12], where the wrap is at most one
// exact subtraction. Every float near the whole sextants (where the wrap
// switches, and where h + offset rounds onto 6 or 12), a strided sample of
// the rest, the hue's extremes and NaN must give the general band's bits;
// and hexcone_hue must stay in that range for pixels at the float extremes.
TEST(FilmCorrector, BandWrapsAreFmodBitForBit) {
  long fmods = 0, fmodsApart = 0;
  const auto compare_fmod = [&](uint32_t b) {
    const float x = float_of(b), want = std::fmod(x, 6.0f), got = film::fmod_six(x);
    ++fmods;
    if ((want == want ? bits_of(got) != bits_of(want) : got == got) && ++fmodsApart <= 10)
      ADD_FAILURE() << "fmod_six(" << x << ") is " << got << ", fmodf " << want;
  };
  for (uint64_t b = 0; b < (1ull << 32); b += 4099) compare_fmod(uint32_t(b));
  for (float edge : {0.0f, 6.0f, 12.0f, 16777216.0f, std::numeric_limits<float>::infinity()})
    for (float sign : {1.0f, -1.0f}) {
      const uint32_t centre = bits_of(sign * edge) & 0x7fffffffu, top = sign < 0 ? 0x80000000u : 0u;
      for (uint32_t b = centre > 4096 ? centre - 4096 : 0; b <= std::min(centre + 4096, 0x7fffffffu); ++b)
        compare_fmod(top | b);
    }
  EXPECT_EQ(fmodsApart, 0) << "of " << fmods;

  const float offsets[6] = {film::kOffRed,  film::kOffYellow, film::kOffGreen,
                            film::kOffCyan, film::kOffBlue,   film::kOffMagenta};
  long compared = 0, differing = 0;
  const auto compare = [&](float h) {
    for (float off : offsets) {
      const float general = film::hue_band(h, off, 1.0f), sector = film::sector_band(h, off);
      ++compared;
      if (bits_of(general) != bits_of(sector) && ++differing <= 10)
        ADD_FAILURE() << "hue " << h << " (bits " << std::hex << bits_of(h) << std::dec << "), offset " << off
                      << ": general band " << general << ", sector band " << sector;
    }
  };
  const uint32_t six = bits_of(6.0f);
  for (int k = 0; k <= 6; ++k) {
    const uint32_t centre = bits_of(float(k));
    for (uint32_t b = centre > (1u << 16) ? centre - (1u << 16) : 0; b <= std::min(centre + (1u << 16), six); ++b)
      compare(float_of(b));
  }
  for (uint32_t b = 0; b <= six; b += 997) compare(float_of(b));
  for (float h : {-0.0f, std::nextafter(0.0f, 1.0f), std::nextafter(6.0f, 0.0f), 6.0f,
                  std::numeric_limits<float>::quiet_NaN()})
    compare(h);
  EXPECT_EQ(differing, 0) << "of " << compared;

  const float big = std::numeric_limits<float>::max(), tiny = std::numeric_limits<float>::denorm_min();
  const float values[] = {0.0f, tiny, -tiny, 1e-30f, 0.3f, 1.0f, 1.0f + 1e-7f, 469.8f, big, -big, -1.0f};
  for (float r : values)
    for (float g : values)
      for (float b : values) {
        const float p[3] = {r, g, b}, h = hexcone_hue(p);
        EXPECT_TRUE(h != h || (h >= 0.0f && h <= 6.0f)) << r << ' ' << g << ' ' << b << ": hue " << h;
      }
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
    TextureOptionsStruct o = frame_roads::random_record(rng, 8, 8, 4);
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

      ColorGroupOptions one = g[0], two = g[0];
      one.zoneBoth = two.zoneBoth = 1;
      one.zoneMode = 1, two.zoneMode = 2;
      float a[3] = {3 * u(rng), 3 * u(rng), 3 * u(rng)}, b[3] = {a[0], a[1], a[2]};
      film::saturation_family(a, hexcone_hue(a), one);
      film::saturation_family(b, hexcone_hue(b), two);
      for (int c = 0; c < 3; ++c) ASSERT_EQ(a[c], b[c]) << "zone modes, trial " << trial;
    }
  }
}

// The toe and the shoulder bend by log(1 + k x) / log(1 + k) with k a
// multiple of the channel's value: where 1 + k rounds to 1 that was 0 / 0.
// For each bend, the value just below the first whose 1 + k is above 1, that
// one, and the next: a finite code value, and below the edge the straight
// line that the bend tends to as k goes to 0.
TEST(FilmTone, ToeAndShoulderOfValuesAtTheRoundingEdge) {
  const float sp = 0.391006843f, hp = 0.488758553f, g = 0.4f;
  const struct {
    const char* what;
    float scale;  // k = scale * |value|
    bool shoulder, negative;
    float v;
  } bends[] = {{"toe up", 5.4365635f, false, false, 0.2f},
               {"toe down", 5.4365635f, false, true, 0.2f},
               {"shoulder up", 2.7182817f, true, false, 0.8f},
               {"shoulder down", 5.4365635f, true, true, 0.8f}};
  for (const auto& b : bends) {
    float edge = 6e-8f / b.scale;  // then the least value with 1 + k above 1
    while (1.0f + b.scale * std::nextafter(edge, 0.0f) > 1.0f) edge = std::nextafter(edge, 0.0f);
    while (!(1.0f + b.scale * edge > 1.0f)) edge = std::nextafter(edge, 1.0f);
    const float straight = film::tone_curve(b.v, sp, hp, g, 0.0f, 0.0f, 0.0f);
    for (const float x : {1e-9f, std::nextafter(edge, 0.0f), edge, std::nextafter(edge, 1.0f)}) {
      const float value = b.negative ? -x : x;
      const float out = film::tone_curve(b.v, sp, hp, g, 0.0f, b.shoulder ? 0.0f : value, b.shoulder ? value : 0.0f);
      ASSERT_TRUE(std::isfinite(out)) << b.what << " at " << value;
      EXPECT_NEAR(out, straight, 0.5f) << b.what << " at " << value;
      if (x < edge) {
        EXPECT_NEAR(out, straight, 1e-6f) << b.what << " at " << value;
      }
    }
  }
}

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
  s.toneScale = film::tone_scale_for(s.printer.displayScale);
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

// The negative's tone curves can leave the working range: a shoulder lifts
// code values past 1, a toe drops them below 0, and either decodes outside
// [0, 469.8]. The curve's result is held there before the bleach, the
// encoding and the gamut matrices take it, so two pixels whose red lies
// past the shoulder (or the toe) give the same negative. Each pair is
// checked to decode to two values out of range that the bleach and the
// encoding would tell apart, so the cases stay sharp.
TEST(FilmNegative, ToneCurvesPastShoulderAndToeAreHeldBeforeTheBleach) {
  film::NegativeCorrectorArgs corrector{};  // every family off
  film::BleachArgs bleach{0.3f, {0.8f, 0.9f, 1.0f}, {1.1f, 1.0f, 0.9f}};
  film::NegativeSettings s{};
  s.curve.shadowPivot = 0.3f;
  s.curve.highlightPivot = 0.7f;
  for (int c = 0; c < 3; ++c) s.curve.shadow[c] = -0.6f, s.curve.highlight[c] = 0.1f;
  s.toneCurvesOn = true;
  s.densityScale = 1.0f;
  s.corrector = &corrector;
  const film::FamilyGains gains = film::family_gains(corrector.chroma, corrector.vibrance);
  s.gains = &gains;
  s.density = {0.4f, {0.1f, 0.1f, 0.1f}, 1.0f, 1.5f, {0.9f, 0.9f, 0.9f}};
  s.blendComplement = 1.0f;
  const auto curve = [&](float linear) {
    return film::logc4_decode(film::tone_curve(film::logc4_encode(linear), s.curve.shadowPivot,
                                               s.curve.highlightPivot, s.density.greyMid, 0.0f, s.curve.shadow[0],
                                               s.curve.highlight[0]));
  };
  const struct {
    const char* where;
    float red[2];  // two linear reds the curve takes out of range
  } pairs[] = {{"past the shoulder", {300.0f, 469.8f}}, {"below the toe", {0.0f, 0.05f}}};
  const struct {
    const char* route;
    bool bleach, printOff;
    int gamut;
  } routes[] = {{"the bleach, the print next", true, false, 11},
                {"the bleach, output in LogC4", true, true, 47},
                {"the bleach, output in ACEScct", true, true, 7},
                {"the gamut matrices to ACEScct", false, true, 7}};
  const float developed[3] = {1.0f, 1.0f, 1.0f};
  for (const auto& pair : pairs) {
    float unheld[2][3];
    for (int k = 0; k < 2; ++k) {
      unheld[k][0] = curve(pair.red[k]);
      unheld[k][1] = curve(0.3f), unheld[k][2] = curve(0.2f);
      EXPECT_TRUE(unheld[k][0] < 0.0f || unheld[k][0] > film::kHoldMax) << pair.where << ": " << unheld[k][0];
    }
    float code[2][3], encoded[2][3];
    for (int k = 0; k < 2; ++k) {
      film::bleach_overlay(unheld[k], bleach.gain, bleach.exponent, code[k]);
      film::encode_from_working(unheld[k], 7, encoded[k]);
    }
    float bleachSees = 0.0f, encodingSees = 0.0f;
    for (int c = 0; c < 3; ++c) {
      bleachSees = std::max(bleachSees, std::fabs(code[1][c] - code[0][c]));
      encodingSees = std::max(encodingSees, std::fabs(encoded[1][c] - encoded[0][c]));
    }
    EXPECT_GT(bleachSees, 1e-4f) << pair.where << ": the bleach sees no difference";
    EXPECT_GT(encodingSees, 1e-4f) << pair.where << ": the encoding sees no difference";

    for (const auto& route : routes) {
      s.bleach = route.bleach ? &bleach : nullptr;
      s.printOff = route.printOff;
      s.inputGamut = route.gamut;
      float out[2][3];
      for (int k = 0; k < 2; ++k) {
        const float exposure[3] = {pair.red[k], 0.3f, 0.2f};
        film::negative_output_pixel(developed, exposure, s, out[k]);
      }
      EXPECT_TRUE(out[0][0] == out[1][0] && out[0][1] == out[1][1] && out[0][2] == out[1][2])
          << "the tone curve's result " << pair.where << " reaches " << route.route << " unheld: red "
          << pair.red[0] << " and " << pair.red[1] << " decode to " << unheld[0][0] << " and " << unheld[1][0]
          << ", both held to " << (unheld[0][0] < 0.0f ? 0.0f : film::kHoldMax) << ", yet give (" << out[0][0]
          << ", " << out[0][1] << ", " << out[0][2] << ") and (" << out[1][0] << ", " << out[1][1] << ", "
          << out[1][2] << ")";
    }
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

// The print takes its input and its blend partner as they come (a
// negative's shadows lie below 0) and hold them only after cast and tint;
// print saturation is not held. So each result is the print chain run on
// exactly those values, for both print kernels; a hold anywhere else would
// change each of these pixels.
TEST(FilmPrint, HeldOnlyAfterCastAndTint) {
  film::PrintCorrectorArgs corrector{};
  film::BleachArgs bleach{0.3f, {0.8f, 0.9f, 1.0f}, {1.1f, 1.0f, 0.9f}};
  film::PrintSettings s{};
  s.corrector = &corrector;
  const film::FamilyGains gains = film::family_gains(corrector.chroma, corrector.vibrance);
  s.gains = &gains;
  s.printer = {0.4f, {0.0176f, 0.0176f, 0.0176f}, 1.0f / 0.71f, 2.0f, 0, 100.0f, {1.818f, 1.818f, 1.818f}};
  s.toneScale = film::tone_scale_for(s.printer.displayScale);
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
               {"blend partner below 0", grey, cyan, false, 1.0f, 0.0f}};
  for (const film::BleachArgs* b : {(const film::BleachArgs*)nullptr, (const film::BleachArgs*)&bleach}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (b ? ", bleach kernel" : ", print-gamma kernel"));
      s.bleach = b;
      s.cast = film::cast_tint_for(c.cast, 35, 0.0f, 0.0f);
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

TEST(FilmDevelop, DiffusionCodeRoundTrip) {
  for (float d = 0.5f; d < 4e5f; d *= 2.3f)
    EXPECT_NEAR(film::code_to_developer(film::developer_to_code(d), 0.0f), d, 2e-4f * d);
}

TEST(FilmDevelop, PlanQuantities) {
  const film::DevelopPlan p = film::develop_plan(1920, 1080, 1920 * 0.00041666668f * 1080, 100.0f, 3, 0.2f, true,
                                                 0.5f, 0.0f);
  EXPECT_NEAR(p.area, 2400.0f, 0.01f);
  // A record without the area factor still gets the area of its frame.
  EXPECT_NEAR(film::develop_plan(60, 40, 0.0f, 100.0f, 3, 1, true, 0.5f, 0).area, 2400.0f, 0.01f);
  // Agitation values no control produces still give a period of at least 1.
  for (int a : {-3, 0, 13, 1000}) EXPECT_GE(film::develop_plan(8, 8, 64 / 2400.0f, 100.0f, a, 1, false, 0, 0).period, 1);
}

}  // namespace
