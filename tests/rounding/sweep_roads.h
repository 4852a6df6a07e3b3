// The roads the speck sweep renders: camera and print stocks on several
// inputs, looks that drive the corrector's Chroma quality hard, and the
// golden roads.
#pragma once

#include <string>
#include <vector>

#include "pipeline/texture_options.h"

namespace sweep_roads {

struct Road {
  std::string name;
  TextureOptionsStruct record;
};

// Every road for a sweep of width x height RGBA pixels.
std::vector<Road> roads(int width, int height);

}  // namespace sweep_roads
