// Helpers for running the film stage on the CPU build.
#pragma once

#include <string>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "pipeline/texture_options.h"

namespace filmtest {

// A camera-negative record with the print stage off and every grading
// control neutral; tests switch on what they look at.
TextureOptionsStruct plain_negative_record(int width, int height);

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
