// The film stage host sequence, run on the CPU build and observed through
// the stand-in's launch trace and allocation registry.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "film_test_support.h"
#include "pipeline/film_brew_print_cuda.h"

namespace {

using namespace filmtest;

class FilmStage : public ::testing::Test {
 protected:
  void SetUp() override { cudasim::reset(); }
  void TearDown() override {
    const cudasim::AllocationStats s = cudasim::allocation_stats();
    EXPECT_EQ(s.live, 0u);
    EXPECT_EQ(s.double_frees + s.invalid_frees + s.guard_overruns + s.bad_pointers, 0u);
    cudasim::reset();
  }
};

// Iterations (1-based) in which the reservoir is mixed back into the layer.
std::vector<int> agitation_iterations() {
  std::vector<int> out;
  int developSteps = 0;
  for (const cudasim::Launch& l : cudasim::launch_trace()) {
    if (l.kernel == "develop_cuda") ++developSteps;
    if (l.kernel == "reservoir_developer_concentration_init_two") out.push_back(developSteps);
  }
  return out;
}

TEST_F(FilmStage, AgitationScheduleForEachSetting) {
  const std::vector<std::vector<int>> expected = {
      {7}, {4, 10}, {3, 7, 11}, {3, 6, 9, 12}, {2, 4, 6, 8, 10, 12}};
  for (int agitate = 1; agitate <= 5; ++agitate) {
    TextureOptionsStruct o = plain_negative_record(9, 7);
    o.agitate = agitate;
    cudasim::clear_launch_trace();
    run_stage(o, random_frame(9, 7, agitate));
    EXPECT_EQ(count_launches("develop_cuda"), 13);
    EXPECT_EQ(count_launches("developer_to_layer"), 13);
    EXPECT_EQ(agitation_iterations(), expected[agitate - 1]) << "agitate " << agitate;
  }
}

// Blur pairs (iir_guassian + u_d_l_r) per development step: band one with
// either flag, band two with the low-mid flag.
TEST_F(FilmStage, DiffusionLaunchesPerFlagCombination) {
  const struct { bool loMid, midHi; int blurPairsPerStep; } cases[] = {
      {false, false, 0}, {false, true, 2}, {true, false, 4}, {true, true, 4}};
  for (const auto& c : cases) {
    TextureOptionsStruct o = plain_negative_record(40, 33);
    o.diffuseLoMidOn = c.loMid;
    o.diffuseMidHiOn = c.midHi;
    o.diffuseLoMidComplement = c.loMid ? 0.6f : 0.0f;
    o.diffuseMidHiScaled = c.midHi ? 1.4f : 1.0f;
    cudasim::clear_launch_trace();
    cudasim::clear_call_log();
    EXPECT_TRUE(run_stage(o, random_frame(40, 33, 1)).ran);
    SCOPED_TRACE(::testing::Message() << "loMid " << c.loMid << " midHi " << c.midHi);
    const bool on = c.loMid || c.midHi;
    int planes = 0;  // the reductions' temporaries are smaller
    for (const cudasim::Call& call : cudasim::call_log())
      planes += call.function == "cudaMallocFromPoolAsync" && call.bytes >= 40 * 33 * sizeof(float);
    EXPECT_EQ(planes, on ? 6 : 5);  // with the print stage off, no print plane
    for (const char* k : {"film_lab_diffuse_reset_pfe", "pitch_sharp_film_lab", "pitch_accumulate_film_lab_pfe"})
      EXPECT_EQ(count_launches(k), on ? 13 : 0) << k;
    EXPECT_EQ(count_launches("iir_guassian"), 13 * c.blurPairsPerStep);
    EXPECT_EQ(count_launches("u_d_l_r"), 13 * c.blurPairsPerStep);
  }
}

// A thread per developer element, in as many blocks as that takes.
TEST_F(FilmStage, ExchangeGridForSmallAndLargeFrames) {
  const struct { int W, H; unsigned blocks; } cases[] = {{7, 5, 1u}, {64, 17, 2u}, {64, 32, 2u}};
  for (const auto& c : cases) {
    cudasim::clear_launch_trace();
    run_stage(plain_negative_record(c.W, c.H), random_frame(c.W, c.H, 2));
    for (const auto& l : cudasim::launch_trace())
      if (l.kernel == "developer_to_layer") { EXPECT_EQ(l.grid.x * l.block.x, 1024u * c.blocks) << c.W; }
  }
}

TEST_F(FilmStage, PrintRoadsLaunchTheirKernel) {
  const struct { int stock, profile; bool printBleach; const char* kernel; } roads[] = {{0, 0, false, "film_print_cuda_out_pfe_display"},
                        {2, 0, true, "film_print_cuda_out_pfe_display"},
                        {0, 2, false, "film_print_cuda_out_hue_chr_vib_pfe"},
                        {3, 6, true, "film_print_cuda_out_bleach_pfe"}};
  for (const auto& road : roads) {
    TextureOptionsStruct o = plain_negative_record(6, 3);
    o.cameraStock = road.stock;
    o.printOff = 0;
    o.printProfile = road.profile;
    o.printBleachBypass = road.printBleach;
    cudasim::clear_launch_trace();
    const StageResult r = run_stage(o, random_frame(6, 3, 5));
    EXPECT_EQ(count_launches(road.kernel), 1) << road.kernel;
    EXPECT_EQ(count_launches("film_lab_init_pfe"), road.stock == 0 ? 1 : 0);
    EXPECT_EQ(count_launches("film_lab_init"), road.stock == 0 ? 0 : 1);
    for (size_t i = 0; i < r.a.size(); ++i)
      ASSERT_TRUE(i % 4 == 3 || (r.a[i] >= 0.0f && r.a[i] <= 1.0f && r.a[i] == r.b[i])) << i;
  }
}

// With the print stage on, the negative hands the print stage the same
// linear picture in both frames (and the print plane, checked by the print
// result being the same with PrintBlend 0 and 1 when nothing grades; no
// pixel of this frame is dark enough to fall below black, where only the
// graded side would be held).
TEST_F(FilmStage, NegativeOutputFillsBothFramesAndKeepsAlpha) {
  TextureOptionsStruct o = plain_negative_record(11, 3);
  const std::vector<float> in = random_frame(11, 3, 6);
  const StageResult r = run_stage(o, in);
  for (size_t i = 0; i < r.a.size(); ++i) {
    ASSERT_EQ(r.a[i], r.b[i]);
    if (i % 4 == 3) EXPECT_EQ(r.a[i], in[i]);
    else EXPECT_TRUE(r.a[i] >= 0.0f && r.a[i] <= 1.0f);
  }
  // A LogC4 output never goes below LogC4 black, even with the density range under it.
  TextureOptionsStruct logc4 = o;
  logc4.inputGamut = 47;
  logc4.brewDminRedScaled = logc4.brewDminGreenScaled = logc4.brewDminBlueScaled = 0.0f;
  logc4.brewDmaxRedScaled = logc4.brewDmaxGreenScaled = logc4.brewDmaxBlueScaled = 0.0f;
  const StageResult black = run_stage(logc4, in);
  for (size_t i = 0; i < black.a.size(); ++i)
    ASSERT_TRUE(i % 4 == 3 || black.a[i] >= 0.0929f) << i << ": " << black.a[i];
  o.printOff = 0;
  o.printProfile = 2;
  const StageResult graded = run_stage(o, in);
  o.printBlendComplement = 0.0f;  // all partner: the ungraded print input
  const StageResult partner = run_stage(o, in);
  for (size_t i = 0; i < graded.a.size(); ++i) EXPECT_NEAR(graded.a[i], partner.a[i], 1e-6f);
}

TEST_F(FilmStage, EmptyFrameRunsNothing) {
  TextureOptionsStruct o = plain_negative_record(0, 4);
  o.printOff = 0;
  cudasim::clear_launch_trace();
  EXPECT_TRUE(film_brew_print_cuda(nullptr, nullptr, o, DeviceWork{}));
  EXPECT_TRUE(cudasim::launch_trace().empty());
}

// An allocation that fails leaves nothing allocated and the picture in both
// frames, for every allocation of the negative and of the print stage.
TEST_F(FilmStage, AllocationFailureFreesEverything) {
  const std::vector<float> in = random_frame(5, 5, 8);
  // Every allocation of the negative and print stages; then the print
  // stage's own on the print-only road.
  for (int nth = 1; nth <= 8; ++nth) {
    TextureOptionsStruct o = plain_negative_record(5, 5);
    o.diffuseMidHiOn = 1;
    o.printOff = 0;
    o.printProfile = 1;
    if (nth == 8) o.cameraStock = 0;
    cudasim::fail_call("cudaMallocFromPoolAsync", nth == 8 ? 1 : nth, cudaErrorMemoryAllocation);
    const StageResult r = run_stage(o, in);
    cudasim::clear_failures();
    EXPECT_FALSE(r.ran) << nth;
    EXPECT_EQ(r.b, r.a) << nth;
    if (nth == 8) { EXPECT_EQ(r.a, in); }
  }
  // A reduction that the device library fails throws out of the stage, as
  // Thrust does; the planes go on the way out (the frames with run_stage's).
  TextureOptionsStruct o = plain_negative_record(5, 5);
  cudasim::fail_call("thrust::reduce", 3, cudaErrorLaunchFailure);
  EXPECT_THROW(run_stage(o, in), std::runtime_error);
}

}  // namespace
