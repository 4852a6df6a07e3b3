// The stages of other parts of the pipeline that the entry calls.
#pragma once

#include "cudasim/cuda_compat.h"
#include "pipeline/texture_options.h"

#if __has_include("pipeline/halation.h")
#include "pipeline/halation.h"
#else
void halation(float* img, float* tmp, TextureOptionsStruct opts);
#endif

#if __has_include("pipeline/film_brew_print_cuda.h")
#include "pipeline/film_brew_print_cuda.h"
#else
bool film_brew_print_cuda(float* a, float* b, TextureOptionsStruct opts);
#endif

#if __has_include("pipeline/colour_lab.h")
#include "pipeline/colour_lab.h"
#else
__global__ void ColorSpace_LAB(float* img, float* aux, int W, int H, int n, int inputGamut);
__global__ void LAB_Colorspace(float* img, int W, int H, int n, int inputGamut);
#endif
