// Frame cost: runs each road of the pipeline on the CPU build at a given
// size (default 3840x2160, RGBA) and prints, from the CUDA stand-in's logs
// of the second of two consecutive frames, one line per road:
//
//   road=<name> launches=<n> min_blocks=<n> sync_allocs=<n> host_waits=<n> peak_mb=<n> traffic_mb=<n> cpu_ms=<n>
//
//   launches     the pipeline's kernel launches (a Thrust reduction's own
//                kernels are not counted);
//   min_blocks   the fewest blocks of any launch whose work covers the frame,
//                that is whose arguments give it at least W x H work items
//                (pixels of the frame or of its transpose, or the elements
//                of a frame-sized plane); reductions are left out, the
//                library sizes their grids to the device;
//   sync_allocs  allocations and frees that synchronise the device:
//                cudaMalloc, and freeing its memory (stream-ordered memory
//                costs nothing), including the temporaries Thrust takes
//                with cudaMalloc when given no allocator;
//   host_waits   points where the host waits for the device's queued work:
//                a synchronising free, a copy into host memory, a device or
//                stream synchronisation, the result of a Thrust reduction
//                on its own temporaries (its wait and its free); a copy
//                from host memory into the device is not counted;
//   peak_mb      the peak of live device memory during the frame (10^6 bytes);
//   traffic_mb   bytes the kernels read and write (10^6), counted in 32-byte
//                sectors from each kernel's access pattern (kernel_traffic.cpp),
//                reductions reading their plane once;
//   cpu_ms       wall time of the frame on the CPU build: compare roads and
//                builds within one run only.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "frame_roads.h"
#include "kernel_traffic.h"
#include "pipeline/texture_pitch_compress_expand.h"

namespace {

const char* const kRoads[] = {"nostock", "stock_print", "texture", "halation", "everything"};

long long rounded(double v) { return (long long)std::llround(v); }

bool measure(const std::string& road, int W, int H) {
  const TextureOptionsStruct o = frame_roads::road_record(road, W, H, 4);
  const std::vector<float> src = frame_roads::source_frame(W, H, 4);
  std::vector<float> dst(src.size());
  cudasim::reset();
  if (!texture_pitch_compress_expand(src.data(), dst.data(), o)) {
    std::fprintf(stderr, "frame_cost: road %s: the first frame failed\n", road.c_str());
    return false;
  }
  cudasim::clear_call_log();
  cudasim::clear_launch_trace();
  cudasim::reset_peak();
  const auto start = std::chrono::steady_clock::now();
  const bool ok = texture_pitch_compress_expand(src.data(), dst.data(), o);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const cudasim::LogSizes logs = cudasim::log_sizes();
  if (!ok || logs.dropped_calls != 0 || logs.dropped_launches != 0) {
    std::fprintf(stderr, "frame_cost: road %s: %s\n", road.c_str(),
                 ok ? "the stand-in's logs dropped entries" : "the second frame failed");
    return false;
  }

  const double pixels = double(W) * double(H);
  double traffic = 0;
  long long min_blocks = -1;
  const std::vector<cudasim::Launch> launches = cudasim::launch_trace();
  for (const cudasim::Launch& l : launches) {
    bench::KernelWork work;
    if (!bench::kernel_work(l, work)) {
      std::fprintf(stderr, "frame_cost: kernel %s has no access model in bench/kernel_traffic.cpp\n",
                   l.kernel.c_str());
      return false;
    }
    traffic += work.bytes;
    const long long blocks = (long long)l.grid.x * l.grid.y * l.grid.z;
    if (work.elements >= pixels && (min_blocks < 0 || blocks < min_blocks)) min_blocks = blocks;
  }
  long long sync_allocs = 0, host_waits = 0;
  for (const cudasim::Call& c : cudasim::call_log()) {
    sync_allocs += c.sync_allocs;
    host_waits += c.host_waits;
    if (c.function.rfind("thrust::", 0) == 0 || c.function.rfind("cub::", 0) == 0) traffic += double(c.bytes);
  }
  std::printf("road=%s launches=%zu min_blocks=%lld sync_allocs=%lld host_waits=%lld peak_mb=%lld traffic_mb=%lld "
              "cpu_ms=%lld\n",
              road.c_str(), launches.size(), min_blocks < 0 ? 0 : min_blocks, sync_allocs, host_waits,
              rounded(double(cudasim::allocation_stats().peak_live_bytes) / 1e6), rounded(traffic / 1e6),
              rounded(ms));
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int W = 3840, H = 2160;
  if (argc > 2 || (argc == 2 && (std::sscanf(argv[1], "%dx%d", &W, &H) != 2 || W <= 0 || H <= 0))) {
    std::fprintf(stderr, "usage: %s [WIDTHxHEIGHT]   (default 3840x2160)\n", argv[0]);
    return 2;
  }
  for (const char* road : kRoads)
    if (!measure(road, W, H)) return 1;
  return 0;
}
