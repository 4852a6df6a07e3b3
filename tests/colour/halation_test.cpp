// The halation stage on the CPU build: its launch sequence, the invariants
// of its mix, alpha in both buffers, and what it does without work memory.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "colour_test_util.h"
#include "cudasim/cudasim_control.h"
#include "pipeline/halation.cuh"
#include "pipeline/halation.h"
#include "pipeline/launch_shapes.h"
#include "pipeline/texture_kernels.h"
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
  o.inputGamut = gamut;
  o.frameWidth = W;
  o.frameHeight = H;
  o.halationBreadthScaled = 0.5f;
  o.halationSaturation = 0.8f;
  o.halationCyanRed = 0.6f, o.halationMagentaGreen = 0.3f, o.halationYellowBlue = 0.1f;
  o.halationBlendRComplement = 0.7f, o.halationBlendGComplement = 0.5f, o.halationBlendBComplement = 0.9f;
  return o;
}

// Both buffers after the stage ran on device copies of `in` (tmp starts as a marker).
struct Result {
  std::vector<float> img, tmp;
};
Result run(const std::vector<float>& in, const TextureOptionsStruct& o) {
  DeviceFloats img(in), tmp(std::vector<float>(in.size(), -3.0f));
  {
    const RenderStream render(o.cudaDevice);  // waits for the stage's work as it goes
    halation(img.get(), tmp.get(), o, render.work());
  }
  return {img.download(), tmp.download()};
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

// Per band: blur the columns of R, G and B at once, transpose, blur the
// other way, fold back; each channel exactly as blurred on its own.
TEST_F(Halation, BlursTheThreeChannelsTogetherAsEachAlone) {
  const int W = 40, H = 1030;  // a second column block for the first pass, 33 for the transposed one
  const std::vector<float> input = make_frame(W, H);
  const TextureOptionsStruct o = options(W, H, 11);
  const Result r = run(input, o);
  const auto trace = cudasim::launch_trace();
  std::string names, expected = "halation_init";
  for (int band = 0; band < 4; ++band)
    expected += " iir_guassian_rgb u_d_l_r_rgb iir_guassian_rgb FrequencySharpenHalation";
  for (size_t k = 0; k < trace.size(); ++k) {
    names += (k ? " " : "") + trace[k].kernel;
    EXPECT_TRUE(trace[k].ran) << k;
    if (trace[k].kernel == "iir_guassian_rgb") {
      EXPECT_EQ(trace[k].block.x, 32u);
      EXPECT_EQ(trace[k].grid.x, k % 4 == 1 ? 2u : 33u) << "columns of W, then of H";
    }
  }
  EXPECT_EQ(names, expected + " halation_linear");

  // The same stage blurring one channel at a time, through the texture
  // stage's one-channel blur: both buffers bit for bit the same.
  cudasim::reset();
  const size_t pixels = size_t(W) * H;
  DeviceFloats img(input), tmp(input.size()), plane(pixels), linear(pixels * 3);
  CUDA_LAUNCH(halation_init, launch_shape::pixel_grid(W, H), launch_shape::pixel_block(), img.get(), linear.get(),
              W, H, 4, o.inputGamut);
  float sigma = o.halationBreadthScaled * 0.4f * 4.0f;
  for (float amount : {0.5f, 0.25f, 0.125f, 0.0625f}) {
    for (int c = 0; c < 3; ++c) gaussian_blur_2d(img.get() + c, plane.get(), tmp.get() + c, W, H, sigma, 4, nullptr);
    std::vector<float> blurred = tmp.download(), transposed(pixels * 3);
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        for (int c = 0; c < 3; ++c) transposed[(size_t(x) * H + y) * 3 + c] = blurred[(size_t(y) * W + x) * 4 + c];
    DeviceFloats band(transposed);
    CUDA_LAUNCH(FrequencySharpenHalation, launch_shape::pixel_grid(W, H), launch_shape::pixel_block(), img.get(),
                band.get(), W, H, amount, 4);
    sigma *= 2.0f;
  }
  CUDA_LAUNCH(halation_linear, launch_shape::pixel_grid(W, H), launch_shape::pixel_block(), img.get(), tmp.get(),
              linear.get(), W, H, o.halationCyanRed, o.halationMagentaGreen, o.halationYellowBlue,
              o.halationBlendRComplement, o.halationBlendGComplement, o.halationBlendBComplement,
              o.halationSaturation, o.inputGamut, 4);
  EXPECT_EQ(img.download(), r.img);
  EXPECT_EQ(tmp.download(), r.tmp);
}

// Blends of 1 (complements 0) or tints of 0 leave only the input, decoded,
// clamped and encoded again.
TEST_F(Halation, FullBlendOrNoTintReturnsTheReencodedInputInBothBuffers) {
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
      for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(r.img[p * 4 + c], expect[c], 1e-5f * std::fmax(1.0f, expect[c]))
            << "gamut " << k.gamut << (k.no_tint ? " no tint" : " full blend") << " px " << p;
        EXPECT_EQ(r.tmp[p * 4 + c], r.img[p * 4 + c]);
      }
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

// Bad pixels are clamped before the blurs, so they cannot spread; alpha
// leaves the stage in both buffers as it came in.
TEST_F(Halation, BadPixelsStayLocalAndAlphaSurvivesInBothBuffers) {
  const int W = 30, H = 30;
  std::vector<float> input = make_frame(W, H);
  input[(15 * W + 15) * 4] = NAN;
  input[(3 * W + 4) * 4 + 1] = INFINITY;
  input[(20 * W + 9) * 4 + 2] = -1e30f;
  for (int gamut : {11, 47}) {
    const Result r = run(input, options(W, H, gamut));
    for (size_t i = 0; i < input.size(); ++i) {
      EXPECT_EQ(r.tmp[i], i % 4 == 3 ? input[i] : r.img[i]) << i;
      if (i % 4 == 3) {
        EXPECT_EQ(r.img[i], input[i]) << i;
      } else {
        EXPECT_TRUE(r.img[i] >= 0.0f && r.img[i] <= 1.0f) << gamut << " at " << i;
      }
    }
  }
}

TEST_F(Halation, WithoutWorkMemoryThePictureIsHandedOnUnchanged) {
  const std::vector<float> input = make_frame(16, 12);
  for (int failing : {1, 2}) {  // the plane, then the source copy
    cudasim::clear_launch_trace();
    cudasim::fail_call("cudaMallocFromPoolAsync", failing, cudaErrorMemoryAllocation);
    const Result r = run(input, options(16, 12, 11));
    cudasim::clear_failures();
    EXPECT_TRUE(cudasim::launch_trace().empty()) << failing;
    EXPECT_EQ(r.img, input) << failing;
    EXPECT_EQ(r.tmp, input) << failing;
  }
}

TEST(HalationMix, SaturationZeroTurnsTheGlowGrey) {
  // Luminance weights from the ARRI Wide Gamut 4 primaries: white has luminance 1.
  const colour::Mat3 m = colour::rgb_to_xyz_from_primaries(AWG4_PRI);
  EXPECT_NEAR(m.m[3], 0.2545242f, 2e-6f);
  EXPECT_NEAR(m.m[4], 0.7814777f, 2e-6f);
  EXPECT_NEAR(m.m[5], -0.0360019f, 2e-6f);

  const float glow[3] = {2.0f, 0.5f, 0.1f}, orig[3] = {0.0f, 0.0f, 0.0f};
  const halation_math::MixTerms t{{1.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}, 0.0f};
  float code[3];
  halation_math::mix(glow, orig, t, 47, code);  // LogC4: no matrix, channels stay apart
  EXPECT_NEAR(code[0], code[1], 1e-6f);
  EXPECT_NEAR(code[1], code[2], 1e-6f);
  const float y = m.m[3] * glow[0] + m.m[4] * glow[1] + m.m[5] * glow[2];
  const float grey[3] = {y * 0.5f, y * 0.5f, y * 0.5f};
  float expect[3];
  awg4_linear_to_output(grey, 47, expect);
  EXPECT_NEAR(code[0], expect[0], 1e-6f);
}
