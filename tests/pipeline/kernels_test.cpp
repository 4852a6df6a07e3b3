// The pipeline core's kernels: highlight/shadow values (the neutral settings
// the rest relies on; each clamp and knee: piecewise_rules_test); highlight
// compression and the Lab conversions of the four dedicated gamuts (round trips,
// published white points, the curve's fixed values); the texture stage's
// recursive Gaussian against the properties of a Gaussian, and its two
// launched passes against the recursion run on the host.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "device_buffer.h"
#include "pipeline/gamut_lab.cuh"
#include "pipeline/gamut_lab_kernels.h"
#include "pipeline/launch_shapes.h"
#include "pipeline/pixel_kernels.cuh"
#include "pipeline/texture_kernels.cuh"
#include "pipeline/texture_kernels.h"
#include "pipeline/texture_lab_out.cuh"

namespace {

// Neutral settings are an identity; the roll-offs join it smoothly and stay
// inside their limits.
TEST(HighlightsShadows, NeutralIsAnIdentityAndRollOffsStayInsideTheirLimits) {
  for (float v = -2.0f; v <= 3.0f; v += 0.03125f)
    EXPECT_NEAR(highlights_shadows_value(v, 1.0f, 1.0f, 0.0f, 0.0f), v, 1e-6f) << v;
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

TEST(Compression, FixedPointsOfTheCurve) {
  const LabGamut g = GamutRec709::get();
  EXPECT_EQ(compress_rgb(g, Rgb3{0.1f, 0.1f, 0.1f}).r, 0.1f);
  // The curve meets the identity at mid grey with slope 1.
  EXPECT_NEAR(compress_factor(0.18f + 1e-4f), 1.0f, 1e-4f);
  // Non-positive and NaN luminance go to black both ways (AP0 blue weight is negative).
  const LabGamut ap0 = GamutAcesAp0::get();
  for (Rgb3 v : {Rgb3{0, 0, 1}, Rgb3{0, 0, 0}, Rgb3{NAN, 0.5f, 0.5f}}) {
    const Rgb3 c = compress_rgb(ap0, v), e = expand_rgb(ap0, v);
    EXPECT_EQ(c.r + c.g + c.b + e.r + e.g + e.b, 0.0f);
  }
}

TEST(ScaledLab, D65WhiteAndGreyAreNeutral) {
  // Rec.709 and Rec.2020 share the D65 white of the Lab reference.
  for (const LabGamut& g : {GamutRec709::get(), GamutRec2020::get()}) {
    for (float grey : {1.0f, 0.18f, 0.002f}) {
      Rgb3 lab = rgb_to_scaled_lab(g, Rgb3{grey, grey, grey});
      EXPECT_NEAR(lab.g, 0.5f, 1e-4f);
      EXPECT_NEAR(lab.b, 0.5f, 1e-4f);
    }
    EXPECT_NEAR(rgb_to_scaled_lab(g, Rgb3{1, 1, 1}).r, 1.0f, 1e-4f);
    // Published L* of mid grey (Y = 0.18) is 49.496.
    EXPECT_NEAR(rgb_to_scaled_lab(g, Rgb3{0.18f, 0.18f, 0.18f}).r, 0.49496f, 2e-4f);
  }
  const Rgb3 black = scaled_lab_to_rgb(GamutRec709::get(), Rgb3{0.0f, 0.5f, 0.5f});
  EXPECT_NEAR(std::fabs(black.r) + std::fabs(black.g) + std::fabs(black.b), 0.0f, 3e-6f);
}

// Every named kernel, through the launcher, and the texture stage's way out
// of Lab: compressing into Lab and expanding out of it returns the picture;
// compress and expand kernels keep alpha; L' goes also into its plane.
TEST(GamutKernels, LabRoundTripsThroughTheNamedKernelsForAllFourGamuts) {
  cudasim::reset();
  const int W = 37, H = 3;
  std::vector<float> host(W * H * 4);
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> value(0.01f, 20.0f);
  for (size_t i = 0; i < host.size(); ++i) host[i] = (i % 4 == 3) ? 0.5f : value(rng);
  const dim3 grid = launch_shape::pixel_grid(W, H), block = launch_shape::pixel_block();
  // The frame's Lab pixels out of Lab, `way` of gamut `index`.
  const auto out_of_lab = [](std::vector<float> lab, int index, TextureLabWay way) {
    const TextureLabOut o{way, index, 0, 1.0f, 1.0f, 0.0f, 0.0f};
    for (size_t i = 0; i < lab.size(); i += 4) texture_lab_out(o, &lab[i], &lab[i]);
    return lab;
  };
  int gamuts = 0;
#define ROUND_TRIP(index, g, gc, ge, compress, expand, to_lab, compress_to_lab)                          \
  {                                                                                                      \
    ++gamuts;                                                                                            \
    const float tolerance = index == 30 ? 2e-3f : 3e-4f; /* rec2020 members use two matrix renderings */ \
    DeviceFloats img(host), a(host), b(host.size()), c(host), l(host.size() / 4);                       \
    CUDA_LAUNCH(to_lab, grid, block, img.get(), W, H, 4, l.get());                                       \
    const auto lab = img.download();                                                                     \
    const auto plain = out_of_lab(lab, index, kLabOutDedicated);                                         \
    CUDA_LAUNCH(compress_to_lab, grid, block, c.get(), W, H, 4, nullptr);                                \
    const auto expanded = out_of_lab(c.download(), index, kLabOutDedicatedExpanding);                    \
    CUDA_LAUNCH(compress, grid, block, a.get(), b.get(), W, H);                                          \
    const auto compressed = a.download();                                                                \
    CUDA_LAUNCH(expand, grid, block, a.get(), b.get(), W, H);                                            \
    const auto restored = b.download();                                                                  \
    EXPECT_EQ(a.download(), compressed) << #expand << " changed its input";                              \
    for (size_t i = 0; i < host.size(); ++i) {                                                           \
      const float tol = tolerance * std::fmax(1.0f, host[i]);                                            \
      ASSERT_NEAR(plain[i], host[i], tol) << #to_lab << " " << i;                                        \
      ASSERT_NEAR(expanded[i], host[i], tol) << #compress_to_lab << " " << i;                            \
      ASSERT_NEAR(restored[i], host[i], 3e-4f * std::fmax(1.0f, host[i])) << #expand << " " << i;        \
    }                                                                                                    \
    const auto lightness = l.download();                                                                 \
    for (size_t i = 0; i < lightness.size(); ++i) ASSERT_EQ(lightness[i], lab[4 * i]) << #to_lab << " L'";  \
  }
  KALTHORNE_DEDICATED_GAMUTS(ROUND_TRIP)
#undef ROUND_TRIP
  EXPECT_EQ(gamuts, 4);
  EXPECT_EQ(cudasim::launch_trace().size(), 16u);
  for (const auto& l : cudasim::launch_trace()) EXPECT_TRUE(l.ran) << l.kernel;
  EXPECT_TRUE(cudasim::violations().empty());
}

// A non-finite channel cannot reach the recursive blurs or the film stage:
// the Lab kernels take it as 0, and the compression and expansion, whose
// luminance it makes NaN or infinite, turn the pixel black (alpha kept).
TEST(GamutKernels, NonFiniteChannelsGiveDefinedPixels) {
  cudasim::reset();
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<float> bad = {NAN, 0.5f, 0.25f, 1.0f, inf, -inf, 0.3f, 1.0f, inf, 0.5f, 0.5f, 0.75f};
  const std::vector<float> zeroed = {0.0f, 0.5f, 0.25f, 1.0f, 0.0f, 0.0f, 0.3f, 1.0f, 0.0f, 0.5f, 0.5f, 0.75f};
  const std::vector<float> black = {0, 0, 0, 1.0f, 0, 0, 0, 1.0f, 0, 0, 0, 0.75f};
  const dim3 grid(1), block(32, 32);
  DeviceFloats a(bad), b(zeroed), c(bad), d(bad.size()), f(bad), e(bad.size());
  CUDA_LAUNCH(Lin_ACES_AP1_compress_LAB, grid, block, a.get(), 3, 1, 4, nullptr);
  CUDA_LAUNCH(Lin_ACES_AP1_compress_LAB, grid, block, b.get(), 3, 1, 4, nullptr);
  EXPECT_EQ(a.download(), b.download());
  CUDA_LAUNCH(RGBA_rec2020_compress, grid, block, c.get(), d.get(), 3, 1);
  EXPECT_EQ(d.download(), black);
  EXPECT_EQ(c.download(), black);
  CUDA_LAUNCH(RGBA_ACES_AP0_expand_sRGB, grid, block, f.get(), e.get(), 3, 1);
  EXPECT_EQ(e.download(), black);
}

struct Size {
  int w, h;
};
const Size kSizes[] = {{37, 23}, {1, 1}, {1025, 2}, {2, 70}};

TEST(Deriche, ImpulseResponseHasGaussianMoments) {
  // Sigma below 0.1 blurs as 0.1.
  EXPECT_EQ(deriche_coefficients(-3.0f).b1, deriche_coefficients(0.1f).b1);

  // An impulse in a long column: mass 1 (unit DC gain), centred, and a width
  // that scales with sigma (the recursive filter's width is a fixed multiple
  // of sigma).
  double ratio0 = 0;
  for (float sigma : {1.6f, 3.2f, 6.4f}) {
    const int n = 401, mid = 200;
    std::vector<float> in(n, 0.0f), out(n, -1.0f);
    in[mid] = 1.0f;
    deriche_column(in.data(), 1, out.data(), 1, n, deriche_coefficients(sigma));
    double mass = 0, mean = 0, var = 0;
    for (int i = 0; i < n; ++i) mass += out[i], mean += out[i] * i;
    mean /= mass;
    for (int i = 0; i < n; ++i) var += out[i] * (i - mean) * (i - mean);
    var /= mass;
    EXPECT_NEAR(mass, 1.0, 1e-4) << sigma;
    EXPECT_NEAR(mean, mid, 1e-3) << sigma;
    const double ratio = std::sqrt(var) / sigma;
    if (ratio0 == 0) ratio0 = ratio;
    EXPECT_NEAR(ratio, ratio0, 0.02 * ratio0) << sigma;
    EXPECT_NEAR(ratio, 1.0, 0.25) << sigma;
  }
}

TEST(TextureKernels, ConstantPlaneStaysConstantThroughTheBlurToTheBorders) {
  cudasim::reset();
  for (const Size s : kSizes) {
    for (float sigma : {0.0f, 0.4f, 12.8f}) {
      std::vector<float> host(size_t(s.w) * s.h * 4, 0.625f);
      DeviceFloats buffer(host), scratch(size_t(s.w) * s.h);
      gaussian_blur_2d(buffer.get() + 2, scratch.get(), buffer.get() + 2, s.w, s.h, sigma, 4, nullptr);
      auto out = buffer.download();
      for (size_t i = 0; i < out.size(); ++i)
        ASSERT_NEAR(out[i], 0.625f, 1e-5f) << s.w << "x" << s.h << " sigma " << sigma << " at " << i;
    }
  }
  EXPECT_TRUE(cudasim::violations().empty());
  for (const auto& l : cudasim::launch_trace()) EXPECT_TRUE(l.ran);
}

// The two launched passes blur exactly as the recursion run down every
// column and then along every row on the host, at every channel offset of
// an RGBA frame, in place or not, and write nothing but their channel.
TEST(TextureKernels, TwoPassBlurIsTheColumnThenRowRecursion) {
  cudasim::reset();
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> value(-1.0f, 4.0f);
  for (const Size s : {Size{37, 23}, Size{1, 1}, Size{1025, 2}, Size{2, 70}, Size{64, 65}, Size{33, 31}}) {
    const float sigma = 2.6f;
    const DericheCoefficients c = deriche_coefficients(sigma);
    std::vector<float> frame(size_t(s.w) * s.h * 4);
    for (float& v : frame) v = value(rng);
    for (int channel = 0; channel < 4; ++channel) {
      std::vector<float> columns(size_t(s.w) * s.h), expected(columns.size());
      for (int x = 0; x < s.w; ++x)
        deriche_column(frame.data() + size_t(x) * 4 + channel, size_t(s.w) * 4, columns.data() + x, size_t(s.w), s.h,
                       c);
      for (int y = 0; y < s.h; ++y)
        deriche_column(columns.data() + size_t(y) * s.w, 1, expected.data() + size_t(y) * s.w, 1, s.w, c);
      for (bool in_place : {false, true}) {
        DeviceFloats in(frame), out(in_place ? 0 : frame.size()), scratch(columns.size());
        float* target = (in_place ? in.get() : out.get()) + channel;
        gaussian_blur_2d(in.get() + channel, scratch.get(), target, s.w, s.h, sigma, 4, nullptr);
        const auto o = in_place ? in.download() : out.download();
        for (size_t i = 0; i < o.size(); ++i) {
          if (int(i % 4) == channel) {
            ASSERT_EQ(o[i], expected[i / 4]) << s.w << "x" << s.h << " channel " << channel << " at " << i / 4;
          } else {
            ASSERT_TRUE(in_place ? o[i] == frame[i] : cudasim::is_nan_sentinel(o[i])) << "wrote channel " << i % 4;
          }
        }
      }
    }
  }
  EXPECT_TRUE(cudasim::violations().empty());
  EXPECT_EQ(cudasim::allocation_stats().guard_overruns, 0u);  // checked as each buffer is freed
}

}  // namespace
