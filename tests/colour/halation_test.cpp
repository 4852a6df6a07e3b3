// The halation stage on the CPU build: its launch sequence, the invariants
// of its mix, alpha in the result, the exposure and soft clips it takes over
// from its neighbours, and what it does without work memory. Its output,
// bit for bit, is the golden frames' business.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "colour_test_util.h"
#include "cudasim/cudasim_control.h"
#include "pipeline/colour_lab.h"
#include "pipeline/gamut_lab_kernels.h"
#include "pipeline/halation.cuh"
#include "pipeline/halation.h"
#include "tests/pipeline/device_buffer.h"

namespace {

// A LogC3 picture with a bright spot, a gradient and a varying alpha.
std::vector<float> make_frame(int W, int H) {
  std::vector<float> f(size_t(W) * H * 4);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      float* p = &f[(size_t(y) * W + x) * 4];
      const bool spot = std::abs(x - W / 2) < 3 && std::abs(y - H / 2) < 3;
      p[0] = spot ? 0.95f : 0.3f + 0.3f * x / W;
      p[1] = spot ? 0.9f : 0.35f + 0.2f * y / H;
      p[2] = spot ? 0.85f : 0.4f;
      p[3] = 0.5f + 0.5f * float((x + y) % 7) / 7.0f;
    }
  return f;
}

TextureOptionsStruct options(int W, int H, int gamut) {
  TextureOptionsStruct o{};
  o.inputGamut = gamut, o.frameWidth = W, o.frameHeight = H;
  o.halationBreadthScaled = 0.5f, o.halationSaturation = 0.8f;
  o.halationCyanRed = 0.6f, o.halationMagentaGreen = 0.3f, o.halationYellowBlue = 0.1f;
  o.halationBlendRComplement = 0.7f, o.halationBlendGComplement = 0.5f, o.halationBlendBComplement = 0.9f;
  return o;
}

// Both buffers after the stage ran on device copies of `in` (tmp starts as a
// marker), the one that holds the result, and whether it ran.
struct Result {
  std::vector<float> img, tmp;
  bool ran = false;
  const std::vector<float>& out(const HalationEnds& ends) const { return ends.intoTmp ? tmp : img; }
};
Result run(const std::vector<float>& in, const TextureOptionsStruct& o, const HalationEnds& ends = {}) {
  DeviceFloats img(in), tmp(std::vector<float>(in.size(), -3.0f));
  bool ran = false;
  {
    const RenderStream render(o.cudaDevice);  // waits for the stage's work as it goes
    ran = halation(img.get(), tmp.get(), o, render.work(), ends);
  }
  return {img.download(), tmp.download(), ran};
}

class Halation : public ::testing::Test {
 protected:
  void SetUp() override { cudasim::reset(); }
  void TearDown() override {
    const auto stats = cudasim::allocation_stats();
    EXPECT_EQ(stats.live, 0u) << "work memory leaked";
    EXPECT_EQ(stats.bad_pointers + stats.guard_overruns, 0u);
  }
};

}  // namespace

// Four bands of blur and fold-back between the decoding and the mix. Bad
// pixels are clamped before the blurs, so they cannot spread; the result
// carries the input alpha, into either buffer, and img keeps its alpha.
TEST_F(Halation, LaunchesBadPixelsAndAlpha) {
  const int W = 30, H = 30;
  std::vector<float> input = make_frame(W, H);
  input[(15 * W + 15) * 4] = NAN;
  input[(3 * W + 4) * 4 + 1] = INFINITY;
  input[(20 * W + 9) * 4 + 2] = -1e30f;
  for (int gamut : {11, 47}) {
    std::vector<float> first;
    for (bool intoTmp : {false, true}) {
      cudasim::clear_launch_trace();
      HalationEnds ends;
      ends.intoTmp = intoTmp;
      const Result r = run(input, options(W, H, gamut), ends);
      std::string names, expected = "halation_init";
      for (int band = 0; band < 4; ++band) expected += " iir_guassian_rgb halation_band_rows";
      for (const auto& launch : cudasim::launch_trace()) names += (names.empty() ? "" : " ") + launch.kernel;
      EXPECT_EQ(names, expected + " halation_linear");
      const std::vector<float>& out = r.out(ends);
      for (size_t i = 0; i < input.size(); ++i) {
        if (i % 4 == 3) {
          EXPECT_EQ(out[i], input[i]) << i;
          EXPECT_EQ(r.img[i], input[i]) << i;
        } else {
          EXPECT_TRUE(out[i] >= 0.0f && out[i] <= 1.0f) << gamut << " at " << i;
        }
      }
      if (intoTmp) EXPECT_EQ(out, first) << gamut;
      first = out;
    }
  }
}

