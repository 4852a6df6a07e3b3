// frame_cost [WIDTHxHEIGHT [ROAD...]]: one line per golden road, or per road
// named (frame_cost.cpp).
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "frame_cost.h"
#include "frame_roads.h"

int main(int argc, char** argv) {
  int W = 3840, H = 2160;
  if (argc >= 2 && (std::sscanf(argv[1], "%dx%d", &W, &H) != 2 || W <= 0 || H <= 0)) {
    std::fprintf(stderr, "usage: %s [WIDTHxHEIGHT [ROAD...]]   (default 3840x2160, every road)\n", argv[0]);
    return 2;
  }
  std::vector<std::string> roads(argv + (argc > 2 ? 2 : argc), argv + argc);
  if (roads.empty()) roads = frame_roads::road_names();
  for (const std::string& road : roads) {
    bench::RoadCost cost;
    std::string error;
    try {
      if (!bench::measure_road(road, W, H, cost, error)) {
        std::fprintf(stderr, "frame_cost: road %s: %s\n", road.c_str(), error.c_str());
        return 1;
      }
    } catch (const std::exception& e) {  // an unknown road
      std::fprintf(stderr, "frame_cost: %s\n", e.what());
      return 2;
    }
    std::printf("%s\n", bench::cost_line(cost).c_str());
    std::fflush(stdout);
  }
  return 0;
}
