// Helpers for running the film stage on the CPU build: device frames, a
// plain starting record and launch-trace queries.
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

// Uploads `rgba` into two device frames (b filled with a marker), runs the
// film stage and downloads both frames; the frames are freed again.
StageResult run_stage(const TextureOptionsStruct& o, const std::vector<float>& rgba);

// A frame of random code values in [0, 1] with alpha in [0, 1].
std::vector<float> random_frame(int width, int height, unsigned seed);

std::vector<cudasim::Launch> launches_of(const std::string& kernel);
int count_launches(const std::string& kernel);

}  // namespace filmtest
