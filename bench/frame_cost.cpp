// Frame cost: runs every golden road of the pipeline on the CPU build at a
// given size (default 3840x2160, RGBA) and prints, from the CUDA stand-in's
// logs of the second of two consecutive frames, one line per road:
//
//   road=<name> launches=<n> min_warp_share=<x> sync_allocs=<n> host_waits=<n> peak_mb=<n> traffic_mb=<n>
//   est_ms_turing=<x> est_ms_ada=<x> cpu_ms=<n>
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
//   cpu_ms         wall time of the frame on the CPU build: compare roads and
//                  builds within one run only.
//
// The device-time model. Reference parts: "turing", 448 GB/s, 46
// multiprocessors of at most 32 resident warps in 16 blocks (a Turing part
// of that bandwidth); "ada", 1,008 GB/s, 128 multiprocessors of at most 48
// warps in 24 blocks (an Ada part of that bandwidth). Registers and shared
// memory are taken not to limit residency. The work of one stream runs in
// order, so the frame's time is the sum of
//  - each kernel launch: max(its bytes / (0.8 x peak), its latency chain)
//    + 4 us, with DRAM giving 80% of its peak. The latency chain: a thread
//    waits a 300 ns round trip for each load it cannot issue ahead, that is
//    for every `ahead` rows of a recursion it walks row by row (kernel_traffic.cpp),
//    and once otherwise. The warps resident at once wait together, so
//    the chain takes round trips x 300 ns x (warps / resident warps), the
//    last factor at least 1;
//  - each copy between device buffers and each fill: its bytes (a copy
//    reads and writes them) at 80% of peak + 4 us;
//  - each reduction: its plane at 80% of peak + 2 x 4 us (two kernels);
//  - each host wait: 15 us.
#include "frame_cost.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "frame_roads.h"
#include "pipeline/texture_pitch_compress_expand.h"

namespace bench {

const Part kParts[kPartCount] = {
    {"turing", 448.0, 46, 32, 16},
    {"ada", 1008.0, 128, 48, 24},
};

namespace {

constexpr double kDramShare = 0.8;
constexpr double kRoundTripUs = 0.3;
constexpr double kLaunchUs = 4.0;
constexpr double kHostWaitUs = 15.0;
constexpr int kReductionKernels = 2;

double dram_us(const Part& part, double bytes) { return bytes / (kDramShare * part.gb_per_s * 1e3); }

double warps_of(dim3 grid, dim3 block) {
  const double blocks = double(grid.x) * grid.y * grid.z;
  return blocks * std::ceil(double(block.x) * block.y * block.z / 32.0);
}

long long rounded(double v) { return (long long)std::llround(v); }

}  // namespace

double resident_warps(const Part& part, dim3 grid, dim3 block) {
  const int per_block = int(std::ceil(double(block.x) * block.y * block.z / 32.0));
  if (per_block <= 0) return 0;
  const int blocks = std::min(part.blocks_per_sm, part.warps_per_sm / per_block);
  return std::min(warps_of(grid, block), double(part.sms) * blocks * per_block);
}

double launch_us(const Part& part, const KernelWork& work, dim3 grid, dim3 block) {
  const double resident = resident_warps(part, grid, block);
  const double waves = resident > 0 ? std::max(1.0, warps_of(grid, block) / resident) : 1.0;
  return std::max(dram_us(part, work.bytes), work.round_trips * kRoundTripUs * waves) + kLaunchUs;
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

bool measure_road(const std::string& road, int W, int H, RoadCost& cost, std::string& error) {
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

  const double pixels = double(W) * double(H);
  const Part& share_part = kParts[0];
  const double device_warps = double(share_part.sms) * share_part.warps_per_sm;
  double bytes = 0;
  double us[kPartCount] = {};
  const std::vector<cudasim::Launch> launches = cudasim::launch_trace();
  for (const cudasim::Launch& l : launches) {
    KernelWork work;
    if (!kernel_work(l, work)) {
      error = "kernel " + l.kernel + " has no access model in bench/kernel_traffic.cpp";
      return false;
    }
    bytes += work.bytes;
    for (int p = 0; p < kPartCount; ++p) us[p] += launch_us(kParts[p], work, l.grid, l.block);
    if (work.elements >= pixels)
      cost.min_warp_share = std::min(cost.min_warp_share, resident_warps(share_part, l.grid, l.block) / device_warps);
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
  return line + " cpu_ms=" + std::to_string(rounded(c.cpu_ms));
}

}  // namespace bench
