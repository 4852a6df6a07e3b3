// frame_cost [--kernels] [WIDTHxHEIGHT [ROAD...]]: one line per golden road,
// or per road named (frame_cost.cpp); with --kernels, after each road a line
// per kernel it launches. Exits 77 (a skip, to CTest) when this build has no
// machine-code counts: without nvcc the product bundle is not built.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "frame_cost.h"
#include "frame_roads.h"

int main(int argc, char** argv) {
  int first = 1;
  const bool per_kernel = argc > 1 && std::strcmp(argv[1], "--kernels") == 0;
  if (per_kernel) ++first;
  int W = 3840, H = 2160;
  if (argc > first && (std::sscanf(argv[first], "%dx%d", &W, &H) != 2 || W <= 0 || H <= 0)) {
    std::fprintf(stderr, "usage: %s [--kernels] [WIDTHxHEIGHT [ROAD...]]   (default 3840x2160, every road)\n",
                 argv[0]);
    return 2;
  }
  std::string reason;
  if (!bench::build_sass_table(reason)) {
    std::fprintf(stderr, "frame_cost: skipped: no machine-code counts: %s\n", reason.c_str());
    return 77;
  }
  std::vector<std::string> roads(argv + (argc > first + 1 ? first + 1 : argc), argv + argc);
  if (roads.empty()) roads = frame_roads::road_names();
  for (const std::string& road : roads) {
    bench::RoadCost cost;
    std::vector<bench::KernelCost> kernels;
    std::string error;
    try {
      if (!bench::measure_road(road, W, H, cost, error, per_kernel ? &kernels : nullptr)) {
        std::fprintf(stderr, "frame_cost: road %s: %s\n", road.c_str(), error.c_str());
        return 1;
      }
    } catch (const std::exception& e) {  // an unknown road
      std::fprintf(stderr, "frame_cost: %s\n", e.what());
      return 2;
    }
    std::printf("%s\n", bench::cost_line(cost).c_str());
    for (const bench::KernelCost& k : kernels) std::printf("  %s\n", bench::kernel_line(k).c_str());
    std::fflush(stdout);
  }
  return 0;
}
