// Frame cost: runs every golden road of the pipeline on the CPU build at a
// given size (default 3840x2160, RGBA) and prints, from the CUDA stand-in's
// logs of the second of two consecutive frames, one line per road:
//
//   road=<name> launches=<n> min_warp_share=<x> sync_allocs=<n> host_waits=<n> peak_mb=<n> traffic_mb=<n>
//   est_ms_turing=<x> est_ms_ada=<x> max_kernel_vs_dram=<x> max_kernel=<name> cpu_ms=<n>
//
//   launches       the pipeline's kernel launches (a Thrust reduction's own
//                  kernels are not counted);
//   min_warp_share the fewest warps any launch whose work covers the frame
//                  keeps resident, as a share of what a 46-multiprocessor
//                  device of 32 warps each holds (1472 warps): a launch
//                  covers the frame when its arguments give it at least
//                  W x H work items (pixels of the frame or of its
//                  transpose, or the elements of a frame-sized plane);
//                  reductions are left out, the library sizes their grids
//                  to the device;
//   sync_allocs    allocations and frees that synchronise the device:
//                  cudaMalloc, and freeing its memory (stream-ordered memory
//                  costs nothing), including the temporaries Thrust takes
//                  with cudaMalloc when given no allocator;
//   host_waits     points where the host waits for the device's queued
//                  work: a synchronising free, a copy into host memory, a
//                  device or stream synchronisation, the result of a Thrust
//                  reduction on its own temporaries (its wait and its free);
//                  a copy from host memory into the device is not counted;
//   peak_mb        the peak of live device memory during the frame (10^6 bytes);
//   traffic_mb     bytes the device moves (10^6): the kernels' reads and
//                  writes, counted in 32-byte sectors from each kernel's
//                  access pattern (kernel_traffic.cpp), copies between
//                  device buffers (read and write), fills, and reductions
//                  reading their plane once;
//   est_ms_<part>  the frame's estimated device time on a reference part
//                  (below); the host-to-device crossings are not included;
//   max_kernel_vs_dram, max_kernel
//                  the largest ratio, over the frame's launches, of a
//                  launch's estimate on the Turing part to its bytes at
//                  DRAM speed plus the launch, and the kernel it belongs to:
//                  near 1 when every kernel streams at DRAM speed;
//   cpu_ms         wall time of the frame on the CPU build: compare roads and
//                  builds within one run only.
//
// The device-time model. Reference parts: "turing", 448 GB/s, 46
// multiprocessors, each holding at most 32 warps in 16 blocks, 64 K registers
// and 64 KB of shared memory, its 4 schedulers issuing one warp instruction
// a clock each at the 1.71 GHz boost clock (an RTX 2080), running the sm_75
// machine code; "ada", 1,008 GB/s, 128 multiprocessors of at most 48 warps
// in 24 blocks, 64 K registers, 100 KB of shared memory, 4 schedulers at the
// 2.52 GHz boost clock (an RTX 4090), running sm_89. What each kernel's
// threads execute comes from the product bundle's machine code for that
// architecture (tools/sass_counts.py, at build time, into the build tree:
// sass_table.h): per loop of the kernel, the instructions, the memory
// round trips and the clocks of a trip, and its registers and shared memory,
// which bound the warps resident at once. The counts are those of the launch's own path
// (launch_path_counts): branches its parameters decide take its side, the
// rest their longest. A thread runs each loop that walks rows (or
// columns) walk / step times (the walk from the kernel's access model,
// kernel_traffic.cpp; the step from the machine code), and a loop over
// pixels once a pixel. The work of one stream runs in order, so the frame's
// time is the sum of
//  - each kernel launch: the longest of its bytes / (0.8 x peak), DRAM
//    giving 80% of its peak; its latency chain, a 300 ns round trip for
//    each load a thread waits for and the clocks its warp takes to issue
//    its instructions in order (each instruction the stall the compiler
//    wrote for it, and no sooner than the shared-memory and special-function
//    results it reads are ready: a recursion's dependent multiply-adds
//    wait on each other), one after the other, times the launch's waves
//    (its warps over those resident at once, at least 1), the last wave's
//    the slowest warp's: one that runs a row pass's edge tiles (the last
//    block where the height is not a multiple of 32, each row's last tile
//    where the width is not) along the machine code's edge path; and its
//    compute:
//    a wave's instructions on the busiest multiprocessor, whose schedulers
//    issue at most one instruction a clock each, and a warp at most one a
//    clock (instructions a thread x resident warps on it / min(4, resident
//    warps on it)), times the waves; plus 4 us;
//  - each copy between device buffers and each fill: its bytes (a copy
//    reads and writes them) at 80% of peak + 4 us;
//  - each reduction: its plane at 80% of peak + 2 x 4 us (two kernels);
//  - each host wait: 15 us.
#include "frame_cost.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "frame_roads.h"
#include "pipeline/texture_pitch_compress_expand.h"

