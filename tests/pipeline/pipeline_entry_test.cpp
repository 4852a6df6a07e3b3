// The pipeline entry on the CPU build, with stand-ins for the halation, film
// and generic Lab stages: the road chosen for each combination of switches,
// each stage once and in order, buffer hygiene over a sweep of switches and
// frame sizes, and the failure paths.
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include "entry_harness.h"
#include "pipeline/device_work.h"
#include "pipeline/pixel_kernels.cuh"
#include "stage_standins.h"

namespace {

using Names = std::vector<std::string>;

// Kernel names of the last call, with the stand-in stages shown by name.
Names trace_names() {
  static const std::map<std::string, std::string> stages = {{"standin_halation", "halation"}, {"standin_film", "film"}};
  Names names;
  for (const auto& l : cudasim::launch_trace()) names.push_back(stages.count(l.kernel) ? stages.at(l.kernel) : l.kernel);
  return names;
}

Names texture_levels(int levels) {
  Names n = {"iir_guassian", "u_d_l_r", "iir_guassian", "u_d_l_r", "pitch_sharp"};
  for (int k = 2; k <= levels; ++k)
    for (const char* s : {"iir_guassian", "u_d_l_r", "iir_guassian", "u_d_l_r", "pitch_sharp_next"}) n.push_back(s);
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
       {"highlights_shadows_Kernel", "RGBA_ACES_AP0_compress", "film", "RGBA_ACES_AP0_expand_sRGB",
        "hold_display_range"}},
      {"plain, negative only, dedicated with hdrComp: scene-referred, not held",
       [](TextureOptionsStruct& o) { o.inputGamut = 5; o.hdrComp = 1; o.printOff = 1; },
       {"RGBA_ACES_AP1_compress", "film", "RGBA_ACES_AP1_expand_sRGB"}},
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
               {"LAB_Lin_rec709", "film", "RGBA_rec709_expand_sRGB", "hold_display_range"}})},
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
      EXPECT_TRUE(run_frame(o, test_frame(37, 23, channels)).ok) << c.name;
      Names expected = c.expected;
      if (channels == 3) {
        expected.insert(expected.begin(), "RGB_RGBA_Kernel");
        expected.push_back("RGBA_RGB_Kernel");
      }
      EXPECT_EQ(trace_names(), expected) << c.name << ", " << channels << " channels";
    }
  }
}

// The stand-ins' transforms do not commute: a stage skipped, doubled or
// moved changes the values.
TEST(PipelineEntry, PlainRoadValuesFollowTheStageOrder) {
  const auto src = test_frame(7, 5, 4, 3);
  TextureOptionsStruct o = plain_options(7, 5, 4);
  o.exposureAmount = 1.7f;
  o.halationOff = 0;
  o.softClipOn = o.brewSoftClipOn = 1;
  const FrameRun r = run_frame(o, src);
  ASSERT_TRUE(r.ok);
  for (size_t i = 0; i < src.size(); ++i) {
    float v = standin::halation_value(exposure_linear_value(src[i], o.exposureAmount));
    v = highlights_shadows_value(v, o.cameraHighlightsCeiling, o.cameraHighlightsRecoverScaled,
                                 o.cameraShadowsCeilingScaled, o.cameraShadowsRecoverScaled);
    v = highlights_shadows_value(v, o.brewHighlightCeiling, o.brewHighlightCompressScaled, o.brewShadowFloorScaled,
                                 o.brewShadowExpandScaled);
    EXPECT_FLOAT_EQ(r.out[i], i % 4 == 3 ? src[i] : standin::film_value(v)) << i;
  }
}

// The generic Lab stand-ins are exact inverses, so all-one gains return the
// frame and a gain above 1 sharpens it.
TEST(PipelineEntry, TextureRoadWithUnitGainsReturnsTheLabImage) {
  const auto src = test_frame(37, 23, 4, 9);
  TextureOptionsStruct o = plain_options(37, 23, 4);
  o.ensemblePitchScaled = 0.4f;
  o.cameraStock = 0;
  o.printOff = 1;
  const FrameRun r = run_frame(o, src);
  ASSERT_TRUE(r.ok);
  for (size_t i = 0; i < src.size(); ++i) ASSERT_NEAR(r.out[i], src[i], 3e-5f) << i;
  o.sopranoPitchScaled = 1.8f;
  const FrameRun sharp = run_frame(o, src);
  double diff = 0;
  for (size_t i = 0; i < src.size(); ++i) diff += std::fabs(sharp.out[i] - src[i]);
  EXPECT_GT(diff, 0.1);
}

