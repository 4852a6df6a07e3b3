// Helpers for running the film stage on the CPU build.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "frame_roads.h"

namespace filmtest {

// A record the render path fills from random values inside every
// parameter's catalogue range (one in eight exactly on an end), `fixed` set
// on top; with the print stage on, the input is one the print accepts.
TextureOptionsStruct random_record(std::mt19937& rng, int width, int height, int channels,
                                   const frame_roads::Values& fixed = {});

struct StageResult {
  bool ran = false;
  std::vector<float> a, b;  // both frames after the call, RGBA
};

// Runs the film stage as a render does (its own stream, buffers from the
// device's pool) on device copies of `rgba` (frame b starts as a marker) and
// brings both frames back.
StageResult run_stage(const TextureOptionsStruct& o, const std::vector<float>& rgba);

// Random values in [0, 1], alpha included.
std::vector<float> random_frame(int width, int height, unsigned seed);

int count_launches(const std::string& kernel);

}  // namespace filmtest