namespace bench {

const Part kParts[kPartCount] = {
    {"turing", "sm_75", 448.0, 46, 32, 16, 65536, 64 * 1024, 4, 1.71},
    {"ada", "sm_89", 1008.0, 128, 48, 24, 65536, 100 * 1024, 4, 2.52},
};

namespace {

constexpr double kDramShare = 0.8;
constexpr double kRoundTripUs = 0.3;
constexpr double kLaunchUs = 4.0;
constexpr double kHostWaitUs = 15.0;
constexpr int kReductionKernels = 2;
// Registers are handed to a warp in units of 256.
constexpr int kRegisterUnit = 256;

double dram_us(const Part& part, double bytes) { return bytes / (kDramShare * part.gb_per_s * 1e3); }

double threads_of(dim3 d) { return double(d.x) * d.y * d.z; }

double warps_of(dim3 grid, dim3 block) { return threads_of(grid) * std::ceil(threads_of(block) / 32.0); }

long long rounded(double v) { return (long long)std::llround(v); }

double cost_ms(double us) { return us / 1e3; }

}  // namespace

double resident_warps(const Part& part, dim3 grid, dim3 block, const KernelCode* code) {
  const int per_block = int(std::ceil(threads_of(block) / 32.0));
  if (per_block <= 0) return 0;
  int blocks = std::min(part.blocks_per_sm, part.warps_per_sm / per_block);
  if (code) {
    const int warp_registers = (code->registers * 32 + kRegisterUnit - 1) / kRegisterUnit * kRegisterUnit;
    if (warp_registers > 0) blocks = std::min(blocks, part.registers_per_sm / (warp_registers * per_block));
    if (code->shared > 0) blocks = std::min(blocks, part.shared_per_sm / code->shared);
  }
  return std::min(warps_of(grid, block), double(part.sms) * blocks * per_block);
}

bool launch_cost(const Part& part, const KernelWork& work, const KernelCode& code, dim3 grid, dim3 block,
                 LaunchCost& cost, std::string& error) {
  cost = LaunchCost{};
  // What one thread runs: the fixed part, each walking loop walk / step
  // times, each loop over pixels once for each pixel that falls to it.
  const double threads = threads_of(grid) * threads_of(block);
  const double pixels = threads > 0 ? std::max(1.0, std::ceil(work.elements / threads)) : 1.0;
  cost.round_trips = code.fixed_waits;
  cost.instructions = code.fixed_instructions;
  cost.clocks = code.fixed_clocks;
  // The slowest warp's round trips and clocks: where the launch's items
  // leave a block short of rows (tiles of a block's rows: the last block of
  // a frame whose height is not a multiple of 32) it runs every trip of its
  // walk on the edge path, else the last where the walk is not a multiple of
  // the step.
  double slowest_trips = code.fixed_waits, slowest_clocks = code.fixed_clocks;
  const bool short_rows = work.tile_rows && threads * work.walk > work.elements;
  for (size_t i = 0; i < code.loops.size(); ++i) {
    const LoopCounts& loop = code.loops[i];
    const LoopCounts& edge = i < code.edge_loops.size() ? code.edge_loops[i] : loop;
    double trips = pixels;
    if (loop.step == 0 && work.walk > 0) {
      error = "its access model walks rows, and the machine code shows no step for one of its loops";
      return false;
    }
    if (loop.step > 0) {
      if (work.walk <= 0) {
        error = "its machine code walks " + std::to_string(loop.step) +
                " rows a loop trip, and its access model names no walk";
        return false;
      }
      trips = std::ceil(work.walk / loop.step);
    }
    cost.round_trips += trips * loop.waits;
    cost.instructions += trips * loop.instructions;
    cost.clocks += trips * loop.clocks;
    const double edge_trips = loop.step == 0 ? 0.0
                              : short_rows  ? trips
                                            : (std::fmod(work.walk, loop.step) != 0 ? 1.0 : 0.0);
    slowest_trips += (trips - edge_trips) * loop.waits + edge_trips * edge.waits;
    slowest_clocks += (trips - edge_trips) * loop.clocks + edge_trips * edge.clocks;
  }
  const double resident = resident_warps(part, grid, block, &code);
  if (resident <= 0) {
    error = "no block of it fits a multiprocessor";
    return false;
  }
  const double waves = std::max(1.0, warps_of(grid, block) / resident);
  const double per_sm = std::ceil(resident / part.sms);
  const double wave_clocks = cost.instructions * per_sm / std::min(double(part.schedulers), per_sm);
  cost.dram_us = dram_us(part, work.bytes);
  // A thread's chain: its round trips and its instructions as its warp
  // issues them, one after the other, wave after wave; the slowest warp's
  // in the last.
  const auto chain_us = [&](double round_trips, double clocks) {
    return round_trips * kRoundTripUs + clocks / (part.clock_ghz * 1e3);
  };
  cost.slowest_us = std::max(chain_us(cost.round_trips, cost.clocks), chain_us(slowest_trips, slowest_clocks));
  cost.latency_us = chain_us(cost.round_trips, cost.clocks) * (waves - 1) + cost.slowest_us;
  cost.compute_us = waves * wave_clocks / (part.clock_ghz * 1e3);
  cost.us = std::max({cost.dram_us, cost.latency_us, cost.compute_us}) + kLaunchUs;
  return true;
}

CallCost call_cost(const std::vector<cudasim::Call>& calls) {
  CallCost cost;
  for (const cudasim::Call& c : calls) {
    cost.sync_allocs += c.sync_allocs;
    cost.host_waits += c.host_waits;
    if (c.result != cudaSuccess || c.bytes == 0) continue;
    if (c.function.rfind("thrust::", 0) == 0 || c.function.rfind("cub::", 0) == 0) {
      cost.bytes += double(c.bytes);
      cost.kernels += kReductionKernels;
    } else if (c.function.rfind("cudaMemset", 0) == 0) {
      cost.bytes += double(c.bytes);
      cost.kernels += 1;
    } else if (c.function.rfind("cudaMemcpy", 0) == 0) {
      // Arguments: the count, the kind, and the stream if any.
      size_t count = 0;
      int kind = -1;
      if (std::sscanf(c.arguments.c_str(), "%zu, %d", &count, &kind) == 2 && kind == cudaMemcpyDeviceToDevice) {
        cost.bytes += 2.0 * double(c.bytes);
        cost.kernels += 1;
      }
    }
  }
  return cost;
}

std::vector<unsigned char> parameter_buffer(const std::vector<cudasim::LaunchArgument>& arguments) {
  std::vector<unsigned char> buffer;
  std::vector<const void*> seen;
  for (const cudasim::LaunchArgument& a : arguments) {
    buffer.resize((buffer.size() + a.alignment - 1) / a.alignment * a.alignment);
    std::vector<unsigned char> bytes = a.bytes;
    if (a.is_pointer && a.pointer && bytes.size() == sizeof(uint64_t)) {
      auto it = std::find(seen.begin(), seen.end(), a.pointer);
      if (it == seen.end()) it = seen.insert(seen.end(), a.pointer);
      const uint64_t number = uint64_t(it - seen.begin() + 1) << 20;
      std::memcpy(bytes.data(), &number, sizeof number);
    }
    buffer.insert(buffer.end(), bytes.begin(), bytes.end());
  }
  return buffer;
}

bool measure_road(const std::string& road, int W, int H, RoadCost& cost, std::string& error,
                  std::vector<KernelCost>* kernels) {
  const TextureOptionsStruct o = frame_roads::road_record(road, W, H, 4);
  const std::vector<float> src = frame_roads::source_frame(W, H, 4);
  std::vector<float> dst(src.size());
  cudasim::reset();
  if (!texture_pitch_compress_expand(src.data(), dst.data(), o)) {
    error = "the first frame failed";
    return false;
  }
  cudasim::clear_call_log();
  cudasim::clear_launch_trace();
  cudasim::reset_peak();
  const auto start = std::chrono::steady_clock::now();
  const bool ok = texture_pitch_compress_expand(src.data(), dst.data(), o);
  cost = RoadCost{};
  cost.road = road;
  cost.cpu_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const cudasim::LogSizes logs = cudasim::log_sizes();
  if (!ok || logs.dropped_calls != 0 || logs.dropped_launches != 0) {
    error = ok ? "the stand-in's logs dropped entries" : "the second frame failed";
    return false;
  }

  std::string reason;
  const SassTable* table = build_sass_table(reason);
  if (!table) {
    error = "no machine-code counts: " + reason;
    return false;
  }
  const double pixels = double(W) * double(H);
  const Part& share_part = kParts[0];
  const double device_warps = double(share_part.sms) * share_part.warps_per_sm;
  double bytes = 0;
  double us[kPartCount] = {};
  const std::vector<cudasim::Launch> launches = cudasim::launch_trace();
  // Each launch's own path through its kernel, on each part.
  std::vector<LaunchPath> paths;
  for (const cudasim::Launch& l : launches)
    for (const Part& part : kParts) {
      LaunchPath path{part.arch, table->find(part.arch, l.kernel), parameter_buffer(l.arguments)};
      if (!path.code || !path.code->error.empty()) {
        error = "kernel " + l.kernel + " on " + part.arch + ": " +
                (path.code ? path.code->error : "not in the bundle's machine code");
        return false;
      }
      paths.push_back(path);
    }
  std::vector<KernelCode> path_codes;
  if (!launch_path_counts(paths, path_codes, error)) return false;
  size_t next_path = 0;
  for (const cudasim::Launch& l : launches) {
    KernelWork work;
    if (!kernel_work(l, work)) {
      error = "kernel " + l.kernel + " has no access model in bench/kernel_traffic.cpp";
      return false;
    }
    bytes += work.bytes;
    KernelCost* share = nullptr;
    if (kernels) {
      auto k = std::find_if(kernels->begin(), kernels->end(),
                            [&](const KernelCost& c) { return c.kernel == l.kernel; });
      if (k == kernels->end()) k = kernels->insert(kernels->end(), KernelCost{l.kernel});
      share = &*k;
      ++share->launches;
    }
    for (int p = 0; p < kPartCount; ++p) {
      const KernelCode* code = &path_codes[next_path++];
      std::string why;
      LaunchCost launch;
      launch_cost(kParts[p], work, *code, l.grid, l.block, launch, why);
      if (!why.empty()) {
        error = "kernel " + l.kernel + " on " + kParts[p].arch + ": " + why;
        return false;
      }
      us[p] += launch.us;
      if (share) {
        // The pixels a thread takes: its walk, or those that fall to it.
        const double walked =
            work.walk > 0 ? work.walk
                          : std::max(1.0, std::ceil(work.elements / (threads_of(l.grid) * threads_of(l.block))));
        share->dram_ms[p] += cost_ms(dram_us(kParts[p], work.bytes));
        share->est_ms[p] += cost_ms(launch.us);
        if (p == 0) {
          share->pixel_instructions = std::max(share->pixel_instructions, launch.instructions / walked);
          share->round_trips = std::max(share->round_trips, launch.round_trips);
          share->pixel_clocks = std::max(share->pixel_clocks, launch.clocks / walked);
          share->registers = code->registers;
        }
      }
      if (p == 0) {
        const double ratio = launch.us / (launch.dram_us + kLaunchUs);
        if (ratio > cost.max_kernel_vs_dram) {
          cost.max_kernel_vs_dram = ratio;
          cost.max_kernel = l.kernel;
        }
        if (work.elements >= pixels)
          cost.min_warp_share =
              std::min(cost.min_warp_share, resident_warps(share_part, l.grid, l.block, code) / device_warps);
      }
    }
  }
  const CallCost calls = call_cost(cudasim::call_log());
  bytes += calls.bytes;
  for (int p = 0; p < kPartCount; ++p)
    cost.est_ms[p] = (us[p] + dram_us(kParts[p], calls.bytes) + calls.kernels * kLaunchUs +
                      double(calls.host_waits) * kHostWaitUs) / 1e3;
  cost.launches = launches.size();
  cost.sync_allocs = calls.sync_allocs;
  cost.host_waits = calls.host_waits;
  cost.peak_mb = double(cudasim::allocation_stats().peak_live_bytes) / 1e6;
  cost.traffic_mb = bytes / 1e6;
  return true;
}

std::string cost_line(const RoadCost& c) {
  char head[512];
  std::snprintf(head, sizeof head,
                "road=%s launches=%zu min_warp_share=%.3f sync_allocs=%lld host_waits=%lld peak_mb=%lld "
                "traffic_mb=%lld",
                c.road.c_str(), c.launches, c.min_warp_share, c.sync_allocs, c.host_waits, rounded(c.peak_mb),
                rounded(c.traffic_mb));
  std::string line = head;
  for (int p = 0; p < kPartCount; ++p) {
    char est[64];
    std::snprintf(est, sizeof est, " est_ms_%s=%.1f", kParts[p].name, c.est_ms[p]);
    line += est;
  }
  char worst[256];
  std::snprintf(worst, sizeof worst, " max_kernel_vs_dram=%.1f max_kernel=%s", c.max_kernel_vs_dram,
                c.max_kernel.empty() ? "-" : c.max_kernel.c_str());
  return line + worst + " cpu_ms=" + std::to_string(rounded(c.cpu_ms));
}

std::string kernel_line(const KernelCost& c) {
  char text[512];
  std::snprintf(text, sizeof text,
                "kernel=%s launches=%zu pixel_instructions=%lld pixel_clocks=%lld round_trips=%lld registers=%d "
                "dram_ms=%.2f/%.2f est_ms=%.2f/%.2f vs_dram=%.2f/%.2f",
                c.kernel.c_str(), c.launches, rounded(c.pixel_instructions), rounded(c.pixel_clocks),
                rounded(c.round_trips), c.registers, c.dram_ms[0], c.dram_ms[1], c.est_ms[0], c.est_ms[1],
                c.est_ms[0] / (c.dram_ms[0] + c.launches * kLaunchUs / 1e3),
                c.est_ms[1] / (c.dram_ms[1] + c.launches * kLaunchUs / 1e3));
  return text;
}

}  // namespace bench
