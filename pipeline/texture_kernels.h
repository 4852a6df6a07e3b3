// Building blocks of the six-band texture stage and of the halation glow: a
// column blur, a tiled transpose, the band gain, a channel copy and the final
// fold-back. A full 2-D blur is column blur, transpose, column blur,
// transpose.
#pragma once

#include "cudasim/cuda_compat.h"

// Column shape: one thread per column.
__global__ void iir_guassian(float* input, float* output, int width, int height, float sigma, int channelStride);
// 2-D pixel shape with 32 x 32 blocks (the tile size is fixed).
__global__ void u_d_l_r(const float* input, float* output, int width, int height, int channelStride);
// Row shape.
__global__ void pitch_sharp(int width, int height, const float* source, const float* blurred, float* accumulator,
                            float gain, int channelStride);
__global__ void CopyY(const float* input, float* output, int width, int height, int channelStride);
__global__ void pitch_accumulate(int width, int height, const float* image, float* accumulator, int channelStride);
