// Building blocks of the six-band texture stage and of the halation glow: a
// column blur, a row blur, the band gain and the final fold-back. A full 2-D
// blur is a column pass and a row pass.
#pragma once

#include "cudasim/cuda_compat.h"
#include "pipeline/launch_shapes.h"

// Column shape: one thread per column.
__global__ void iir_guassian(const float* input, float* output, int width, int height, float sigma, int channelStride);
// The same blur of channels 0 to 2 of `input` (pixels channelStride floats
// apart), into an RGB plane (three floats a pixel); one thread per channel
// of a column (3 x width threads).
__global__ void iir_guassian_rgb(const float* input, float* output, int width, int height, float sigma,
                                 int channelStride);
// The same blur along the rows of a plane, into `output` at the channel
// stride; column shape over the rows (one thread a row, height threads).
__global__ void iir_guassian_rows(const float* input, float* output, int width, int height, float sigma,
                                  int channelStride);
// Row shape.
__global__ void pitch_sharp(int width, int height, const float* source, const float* blurred, float* accumulator,
                            float gain, int channelStride);
// pitch_sharp, then the blurred level takes the source's place for the next
// level, in the same pass.
__global__ void pitch_sharp_next(int width, int height, float* source, const float* blurred, float* accumulator,
                                 float gain, int channelStride);
__global__ void pitch_accumulate(int width, int height, const float* image, float* accumulator, int channelStride);

// The two launches of a 2-D Gaussian blur, queued on `stream`: the columns
// of `in` (read at the channel stride) into the scratch plane, and the rows
// of the scratch plane into `out` (written at the channel stride). `in` may
// be `out`; neither may overlap the scratch plane.
inline void gaussian_blur_2d(const float* in, float* scratch, float* out, int width, int height, float sigma,
                             int channelStride, cudaStream_t stream) {
  using namespace launch_shape;
  CUDA_LAUNCH_STREAM(iir_guassian, column_grid(width), column_block(), 0, stream, in, scratch, width, height, sigma,
                     channelStride);
  CUDA_LAUNCH_STREAM(iir_guassian_rows, column_grid(height), column_block(), 0, stream, scratch, out, width, height,
                     sigma, channelStride);
}
