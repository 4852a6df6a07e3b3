// The film stage host sequence, run on the CPU build and observed through
// the stand-in's launch trace and allocation registry, and a sweep of
// records from the render path's own fills over every road of the stage;
// the fixture checks that every allocation is freed once and no pointer or
// write strays.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "cudasim/cudasim_control.h"
#include "frame_roads.h"
#include "pipeline/film_brew_print_cuda.h"
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
};

// Runs the film stage as a render does (its own stream, buffers from the
// device's pool) on device copies of `rgba` (frame b starts as a marker) and
// brings both frames back; the launch trace and call log show this run only.
StageResult run_stage(const TextureOptionsStruct& o, const std::vector<float>& rgba) {
  DeviceFloats a(rgba), b(std::vector<float>(rgba.size(), -7.0f));
  cudasim::clear_launch_trace();
  cudasim::clear_call_log();
  StageResult r;
  {
    const RenderStream render(o.cudaDevice);  // waits for the stage's work as it goes
    r.ran = film_brew_print_cuda(a.get(), b.get(), o, render.work());
  }
  r.a = a.download();
  r.b = b.download();
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
    for (const cudasim::Launch& l : cudasim::launch_trace()) {
      steps += l.kernel == "develop_cuda";
      if (l.kernel == "reservoir_developer_concentration_init_two") mixed.push_back(steps);
    }
    EXPECT_EQ(steps, 13);
    EXPECT_EQ(count_launches("developer_to_layer"), 13);
    EXPECT_EQ(mixed, schedules[agitate - 1]);
    const bool on = d.loMid || d.midHi;
    int planes = 0;  // the reductions' temporaries are smaller
    for (const cudasim::Call& call : cudasim::call_log())
      planes += call.function == "cudaMallocFromPoolAsync" && call.bytes >= 40 * 33 * sizeof(float);
    EXPECT_EQ(planes, on ? 6 : 5);  // with the print stage off, no print plane
    for (const char* k : {"film_lab_diffuse_reset_pfe", "pitch_sharp_film_lab", "pitch_accumulate_film_lab_pfe"})
      EXPECT_EQ(count_launches(k), on ? 13 : 0) << k;
    EXPECT_EQ(count_launches("iir_guassian"), 13 * d.blursPerStep);
    EXPECT_EQ(count_launches("iir_guassian_rows"), 13 * d.blursPerStep);
  }
}

// A thread per developer element, in as many blocks as that takes.
TEST_F(FilmStage, ExchangeGridForSmallAndLargeFrames) {
  const struct { int W, H; unsigned blocks; } cases[] = {{7, 5, 1u}, {64, 17, 2u}, {64, 32, 2u}};
  for (const auto& c : cases) {
    run_stage(negative(c.W, c.H), test_frame(c.W, c.H, 4, 2));
    for (const auto& l : cudasim::launch_trace())
      if (l.kernel == "developer_to_layer") { EXPECT_EQ(l.grid.x * l.block.x, 1024u * c.blocks) << c.W; }
  }
}

TEST_F(FilmStage, EmptyFrameRunsNothing) {
  TextureOptionsStruct o = negative(1, 4, {{"PrintDisplayBypass", 0}});
  o.frameWidth = 0;
  cudasim::clear_launch_trace();
  EXPECT_TRUE(film_brew_print_cuda(nullptr, nullptr, o, DeviceWork{}));
  EXPECT_TRUE(cudasim::launch_trace().empty());
}

// An allocation that fails leaves nothing allocated and the picture in both
// frames, for every allocation of the negative and print stages, then the
// print stage's own on the print-only road.
TEST_F(FilmStage, AllocationFailureFreesEverything) {
  const std::vector<float> in = test_frame(5, 5, 4, 8);
  for (int nth = 1; nth <= 8; ++nth) {
    const TextureOptionsStruct o = negative(
        5, 5,
        {{"CameraStock", nth == 8 ? 0 : 2}, {"DiffuseMidHi", 0.3}, {"PrintDisplayBypass", 0}, {"PrintProfile", 1}});
    cudasim::fail_call("cudaMallocFromPoolAsync", nth == 8 ? 1 : nth, cudaErrorMemoryAllocation);
    const StageResult r = run_stage(o, in);
    cudasim::clear_failures();
    EXPECT_FALSE(r.ran) << nth;
    EXPECT_EQ(r.b, r.a) << nth;
    if (nth == 8) { EXPECT_EQ(r.a, in); }
  }
  // A reduction that the device library fails throws out of the stage, as
  // Thrust does; the planes go on the way out (the frames with run_stage's).
  cudasim::fail_call("thrust::reduce", 3, cudaErrorLaunchFailure);
  EXPECT_THROW(run_stage(negative(5, 5), in), std::runtime_error);
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
              for (size_t i = 0; i < r.a.size(); ++i)
                ASSERT_TRUE(i % 4 == 3 || (std::isfinite(r.a[i]) && r.a[i] == r.b[i])) << "element " << i;
            } else {
              // No negative and no print: the stage leaves the frame alone.
              ASSERT_EQ(std::memcmp(r.a.data(), in.data(), in.size() * sizeof(float)), 0);
            }
            ASSERT_EQ(cudasim::allocation_stats().live, 0u);
          }
  EXPECT_GT(runs, 60);
}

}  // namespace