// The exposure and the soft clips the stage takes over from its neighbours
// give, bit for bit, what they give as passes of their own before and after
// it: in either buffer, with one or two clips, multiplicative or additive.
TEST_F(Halation, EndsEqualTheirOwnPasses) {
  const int W = 37, H = 21;
  const std::vector<float> input = make_frame(W, H);
  const SoftClip camera{0.85f, 0.3f, 0.2f, 0.1f}, negative{0.9f, 0.5f, 0.0f, 0.4f};
  const struct {
    int exposure;
    float amount;
    SoftClips clips;
    bool intoTmp;
  } cases[] = {{kExposureLinear, 1.7f, {{camera, negative}, 2}, false},
               {kExposureLog, -0.15f, {{camera}, 1}, true},
               {kExposureNone, 0.0f, {{negative}, 1}, false},
               {kExposureLinear, 0.6f, {{}, 0}, true}};
  for (int gamut : {11, 0}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::Message() << "gamut " << gamut << ", exposure " << c.exposure << ", "
                                        << c.clips.count << " clips" << (c.intoTmp ? ", into tmp" : ""));
      std::vector<float> exposed = input;
      for (size_t i = 0; i < exposed.size(); ++i)
        if (i % 4 != 3) exposed[i] = exposure_value(exposed[i], c.exposure, c.amount);
      std::vector<float> expected = run(exposed, options(W, H, gamut)).img;
      for (size_t i = 0; i < expected.size(); ++i)
        if (i % 4 != 3) expected[i] = soft_clips_value(expected[i], c.clips);
      HalationEnds ends;
      ends.exposure = c.exposure, ends.exposureAmount = c.amount, ends.clips = c.clips, ends.intoTmp = c.intoTmp;
      const Result r = run(input, options(W, H, gamut), ends);
      const std::vector<float>& out = r.out(ends);
      for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], expected[i]) << i;
    }
  }
}

// The way into Lab the stage takes over from the texture road gives, bit
// for bit, what the Lab kernels give on its clipped result, in either
// buffer, with L' also in its plane: the generic way and the dedicated ones,
// compressing or not.
TEST_F(Halation, IntoLabEqualsTheLabKernelsAfterIt) {
  const int W = 37, H = 21;
  const dim3 grid = launch_shape::pixel_grid(W, H), block = launch_shape::pixel_block();
  const std::vector<float> input = make_frame(W, H);
  const struct {
    int gamut, way;
    void (*lab)(float* img, float* lightness, dim3 grid, dim3 block);
  } cases[] = {
      {11, kLabInGeneric, [](float* f, float* l, dim3 g, dim3 b) { CUDA_LAUNCH(ColorSpace_LAB, g, b, f, 37, 21, 4, 11, l); }},
      {0, kLabInDedicated, [](float* f, float* l, dim3 g, dim3 b) { CUDA_LAUNCH(rec709_LAB, g, b, f, 37, 21, 4, l); }},
      {0, kLabInDedicatedCompressing,
       [](float* f, float* l, dim3 g, dim3 b) { CUDA_LAUNCH(Lin_rec709_compress_LAB, g, b, f, 37, 21, 4, l); }},
      {30, kLabInDedicatedCompressing,
       [](float* f, float* l, dim3 g, dim3 b) { CUDA_LAUNCH(Lin_rec2020_compress_LAB, g, b, f, 37, 21, 4, l); }},
  };
  for (const auto& c : cases) {
    HalationEnds ends;
    ends.clips = SoftClips{{{0.85f, 0.3f, 0.2f, 0.1f}}, 1};
    DeviceFloats expectedFrame(run(input, options(W, H, c.gamut), ends).img), expectedL(size_t(W) * H);
    c.lab(expectedFrame.get(), expectedL.get(), grid, block);
    for (bool intoTmp : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "gamut " << c.gamut << ", way " << c.way << (intoTmp ? ", into tmp" : ""));
      DeviceFloats lightness(size_t(W) * H);
      ends.intoTmp = intoTmp;
      ends.lab = TextureLabIn{c.way, c.gamut};
      ends.lightness = lightness.get();
      const Result r = run(input, options(W, H, c.gamut), ends);
      EXPECT_EQ(r.out(ends), expectedFrame.download());
      EXPECT_EQ(lightness.download(), expectedL.download());
    }
  }
}

