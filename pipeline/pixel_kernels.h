// Pixel-format, exposure and highlight/shadow kernels (2-D pixel shape).
#pragma once

#include "cudasim/cuda_compat.h"

__global__ void RGB_RGBA_Kernel(const float* in, float* out, int W, int H);
__global__ void RGBA_RGB_Kernel(const float* in, float* out, int W, int H);
__global__ void exposure_linear_gamma(float* img, int W, int H, float amount, int n);
__global__ void exposure_log(float* img, int W, int H, float amount, int n);
__global__ void exposure_linear_gamma_in_out(const float* in, float* out, int W, int H, float amount, int n);
__global__ void exposure_log_in_out(const float* in, float* out, int W, int H, float amount, int n);
// The gamut argument is carried for the caller's bookkeeping; the roll-off
// does not depend on it.
__global__ void highlights_shadows_Kernel(float* img, int W, int H, int n, int gamut, float ceiling,
                                          float recover, float shadowCeiling, float shadowRecover);
__global__ void highlights_shadows_Kernel_in_out(const float* in, float* out, int W, int H, int n, int gamut,
                                                 float ceiling, float recover, float shadowCeiling,
                                                 float shadowRecover);
