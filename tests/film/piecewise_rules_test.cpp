// Both sides of every knee, threshold and switch of the per-pixel rules,
// against values worked out in double from the rules as the pipeline states
// them (not from its code): exposure and highlight/shadow roll-off, the
// luminance compression and the Lab knees, the input clamp and the ADX fit,
// the development clamps, cast temperature, hue sectors and bands, zones,
// tone curve, density range and floor, bleach overlay, printer curves, the
// display tone scale, the blur sigma and the print white by stock.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "pipeline/film_develop.cuh"
#include "pipeline/film_negative.cuh"
#include "pipeline/film_print.cuh"
#include "pipeline/gamut_lab.cuh"
#include "pipeline/pixel_kernels.cuh"
#include "pipeline/texture_kernels.cuh"

namespace {

double clamp(double x, double lo, double hi) { return x != x ? lo : std::min(std::max(x, lo), hi); }

// One rule sampled on both sides of each of its knees: `kernel` is what the
// pipeline runs, `expected` the stated rule in double; each sample names the
// branch it must take, so a failure says which side went wrong.
struct Piecewise {
  const char* rule;
  std::function<float(float)> kernel;
  std::function<double(double)> expected;
  std::vector<std::pair<float, const char*>> samples;  // input, branch it falls in
  double tolerance;
};

void check(const std::vector<Piecewise>& rules) {
  for (const Piecewise& p : rules)
    for (const auto& s : p.samples) {
      const double want = p.expected(s.first);
      EXPECT_NEAR(p.kernel(s.first), want, p.tolerance * (1.0 + std::fabs(want)))
          << p.rule << " at " << s.first << " (" << s.second << ")";
    }
}

// ------------------------------------------------------------- oracles

// The rational roll-off: equals v at t with slope 1 and approaches L.
double rollOff(double v, double t, double L) { return t + (L - t) * (1 - 1 / (1 + (v - t) / (L - t))); }

double highlightsShadows(double v, float c, float k, float s, float q) {
  if (c != 1.0f && v > c) v = rollOff(v, c, k);
  const double t1 = 1 - double(0.02f) * k;
  if (k != 1.0f && v > t1) v = rollOff(v, t1, 1.0);
  double w = 1 - v;
  const double u = 1 - double(0.1f) * s, m = 1 - double(q);
  if (u != 1.0 && w > u) w = rollOff(w, u, m);
  const double t2 = 1 + double(0.02f) * q;
  if (m != 1.0 && w > t2) w = rollOff(w, t2, 1.0);
  return 1 - w;
}

// Tone curve on a LogC4 code value: midtone bump, toe, shoulder.
double toneCurve(double v, double sp, double hp, double g, double m, double s, double hh) {
  const double lo = 0.5 * sp - (1 - hp) / 4, hi = sp + (1 + hp) / 2;
  if (v >= lo) {
    const double u = (v - lo) / (hi - lo), w = u <= g ? u / (2 * g) : (u - g) / (2 - 2 * g) + 0.5;
    v = (u + 0.2 * m * (1 + std::sin(2 * M_PI * (w - 0.25)))) * (hi - lo) + lo;
  }
  if (v < sp) {
    const double t = v / sp;
    if (s > 0 && v > 0) {
      const double k = 5.4365635 * s, qq = 2 * t - std::log(1 + k * t) / std::log(1 + k);
      v = sp * (qq + s * (1 - qq));
    } else if (s < 0) {
      const double T = t + 2 * s * (1 - t), k = -5.4365635 * s;
      v = T >= 0 ? sp * std::log(1 + k * T) / std::log(1 + k) : sp * T;
    }
  }
  if (v > hp) {
    const double t = (v - hp) / (1 - hp);
    if (hh > 0) {
      const double T = t * (1 + 2 * hh), k = 2.7182817 * hh;
      v = hp + (1 - hp) * (2 * T - std::log(1 + k * T) / std::log(1 + k));
    } else if (hh < 0) {
      const double k = -5.4365635 * hh;
      v = hp + (1 - hp) * (1 + hh) * std::log(1 + k * t) / std::log(1 + k);
    }
  }
  return v;
}

double logC4(double x) { return x <= 0 ? 0.09286413 : (std::log2(2231.8264 * x + 64) - 6) * 0.06479542 + 0.09286413; }

}  // namespace