// Blends of 1 (complements 0) or tints of 0 leave only the input, decoded,
// clamped and encoded again.
TEST_F(Halation, FullBlendOrNoTintReturnsTheReencodedInput) {
  const int W = 35, H = 29;
  const struct { int gamut; bool no_tint; } cases[] = {{11, false}, {47, false}, {0, false}, {27, false},
                                                       {42, false}, {11, true}, {19, true}};
  const std::vector<float> input = make_frame(W, H);
  for (const auto& k : cases) {
    TextureOptionsStruct o = options(W, H, k.gamut);
    if (k.no_tint) o.halationCyanRed = o.halationMagentaGreen = o.halationYellowBlue = 0.0f;
    if (!k.no_tint) o.halationBlendRComplement = o.halationBlendGComplement = o.halationBlendBComplement = 0.0f;
    const Result r = run(input, o);
    for (size_t p = 0; p < size_t(W) * H; ++p) {
      float px[4] = {input[p * 4], input[p * 4 + 1], input[p * 4 + 2], 1.0f}, lin[3], expect[3];
      input_to_awg4_linear(px, k.gamut, lin);
      awg4_linear_to_output(lin, k.gamut, expect);
      for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(r.img[p * 4 + c], expect[c], 1e-5f * std::fmax(1.0f, expect[c]))
            << "gamut " << k.gamut << (k.no_tint ? " no tint" : " full blend") << " px " << p;
    }
  }
}

// A flat picture stays flat; a bright spot lights up its dark surroundings.
TEST_F(Halation, ConstantPictureStaysConstantAndGlowSpreads) {
  const int W = 33, H = 31;
  std::vector<float> flat = make_frame(W, H);
  for (size_t p = 0; p < size_t(W) * H; ++p) flat[p * 4] = 0.5f, flat[p * 4 + 1] = 0.42f, flat[p * 4 + 2] = 0.38f;
  const Result r = run(flat, options(W, H, 11));
  for (size_t p = 1; p < size_t(W) * H; ++p)
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(r.img[p * 4 + c], r.img[c], 2e-6f) << p;
  const std::vector<float> spot = make_frame(W, H);
  const size_t near_spot = (size_t(H / 2) * W + W / 2 + 5) * 4;
  EXPECT_GT(run(spot, options(W, H, 11)).img[near_spot], spot[near_spot] + 1e-3f);
}

// Without its work memory the stage reports that it could not run, queues
// nothing and keeps nothing (the fixture checks), and leaves the picture alone.
TEST_F(Halation, WithoutWorkMemoryTheStageFailsAndTouchesNothing) {
  const std::vector<float> input = make_frame(16, 12);
  for (int failing : {1, 2}) {  // the plane, then the source copy
    cudasim::clear_launch_trace();
    cudasim::clear_call_log();
    cudasim::fail_call("cudaMallocFromPoolAsync", failing, cudaErrorMemoryAllocation);
    const Result r = run(input, options(16, 12, 11));
    cudasim::clear_failures();
    EXPECT_FALSE(r.ran) << failing;
    EXPECT_TRUE(cudasim::launch_trace().empty()) << failing;
    for (const auto& c : cudasim::call_log()) EXPECT_NE(c.function, "cudaMemcpyAsync") << failing;
    EXPECT_EQ(r.img, input) << failing;
    EXPECT_EQ(r.tmp, std::vector<float>(input.size(), -3.0f)) << failing;
  }
}

// Saturation 0 turns the glow grey, weighted by the luminance row of ARRI
// Wide Gamut 4 (ARRI's published values).
TEST(HalationMix, SaturationZeroTurnsTheGlowGrey) {
  const colour::Mat3 m = colour::rgb_to_xyz_from_primaries(AWG4_PRI);
  EXPECT_NEAR(m.m[3], 0.2545242f, 2e-6f);
  EXPECT_NEAR(m.m[4], 0.7814777f, 2e-6f);
  EXPECT_NEAR(m.m[5], -0.0360019f, 2e-6f);
  const float glow[3] = {2.0f, 0.5f, 0.1f}, orig[3] = {0.0f, 0.0f, 0.0f};
  float code[3];
  halation_math::mix(glow, orig, {{1.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}, 0.0f}, 47, code);  // LogC4: no matrix
  // tints of 1 halve the glow over a black input
  const float y = 0.5f * (m.m[3] * glow[0] + m.m[4] * glow[1] + m.m[5] * glow[2]), grey[3] = {y, y, y};
  float expect[3];
  awg4_linear_to_output(grey, 47, expect);
  for (float v : code) EXPECT_NEAR(v, expect[0], 1e-6f);
}
