// The pipeline entry on the CPU build, with stand-ins for the halation, film
// and generic Lab stages: the road chosen for each combination of switches,
// each stage once and in order, buffer hygiene over a sweep of switches and
// frame sizes, and the failure paths.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "pipeline/pixel_kernels.cuh"
#include "pipeline/texture_pitch_compress_expand.h"
#include "stage_standins.h"

namespace {

using Names = std::vector<std::string>;

TextureOptionsStruct plain_options(int W, int H, int channels) {
  TextureOptionsStruct o{};
  o.frameWidth = W;
  o.frameHeight = H;
  o.channelCount = channels;
  o.inputGamut = 7;  // a generic input
  o.exposureMode = 1;
  o.ensemblePitchScaled = 1.0f;
  o.sopranoPitchScaled = o.mezzoSopranoPitchScaled = o.altoPitchScaled = 1.0f;
  o.tenorPitchScaled = o.baritonePitchScaled = o.bassPitchScaled = 1.0f;
  o.cameraStock = 3;
  o.halationOff = 1;
  o.cameraHighlightsCeiling = 0.9f;
  o.cameraHighlightsRecoverScaled = 3.0f;
  o.cameraShadowsCeilingScaled = 0.6f;
  o.cameraShadowsRecoverScaled = -0.6f;
  o.brewHighlightCeiling = 0.7f;
  o.brewHighlightCompressScaled = 4.0f;
  o.brewShadowFloorScaled = 0.3f;
  o.brewShadowExpandScaled = -0.3f;
  return o;
}

std::vector<float> test_frame(int W, int H, int channels, unsigned seed = 1) {
  std::vector<float> f(size_t(W) * H * channels);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> value(0.0f, 1.0f);
  for (size_t i = 0; i < f.size(); ++i) f[i] = channels == 4 && i % 4 == 3 ? 0.25f + 0.5f * value(rng) : value(rng);
  return f;
}

// Kernel names of the last call, with the stand-in stages shown by name.
Names trace_names() {
  Names names;
  for (const auto& l : cudasim::launch_trace()) {
    if (l.kernel == "standin_halation")
      names.push_back("halation");
    else if (l.kernel == "standin_film")
      names.push_back("film");
    else
      names.push_back(l.kernel);
  }
  return names;
}

struct FrameRun {
  bool ok;
  std::vector<float> out;
  Names trace;
};

// Runs one frame and checks what must hold on every road.
FrameRun run_frame(const TextureOptionsStruct& o, const std::vector<float>& src) {
  cudasim::reset();
  standin::clear_calls();
  const size_t n = size_t(o.frameWidth) * o.frameHeight * o.channelCount;
  const float guard = -12345.0f;
  std::vector<float> dst(n + 16, guard);
  const std::vector<float> original = src;
  FrameRun r;
  r.ok = texture_pitch_compress_expand(src.data(), dst.data(), o);
  r.trace = trace_names();
  for (size_t i = n; i < dst.size(); ++i) EXPECT_EQ(dst[i], guard) << "written past the output";
  EXPECT_EQ(src, original) << "source changed";
  const auto s = cudasim::allocation_stats();
  EXPECT_EQ(s.live, 0u);
  EXPECT_EQ(s.frees, s.allocations);
  EXPECT_EQ(s.double_frees + s.invalid_frees + s.guard_overruns + s.bad_pointers, 0u);
  for (const auto& v : cudasim::violations()) ADD_FAILURE() << v;
  dst.resize(n);
  r.out = dst;
  return r;
}

Names texture_levels(int levels) {
  Names n = {"iir_guassian", "u_d_l_r", "iir_guassian", "u_d_l_r", "pitch_sharp"};
  for (int k = 2; k <= levels; ++k) {
    if (k == 2) n.push_back("CopyY");
    for (const char* s : {"iir_guassian", "u_d_l_r", "iir_guassian", "u_d_l_r", "pitch_sharp", "CopyY"})
      n.push_back(s);
  }
  n.push_back("pitch_accumulate");
  return n;
}

Names concat(std::initializer_list<Names> parts) {
  Names all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

struct RoadCase {
  const char* name;
  std::function<void(TextureOptionsStruct&)> set;
  Names expected;
};

TEST(PipelineEntry, EachRoadRunsItsStagesOnceInOrder) {
  const std::vector<RoadCase> cases = {
      {"plain, film, generic",
       [](TextureOptionsStruct& o) { o.exposureAmount = 1.5f; o.halationOff = 0; o.softClipOn = 1; o.brewSoftClipOn = 1; },
       {"exposure_linear_gamma", "halation", "highlights_shadows_Kernel", "highlights_shadows_Kernel", "film"}},
      {"plain, film, generic with hdrComp: no compression",
       [](TextureOptionsStruct& o) { o.hdrComp = 1; o.exposureAmount = 0.1f; o.exposureMode = 2; },
       {"exposure_log", "film"}},
      {"plain, film, dedicated with hdrComp",
       [](TextureOptionsStruct& o) { o.inputGamut = 4; o.hdrComp = 1; o.brewSoftClipOn = 1; },
       {"highlights_shadows_Kernel", "RGBA_ACES_AP0_compress", "film", "RGBA_ACES_AP0_expand_sRGB"}},
      {"plain, camera stock 0 with the print stage still runs the film stage",
       [](TextureOptionsStruct& o) { o.cameraStock = 0; o.inputGamut = 30; }, {"film"}},
      {"plain, no film, soft clip",
       [](TextureOptionsStruct& o) { o.cameraStock = 0; o.printOff = 1; o.softClipOn = 1; o.halationOff = 0;
                                     o.brewSoftClipOn = 1; o.exposureAmount = 2.0f; },
       {"exposure_linear_gamma", "halation", "highlights_shadows_Kernel_in_out"}},
      {"plain, no film, exposure only",
       [](TextureOptionsStruct& o) { o.cameraStock = 0; o.printOff = 1; o.exposureAmount = 0.2f; o.exposureMode = 2;
                                     o.halationOff = 0; },
       {"exposure_log_in_out", "halation"}},
      {"plain, no film, nothing but halation",
       [](TextureOptionsStruct& o) { o.cameraStock = 0; o.printOff = 1; o.halationOff = 0; }, {"halation"}},
      {"plain, no film, halation off",
       [](TextureOptionsStruct& o) { o.cameraStock = 0; o.printOff = 1; }, {}},
      {"texture, dedicated, hdrComp, film",
       [](TextureOptionsStruct& o) { o.inputGamut = 0; o.ensemblePitchScaled = 1.2f; o.hdrComp = 1;
                                     o.brewSoftClipOn = 1; o.exposureAmount = 2.0f; o.exposureMode = 2; },
       concat({{"exposure_linear_gamma", "highlights_shadows_Kernel", "Lin_rec709_compress_LAB"}, texture_levels(1),
               {"LAB_Lin_rec709", "film", "RGBA_rec709_expand_sRGB"}})},
      {"texture, dedicated, film without hdrComp",
       [](TextureOptionsStruct& o) { o.inputGamut = 5; o.ensemblePitchScaled = 0.0f; o.brewSoftClipOn = 1;
                                     o.softClipOn = 1; o.halationOff = 0; },
       concat({{"halation", "highlights_shadows_Kernel", "ACES_AP1_LAB"}, texture_levels(1),
               {"LAB_ACES_AP1", "highlights_shadows_Kernel", "film"}})},
      {"texture, dedicated, no film, expanding",
       [](TextureOptionsStruct& o) { o.inputGamut = 30; o.ensemblePitchScaled = 1.2f; o.hdrComp = 1; o.cameraStock = 0;
                                     o.printOff = 1; o.brewSoftClipOn = 1; },
       concat({{"Lin_rec2020_compress_LAB"}, texture_levels(1), {"LAB_Lin_rec2020_expand"}})},
      {"texture, generic index above 30, no film",
       [](TextureOptionsStruct& o) { o.inputGamut = 31; o.ensemblePitchScaled = 1.2f; o.cameraStock = 0; o.printOff = 1;
                                     o.exposureAmount = 0.1f; o.exposureMode = 2; o.hdrComp = 1; },
       concat({{"exposure_log", "ColorSpace_LAB"}, texture_levels(1), {"LAB_Colorspace"}})},
      {"texture, generic, film",
       [](TextureOptionsStruct& o) { o.inputGamut = 2; o.ensemblePitchScaled = 1.2f; o.brewSoftClipOn = 1; },
       concat({{"ColorSpace_LAB"}, texture_levels(1), {"LAB_Colorspace", "highlights_shadows_Kernel", "film"}})},
      {"texture, camera stock 0 with the print stage: negative step before the film stage",
       [](TextureOptionsStruct& o) { o.inputGamut = 0; o.ensemblePitchScaled = 1.2f; o.cameraStock = 0;
                                     o.brewSoftClipOn = 1; },
       concat({{"rec709_LAB"}, texture_levels(1), {"LAB_Lin_rec709", "highlights_shadows_Kernel", "film"}})},
      {"ensemble exactly 1.0 takes the plain road",
       [](TextureOptionsStruct& o) { o.ensemblePitchScaled = 1.0f; }, {"film"}},
      {"ensemble next to 1.0 takes the texture road",
       [](TextureOptionsStruct& o) { o.ensemblePitchScaled = std::nextafter(1.0f, 2.0f); },
       concat({{"ColorSpace_LAB"}, texture_levels(1), {"LAB_Colorspace", "film"}})},
      {"pitch off takes the plain road", [](TextureOptionsStruct& o) { o.ensemblePitchScaled = 1.2f; o.pitchOff = 1; },
       {"film"}},
  };
  for (int channels : {3, 4}) {
    for (const auto& c : cases) {
      TextureOptionsStruct o = plain_options(37, 23, channels);
      c.set(o);
      FrameRun r = run_frame(o, test_frame(37, 23, channels));
      EXPECT_TRUE(r.ok) << c.name;
      Names expected = c.expected;
      if (channels == 3) {
        expected.insert(expected.begin(), "RGB_RGBA_Kernel");
        expected.push_back("RGBA_RGB_Kernel");
      }
      EXPECT_EQ(r.trace, expected) << c.name << ", " << channels << " channels";
    }
  }
}

TEST(PipelineEntry, PlainRoadValuesFollowTheStageOrder) {
  const int W = 7, H = 5;
  auto src = test_frame(W, H, 4, 3);
  TextureOptionsStruct o = plain_options(W, H, 4);
  o.exposureAmount = 1.7f;
  o.halationOff = 0;
  o.softClipOn = 1;
  o.brewSoftClipOn = 1;
  FrameRun r = run_frame(o, src);
  ASSERT_TRUE(r.ok);
  for (size_t i = 0; i < src.size(); ++i) {
    if (i % 4 == 3) {
      EXPECT_EQ(r.out[i], src[i]);
      continue;
    }
    float v = exposure_linear_value(src[i], o.exposureAmount);
    v = standin::halation_value(v);
    v = highlights_shadows_value(v, o.cameraHighlightsCeiling, o.cameraHighlightsRecoverScaled,
                                 o.cameraShadowsCeilingScaled, o.cameraShadowsRecoverScaled);
    v = highlights_shadows_value(v, o.brewHighlightCeiling, o.brewHighlightCompressScaled, o.brewShadowFloorScaled,
                                 o.brewShadowExpandScaled);
    EXPECT_FLOAT_EQ(r.out[i], standin::film_value(v)) << i;
  }
}

TEST(PipelineEntry, TextureRoadWithUnitGainsReturnsTheLabImage) {
  // Generic Lab stand-ins are exact inverses, so all-one gains leave the frame.
  const int W = 37, H = 23;
  auto src = test_frame(W, H, 4, 9);
  TextureOptionsStruct o = plain_options(W, H, 4);
  o.ensemblePitchScaled = 0.4f;
  o.cameraStock = 0;
  o.printOff = 1;
  FrameRun r = run_frame(o, src);
  ASSERT_TRUE(r.ok);
  for (size_t i = 0; i < src.size(); ++i) ASSERT_NEAR(r.out[i], src[i], 3e-5f) << i;
  // A gain above 1 sharpens: the frame changes.
  o.sopranoPitchScaled = 1.8f;
  FrameRun sharp = run_frame(o, src);
  double diff = 0;
  for (size_t i = 0; i < src.size(); ++i) diff += std::fabs(sharp.out[i] - src[i]);
  EXPECT_GT(diff, 0.1);
}

TEST(PipelineEntry, TrailingUnitGainsSkipTheirLevels) {
  auto count = [](const Names& n, const char* k) { return std::count(n.begin(), n.end(), std::string(k)); };
  struct Case {
    float gains[6];
    int levels;
  } cases[] = {{{1.5f, 1, 1, 1, 1, 1}, 1}, {{1, 1, 1, 1, 1, 1.5f}, 6}, {{1, 1, 0.5f, 1, 1, 1}, 3},
               {{1, 1, 1, 1, 1, 1}, 1}, {{0.4f, 1, 1, 1, 2, 1}, 5}};
  for (const auto& c : cases) {
    TextureOptionsStruct o = plain_options(37, 23, 4);
    o.ensemblePitchScaled = 1.4f;
    float* gains[6] = {&o.sopranoPitchScaled, &o.mezzoSopranoPitchScaled, &o.altoPitchScaled,
                       &o.tenorPitchScaled,   &o.baritonePitchScaled,     &o.bassPitchScaled};
    for (int k = 0; k < 6; ++k) *gains[k] = c.gains[k];
    FrameRun r = run_frame(o, test_frame(37, 23, 4));
    EXPECT_EQ(count(r.trace, "pitch_sharp"), c.levels);
    EXPECT_EQ(count(r.trace, "iir_guassian"), 2 * c.levels);
    EXPECT_EQ(count(r.trace, "pitch_accumulate"), 1);
  }
}

// Every switch of the record, RGB and RGBA, odd sizes: the output holds no
// unwritten memory, every buffer is freed once, nothing is written out of
// bounds, the source is untouched and RGBA frames keep their alpha.
TEST(PipelineEntry, InvariantSweepOverTheSwitches) {
  const struct {
    int w, h;
  } sizes[] = {{37, 23}, {1, 1}, {1025, 2}};
  const int gamuts[] = {0, 4, 5, 30, 7, 31, 1};
  int runs = 0;
  for (unsigned mask = 0; mask < 512; ++mask) {
    const int channels = (mask & 1) ? 4 : 3;
    const auto size = sizes[(mask / 7) % 3];
    TextureOptionsStruct o = plain_options(size.w, size.h, channels);
    o.inputGamut = gamuts[mask % 7];
    o.ensemblePitchScaled = (mask & 2) ? 1.3f : 1.0f;
    o.bassPitchScaled = (mask & 4) ? 1.2f : 1.0f;
    o.cameraStock = (mask & 8) ? 2 : 0;
    o.printOff = (mask & 16) ? 1 : 0;
    o.hdrComp = (mask & 32) ? 1 : 0;
    o.softClipOn = (mask & 64) ? 1 : 0;
    o.brewSoftClipOn = (mask & 128) ? 1 : 0;
    o.halationOff = (mask & 256) ? 1 : 0;
    o.exposureAmount = (mask % 5 == 0) ? 0.0f : 1.5f;
    o.exposureMode = (mask % 3 == 0) ? 2 : 1;
    const auto src = test_frame(size.w, size.h, channels, mask);
    FrameRun r = run_frame(o, src);
    ASSERT_TRUE(r.ok) << mask;
    if (size.w == 1) {  // one block of each launch shape
      for (const auto& l : cudasim::launch_trace()) ASSERT_EQ(l.grid.x * l.grid.y * l.grid.z, 1u) << l.kernel;
    }
    for (size_t i = 0; i < r.out.size(); ++i) {
      ASSERT_FALSE(cudasim::is_nan_sentinel(r.out[i])) << "mask " << mask << " element " << i;
      if (channels == 4 && i % 4 == 3) {
        ASSERT_EQ(r.out[i], src[i]) << "alpha, mask " << mask;
      }
    }
    ++runs;
    if (HasFailure()) break;
  }
  EXPECT_EQ(runs, 512);
}

TEST(PipelineEntry, HalationOffIsNotAppliedOnTheBareNoFilmRoad) {
  auto src = test_frame(37, 23, 4, 4);
  TextureOptionsStruct o = plain_options(37, 23, 4);
  o.cameraStock = 0;
  o.printOff = 1;
  o.halationOff = 1;
  FrameRun off = run_frame(o, src);
  ASSERT_TRUE(off.ok);
  EXPECT_TRUE(standin::calls().empty());
  EXPECT_EQ(off.out, src);  // the frame passes unchanged, alpha included
  o.halationOff = 0;
  FrameRun on = run_frame(o, src);
  ASSERT_TRUE(on.ok);
  for (size_t i = 0; i < src.size(); ++i)
    EXPECT_EQ(on.out[i], i % 4 == 3 ? src[i] : standin::halation_value(src[i])) << i;
}

TEST(PipelineEntry, BadFramesReturnAtOnceWithoutTouchingTheDevice) {
  std::vector<float> src(64, 0.5f), dst(64, -1.0f);
  const struct {
    int w, h, c;
  } bad[] = {{0, 4, 4}, {4, 0, 4}, {-3, 4, 3}, {4, -1, 3}, {2, 2, 2}, {2, 2, 5}, {2, 2, 0}, {2, 2, 1}};
  for (const auto& b : bad) {
    cudasim::reset();
    TextureOptionsStruct o = plain_options(b.w, b.h, b.c);
    EXPECT_FALSE(texture_pitch_compress_expand(src.data(), dst.data(), o));
    EXPECT_TRUE(cudasim::call_log().empty());
    EXPECT_TRUE(cudasim::launch_trace().empty());
  }
  for (float v : dst) EXPECT_EQ(v, -1.0f);
  cudasim::reset();
  TextureOptionsStruct o = plain_options(2, 2, 4);
  EXPECT_FALSE(texture_pitch_compress_expand(nullptr, dst.data(), o));
  EXPECT_FALSE(texture_pitch_compress_expand(src.data(), nullptr, o));
  EXPECT_TRUE(cudasim::call_log().empty());
}

// Any CUDA failure fails the frame, and every buffer allocated is freed.
TEST(PipelineEntry, CudaFailuresFailTheFrameAndFreeEverything) {
  struct Case {
    const char* function;
    int nth;
    cudaError_t error;
  } cases[] = {{"cudaSetDevice", 1, cudaErrorInvalidDevice},   {"cudaMalloc", 1, cudaErrorMemoryAllocation},
               {"cudaMalloc", 2, cudaErrorMemoryAllocation},    {"cudaMalloc", 3, cudaErrorMemoryAllocation},
               {"cudaMemcpy", 1, cudaErrorInvalidValue},        {"cudaMemcpy", 2, cudaErrorInvalidValue},
               {"launch", 1, cudaErrorLaunchFailure},           {"launch", 3, cudaErrorInvalidConfiguration},
               {"pitch_accumulate", 1, cudaErrorLaunchFailure}, {"RGBA_RGB_Kernel", 1, cudaErrorLaunchFailure}};
  for (int channels : {3, 4}) {
    for (const auto& c : cases) {
      cudasim::reset();
      cudasim::fail_call(c.function, c.nth, c.error);
      TextureOptionsStruct o = plain_options(37, 23, channels);
      o.ensemblePitchScaled = 1.2f;
      o.exposureAmount = 2.0f;
      auto src = test_frame(37, 23, channels);
      std::vector<float> dst(src.size(), -1.0f);
      const bool ok = texture_pitch_compress_expand(src.data(), dst.data(), o);
      const auto s = cudasim::allocation_stats();
      EXPECT_EQ(s.live, 0u) << c.function << " " << c.nth;
      EXPECT_EQ(s.frees, s.allocations);
      EXPECT_EQ(s.double_frees + s.invalid_frees, 0u);
      // A failure after the last download may leave the frame good; any
      // failure before it must not.
      bool failed_in_log = false;
      for (const auto& call : cudasim::call_log()) failed_in_log |= call.result != cudaSuccess;
      for (const auto& l : cudasim::launch_trace()) failed_in_log |= !l.ran;
      if (std::string(c.function) == "RGBA_RGB_Kernel" && channels == 4) {
        EXPECT_TRUE(ok);
        continue;
      }
      EXPECT_TRUE(failed_in_log) << c.function << " " << c.nth;
      EXPECT_FALSE(ok) << c.function << " " << c.nth << ", " << channels << " channels";
    }
  }
  // The buffers are freed C, A, B.
  cudasim::reset();
  TextureOptionsStruct o = plain_options(4, 4, 4);
  auto src = test_frame(4, 4, 4);
  std::vector<float> dst(src.size());
  ASSERT_TRUE(texture_pitch_compress_expand(src.data(), dst.data(), o));
  std::vector<const void*> allocated, freed;
  for (const auto& call : cudasim::call_log()) {
    if (call.function == "cudaMalloc") allocated.push_back(call.pointer);
    if (call.function == "cudaFree") freed.push_back(call.pointer);
  }
  ASSERT_EQ(allocated.size(), 3u);
  EXPECT_EQ(freed, (std::vector<const void*>{allocated[2], allocated[0], allocated[1]}));
}

// A stage that fails by its result or by an exception fails the frame; the
// frame's buffers are freed either way (run_frame checks).
TEST(PipelineEntry, FilmStageFailureFailsTheFrame) {
  TextureOptionsStruct o = plain_options(5, 5, 4);
  for (auto failure : {standin::FilmFailure::kResult, standin::FilmFailure::kThrow}) {
    standin::set_film_failure(failure);
    FrameRun r = run_frame(o, test_frame(5, 5, 4));
    EXPECT_FALSE(r.ok);
  }
  standin::set_film_failure(standin::FilmFailure::kNone);
}

TEST(PipelineEntry, ConcurrentCallsEqualSequentialOnes) {
  cudasim::reset();
  const int W = 61, H = 47;
  TextureOptionsStruct a = plain_options(W, H, 4), b = plain_options(W, H, 3);
  a.ensemblePitchScaled = 1.3f;
  a.tenorPitchScaled = 1.6f;
  a.inputGamut = 4;
  a.hdrComp = 1;
  a.halationOff = 0;
  b.exposureAmount = 2.0f;
  b.softClipOn = 1;
  b.ensemblePitchScaled = 0.7f;
  b.bassPitchScaled = 0.5f;
  const auto src_a = test_frame(W, H, 4, 21), src_b = test_frame(W, H, 3, 22);
  std::vector<float> seq_a(src_a.size()), seq_b(src_b.size()), par_a(src_a.size()), par_b(src_b.size());
  ASSERT_TRUE(texture_pitch_compress_expand(src_a.data(), seq_a.data(), a));
  ASSERT_TRUE(texture_pitch_compress_expand(src_b.data(), seq_b.data(), b));
  for (int round = 0; round < 3; ++round) {
    bool ok_a = false, ok_b = false;
    std::thread ta([&] { ok_a = texture_pitch_compress_expand(src_a.data(), par_a.data(), a); });
    std::thread tb([&] { ok_b = texture_pitch_compress_expand(src_b.data(), par_b.data(), b); });
    ta.join();
    tb.join();
    EXPECT_TRUE(ok_a && ok_b);
    EXPECT_EQ(par_a, seq_a);
    EXPECT_EQ(par_b, seq_b);
  }
  EXPECT_EQ(cudasim::allocation_stats().live, 0u);
}

}  // namespace