TEST(PiecewiseRules, ExposureAndRollOff) {
  std::vector<Piecewise> rules = {
    {"multiplicative exposure, held in [0, 469.8]", [](float v) { return exposure_linear_value(v, 8.0f); },
      [](double v) { return clamp(v * 8.0f, 0, 469.8f); },
      {{58.7f, "below the ceiling"}, {58.8f, "above the ceiling"}, {-0.01f, "below 0"}, {NAN, "NaN"}}, 1e-7},
    {"multiplicative exposure by 0", [](float v) { return exposure_linear_value(v, 0.0f); },
      [](double v) { return clamp(v * 0.0, 0, 469.8f); }, {{INFINITY, "infinity times 0"}}, 0},
    {"additive exposure, held in [0, 1]", [](float v) { return exposure_log_value(v, 0.2f); },
      [](double v) { return clamp(v + 0.2f, 0, 1); },
      {{0.79f, "below 1"}, {0.81f, "above 1"}, {-0.19f, "above 0"}, {-0.21f, "below 0"}, {NAN, "NaN"}}, 1e-7},
  };
  // Each step's knee from both sides, each step alone and all together;
  // a setting of exactly 1.0, 1.0, 0 or 0 switches its step off.
  const struct { float c, k, s, q; } settings[] = {
    {0.8f, 1.0f, 0.0f, 0.0f}, {1.0f, 3.0f, 0.0f, 0.0f}, {1.0f, 1.0f, 2.0f, 0.0f}, {1.0f, 1.0f, 0.0f, -0.9f},
    {0.7f, 4.0f, 3.0f, -0.6f}, {1.0f, 1.0f, 0.0f, 0.0f}, {0.9f, 2.0f, 1.5f, 0.3f}};
  for (const auto& p : settings) {
    const float knees[] = {p.c, 1.0f - 0.02f * p.k, 0.1f * p.s, -0.02f * p.q};  // v at each step's knee
    std::vector<std::pair<float, const char*>> samples;
    for (float knee : knees)
      for (float d : {-0.03f, 0.03f}) samples.push_back({knee + d, d < 0 ? "below a knee" : "above a knee"});
    rules.push_back({"highlight and shadow roll-off",
                     [p](float v) { return highlights_shadows_value(v, p.c, p.k, p.s, p.q); },
                     [p](double v) { return highlightsShadows(v, p.c, p.k, p.s, p.q); }, samples, 2e-6});
  }
  check(rules);
}

TEST(PiecewiseRules, LuminanceCompressionAndLabKnees) {
  // Factors Y' / Y: black for no (or NaN) luminance, 1 up to 0.18, the curve above.
  const auto factor = [](std::function<double(double)> curve) {
    return [=](double Y) { return Y <= 0 || Y != Y ? 0.0 : Y <= 0.18 ? 1.0 : curve(Y) / Y; };
  };
  const auto compress = factor([](double Y) { return 0.1835167 * std::log(1 + 284.3578 * Y) - 0.5457689; });
  const auto expand = factor([](double Y) { return (std::exp((Y + 0.5457689) * 5.449095) - 1) * 0.0035166964; });
  const std::vector<std::pair<float, const char*>> knee = {
      {-0.01f, "black"}, {0.0f, "black"},  {NAN, "black"},  {0.13f, "identity"},
      {0.17f, "identity"}, {0.19f, "curve"}, {0.6f, "curve"}};
  // The expansion stops where it reaches the Lab light limit, 1e30: past
  // Y = 15.7 e^x left the float range and the light was inf.
  const double limitExponent = std::log(1e30 / 0.0035166964 + 1);
  const auto expandHeld = factor([=](double Y) {
    return (std::exp(std::min((Y + 0.5457689) * 5.449095, limitExponent)) - 1) * 0.0035166964;
  });
  const float edge = float(limitExponent / 5.449095 - 0.5457689);
  const std::vector<std::pair<float, const char*>> limit = {
      {13.0f, "curve"}, {std::nextafter(edge, 0.0f), "curve"}, {edge, "limit"},
      {std::nextafter(edge, 20.0f), "limit"}, {15.8f, "limit"}, {1e30f, "limit"}};
  check({
    {"compression factor", compress_factor, compress, knee, 2e-6},
    {"expansion factor", expand_factor, expand, knee, 2e-6},
    {"expansion factor at the light limit", expand_factor, expandHeld, limit, 3e-5},
    {"Lab f", lab_f, [](double t) { return t >= 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116; },
      {{0.004f, "linear"}, {0.013f, "cube root"}, {-0.2f, "linear"}}, 2e-6},
    {"inverse Lab f", lab_f_inverse,
      [](double u) { return u > 6.0 / 29 ? u * u * u : (u - 16.0 / 116) * 3 * (6.0 / 29) * (6.0 / 29); },
      {{0.15f, "linear"}, {0.27f, "cube"}}, 2e-6},
  });
}

