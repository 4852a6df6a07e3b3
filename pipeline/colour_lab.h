// The generic Lab kernel of the texture stage, for every InputGamut option
// (2-D pixel launch shape; n is the channel stride, always 4).
#pragma once

#include "cudasim/cuda_compat.h"

// image channels 0 to 2 become scaled Lab of the decoded pixel, and L' goes
// also into the plane `lightness` (one float a pixel) unless that is null.
// Alpha is not touched.
__global__ void ColorSpace_LAB(float* image, int width, int height, int n, int inputGamut, float* lightness);
