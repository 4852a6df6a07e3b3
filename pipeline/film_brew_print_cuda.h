// The film stage: negative development, negative output, print and display.
#pragma once

#include "pipeline/device_work.h"
#include "pipeline/texture_options.h"

// The frame the road reads after the film stage.
enum class FilmResult { kInA, kInB };

// Queues the film stage on the device frames a and b (W x H RGBA floats
// each, a holding the picture) and leaves the result, RGB and alpha, in the
// frame `result` names; the other one is scratch. Returns false when its
// working planes could not be allocated; the frames are then left as they
// came (a copied into b) and nothing stays allocated.
bool film_brew_print_cuda(float* a, float* b, TextureOptionsStruct opts, const DeviceWork& work, FilmResult result);