// Input decoding: code values are clamped to [0, 469.8] for the four
// scene-linear inputs and to [0, 1] for every other (NaN to 0), and written
// back; the ADX density fit has four segments.
TEST(PiecewiseRules, InputClampByInputAndAdxSegments) {
  for (int gamut = 0; gamut < 49; ++gamut) {
    float px[4] = {1.5f, -0.5f, NAN, 0.25f}, lin[3];
    input_to_awg4_linear(px, gamut, lin);
    const bool linear = gamut == 0 || gamut == 4 || gamut == 5 || gamut == 30;
    EXPECT_EQ(px[0], linear ? 1.5f : 1.0f) << "input " << gamut << ": above the range";
    EXPECT_EQ(px[1] + px[2], 0.0f) << "input " << gamut << ": below the range and NaN";
    for (float v : lin) EXPECT_TRUE(v >= 0.0f && v <= 469.8f) << "input " << gamut << ": " << v;
  }
  const auto adx = [](double cid) {
    if (cid < 0) return 0.04911331 * cid + 0.00130127;
    if (cid < 0.01) return std::exp(37.74261 * cid - 6.644415);
    if (cid < 0.6) return std::exp(2.302585 * std::sqrt(6.569476 * cid - 0.03258072) - 6.685996);
    return std::exp(std::min(4.186518 * cid - 4.645361, 86.4));
  };
  check({{"ADX density to exposure", colour::adx_density_to_exposure, adx,
          {{-0.05f, "below 0"}, {0.005f, "below 0.01"}, {0.05f, "below 0.6"}, {0.3f, "below 0.6"},
           {0.7f, "above 0.6"}, {25.0f, "exponent capped"}},
          2e-5}});
}

TEST(PiecewiseRules, DevelopmentClamps) {
  // One step from developed 2, silver 1 and developer 2000 at rate 1e-5:
  // r = 0.02 and the use u = r D^2 E = 0.08 E, held in [0, 880.037292];
  // the developer left is never below 0, the silver left has no floor.
  const auto step = [](float developerUse, bool silverLeft) {
    return [=](float exposure) {
      float developed[3] = {2.0f, 2.0f, 2.0f}, e[3] = {exposure, 0.0f, 0.0f}, silver[3] = {1.0f, 1.0f, 1.0f};
      float developer = 2000.0f;
      film::develop_pixel(developed, e, silver, developer, 1e-5f, developerUse, 2.0f);
      return silverLeft ? silver[0] : developer;
    };
  };
  const auto u = [](double e) { return clamp(double(1e-5f) * 2000 * 4 * e, 0, 880.037292); };
  check({
    {"development use: developer left", step(2.0f, false), [&](double e) { return 2000 - 2 * u(e); },
      {{-5.0f, "use below 0"}, {900.0f, "use within range"}, {24000.0f, "use held at 880.04"}}, 1e-6},
    {"development use: developer never below 0", step(3.0f, false),
      [&](double e) { return std::max(0.0, 2000 - 3 * u(e)); }, {{900.0f, "above 0"}, {24000.0f, "held at 0"}}, 1e-6},
    {"development use: silver left, no floor", step(2.0f, true), [&](double e) { return 1 - 2 * u(e); },
      {{0.5f, "above 0"}, {24000.0f, "below 0"}}, 1e-6},
    {"developer to code", film::developer_to_code,
      [](double d) {
        const double x = d * 0.0011363155;
        return (std::log2(x <= 469.8 ? 2231.826 * x + 64 : 1048576.0) - 6) * 0.0647954 + 0.0928641;
      },
      {{100.0f, "LogC4"}, {469.7f * 880.037292f, "LogC4"}, {469.9f * 880.037292f, "held at code 1.0"}, {NAN, "NaN"}},
      2e-6},
    {"diffusion sharpen, held in [0, 1]", [](float d) { return film::diffusion_sharpen(d, 0.2f, 2.0f); },
      [](double d) { return clamp((d - 0.2f) * 2, 0, 1); },
      {{0.1f, "below 0"}, {0.4f, "within"}, {0.8f, "above 1"}, {NAN, "NaN"}}, 1e-7},
    {"code to developer", [](float v) { return film::code_to_developer(v, 0.1f); },
      [](double v) {
        v += 0.1f;
        if (v > 1 || v != v) return 880.037292;
        return (std::exp2((v - 0.0928641) * 14 * 1.1023707 + 6) - 64) * 880.037292 * 0.00044806354;
      },
      {{0.85f, "decoded"}, {0.95f, "above 1: held"}, {NAN, "NaN"}}, 2e-5},
  });
  // The agitation period: floor(12 / agitate), never below 1.
  for (int a = 1; a <= 5; ++a)
    EXPECT_EQ(film::develop_plan(8, 8, 64 / 2400.0f, 100.0f, a, 1, false, 0, 0).period, 12 / a) << "agitate " << a;
}