TEST(PipelineEntry, TrailingUnitGainsSkipTheirLevels) {
  const struct {
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
    run_frame(o, test_frame(37, 23, 4));
    const Names t = trace_names();
    EXPECT_EQ(std::count(t.begin(), t.end(), "pitch_sharp") + std::count(t.begin(), t.end(), "pitch_sharp_next"),
              c.levels);
    EXPECT_EQ(std::count(t.begin(), t.end(), "iir_guassian"), 2 * c.levels);
    EXPECT_EQ(std::count(t.begin(), t.end(), "pitch_accumulate"), 1);
  }
}

TEST(PipelineEntry, InvariantSweepOverTheSwitches) {
  const int sizes[][2] = {{37, 23}, {1, 1}, {1025, 2}};
  const int gamuts[] = {0, 4, 5, 30, 7, 31, 1};
  for (unsigned mask = 0; mask < 512; ++mask) {
    const int channels = (mask & 1) ? 4 : 3, W = sizes[(mask / 7) % 3][0], H = sizes[(mask / 7) % 3][1];
    TextureOptionsStruct o = plain_options(W, H, channels);
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
    const auto src = test_frame(W, H, channels, mask);
    const FrameRun r = run_frame(o, src);
    ASSERT_TRUE(r.ok) << mask;
    if (W == 1) {  // one block of each launch shape
      for (const auto& l : cudasim::launch_trace()) ASSERT_EQ(l.grid.x * l.grid.y * l.grid.z, 1u) << l.kernel;
    }
    expect_written_with_alpha(r, src, channels, mask);
    if (HasFailure()) break;
  }
}

// On the bare no-film road a switched-off halation must not run: the frame
// passes unchanged, alpha included.
TEST(PipelineEntry, HalationOffIsNotAppliedOnTheBareNoFilmRoad) {
  const auto src = test_frame(37, 23, 4, 4);
  TextureOptionsStruct o = plain_options(37, 23, 4);
  o.cameraStock = 0;
  o.printOff = 1;
  const FrameRun off = run_frame(o, src);
  ASSERT_TRUE(off.ok);
  EXPECT_EQ(off.out, src);
  o.halationOff = 0;
  const FrameRun on = run_frame(o, src);
  ASSERT_TRUE(on.ok);
  for (size_t i = 0; i < src.size(); ++i) EXPECT_EQ(on.out[i], i % 4 == 3 ? src[i] : standin::halation_value(src[i]));
}

TEST(PipelineEntry, BadFramesReturnAtOnceWithoutTouchingTheDevice) {
  std::vector<float> src(64, 0.5f), dst(64, -1.0f);
  const int bad[][3] = {{0, 4, 4}, {4, 0, 4}, {-3, 4, 3}, {4, -1, 3}, {2, 2, 2}, {2, 2, 5}, {2, 2, 0}, {2, 2, 1}};
  cudasim::reset();
  for (const auto& b : bad) EXPECT_FALSE(texture_pitch_compress_expand(src.data(), dst.data(), plain_options(b[0], b[1], b[2])));
  const TextureOptionsStruct o = plain_options(2, 2, 4);
  EXPECT_FALSE(texture_pitch_compress_expand(nullptr, dst.data(), o));
  EXPECT_FALSE(texture_pitch_compress_expand(src.data(), nullptr, o));
  EXPECT_TRUE(cudasim::call_log().empty());
  EXPECT_TRUE(cudasim::launch_trace().empty());
  EXPECT_EQ(dst, std::vector<float>(64, -1.0f));
}

