// The film stage host sequence, run on the CPU build and observed through
// the stand-in's launch trace and allocation registry, and a sweep of
// records from the render path's own fills over every road of the stage;
// the fixture checks that every allocation is freed once and no pointer or
// write strays.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "cudasim/cudasim_control.h"
#include "frame_roads.h"
#include "pipeline/film_brew_print_cuda.h"
#include "pipeline/film_kernels.h"
#include "pipeline/film_output.cuh"
#include "tests/pipeline/device_buffer.h"
#include "tests/pipeline/entry_harness.h"

namespace {

class FilmStage : public ::testing::Test {
 protected:
  void SetUp() override { cudasim::reset(); }
  void TearDown() override {
    const cudasim::AllocationStats s = cudasim::allocation_stats();
    EXPECT_EQ(s.live, 0u);
    EXPECT_EQ(s.double_frees + s.invalid_frees + s.guard_overruns + s.bad_pointers, 0u)
        << (cudasim::violations().empty() ? "" : cudasim::violations().front());
    cudasim::reset();
  }
};

struct StageResult {
  bool ran = false;
  std::vector<float> a, b;  // both frames after the call, RGBA
  std::vector<float> out;   // the frame the result was asked in
};

// Runs the film stage as a render does (its own stream, buffers from the
// device's pool) on device copies of `rgba` (frame b starts as a marker) and
// brings both frames back; the launch trace and call log show this run only.
StageResult run_stage(const TextureOptionsStruct& o, const std::vector<float>& rgba,
                      FilmResult result = FilmResult::kInA) {
  DeviceFloats a(rgba), b(std::vector<float>(rgba.size(), -7.0f));
  cudasim::clear_launch_trace();
  cudasim::clear_call_log();
  StageResult r;
  {
    const RenderStream render(o.cudaDevice);  // waits for the stage's work as it goes
    r.ran = film_brew_print_cuda(a.get(), b.get(), o, render.work(), result);
  }
  r.a = a.download();
  r.b = b.download();
  r.out = result == FilmResult::kInA ? r.a : r.b;
  return r;
}

int count_launches(const std::string& kernel) {
  int n = 0;
  for (const cudasim::Launch& l : cudasim::launch_trace()) n += l.kernel == kernel;
  return n;
}

// A camera negative with the print stage off, and `more`.
TextureOptionsStruct negative(int W, int H, frame_roads::Values more = {}) {
  more.insert(more.begin(), {{"CameraStock", 2}, {"PrintDisplayBypass", 1}});
  return frame_roads::record(more, W, H, 4);
}

// The 13 development steps: the iterations (1-based) in which the reservoir
// is mixed back into the layer for each Agitate setting, and the diffusion
// pass for each flag combination (blurs per step: band one with either
// flag, band two with the low-mid flag; one more plane while it runs).
TEST_F(FilmStage, AgitationScheduleAndDiffusionLaunches) {
  const std::vector<int> schedules[] = {{7}, {4, 10}, {3, 7, 11}, {3, 6, 9, 12}, {2, 4, 6, 8, 10, 12}};
  const struct { bool loMid, midHi; int blursPerStep; } diffusion[] = {
      {false, false, 0}, {false, true, 1}, {true, false, 2}, {true, true, 2}};
  for (int agitate = 1; agitate <= 5; ++agitate) {
    const auto& d = diffusion[(agitate - 1) % 4];
    SCOPED_TRACE(::testing::Message() << "agitate " << agitate << ", loMid " << d.loMid << ", midHi " << d.midHi);
    const TextureOptionsStruct o = negative(
        40, 33, {{"Agitate", agitate}, {"DiffuseLoMid", d.loMid ? 0.4 : 1.0}, {"DiffuseMidHi", d.midHi ? 0.3 : 1.0}});
    EXPECT_TRUE(run_stage(o, test_frame(40, 33, 4, agitate)).ran);
    std::vector<int> mixed;
    int steps = 0;
    // The step after a mix starts from the mixed concentration (developer at
    // step 0), not from the plane; so does the first, which also takes its
    // developed and silver values as constants. Without diffusion the step
    // exchanges its developer with the reservoir itself (it has a plane for
    // the developer before the exchange), with it the diffusion's last pass
    // does. The last step leaves only the developed plane: no silver, no
    // developer, no diffusion, sums or concentration after it.
    const bool on = d.loMid || d.midHi;
    for (const cudasim::Launch& l : cudasim::launch_trace()) {
      if (l.kernel != "develop_cuda") continue;
      const bool uniform = l.arguments.at(7).number == 0;
      if (steps == 0)
        EXPECT_TRUE(uniform);
      else if (uniform)
        mixed.push_back(steps);
      for (int planeIn : {3, 4}) EXPECT_EQ(l.arguments.at(planeIn).pointer == nullptr, steps == 0) << steps;
      const bool last = steps == 12;
      EXPECT_EQ(l.arguments.at(9).pointer != nullptr, !on && !last) << steps;
      for (int planeOut : {2, 8}) EXPECT_EQ(l.arguments.at(planeOut).pointer == nullptr, last) << steps;
      ++steps;
    }
    EXPECT_EQ(steps, 13);
    EXPECT_EQ(cudasim::launch_trace().back().kernel.rfind("film_brew_cuda_out", 0), 0u);
    EXPECT_EQ(count_launches("develop_concentration"), 13);
    EXPECT_EQ(mixed, schedules[agitate - 1]);
    int planes = 0;  // the reductions' temporaries are smaller
    for (const cudasim::Call& call : cudasim::call_log())
      planes += call.function == "cudaMallocFromPoolAsync" && call.bytes >= 40 * 33 * sizeof(float);
    EXPECT_EQ(planes, on ? 6 : 5);
    // Band one's column pass starts each blur; the last row pass ends it.
    for (const char* k : {"iir_guassian_developer_code", "iir_guassian_rows_developer"})
      EXPECT_EQ(count_launches(k), on ? 12 : 0) << k;
    EXPECT_EQ(count_launches("iir_guassian"), 12 * (d.blursPerStep - on));
    EXPECT_EQ(count_launches("iir_guassian_rows"), 12 * (d.blursPerStep - on));
    // The steps queue without waiting: up to the render's wait at its end
    // (then come the test's downloads) nothing waits, and every launch and
    // sum goes on the render's stream.
    int waits = 0, sums = 0;
    const cudaStream_t stream = cudasim::launch_trace().front().stream;
    EXPECT_NE(stream, nullptr);
    for (const cudasim::Launch& l : cudasim::launch_trace()) EXPECT_EQ(l.stream, stream) << l.kernel;
    for (const cudasim::Call& call : cudasim::call_log()) {
      if (call.function == "cudaStreamSynchronize") break;
      waits += call.host_waits;
      if (call.function == "cub::DeviceReduce::Reduce") {
        ++sums;
        EXPECT_EQ(call.stream, stream);
      }
    }
    EXPECT_EQ(waits, 0);
    EXPECT_EQ(sums, 24);
  }
}

TEST_F(FilmStage, EmptyFrameRunsNothing) {
  TextureOptionsStruct o = negative(1, 4, {{"PrintDisplayBypass", 0}});
  o.frameWidth = 0;
  cudasim::clear_launch_trace();
  EXPECT_TRUE(film_brew_print_cuda(nullptr, nullptr, o, DeviceWork{}, FilmResult::kInB));
  EXPECT_TRUE(cudasim::launch_trace().empty());
}

// An allocation that fails leaves nothing allocated and the picture in both
// frames, for every allocation of the stage; the print stage itself
// allocates nothing (its input goes to it in registers), also without a
// camera stock.
TEST_F(FilmStage, AllocationFailureFreesEverything) {
  const std::vector<float> in = test_frame(5, 5, 4, 8);
  const auto allocations = [] {
    int n = 0;
    for (const cudasim::Call& call : cudasim::call_log()) n += call.function == "cudaMallocFromPoolAsync";
    return n;
  };
  const TextureOptionsStruct o =
      negative(5, 5, {{"DiffuseMidHi", 0.3}, {"PrintDisplayBypass", 0}, {"PrintProfile", 1}});
  EXPECT_TRUE(run_stage(o, in).ran);
  EXPECT_EQ(allocations(), 7);  // alpha, developed, silver, exposure, developer, diffusion, the loop's slots
  for (int nth = 1; nth <= 7; ++nth) {
    cudasim::fail_call("cudaMallocFromPoolAsync", nth, cudaErrorMemoryAllocation);
    const StageResult r = run_stage(o, in);
    cudasim::clear_failures();
    EXPECT_FALSE(r.ran) << nth;
    EXPECT_EQ(r.b, r.a) << nth;
  }
  for (int profile : {0, 1}) {
    TextureOptionsStruct print = o;
    print.cameraStock = 0;
    print.printProfile = profile;
    EXPECT_TRUE(run_stage(print, in).ran);
    EXPECT_EQ(allocations(), 0) << profile;
  }
  // A development sum that the device library fails (the first, or a later
  // step's second) fails the stage the same way: frames as they came, every
  // plane and the sum's scratch given back.
  for (int nth : {1, 4}) {
    cudasim::fail_call("cub::DeviceReduce::Reduce", nth, cudaErrorLaunchOutOfResources);
    const StageResult r = run_stage(negative(5, 5), in);
    cudasim::clear_failures();
    EXPECT_FALSE(r.ran) << nth;
    EXPECT_EQ(r.a, in) << nth;
    EXPECT_EQ(r.b, in) << nth;
  }
}

// Every print stock through the stage: with the grading neutral, linear grey
// comes out neutral on the display only (stock 0) and on the D55 stocks 6 to
// 9, and bluish on stocks 1 to 5, whose white is adapted from D55 to D65.
TEST_F(FilmStage, EveryPrintStockRendersWithItsWhite) {
  TextureOptionsStruct o = frame_roads::record(
      {{"InputGamut", 0}, {"PrintDisplayBypass", 0}, {"PrintProfile", 1}, {"PrintCast", 6504}, {"PrintTintGtoM", 0},
       {"PrintTintRtoC", 0}, {"PrintSaturation", 1}, {"PrintBlend", 0}, {"PrintSat", 0}, {"PrintHue", 0},
       {"PrintChr", 0}, {"PrintVib", 0}, {"PrintBleachBypass", 0}},
      2, 2, 4);
  o.printRefineOn = 0;
  for (float* bp : {&o.printerBlackPointRedScaled, &o.printerBlackPointGreenScaled, &o.printerBlackPointBlueScaled})
    *bp = 0.02f;
  for (float* lt : {&o.printerLightRedScaled, &o.printerLightGreenScaled, &o.printerLightBlueScaled}) *lt = 0.95f;
  const std::vector<float> grey(16, 0.18f);
  for (int stock = 0; stock <= 9; ++stock) {
    o.printProfile = stock;
    const StageResult r = run_stage(o, grey);
    const bool adapted = stock >= 1 && stock <= 5;
    if (adapted) {
      EXPECT_GT(r.a[2] - r.a[0], 0.01f) << "print stock " << stock << ": grey stays neutral, yet stocks 1 to 5 "
                                        << "adapt their D55 white to D65";
    } else {
      for (int c : {1, 2})
        EXPECT_NEAR(r.a[c], r.a[0], 2e-3f) << "print stock " << stock << ": grey leaves tinted, yet "
                                           << (stock ? "stocks 6 to 9 keep their white" : "the display adapts nothing");
    }
  }
}

// Every combination of camera stock, negative bleach and print bleach, on
// the display and on a print stock, checked against the print's own pixel
// functions composed apart from the kernel table: without a camera stock
// the print renders the frame's pixels (decoded, held); with one it renders
// the negative as the stage gives it with the print stage off (LogC4 code
// values, decoded). The negative's bleach switch must reach the negative
// only, the print's the print only (the display has no bleach).
TEST_F(FilmStage, EveryBleachAndCameraStockCombinationIsThePrintOfItsSource) {
  const int W = 9, H = 7, kLogC4 = 47;
  const std::vector<float> in = test_frame(W, H, 4, 31);
  for (int stock : {0, 2})
    for (int profile : {0, 6})
      for (bool negBleach : {false, true})
        for (bool printBleach : {false, true}) {
          const std::string what = (::testing::Message() << "camera stock " << stock << ", print profile "
                                                         << profile << ", negative bleach " << negBleach
                                                         << ", print bleach " << printBleach)
                                       .GetString();
          SCOPED_TRACE(what);
          const frame_roads::Values values = {{"InputGamut", kLogC4},         {"CameraStock", stock},
                                              {"BrewBleachBypass", negBleach}, {"PrintBleachBypass", printBleach},
                                              {"PrintDisplayBypass", 0},       {"PrintProfile", profile}};
          TextureOptionsStruct o = frame_roads::record(values, W, H, 4);
          ASSERT_EQ(o.inputGamut, kLogC4);
          ASSERT_EQ(o.printProfile, profile);
          o.brewBleachBypass = negBleach;  // also where no negative reads it
          o.printBleachBypass = printBleach;
          // The source, and the one the other negative bleach would give.
          std::vector<float> source[2] = {in, in};
          if (stock) {
            for (bool flipped : {false, true}) {
              frame_roads::Values printOff = values;
              printOff.push_back({"PrintDisplayBypass", 1});
              printOff.push_back({"BrewBleachBypass", negBleach != flipped});
              const StageResult negative = run_stage(frame_roads::record(printOff, W, H, 4), in);
              ASSERT_TRUE(negative.ran);
              source[flipped] = negative.out;
            }
          }
          const StageResult r = run_stage(o, in);
          ASSERT_TRUE(r.ran);

          const film::PrintArgs print = film::print_args(o);
          // The largest difference from the composition of `from` and the
          // print with its bleach on or off.
          const auto worst = [&](const std::vector<float>& from, bool bleach) {
            film::FamilyGains gains;
            const film::PrintSettings settings = film::print_settings(print, bleach, gains);
            float w = 0.0f;
            for (size_t p = 0; p < size_t(W) * H; ++p) {
              float v[3], want[3];
              film::decode_to_working(&from[4 * p], kLogC4, v);
              film::hold3(v);
              if (profile == 0)
                film::display_pixel(v, print.printer.blackPoint, print.printer.light,
                                    film::tone_scale_for(print.printer.displayScale), want);
              else
                film::print_pixel(v, v, settings, want);
              for (int c = 0; c < 3; ++c) w = std::max(w, std::fabs(r.out[4 * p + c] - want[c]));
            }
            return w;
          };
          for (size_t p = 0; p < size_t(W) * H; ++p)
            ASSERT_EQ(r.out[4 * p + 3], in[4 * p + 3]) << "alpha of pixel " << p;
          const float tolerance = 2e-4f;
          const float w = worst(source[0], printBleach);
          // Each bleach switch that has a kernel here shows in this frame.
          const float otherPrint = profile ? worst(source[0], !printBleach) : 1.0f;
          const float otherNegative = stock ? worst(source[1], printBleach) : 1.0f;
          EXPECT_GT(std::min(otherPrint, otherNegative), 0.01f) << what << ": a wrong bleach kernel would go unseen";
          if (w < tolerance) continue;
          const char* wrong = "another source or another print kernel";
          if (otherPrint < tolerance)
            wrong = printBleach ? "the print without the bleach the print's switch asks for"
                                : "the print with a bleach the print's switch does not ask for";
          else if (otherNegative < tolerance)
            wrong = negBleach ? "the negative without the bleach the negative's switch asks for"
                              : "the negative with a bleach the negative's switch does not ask for";
          ADD_FAILURE() << what << ": the output end renders " << wrong << " (off by up to " << w << ")";
        }
}

// The development loop's concentration update, run by its one-thread kernel,
// gives bit for bit what the host computed when it read the sums: each
// operation rounded on its own, in the host's order. Each case is chosen so
// that a fused multiply-add, a regrouped formula or flushing subnormals to
// zero would give another value (checked here too, so the cases stay sharp).
TEST(FilmDevelop, ConcentrationUpdateIsTheHostFormulaUnfused) {
  enum Wrong { kFusedExchange, kFusedOrRegroupedMixing, kFlushedToZero };
  struct Case {
    const char* what;
    Wrong wrong;  // the wrong update this case tells apart
    float C, before, after;
    film::ConcentrationUpdate u;  // fresh, exchangeShare, reservoir, area, inverseVolume, mix
  };
  const Case cases[] = {
      {"exchange", kFusedExchange, 0x1.4fdbdep+10f, 0x1.9c94ap+19f, 0x1.88bf0ep+20f,
       {0.25f, 0x1.7214f8p-20f, 1.0f, 1.0f, 1.0f, 0}},
      {"mixing", kFusedOrRegroupedMixing, 0x1.40f7f6p+9f, 0x1.30cdaep+19f, 0x1.30cdaep+19f,
       {0x1.8p-1f, 0x1.7214f8p-20f, 0x1.b48186p+5f, 0x1.984a4cp+11f, 0x1.aa6962p-13f, 1}},
      {"exchange ending subnormal", kFlushedToZero, 0x1.8p-126f, 0.0f, 0x1.4p-126f,
       {0.5f, 1.0f, 1.0f, 1.0f, 1.0f, 0}},
      {"mixing from subnormal concentration and sums", kFlushedToZero, 0x1p-140f, 0x1p-131f, 0x1p-130f,
       {0.75f, 0x1p-12f, 0.75f, 3.0f, 0.5f, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const film::ConcentrationUpdate& u = c.u;
    // The host's formula, as the loop computed it before the update moved to
    // the device (this source builds without contraction).
    const float exchanged = c.C - (c.after - c.before) * u.exchangeShare;
    const float C = u.mix ? (exchanged * u.reservoir + c.after * 0.1f / u.area) * u.inverseVolume : exchanged;
    const float layer = u.fresh * C;

    DeviceFloats slots(std::vector<float>{0.0f, 0.0f, c.before, c.after});
    CUDA_LAUNCH(develop_concentration, 1, 1, slots.get(), u, 1, c.C);
    CUDA_LAUNCH(develop_concentration, 1, 1, slots.get(), u, 0, 0.0f);
    const std::vector<float> got = slots.download();
    EXPECT_EQ(got[film::kConcentration], C);
    EXPECT_EQ(got[film::kLayerConcentration], layer);
    EXPECT_EQ(got[film::kSumBefore], c.before);
    EXPECT_EQ(got[film::kSumAfter], c.after);

    switch (c.wrong) {
      case kFusedExchange:
        EXPECT_NE(std::fmaf(-(c.after - c.before), u.exchangeShare, c.C), C);
        break;
      case kFusedOrRegroupedMixing:
        EXPECT_NE(std::fmaf(exchanged, u.reservoir, c.after * 0.1f / u.area) * u.inverseVolume, C);
        EXPECT_NE((exchanged * u.reservoir + c.after * (0.1f / u.area)) * u.inverseVolume, C);
        break;
      case kFlushedToZero:
        EXPECT_EQ(std::fpclassify(C), FP_SUBNORMAL);
        EXPECT_EQ(std::fpclassify(layer), FP_SUBNORMAL);
        break;
    }
  }
}

// Frames with NaN, infinities, negatives and values past 1 among random ones.
std::vector<float> awkward_frame(int W, int H, unsigned seed) {
  std::vector<float> f = test_frame(W, H, 4, seed);
  const float specials[] = {NAN, INFINITY, -INFINITY, -0.5f, 3.0f, 0.0f, 1.0f};
  for (size_t i = 0; i < f.size(); i += 5) f[i] = specials[(i / 5) % 7];
  return f;
}

// Every output finite; alpha is carried, not computed.
TEST_F(FilmStage, RandomRecordsOnEveryRoadGiveFiniteOutput) {
  std::mt19937 rng(20240607);
  const int sizes[][2] = {{1, 1}, {7, 5}, {33, 17}};
  int runs = 0;
  for (int stock : {0, 1, 7, 24})
    for (bool printOn : {false, true})
      for (int profile : {0, 1, 2, 6})
        for (bool negBleach : {false, true})
          for (bool printBleach : {false, true}) {
            if ((stock == 0 && negBleach) || (!printOn && (profile != 1 || printBleach))) continue;
            const int W = sizes[runs % 3][0], H = sizes[runs % 3][1], channels = (runs % 2) ? 3 : 4;
            SCOPED_TRACE(::testing::Message() << "stock " << stock << " print " << printOn << " profile " << profile
                                              << " bleach " << negBleach << "/" << printBleach << " channels "
                                              << channels);
            const TextureOptionsStruct o = frame_roads::random_record(
                rng, W, H, channels,
                {{"CameraStock", stock}, {"PrintDisplayBypass", printOn ? 0 : 1}, {"PrintProfile", profile},
                 {"BrewBleachBypass", negBleach}, {"PrintBleachBypass", printBleach}});
            const std::vector<float> in = awkward_frame(W, H, (unsigned)runs++);
            const StageResult r = run_stage(o, in);
            EXPECT_TRUE(r.ran);
            if (o.cameraStock != 0 || !o.printOff) {
              // The result, asked in either frame, is the same.
              const StageResult other = run_stage(o, in, FilmResult::kInB);
              for (size_t i = 0; i < r.out.size(); ++i)
                ASSERT_TRUE(i % 4 == 3 || std::isfinite(r.out[i])) << "element " << i;
              for (size_t i = 3; i < r.out.size(); i += 4)
                ASSERT_TRUE(r.out[i] == in[i] || (std::isnan(r.out[i]) && std::isnan(in[i]))) << "alpha " << i;
              ASSERT_EQ(std::memcmp(r.out.data(), other.out.data(), r.out.size() * sizeof(float)), 0);
            } else {
              // No negative and no print: the stage leaves the frame alone.
              ASSERT_EQ(std::memcmp(r.a.data(), in.data(), in.size() * sizeof(float)), 0);
            }
            ASSERT_EQ(cudasim::allocation_stats().live, 0u);
          }
  EXPECT_GT(runs, 60);
}

}  // namespace