// The cast switches at colour temperature index 66: 6,505 to 6,603 K (index
// 66) take the warm branch, 6,404 to 6,503 K (index 65) the other.
TEST(PiecewiseRules, CastTemperatureBranches) {
  for (int t : {30, 40, 65, 66, 67, 100, 140}) {
    double f[3];
    if (t >= 66) {
      f[0] = clamp(329.69873 * std::pow(t - 60.0, -0.13320476), 0, 255);
      f[1] = clamp(288.12216 * std::pow(t - 60.0, -0.07551485), 0, 255);
      f[2] = 255;
    } else {
      f[0] = 255;
      f[1] = clamp(99.4708 * std::log(t) - 161.11957, 0, 255);
      f[2] = clamp(138.51773 * std::log(t - 10.0) - 305.0448, 0, 255);
    }
    float got[3];
    film::cast_factors(t, got);
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(got[c], f[c], 2e-3) << "cast index " << t << " (" << (t == 66 ? 6505 : t * 100 - 96) << " to "
                                      << t * 100 + 3 << " K), channel " << c << ": the "
                                      << (t >= 66 ? "t >= 66" : "t < 66") << " branch";
  }
  // A pixel without luminance takes no cast (only the hold); one with a
  // little takes the 3,000 K cast, which lowers blue against green.
  float dark[3] = {-0.2f, 0.001f, 0.1f}, lit[3] = {0.0f, 0.001f, 0.1f};
  film::cast_and_tint(dark, true, 30, 0.0f, 0.0f);
  film::cast_and_tint(lit, true, 30, 0.0f, 0.0f);
  EXPECT_NEAR(dark[2] / dark[1], 100.0f, 1e-3f) << "luminance below 0: no cast";
  EXPECT_LT(lit[2] / lit[1], 70.0f) << "luminance above 0: the cast";
}

// Hexcone hue of each largest channel, the wrap below 0 and the pixels
// without hue; and which channel the hue bands put at each centre.
TEST(PiecewiseRules, HueSectorsAndBands) {
  const struct { float r, g, b, hue; const char* sector; } cases[] = {
    {1.0f, 0.5f, 0.0f, 0.5f, "red largest"},    {1.0f, 0.0f, 0.5f, 5.5f, "red largest, wrapped"},
    {0.5f, 1.0f, 0.0f, 1.5f, "green largest"}, {0.0f, 1.0f, 0.5f, 2.5f, "green largest"},
    {0.0f, 0.5f, 1.0f, 3.5f, "blue largest"},  {0.5f, 0.0f, 1.0f, 4.5f, "blue largest"},
    {1.0f, 1.0f, 0.0f, 1.0f, "red and green"},  {0.0f, 1.0f, 1.0f, 3.0f, "green and blue"},
    {0.3f, 0.3f, 0.3f, 0.0f, "grey"},          {-0.1f, -0.5f, -0.2f, 0.0f, "nothing above 0"}};
  for (const auto& c : cases) {
    const float p[3] = {c.r, c.g, c.b};
    EXPECT_FLOAT_EQ(film::hexcone_hue(p), c.hue) << c.sector;
  }
  // A band is 1 at its centre and reaches `width` sextants to either side.
  for (float h : {0.0f, 0.7f, 1.0f, 1.3f, 5.9f}) {
    const double d = std::fmod(h + 2.0, 6.0);  // the band put on red
    EXPECT_NEAR(film::hue_band(h, film::kOffRed, 1.0f), clamp(1 - std::fabs(d - 2), 0, 1), 1e-6) << "hue " << h;
  }
}

