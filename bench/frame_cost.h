// The frame-cost benchmark's measurements and device-time model
// (frame_cost.cpp defines every field and the model).
#pragma once

#include <string>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "kernel_traffic.h"

namespace bench {

// A reference GPU of the device-time estimate.
struct Part {
  const char* name;  // printed as est_ms_<name>
  double gb_per_s;   // DRAM peak
  int sms;
  int warps_per_sm;   // resident warps a multiprocessor holds at most...
  int blocks_per_sm;  // ...in at most this many blocks
};
constexpr int kPartCount = 2;
extern const Part kParts[kPartCount];

// Warps of a launch resident at once on `part`, at most the launch's own.
double resident_warps(const Part& part, dim3 grid, dim3 block);
// Device time of one launch of `work`.
double launch_us(const Part& part, const KernelWork& work, dim3 grid, dim3 block);

// What the runtime and library calls of a frame add: device memory they move
// (copies between device buffers, fills, reductions), the kernels they run,
// allocations that synchronise the device, and host waits.
struct CallCost {
  double bytes = 0;
  int kernels = 0;
  long long sync_allocs = 0;
  long long host_waits = 0;
};
CallCost call_cost(const std::vector<cudasim::Call>& calls);

struct RoadCost {
  std::string road;
  size_t launches = 0;
  double min_warp_share = 1;  // 1 when no launch covers the frame
  long long sync_allocs = 0;
  long long host_waits = 0;
  double peak_mb = 0;
  double traffic_mb = 0;
  double est_ms[kPartCount] = {};
  double cpu_ms = 0;
};

// Runs road `road` (a golden road) twice at width x height and measures the
// second frame; false with `error` set when a frame fails, a log overflows or
// a kernel has no access model.
bool measure_road(const std::string& road, int width, int height, RoadCost& cost, std::string& error);

// The road's line of output.
std::string cost_line(const RoadCost& cost);

}  // namespace bench
