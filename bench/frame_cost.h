// The frame-cost benchmark's measurements and device-time model
// (frame_cost.cpp defines every field and the model).
#pragma once

#include <string>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "kernel_traffic.h"
#include "sass_table.h"

namespace bench {

// A reference GPU of the device-time estimate.
struct Part {
  const char* name;  // printed as est_ms_<name>
  const char* arch;  // the machine code it runs ("sm_75")
  double gb_per_s;   // DRAM peak
  int sms;
  int warps_per_sm;      // resident warps a multiprocessor holds at most...
  int blocks_per_sm;     // ...in at most this many blocks...
  int registers_per_sm;  // ...whose registers come from a file of this many...
  int shared_per_sm;     // ...and whose shared memory from this many bytes
  int schedulers;        // warp instructions a multiprocessor issues a clock
  double clock_ghz;      // boost clock
};
constexpr int kPartCount = 2;
extern const Part kParts[kPartCount];

// Warps of a launch resident at once on `part`, at most the launch's own;
// with the kernel's machine code, its registers and shared memory count.
double resident_warps(const Part& part, dim3 grid, dim3 block, const KernelCode* code = nullptr);

// One launch on one part.
struct LaunchCost {
  double round_trips = 0;   // a thread waits, one after another
  double instructions = 0;  // a thread executes
  double clocks = 0;        // its warp takes to issue them, in order, the round trips aside
  double dram_us = 0;       // its bytes at DRAM speed
  double latency_us = 0;    // a thread's round trips and clocks, one after the other, the slowest warp's last
  double slowest_us = 0;    // the chain of its slowest warp (which runs the edge path) alone
  double compute_us = 0;    // its instructions at the part's issue rate
  double us = 0;            // the estimate: the longest of the three, plus the launch
};
// False with `error` set when the kernel's machine code does not give its
// counts for this launch (a loop over a walk its access model does not name).
bool launch_cost(const Part& part, const KernelWork& work, const KernelCode& code, dim3 grid, dim3 block,
                 LaunchCost& cost, std::string& error);

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
  // The largest ratio, over the road's launches, of a launch's estimate to
  // its bytes at DRAM speed plus the launch, on the first part; and its kernel.
  double max_kernel_vs_dram = 0;
  std::string max_kernel;
  double cpu_ms = 0;
};

// One kernel's launches over a frame, on each part.
struct KernelCost {
  std::string kernel;
  size_t launches = 0;
  double pixel_instructions = 0;  // a pixel's, on the first part (the largest over its launches)
  double pixel_clocks = 0;        // a pixel's share of its warp's in-order issue, on the first part
  double round_trips = 0;         // a thread's, on the first part (the largest)
  int registers = 0;
  double dram_ms[kPartCount] = {};
  double est_ms[kPartCount] = {};
};

// The launch's parameter buffer: each argument at the next offset its
// alignment allows, as the kernel's parameters are laid out. Pointers are
// numbered in order of first appearance (null stays null): which buffer an
// argument names, or whether two name the same, may decide a branch, but not
// where the buffer happens to lie, and launches that differ only in that
// take one path.
std::vector<unsigned char> parameter_buffer(const std::vector<cudasim::LaunchArgument>& arguments);

// Runs road `road` (a golden road) twice at width x height and measures the
// second frame; false with `error` set when a frame fails, a log overflows, a
// kernel has no access model, or the build has no machine-code counts
// (build_sass_table) or none for a kernel.
// `kernels`, when given, receives each kernel's share; a kernel whose
// machine-code counts cannot be derived fails the road too.
bool measure_road(const std::string& road, int width, int height, RoadCost& cost, std::string& error,
                  std::vector<KernelCost>* kernels = nullptr);

// The road's line of output.
std::string cost_line(const RoadCost& cost);
std::string kernel_line(const KernelCost& cost);

}  // namespace bench