// Each of a family's six values acts on its own hue and on no hue a sextant
// or more away: red 0, yellow 1, green 2, cyan 3, blue 4, magenta 5.
TEST(PiecewiseRules, EachSectorValueActsOnItsOwnHue) {
  const float colours[6][3] = {{0.8f, 0.2f, 0.2f}, {0.8f, 0.8f, 0.2f}, {0.2f, 0.8f, 0.2f},
                               {0.2f, 0.8f, 0.8f}, {0.2f, 0.2f, 0.8f}, {0.8f, 0.2f, 0.8f}};
  using G = ColorGroupOptions;
  float G::*const sector[6] = {&G::redScaled, &G::yellowScaled, &G::greenScaled,
                               &G::cyanScaled, &G::blueScaled, &G::magentaScaled};
  const struct {
    const char* name;
    void (*apply)(float*, float, const ColorGroupOptions&);
    float neutral, active, strength;
  } families[] = {{"saturation", film::saturation_family, 1.0f, 2.0f, 1.0f},
                  {"hue", film::hue_family, 0.0f, 0.5f, 0.5f},
                  {"chroma", film::chroma_family, 0.0f, 0.5f, 1.0f},
                  {"vibrance", film::vibrance_family, 0.0f, 0.5f, 0.0f}};
  for (const auto& f : families)
    for (int s = 0; s < 6; ++s) {
      G g{};
      g.groupOn = 1;
      g.strengthScaled = f.strength;
      for (auto field : sector) g.*field = f.neutral;
      g.*sector[s] = f.active;
      for (int hue = 0; hue < 6; ++hue) {
        float p[3] = {colours[hue][0], colours[hue][1], colours[hue][2]};
        f.apply(p, film::hexcone_hue(p), g);
        float change = 0.0f;
        for (int c = 0; c < 3; ++c) change += std::fabs(p[c] - colours[hue][c]);
        EXPECT_EQ(change > 1e-3f, hue == s) << f.name << " value of sector " << s << " on hue " << hue
                                            << " (change " << change << ")";
      }
    }
}

// The intensity zone of the Hue, Chroma and Vibrance families and the refine
// slots acts only with zoneBoth set and zoneMode 1 or 2, pulling the result
// towards its mean.
TEST(PiecewiseRules, ZoneActsForModesOneAndTwoWithBothBands) {
  const float px[3] = {0.6f, 0.3f, 0.1f};
  for (int mode = 0; mode <= 3; ++mode)
    for (bool both : {false, true}) {
      float v[3] = {px[0], px[1], px[2]};
      film::pull_zone(v, mode, both, 0.5f, 1.0f, 1.5f, 2.0f, false);
      const double y = (px[0] + px[1] + px[2]) / 3.0;
      const double f = (1 + std::pow(1 / (1 + y), 1.0) * (0.5 - 1)) * (1 + std::pow(y / (1 + y), 2.0) * (1.5 - 1));
      const bool acts = both && (mode == 1 || mode == 2);
      for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(v[c], acts ? y + f * (px[c] - y) : px[c], 2e-6)
          << "zone mode " << mode << (both ? " with" : " without") << " both bands, channel " << c;
    }
}