// Any CUDA failure up to the frame's one wait fails the frame, and every
// buffer allocated is freed and the stream destroyed.
TEST(PipelineEntry, CudaFailuresFailTheFrameAndFreeEverything) {
  const struct {
    const char* function;
    int nth;
    cudaError_t error;
  } cases[] = {{"cudaSetDevice", 1, cudaErrorInvalidDevice},
               {"cudaStreamCreateWithFlags", 1, cudaErrorMemoryAllocation},
               {"cudaMallocFromPoolAsync", 1, cudaErrorMemoryAllocation},
               {"cudaMallocFromPoolAsync", 2, cudaErrorMemoryAllocation},
               {"cudaMallocFromPoolAsync", 3, cudaErrorMemoryAllocation},
               {"cudaMemcpyAsync", 1, cudaErrorInvalidValue},
               {"cudaMemcpyAsync", 2, cudaErrorInvalidValue},
               {"launch", 1, cudaErrorLaunchFailure},
               {"launch", 3, cudaErrorInvalidConfiguration},
               {"pitch_accumulate", 1, cudaErrorLaunchFailure},
               {"RGBA_RGB_Kernel", 1, cudaErrorLaunchFailure},
               {"cudaFreeAsync", 2, cudaErrorLaunchFailure},  // given back after the stream instead
               {"cudaStreamSynchronize", 1, cudaErrorLaunchFailure}};
  for (int channels : {3, 4}) {
    for (const auto& c : cases) {
      TextureOptionsStruct o = plain_options(37, 23, channels);
      o.ensemblePitchScaled = 1.2f;
      o.exposureAmount = 2.0f;
      const auto src = test_frame(37, 23, channels);
      cudasim::reset();
      cudasim::fail_call(c.function, c.nth, c.error);
      std::vector<float> dst(src.size());
      const bool ok = texture_pitch_compress_expand(src.data(), dst.data(), o);
      const auto s = cudasim::allocation_stats();
      EXPECT_EQ(s.live + s.live_streams, 0u) << c.function << " " << c.nth;
      EXPECT_EQ(s.frees, s.allocations);
      EXPECT_EQ(s.double_frees + s.invalid_frees, 0u);
      // RGBA frames have no narrowing launch to fail.
      EXPECT_EQ(ok, std::string(c.function) == "RGBA_RGB_Kernel" && channels == 4)
          << c.function << " " << c.nth << ", " << channels << " channels";
    }
  }
}

// Frames take their buffers from the device's pool and wait for the device
// once; on a device without memory pools the same frame comes through plain
// allocations. What the pool keeps goes back on request.
TEST(PipelineEntry, FramesTakeBuffersFromThePoolAndWaitOnce) {
  TextureOptionsStruct o = plain_options(37, 23, 3);
  o.ensemblePitchScaled = 1.3f;
  o.halationOff = 0;
  const auto src = test_frame(37, 23, 3, 5);
  const FrameRun pooled = run_frame(o, src);
  ASSERT_TRUE(pooled.ok);
  int from_pool = 0, waits = 0;
  for (const auto& c : cudasim::call_log()) {
    from_pool += c.function == "cudaMallocFromPoolAsync";
    waits += c.host_waits;
  }
  EXPECT_EQ(from_pool, 3);
  EXPECT_EQ(waits, 1);
  cudasim::clear_call_log();
  release_cached_device_memory();
  ASSERT_FALSE(cudasim::call_log().empty());
  EXPECT_EQ(cudasim::call_log().front().function, "cudaMemPoolTrimTo");

  cudasim::reset();
  cudasim::Device plain;
  plain.attributes[cudaDevAttrMemoryPoolsSupported] = 0;
  cudasim::set_devices({plain});
  std::vector<float> out(src.size());
  ASSERT_TRUE(texture_pitch_compress_expand(src.data(), out.data(), o));
  EXPECT_EQ(out, pooled.out);
  EXPECT_EQ(cudasim::allocation_stats().allocations, 3u);
  EXPECT_EQ(cudasim::allocation_stats().live + cudasim::allocation_stats().live_streams, 0u);
  for (const auto& c : cudasim::call_log()) EXPECT_NE(c.function, "cudaMallocFromPoolAsync");
}

// A stage that fails by its result or by an exception fails the frame.
TEST(PipelineEntry, FilmStageFailureFailsTheFrame) {
  for (auto failure : {standin::FilmFailure::kResult, standin::FilmFailure::kThrow}) {
    standin::set_film_failure(failure);
    EXPECT_FALSE(run_frame(plain_options(5, 5, 4), test_frame(5, 5, 4)).ok);
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
