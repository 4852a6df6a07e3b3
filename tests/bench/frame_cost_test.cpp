#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame_cost.h"
#include "frame_roads.h"
#include "kernel_traffic.h"

namespace {

cudasim::LaunchArgument num(double v) {
  cudasim::LaunchArgument a;
  a.is_number = true;
  a.number = v;
  return a;
}

cudasim::LaunchArgument ptr(const void* p) {
  cudasim::LaunchArgument a;
  a.is_pointer = true;
  a.pointer = p;
  return a;
}

const cudasim::LaunchArgument kStruct{};  // a structure argument: neither pointer nor number

cudasim::Launch launch(const char* kernel, std::vector<cudasim::LaunchArgument> arguments, dim3 grid = dim3(1),
                       dim3 block = dim3(32)) {
  cudasim::Launch l;
  l.kernel = kernel;
  l.grid = grid;
  l.block = block;
  l.arguments = std::move(arguments);
  l.ran = true;
  return l;
}

bench::KernelWork work_of(const cudasim::Launch& l) {
  bench::KernelWork w;
  EXPECT_TRUE(bench::kernel_work(l, w)) << l.kernel;
  return w;
}

TEST(FrameCost, EveryGoldenRoadGivesEveryField) {
  const int W = 64, H = 36;
  for (const std::string& road : frame_roads::road_names()) {
    SCOPED_TRACE(road);
    bench::RoadCost cost;
    std::string error;
    ASSERT_TRUE(bench::measure_road(road, W, H, cost, error)) << error;
    const std::string line = bench::cost_line(cost);
    EXPECT_EQ(line.rfind("road=" + road + " ", 0), 0u) << line;
    for (const char* field : {" launches=", " min_warp_share=", " sync_allocs=", " host_waits=", " peak_mb=",
                              " traffic_mb=", " est_ms_turing=", " est_ms_ada=", " cpu_ms="})
      EXPECT_NE(line.find(field), std::string::npos) << field << " in " << line;
    EXPECT_GT(cost.launches, 0u);
    EXPECT_GT(cost.min_warp_share, 0.0);
    EXPECT_LE(cost.min_warp_share, 1.0);
    // No estimate beats its part's DRAM or the fixed cost of the launches
    // and waits; the faster part is never slower.
    const double fixed_ms = (cost.launches * 4.0 + cost.host_waits * 15.0) / 1e3;
    for (int p = 0; p < bench::kPartCount; ++p) {
      EXPECT_GE(cost.est_ms[p], fixed_ms) << bench::kParts[p].name;
      EXPECT_GE(cost.est_ms[p], cost.traffic_mb / (0.8 * bench::kParts[p].gb_per_s)) << bench::kParts[p].name;
    }
    EXPECT_LE(cost.est_ms[1], cost.est_ms[0]);
  }
}

// A texture level's row pass reads its source from a plane (L' at the first
// level); the first level's band sum is not read, and the last level's
// source is the Lab frame's own pixel when it is the first.
TEST(KernelTraffic, TextureLevelsReadTheirSourceFromAPlane) {
  alignas(16) static float planes[5][64];
  const int W = 8, H = 2;
  const auto level = [&](const float* sumIn) {
    return work_of(launch("pitch_sharp_rows", {ptr(planes[0]), ptr(planes[1]), ptr(planes[2]), ptr(sumIn),
                                               ptr(planes[3]), num(W), num(H), num(0.4), num(1.5)}))
               .bytes / (W * H);
  };
  // Columns read twice, the level written, read and written, the source
  // read, the sum written.
  EXPECT_EQ(level(nullptr), 8 + 12 + 4 + 4.0);
  EXPECT_EQ(level(planes[3]), 8 + 12 + 4 + 4 + 4.0);
  const auto last = [&](const float* source, const float* sumIn) {
    return work_of(launch("pitch_sharp_out", {ptr(planes[1]), ptr(source), ptr(sumIn), ptr(planes[3]),
                                              ptr(planes[4]), num(W), num(H), num(1.5), kStruct}))
               .bytes / (W * H);
  };
  // The last level's blur read, the Lab frame's pixel read and the output's
  // written.
  EXPECT_EQ(last(nullptr, nullptr), 4 + 16 + 16.0);
  EXPECT_EQ(last(planes[2], planes[2] + 32), 4 + 4 + 4 + 16 + 16.0);
}

// The film stage's output pass writes one frame: with a camera stock it reads
// the developed and exposure RGB planes and alpha; without one it reads the
// frame, in place or into the other frame alike.
TEST(KernelTraffic, TheFilmOutputPassWritesOneFrame) {
  alignas(16) static float planes[4][64];
  EXPECT_EQ(work_of(launch("film_brew_cuda_out_bleach_print",
                           {ptr(planes[0]), ptr(planes[1]), ptr(planes[2]), ptr(planes[3]), num(4), num(2), num(4),
                            kStruct, kStruct}))
                    .bytes / 8,
            12 + 12 + 4 + 16.0);
  for (const float* out : {planes[0], planes[1]})
    EXPECT_EQ(work_of(launch("film_print_cuda_out_pfe_display",
                             {ptr(planes[0]), ptr(out), num(4), num(2), num(4), num(1), kStruct}))
                      .bytes / 8,
              16 + 16.0);
}

// Each thread keeps eight rows of loads in flight ahead of its recursion.
TEST(KernelTraffic, TheColumnRecursionWaitsOncePerEightRowsOfBothSweeps) {
  alignas(16) static float planes[2][64];
  const bench::KernelWork column =
      work_of(launch("iir_guassian", {ptr(planes[0]), ptr(planes[1]), num(3840), num(2160), num(2.0f), num(4)}));
  EXPECT_EQ(column.elements, 3840.0 * 2160.0);
  EXPECT_EQ(column.round_trips, 2 * 2160.0 / 8);
  const bench::KernelWork pixel =
      work_of(launch("exposure_linear_gamma", {ptr(planes[0]), num(3840), num(2160), num(0.3), num(4)}));
  EXPECT_EQ(pixel.round_trips, 1.0);
}

TEST(KernelTraffic, ModelsAreSoundAndUnknownKernelsFound) {
  EXPECT_EQ(bench::model_faults(), std::vector<std::string>{});
  bench::KernelWork w;
  EXPECT_FALSE(bench::kernel_work(launch("no_such_kernel", {}), w));
}

TEST(DeviceTime, ALaunchTakesItsDramTimeOrItsLatencyChainPlusTheLaunch) {
  const bench::Part& turing = bench::kParts[0];
  const bench::Part& ada = bench::kParts[1];
  const dim3 pixels(120, 68), tile(32, 32);
  EXPECT_EQ(bench::resident_warps(turing, pixels, tile), 46 * 32.0);
  EXPECT_EQ(bench::resident_warps(ada, pixels, tile), 128 * 32.0);  // one 32-warp block of 48 fits
  // 1 ms of Turing's DRAM at 80% of 448 GB/s.
  bench::KernelWork streaming;
  streaming.bytes = 358.4e6;
  EXPECT_NEAR(bench::launch_us(turing, streaming, pixels, tile), 1004.0, 1e-6);
  EXPECT_NEAR(bench::launch_us(ada, streaming, pixels, tile), 358.4e6 / 806.4e3 + 4.0, 1e-6);
  // 68 one-warp blocks, each thread waiting 4,320 round trips of 300 ns.
  bench::KernelWork column;
  column.bytes = 1e6;
  column.round_trips = 4320;
  EXPECT_NEAR(bench::launch_us(turing, column, dim3(68), dim3(32)), 1300.0, 1e-6);
  EXPECT_NEAR(bench::launch_us(ada, column, dim3(68), dim3(32)), 1300.0, 1e-6);
  // 2,944 one-warp blocks: Turing holds 16 blocks on each of 46
  // multiprocessors, a quarter of them; Ada holds them all.
  bench::KernelWork chain;
  chain.round_trips = 10;
  EXPECT_EQ(bench::resident_warps(turing, dim3(2944), dim3(32)), 736.0);
  EXPECT_NEAR(bench::launch_us(turing, chain, dim3(2944), dim3(32)), 10 * 0.3 * 4 + 4.0, 1e-9);
  EXPECT_NEAR(bench::launch_us(ada, chain, dim3(2944), dim3(32)), 10 * 0.3 + 4.0, 1e-9);
}

TEST(CallCost, CopiesBetweenDeviceBuffersAndReductionsMoveDeviceMemory) {
  cudasim::reset();
  const size_t bytes = 4096;
  void* a = nullptr;
  void* b = nullptr;
  ASSERT_EQ(cudaMalloc(&a, bytes), cudaSuccess);
  ASSERT_EQ(cudaMalloc(&b, bytes), cudaSuccess);
  std::vector<char> host(bytes);
  cudasim::clear_call_log();
  ASSERT_EQ(cudaMemcpy(a, host.data(), bytes, cudaMemcpyHostToDevice), cudaSuccess);
  ASSERT_EQ(cudaMemcpyAsync(b, a, bytes, cudaMemcpyDeviceToDevice, nullptr), cudaSuccess);
  ASSERT_EQ(cudaMemcpy(b, a, bytes / 2, cudaMemcpyDeviceToDevice), cudaSuccess);
  ASSERT_EQ(cudaMemcpy(host.data(), b, bytes, cudaMemcpyDeviceToHost), cudaSuccess);
  const bench::CallCost cost = bench::call_cost(cudasim::call_log());
  EXPECT_EQ(cost.bytes, 2.0 * (bytes + bytes / 2));  // each copied byte read and written
  EXPECT_EQ(cost.kernels, 2);
  EXPECT_EQ(cost.host_waits, 1);  // the copy into host memory
  cudaFree(a);
  cudaFree(b);
  cudasim::reset();
}

}  // namespace