// The Saturation family's zone roads: none for modes other than 1 and 2;
// the low road for mode 1, or 2 with both bands (custom term times wL, then
// the low band and, with both, the high band); the high road for mode 2
// alone (the six values times wH when the custom band is off, else the
// custom term, then the high band). Worked in double on the balanced
// components as the rule states them.
TEST(PiecewiseRules, SaturationZoneRoads) {
  const double rows[3][3] = {{0.02125437, 0.86768055, 0.02788039},
                             {0.40008479, 0.70538574, -0.03500678},
                             {0.02630682, -0.05117194, 0.61911416}};
  const double factor[3] = {1.09073019, 0.93417782, 1.68279064};
  const double back[3][3] = {{-2.0953469, 2.5949328, 0.24108529},
                             {1.1977828, -0.05986257, -0.05732423},
                             {0.18803446, -0.11520932, 1.600229}};
  const auto window = [](double d, double w) {
    d = std::fmod(std::fmod(d, 6.0) + 6.0, 6.0);
    const double u = clamp(1 - std::fabs(d - 2) / w, 0, 1);
    return 3 * u * u - 2 * u * u * u;
  };
  const float px[3] = {0.5f, 0.3f, 0.15f};
  const double h = film::hexcone_hue(px);
  for (int mode = 0; mode <= 3; ++mode)
    for (bool both : {false, true})
      for (bool custom : {false, true}) {
        ColorGroupOptions g{};
        g.groupOn = 1;
        g.strengthScaled = 1.2f;
        g.redScaled = 1.5f, g.yellowScaled = 0.7f;
        g.magentaScaled = g.blueScaled = g.cyanScaled = g.greenScaled = 1.0f;
        g.customOn = custom;
        g.customHueSextant = 1.5f, g.customWidthSpan = 0.8f, g.customStrengthTerm = 1.4f;
        g.zoneMode = mode, g.zoneBoth = both;
        g.zoneLowScaled = 0.6f, g.zoneLowRangeGain = 1.0f, g.zoneHighScaled = 1.5f, g.zoneHighRangeGain = 2.0f;

        double x[3], I = 0;
        for (int r = 0; r < 3; ++r) {
          x[r] = factor[r] * (rows[r][0] * px[0] + rows[r][1] * px[1] + rows[r][2] * px[2]);
          I += x[r] / 3;
        }
        const bool zones = mode == 1 || mode == 2, high = mode == 2 && !both, low = zones && !high;
        const double wL = std::pow(1 / (1 + I), 1.0), wH = std::pow(I / (1 + I), 2.0);
        const double six = high && !custom ? wH : 1.0;
        const double prim = window(h + 2, 1) * 0.5, sec = window(h + 1, 1) * -0.3;
        const double term = custom ? window(h + 1.5, 0.8) * 0.4 * (low ? wL : high ? wH : 1.0) : 0.0;
        for (double& c : x) {
          c = clamp(I + (c - I) * 1.2f, 0, 469.8);
          c += (c - I) * six * prim;
        }
        for (double& c : x) {
          c += (c - I) * six * sec;
          c += term * (c - I);
          if (low) c += wL * (c - I) * (0.6f - 1);
          if ((low && both) || high) c += wH * (c - I) * (1.5f - 1);
        }
        float got[3] = {px[0], px[1], px[2]};
        film::saturation_family(got, float(h), g);
        for (int r = 0; r < 3; ++r) {
          double want = 0;
          for (int k = 0; k < 3; ++k) want += back[r][k] * x[k] / factor[k];
          EXPECT_NEAR(got[r], clamp(want, 0, 469.8), 1e-4)
              << "zone mode " << mode << (both ? " with" : " without") << " both bands, custom band "
              << (custom ? "on" : "off") << ", channel " << r;
        }
      }
}

TEST(PiecewiseRules, ToneCurveAndDensity) {
  // Toe, midtone and shoulder from both sides of lo, sp and hp, with every
  // sign of the toe and shoulder values (T below 0 too; all 0 is the
  // identity, a shoulder of -1 holds at hp).
  const float sp = 0.4f, hp = 0.6f, g = 0.45f;
  const double lo = 0.5 * sp - (1 - hp) / 4;
  const struct { float m, s, hh; } settings[] = {
      {0.0f, 0.3f, 0.4f}, {0.2f, -0.3f, -0.5f}, {-0.1f, -0.8f, 0.0f}, {0.0f, 0.0f, -1.0f}, {0.0f, 0.0f, 0.0f}};
  std::vector<Piecewise> rules;
  for (const auto& p : settings)
    rules.push_back({"tone curve", [=](float v) { return film::tone_curve(v, sp, hp, g, p.m, p.s, p.hh); },
                     [=](double v) { return toneCurve(v, sp, hp, g, p.m, p.s, p.hh); },
                     {{float(lo) - 0.02f, "below the midtone range"}, {float(lo) + 0.02f, "in the midtone range"},
                      {0.05f, "deep toe"}, {sp - 0.02f, "toe"}, {sp + 0.02f, "between"}, {hp - 0.02f, "between"},
                      {hp + 0.02f, "shoulder"}, {0.95f, "shoulder"}},
                     2e-5});
  // Density: the filmic curve with tone curves on and x above 0, else
  // 1 / (1 + x); held in [floor, 1].
  const auto density = [](bool filmic, float floor) {
    return [=](double x) {
      const double d = filmic && x > 0 ? 1 / (1 + std::pow(x * 1.5f, 2.0f)) : 1 / (1 + x);  // NaN stays
      return clamp(0.9f + (0.07f - 0.9f) * d, floor, 1);
    };
  };
  for (bool filmic : {false, true})
    rules.push_back({filmic ? "density, filmic" : "density, plain",
                     [=](float x) { return film::density_range(x, filmic, 1.5f, 2.0f, 0.07f, 0.9f, 0.0f); },
                     density(filmic, 0.0f),
                     {{-0.5f, "x below 0"}, {0.0f, "x 0: dmin"}, {0.4f, "x above 0"}, {1e6f, "large x: dmax"},
                      {NAN, "NaN"}},
                     2e-6});
  rules.push_back({"density held at 1",
                   [](float x) { return film::density_range(x, true, 1.0f, 2.0f, 0.0f, 2.0f, 0.0f); },
                   [](double x) { return clamp(2.0 - 2.0 / (1 + x * x), 0, 1); },
                   {{0.5f, "below 1"}, {1e3f, "above 1"}},
                   2e-6});
  check(rules);
  // The density floor is LogC4 black for the LogC4 input only.
  for (int gamut : {0, 46, 47, 48}) {
    float x[3] = {0.0f, 0.0f, 0.0f}, out[3];
    const film::DensityArgs d{0.45f, {0.01f, 0.01f, 0.01f}, 1.0f, 1.0f, {0.01f, 0.01f, 0.01f}};
    film::negative_tail(x, film::ToneCurveArgs{}, false, nullptr, gamut, false, d, out);
    EXPECT_FLOAT_EQ(out[0], gamut == 47 ? 0.0929f : 0.01f) << "density floor for input " << gamut;
  }
}

