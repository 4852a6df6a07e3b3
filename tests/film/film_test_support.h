// Records for the film-stage tests, from the render path's own fills.
#pragma once

#include <random>

#include "frame_roads.h"

namespace filmtest {

// A record the render path fills from random values inside every
// parameter's catalogue range (one in eight exactly on an end), `fixed` set
// on top; with the print stage on, the input is one the print accepts.
TextureOptionsStruct random_record(std::mt19937& rng, int width, int height, int channels,
                                   const frame_roads::Values& fixed = {});

}  // namespace filmtest
