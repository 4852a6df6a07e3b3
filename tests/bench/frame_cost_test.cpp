#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "frame_cost.h"
#include "frame_roads.h"
#include "kernel_traffic.h"
#include "pipeline/film_kernel_args.h"

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

// The build's machine-code counts, or a skip saying why there are none.
#define REQUIRE_MACHINE_CODE()                                           \
  do {                                                                   \
    std::string reason;                                                  \
    if (!bench::build_sass_table(reason)) GTEST_SKIP() << reason;        \
  } while (0)

TEST(FrameCost, EveryGoldenRoadGivesEveryField) {
  REQUIRE_MACHINE_CODE();
  const int W = 64, H = 36;
  for (const std::string& road : frame_roads::road_names()) {
    SCOPED_TRACE(road);
    bench::RoadCost cost;
    std::string error;
    ASSERT_TRUE(bench::measure_road(road, W, H, cost, error)) << error;
    const std::string line = bench::cost_line(cost);
    EXPECT_EQ(line.rfind("road=" + road + " ", 0), 0u) << line;
    for (const char* field : {" launches=", " min_warp_share=", " sync_allocs=", " host_waits=", " peak_mb=",
                              " traffic_mb=", " est_ms_turing=", " est_ms_ada=", " max_kernel_vs_dram=",
                              " max_kernel=", " cpu_ms="})
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
    EXPECT_GE(cost.max_kernel_vs_dram, 1.0);
    EXPECT_FALSE(cost.max_kernel.empty());
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

// A recursion's thread walks the rows (columns) its access model names; a
// pixel kernel walks nothing.
TEST(KernelTraffic, RecursionsWalkTheirRows) {
  alignas(16) static float planes[2][64];
  const bench::KernelWork column =
      work_of(launch("iir_guassian", {ptr(planes[0]), ptr(planes[1]), num(3840), num(2160), num(2.0f), num(4)}));
  EXPECT_EQ(column.elements, 3840.0 * 2160.0);
  EXPECT_EQ(column.walk, 2160.0);
  EXPECT_EQ(work_of(launch("iir_guassian_rows", {ptr(planes[0]), ptr(planes[1]), num(3840), num(2160), num(2.0f),
                                                 num(4)}))
                .walk,
            3840.0);
  const bench::KernelWork pixel =
      work_of(launch("exposure_linear_gamma", {ptr(planes[0]), num(3840), num(2160), num(0.3), num(4)}));
  EXPECT_EQ(pixel.walk, 0.0);
}

TEST(KernelTraffic, ModelsAreSoundAndUnknownKernelsFound) {
  EXPECT_EQ(bench::model_faults(), std::vector<std::string>{});
  bench::KernelWork w;
  EXPECT_FALSE(bench::kernel_work(launch("no_such_kernel", {}), w));
}

bench::LaunchCost cost_of(const bench::Part& part, const bench::KernelWork& work, const bench::KernelCode& code,
                          dim3 grid, dim3 block) {
  bench::LaunchCost cost;
  std::string error;
  EXPECT_TRUE(bench::launch_cost(part, work, code, grid, block, cost, error)) << error;
  return cost;
}

TEST(DeviceTime, ALaunchTakesTheLongestOfItsDramTimeLatencyChainAndComputePlusTheLaunch) {
  const bench::Part& turing = bench::kParts[0];
  const bench::Part& ada = bench::kParts[1];
  const dim3 pixels(120, 68), tile(32, 32);
  EXPECT_EQ(bench::resident_warps(turing, pixels, tile), 46 * 32.0);
  EXPECT_EQ(bench::resident_warps(ada, pixels, tile), 128 * 32.0);  // one 32-warp block of 48 fits
  // A pixel kernel of 100 instructions and one round trip a pixel: 1 ms of
  // Turing's DRAM at 80% of 448 GB/s.
  bench::KernelCode light;
  light.registers = 32;
  light.loops = {{0, 100, 1, 100}};
  bench::KernelWork streaming;
  streaming.elements = 3840.0 * 2160.0;
  streaming.bytes = 358.4e6;
  EXPECT_NEAR(cost_of(turing, streaming, light, pixels, tile).us, 1004.0, 1e-6);
  EXPECT_NEAR(cost_of(ada, streaming, light, pixels, tile).us, 358.4e6 / 806.4e3 + 4.0, 1e-6);
  // 68 one-warp blocks, each thread walking 2,160 rows eight a trip and
  // waiting two round trips of 300 ns a trip, 540 in all, and between them
  // issuing its 27,000 instructions in 48,600 clocks at 1.71 GHz (its
  // dependent multiply-adds wait on each other).
  bench::KernelCode column_code;
  column_code.registers = 72;
  column_code.fixed_waits = 0;
  column_code.loops = {{8, 100, 2, 180}};
  bench::KernelWork column;
  column.elements = 2176.0 * 2160.0;
  column.bytes = 1e6;
  column.walk = 2160;
  const bench::LaunchCost c = cost_of(turing, column, column_code, dim3(68), dim3(32));
  EXPECT_EQ(c.round_trips, 540.0);
  EXPECT_EQ(c.instructions, 27000.0);
  EXPECT_EQ(c.clocks, 48600.0);
  EXPECT_NEAR(c.latency_us, 162.0 + 48600 / 1710.0, 1e-9);
  EXPECT_NEAR(c.us, c.latency_us + 4.0, 1e-9);
  // 2,944 one-warp blocks: Turing holds 16 blocks on each of 46
  // multiprocessors, a quarter of them; Ada holds them all.
  bench::KernelCode chain_code;
  chain_code.fixed_waits = 10;  // and no instructions
  chain_code.registers = 32;
  bench::KernelWork chain;
  EXPECT_EQ(bench::resident_warps(turing, dim3(2944), dim3(32)), 736.0);
  EXPECT_NEAR(cost_of(turing, chain, chain_code, dim3(2944), dim3(32)).us, 10 * 0.3 * 4 + 4.0, 1e-9);
  EXPECT_NEAR(cost_of(ada, chain, chain_code, dim3(2944), dim3(32)).us, 10 * 0.3 + 4.0, 1e-9);
}

// A launch takes at least its slowest warp's chain: a row pass's last block,
// short of rows where the height is not a multiple of 32, runs every tile on
// the edge path; where the width is not, every warp runs its last tile of
// each sweep there. A column pass's warp short of columns runs its own path.
TEST(DeviceTime, ALaunchTakesAtLeastItsSlowestWarp) {
  const bench::Part& turing = bench::kParts[0];
  bench::KernelCode rows;
  rows.registers = 40;
  rows.loops = {{32, 100, 1, 1000}, {32, 100, 2, 1000}};
  rows.edge_loops = {{32, 100, 3, 5000}, {32, 100, 4, 5000}};
  const auto row_pass = [&](int W, int H) {
    bench::KernelWork work;
    work.elements = double(W) * H;
    work.bytes = 1e6;
    work.walk = W;
    work.tile_rows = true;
    return cost_of(turing, work, rows, dim3((H + 31) / 32), dim3(32));
  };
  const double us = turing.clock_ghz * 1e3;
  const bench::LaunchCost whole = row_pass(3840, 2176);  // 68 blocks, one wave
  EXPECT_NEAR(whole.latency_us, 120 * 3 * 0.3 + 120 * 2000 / us, 1e-9);
  EXPECT_EQ(whole.slowest_us, whole.latency_us);
  const bench::LaunchCost short_rows = row_pass(3840, 2160);
  EXPECT_NEAR(short_rows.latency_us, 120 * 7 * 0.3 + 120 * 10000 / us, 1e-9);
  EXPECT_NEAR(short_rows.us, short_rows.latency_us + 4.0, 1e-9);
  EXPECT_EQ(short_rows.round_trips, whole.round_trips);  // the other warps' chains are the whole tiles'
  const bench::LaunchCost short_columns = row_pass(3850, 2176);  // 121 tiles, the last an edge tile
  EXPECT_NEAR(short_columns.latency_us, (120 * 3 + 7) * 0.3 + (120 * 2000 + 10000) / us, 1e-9);
  // Three waves: the slowest warp's chain in the last.
  const bench::LaunchCost waves = row_pass(3840, 46 * 16 * 32 * 3 - 16);
  EXPECT_NEAR(waves.latency_us, 2 * whole.latency_us + short_rows.latency_us, 1e-6);
  bench::KernelCode columns = rows;
  columns.loops = {{8, 100, 1, 1000}};
  columns.edge_loops = {{8, 100, 3, 5000}};
  bench::KernelWork column;
  column.elements = 1000.0 * 2160;
  column.walk = 2160;
  EXPECT_NEAR(cost_of(turing, column, columns, dim3(32), dim3(32)).latency_us, 270 * 0.3 + 270 * 1000 / us, 1e-9);
}

// Registers and shared memory bound the warps resident at once, and the
// compute term counts the instructions at four a clock a multiprocessor.
TEST(DeviceTime, RegistersBoundResidencyAndInstructionsTakeIssueSlots) {
  const bench::Part& turing = bench::kParts[0];
  const dim3 grid(30, 540), block(128);  // 3840 x 2160 pixels, 128 threads a block
  bench::KernelCode heavy;
  heavy.registers = 252;  // 8,064 registers a warp: 8 warps of a 64 K file
  heavy.loops = {{0, 10000, 2, 10000}};
  EXPECT_EQ(bench::resident_warps(turing, grid, block, &heavy), 46 * 8.0);
  bench::KernelWork work;
  work.elements = 3840.0 * 2160.0;
  work.bytes = 44.0 * work.elements;
  const bench::LaunchCost c = cost_of(turing, work, heavy, grid, block);
  // 259,200 warps of 10,000 instructions at 4 a clock on 46 multiprocessors
  // of 1.71 GHz.
  EXPECT_NEAR(c.compute_us, 259200.0 * 10000 / (46 * 4 * 1.71e3), 1e-6);
  EXPECT_NEAR(c.us, c.compute_us + 4.0, 1e-9);
  bench::KernelCode tiles;
  tiles.registers = 32;
  tiles.shared = 25344;  // two of them in 64 KB
  EXPECT_EQ(bench::resident_warps(turing, dim3(68), dim3(32), &tiles), 68.0);
  EXPECT_EQ(bench::resident_warps(turing, dim3(1000), dim3(32), &tiles), 46 * 2.0);
}

// A loop that walks rows in a kernel whose access model names no walk, or a
// walk whose loop shows no step, is a kernel the bench cannot count: it says
// so.
TEST(DeviceTime, AWalkTheMachineCodeAndTheAccessModelDisagreeOnFails) {
  bench::KernelCode code;
  code.loops = {{8, 100, 1, 100}};
  bench::KernelWork work;
  work.elements = 64;
  bench::LaunchCost cost;
  std::string error;
  EXPECT_FALSE(bench::launch_cost(bench::kParts[0], work, code, dim3(2), dim3(32), cost, error));
  EXPECT_NE(error.find("names no walk"), std::string::npos) << error;
  code.loops = {{0, 100, 1, 100}};
  work.walk = 2;
  error.clear();
  EXPECT_FALSE(bench::launch_cost(bench::kParts[0], work, code, dim3(2), dim3(32), cost, error));
  EXPECT_NE(error.find("no step"), std::string::npos) << error;
}

// The table the build writes: one line per kernel and architecture; a kernel
// whose counts could not be derived is carried with the reason, and a line
// that does not parse (a loop without its clocks among them) is refused.
TEST(SassTable, ReadsCountsAndCarriesFailures) {
  bench::SassTable table;
  ASSERT_TRUE(table.add_line("kernel=iir_guassian arch=sm_75 registers=71 shared=0 threads=32 "
                             "fixed_instructions=184 fixed_waits=2 fixed_clocks=410 loops=8:135:1:260,8:242:2:431"));
  ASSERT_TRUE(table.add_line("kernel=broken arch=sm_75 error=no_machine_code"));
  EXPECT_FALSE(table.add_line("kernel=half arch=sm_75 registers=3"));
  for (const char* loops : {"8:x:1:5", "8:5:1", "8:5:1:5:5", "8:5:1:"})
    EXPECT_FALSE(table.add_line(std::string("kernel=bad arch=sm_75 registers=3 fixed_instructions=1 fixed_waits=0 "
                                            "fixed_clocks=1 loops=") + loops))
        << loops;
  const bench::KernelCode* k = table.find("sm_75", "iir_guassian");
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(k->registers, 71);
  EXPECT_EQ(k->threads, 32);
  ASSERT_EQ(k->loops.size(), 2u);
  EXPECT_EQ(k->loops[1].step, 8);
  EXPECT_EQ(k->loops[1].instructions, 242.0);
  EXPECT_EQ(k->loops[1].waits, 2.0);
  EXPECT_EQ(k->loops[1].clocks, 431.0);
  EXPECT_EQ(k->fixed_clocks, 410.0);
  EXPECT_EQ(table.find("sm_89", "iir_guassian"), nullptr);
  ASSERT_NE(table.find("sm_75", "broken"), nullptr);
  EXPECT_EQ(table.find("sm_75", "broken")->error, "no_machine_code");
  // A row pass's edge path: the same loops, another trip.
  const std::string rows =
      "kernel=rows arch=sm_75 registers=40 fixed_instructions=1 fixed_waits=0 fixed_clocks=1 loops=32:9:1:90,32:9:2:90";
  ASSERT_TRUE(table.add_line(rows + " edge_loops=32:9:1:900,32:9:3:990"));
  ASSERT_EQ(table.find("sm_75", "rows")->edge_loops.size(), 2u);
  EXPECT_EQ(table.find("sm_75", "rows")->edge_loops[1].waits, 3.0);
  EXPECT_EQ(table.find("sm_75", "rows")->edge_loops[1].clocks, 990.0);
  for (const char* edge : {"32:9:1:900", "32:9:1:900,8:9:3:990", "-"})
    EXPECT_FALSE(table.add_line(rows + " edge_loops=" + edge)) << edge;
}

// Every kernel the roads launch has its counts in the bundle's machine code
// on both reference parts, and the recursions' counts are those of their
// loops: the column recursions walk eight rows a trip and wait one round
// trip a trip each way (the developer's, which converts its samples, too),
// the row passes a tile of 32 columns, whose rows' loads all go out before
// the forward sweep waits for the first, and the backward sweep's with its
// epilogue's fetches.
TEST(SassTable, TheBundleGivesEveryKernelItsCounts) {
  REQUIRE_MACHINE_CODE();
  std::string reason;
  const bench::SassTable& table = *bench::build_sass_table(reason);
  for (const bench::Part& part : bench::kParts) {
    for (const char* kernel : {"iir_guassian", "iir_guassian_rgb", "iir_guassian_developer_code"}) {
      const bench::KernelCode* k = table.find(part.arch, kernel);
      ASSERT_NE(k, nullptr) << kernel;
      ASSERT_EQ(k->error, "") << kernel;
      ASSERT_EQ(k->loops.size(), 2u) << kernel << " on " << part.arch;  // forward and back
      for (const bench::LoopCounts& loop : k->loops) {
        EXPECT_EQ(loop.step, 8) << kernel;
        EXPECT_EQ(loop.waits, 1.0) << kernel << " on " << part.arch;
        EXPECT_GE(loop.clocks, loop.instructions) << kernel << " on " << part.arch;  // a warp issues one a clock
      }
      EXPECT_EQ(k->threads, 32) << kernel;
    }
    for (const char* kernel :
         {"iir_guassian_rows", "pitch_sharp_rows", "halation_band_rows", "iir_guassian_rows_developer"}) {
      const bench::KernelCode* k = table.find(part.arch, kernel);
      ASSERT_NE(k, nullptr) << kernel;
      ASSERT_EQ(k->loops.size(), 2u) << kernel << " on " << part.arch;
      for (const bench::LoopCounts& loop : k->loops) {
        EXPECT_EQ(loop.step, 32) << kernel;
        EXPECT_GE(loop.clocks, loop.instructions) << kernel << " on " << part.arch;
      }
      EXPECT_EQ(k->loops[0].waits, 1.0) << kernel << " on " << part.arch;
      // The backward sweep's loads and its epilogue's fetches together, but
      // in halation's band pass, whose loads the registers do not hold.
      if (std::string(kernel) != "halation_band_rows")
        EXPECT_EQ(k->loops[1].waits, 1.0) << kernel << " on " << part.arch;
      EXPECT_GT(k->shared, 0) << kernel;
    }
  }
}

// The print-only road's film pass with its print settings changed: the
// instructions a pixel executes on `arch` along the path they leave.
double print_path(const std::string& arch, void (*change)(film::PrintArgs&)) {
  std::vector<cudasim::Launch> trace = cudasim::launch_trace();
  auto l = std::find_if(trace.begin(), trace.end(),
                        [](const cudasim::Launch& x) { return x.kernel == "film_print_cuda_out_hue_chr_vib_pfe"; });
  EXPECT_NE(l, trace.end());
  if (l == trace.end()) return 0;
  std::vector<unsigned char>& bytes = l->arguments.back().bytes;
  film::PrintArgs print;
  EXPECT_EQ(bytes.size(), sizeof print);
  std::memcpy(&print, bytes.data(), sizeof print);
  change(print);
  std::memcpy(bytes.data(), &print, sizeof print);
  std::string reason;
  bench::LaunchPath path{arch, bench::build_sass_table(reason)->find(arch, l->kernel),
                         bench::parameter_buffer(l->arguments)};
  std::vector<bench::KernelCode> counts;
  std::string error;
  EXPECT_TRUE(bench::launch_path_counts({path}, counts, error)) << error;
  EXPECT_EQ(counts.size(), 1u);
  if (counts.size() != 1 || counts[0].loops.size() != 1) return 0;
  // Nowhere above the upper bound over every setting.
  EXPECT_LE(counts[0].loops[0].instructions, path.code->loops[0].instructions);
  EXPECT_LE(counts[0].fixed_instructions, path.code->fixed_instructions);
  return counts[0].loops[0].instructions;
}

// A setting that is off costs its switch and no more: the print's refine
// slots taken one by one (the slot's switch and its qualities' read from its
// place in the parameter buffer, trip by trip), and the colour families.
TEST(RoadPaths, WhatIsSwitchedOffCostsNothing) {
  REQUIRE_MACHINE_CODE();
  bench::RoadCost cost;
  std::string error;
  ASSERT_TRUE(bench::measure_road("print_only", 64, 36, cost, error)) << error;
  static int only = -1;  // the one slot left on
  for (const bench::Part& part : bench::kParts) {
    SCOPED_TRACE(part.arch);
    const double road = print_path(part.arch, [](film::PrintArgs&) {});
    const double slots_off = print_path(part.arch, [](film::PrintArgs& p) {
      for (RefineSlotOptions& slot : p.corrector.slots) slot.slotOn = 0;
    });
    // Trips are independent: the slots' own costs add up to the road's.
    double sum = 0;
    for (only = 0; only < kPrintRefineSlotCount; ++only) {
      const double one = print_path(part.arch, [](film::PrintArgs& p) {
        for (int i = 0; i < kPrintRefineSlotCount; ++i) p.corrector.slots[i].slotOn = i == only;
      });
      EXPECT_GT(one, slots_off) << "slot " << only;
      sum += one - slots_off;
    }
    EXPECT_EQ(road - slots_off, sum);
    const double hue_only = print_path(part.arch, [](film::PrintArgs& p) {
      for (RefineSlotOptions& slot : p.corrector.slots) slot.chrOn = slot.satOn = 0;
    });
    EXPECT_LT(hue_only, road);
    EXPECT_GT(hue_only, slots_off);
    const double nothing = print_path(part.arch, [](film::PrintArgs& p) {
      p.corrector.refineOn = 0;
      p.corrector.saturation.groupOn = p.corrector.saturation.customOn = 0;
      p.corrector.hue.groupOn = p.corrector.hue.customOn = 0;
      p.corrector.chroma.groupOn = p.corrector.chroma.customOn = 0;
    });
    EXPECT_LT(nothing, slots_off);
  }
}

// The developer's last row pass without band two reads no band one: the
// launch's null pointer decides the test of it (its low and high words),
// and its path leaves out the band's loads. The same launch with band one
// takes the other side.
TEST(RoadPaths, TheDevelopersRowPassWithoutBandOneTakesItsOwnSide) {
  REQUIRE_MACHINE_CODE();
  bench::RoadCost cost;
  std::string error;
  ASSERT_TRUE(bench::measure_road("stock_print_bleach_midhi", 64, 36, cost, error)) << error;
  const std::vector<cudasim::Launch> trace = cudasim::launch_trace();
  auto l = std::find_if(trace.begin(), trace.end(), [](const cudasim::Launch& x) {
    return x.kernel == "iir_guassian_rows_developer" && x.arguments.size() > 3 && x.arguments[3].is_pointer &&
           !x.arguments[3].pointer;
  });
  ASSERT_NE(l, trace.end()) << "the road's developer row pass without band one";
  cudasim::Launch with = *l;
  with.arguments[3].pointer = with.arguments[2].pointer;  // a band one: any plane
  std::string reason;
  for (const bench::Part& part : bench::kParts) {
    SCOPED_TRACE(part.arch);
    const bench::KernelCode* code = bench::build_sass_table(reason)->find(part.arch, l->kernel);
    ASSERT_NE(code, nullptr);
    std::vector<bench::KernelCode> counts;
    ASSERT_TRUE(bench::launch_path_counts({{part.arch, code, bench::parameter_buffer(l->arguments)},
                                           {part.arch, code, bench::parameter_buffer(with.arguments)}},
                                          counts, error))
        << error;
    ASSERT_EQ(counts.size(), 2u);
    ASSERT_EQ(counts[0].loops.size(), 2u);
    ASSERT_EQ(counts[1].loops.size(), 2u);
    // The backward sweep's tile: band one's 32 loads fewer, and its loads
    // and fetches out together either way.
    EXPECT_LE(counts[0].loops[1].instructions + 32, counts[1].loops[1].instructions);
    EXPECT_EQ(counts[0].loops[1].waits, 1.0);
    EXPECT_EQ(counts[1].loops[1].waits, 1.0);
  }
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