// The bleach overlay: screen where the pixel side's code-value luminance is
// at least that of linear 0.18, multiply below (a strong blue with dark red
// and green, whose blue weight is negative).
TEST(PiecewiseRules, BleachOverlayThreshold) {
  const float gain[3] = {1.2f, 1.0f, 0.8f}, expo[3] = {0.9f, 1.0f, 1.1f};
  const float pixels[][3] = {{0.0f, 0.0f, 0.15f}, {0.0f, 0.0f, 0.2f}, {0.3f, 0.3f, 0.3f}, {0.0f, 0.0f, 2.0f}};
  for (const auto& x : pixels) {
    const double Y = 0.2545242 * x[0] + 0.7814777 * x[1] - 0.0360019 * x[2];
    double P[3], Q[3];
    for (int c = 0; c < 3; ++c) {
      Q[c] = logC4(clamp(gain[c] * std::pow(2.5 * std::max(Y, 0.038), expo[c]), 0.038, 469.8));
      P[c] = logC4(std::min(5 * std::max(0.9 * x[c] + double(1.0f - 0.9f) * Y, 0.038), 469.8));
    }
    const bool light = 0.2545242 * P[0] + 0.7814777 * P[1] - 0.0360019 * P[2] >= 0.2784;
    float out[3];
    film::bleach_overlay(x, gain, expo, out);
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(out[c], light ? 1 - 2 * (1 - P[c]) * (1 - Q[c]) : 2 * P[c] * Q[c], 2e-5)
        << "pixel " << x[0] << ", " << x[1] << ", " << x[2] << " channel " << c << ": "
        << (light ? "screen" : "multiply");
  }
}

TEST(PiecewiseRules, PrinterCurvesAndDisplayScale) {
  check({
    {"display printer points", [](float x) { return film::display_printer(x, 0.1f, 0.9f); },
      [](double x) { return clamp(0.9f + (0.1f - 0.9f) / (1 + (x > 0 ? std::pow(x, 0.571) : 0)), 0, 1); },
      {{-0.2f, "x below 0"}, {0.0f, "x 0"}, {0.3f, "x above 0"}}, 2e-6},
    {"print filmic and printer points", [](float y) { return film::print_printer(y, 1.4f, 2.0f, 0.1f, 0.9f); },
      [](double y) { return clamp(0.9f + (0.1f - 0.9f) * (y > 0 ? 1 / (1 + std::pow(y * 1.4f, 2.0f)) : 1), 0, 1); },
      {{-0.2f, "y below 0"}, {0.3f, "y above 0"}}, 2e-6},
    {"printer points held in [0, 1]", [](float x) { return film::display_printer(x, -0.2f, 1.3f); },
      [](double x) { return clamp(1.3f + (-0.2f - 1.3f) / (1 + (x > 0 ? std::pow(x, 0.571) : 0)), 0, 1); },
      {{0.0f, "below 0"}, {0.5f, "within"}, {40.0f, "above 1"}}, 2e-6},
    {"display tone scale path-to-white gain", [](float L) { return film::tone_scale_for(L).k; },
      [](double L) { return std::max(1.125 - 0.00025 * L, 1.0); },
      {{100.0f, "above 1"}, {480.0f, "above 1"}, {520.0f, "held at 1"}}, 1e-6},
    {"blur sigma, raised to 0.1 (-log a1)", [](float s) { return -std::log(deriche_coefficients(s).a1); },
      [](double s) {
        const double a = 1.695 / std::max(s, 0.1), e1 = std::exp(-a), e2 = std::exp(-2 * a);
        return -std::log((1 - e1) * (1 - e1) / (1 + 2 * a * e1 - e2) * e1 * (a - 1));
      },
      {{0.05f, "below 0.1"}, {0.3f, "above"}}, 2e-6},
  });
}

