// The roads through the pipeline entry that the golden-frame check pins and
// the frame-cost benchmark measures. Each road is a set of parameter values
// (on top of the catalogue defaults and, where the road names them, the
// camera- and print-stock presets) turned into the render-options record by
// the render path's own fill, so the records are the ones renders pass. The
// film tests take their records from the same fill.
#pragma once

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "pipeline/texture_options.h"

namespace frame_roads {

// Parameter values by name, set in order.
using Values = std::vector<std::pair<const char*, double>>;

// Every road's name, in table order.
std::vector<std::string> road_names();

// The record of road `name` for a frame of width x height pixels of
// `channels` floats. Throws std::invalid_argument for an unknown name.
TextureOptionsStruct road_record(const std::string& name, int width, int height, int channels);

// The record the render path fills from `values` on top of the catalogue
// defaults and the presets of the camera and print stocks they name. Throws
// std::invalid_argument if the render would pass the frame through.
TextureOptionsStruct record(const Values& values, int width, int height, int channels);

// A record the render path fills from random values inside every
// parameter's catalogue range (one in eight exactly on an end), `fixed` set
// on top; with the print stage on, the input is one the print accepts.
TextureOptionsStruct random_record(std::mt19937& rng, int width, int height, int channels, const Values& fixed = {});

// The source frame every road renders: a fixed pattern of smooth gradients
// with dark, mid, bright, HDR, zero, one and slightly negative values and a
// varying alpha, the same on every machine (no library random numbers).
std::vector<float> source_frame(int width, int height, int channels);

}  // namespace frame_roads