// The print gamma acts on each channel whose own flag is set, and the code
// values are then held in [0.0929, 1]: a grey pixel leaves the tone scale at
// one code value v for all three channels, so each channel's result is
// gain v^e (or v), held, decoded.
TEST(PiecewiseRules, PrintGammaPerChannelAndCodeHold) {
  film::PrintCorrectorArgs corrector{};
  film::PrintSettings s{};
  s.corrector = &corrector;
  s.printer.displayScale = 100.0f;
  s.toneScale = film::tone_scale_for(s.printer.displayScale);
  const float grey[3] = {0.18f, 0.18f, 0.18f};
  float xyz[3];
  film::print_to_xyz(grey, s, xyz);
  const double v = logC4(xyz[1]);  // the AWG4 luminance weights sum to 1
  const struct { uint8_t on[3]; float gain; const char* what; } cases[] = {
      {{0, 1, 0}, 1.2f, "green alone"}, {{1, 0, 1}, 1.2f, "red and blue"},
      {{0, 0, 1}, 0.2f, "blue held at LogC4 black"}, {{1, 0, 0}, 5.0f, "red held at 1"}};
  for (const auto& c : cases) {
    for (int k = 0; k < 3; ++k) {
      s.gamma.on[k] = c.on[k];
      s.gamma.gain[k] = c.gain;
      s.gamma.exponent[k] = 1.3f;
    }
    float got[3], rgb[3];
    film::print_to_xyz(grey, s, got);
    for (int k = 0; k < 3; ++k)
      rgb[k] = film::logc4_decode(float(clamp(c.on[k] ? c.gain * std::pow(v, 1.3) : v, 0.0929f, 1.0)));
    float want[3];
    film::awg4_to_xyz(rgb, want);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], want[k], 1e-4 * (1 + want[k])) << c.what << ", XYZ " << k;
  }
}

// Print stocks 1 to 5 (Custom and the D65 stocks) are balanced for a D55
// print white and adapted to D65; 6 to 9 are not. So the D55 white comes out
// neutral on stocks 1 to 5 and warm on 6 to 9, the D65 white the other way.
TEST(PiecewiseRules, PrintWhiteByStock) {
  const auto white = [](double x, double y) {
    return std::vector<float>{float(x / y), 1.0f, float((1 - x - y) / y)};
  };
  const std::vector<float> d55 = white(0.33242, 0.34743), d65 = white(0.31271, 0.32902);
  film::PrintCorrectorArgs corrector{};
  film::PrintSettings s{};
  s.corrector = &corrector;
  s.printer = {0.4f, {0.0f, 0.0f, 0.0f}, 1.0f / 0.71f, 2.0f, 0, 100.0f, {1.0f, 1.0f, 1.0f}};
  s.toneScale = film::tone_scale_for(s.printer.displayScale);
  for (int stock = 1; stock <= 9; ++stock) {
    const bool adapts = stock <= 5;
    s.printProfile = stock;
    for (const auto* w : {&d55, &d65}) {
      float xyz[3] = {(*w)[0] * 0.2f, (*w)[1] * 0.2f, (*w)[2] * 0.2f}, out[3];
      film::print_finish(xyz, s, out);
      const bool neutral = std::fabs(out[0] - out[2]) < 2e-3f;
      EXPECT_EQ(neutral, (w == &d55) == adapts)
          << "print stock " << stock << ", " << (w == &d55 ? "D55" : "D65") << " white: "
          << (adapts ? "stocks 1 to 5 adapt D55 to D65" : "stocks 6 to 9 keep the white") << " (R " << out[0]
          << ", B " << out[2] << ")";
    }
  }
}
