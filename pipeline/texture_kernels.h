// Building blocks of the six-band texture stage and of the halation glow: a
// column blur, a tiled transpose, the band gain and the final fold-back. A full 2-D blur is column blur, transpose, column blur,
// transpose.
#pragma once

#include "cudasim/cuda_compat.h"
#include "pipeline/launch_shapes.h"

// Column shape: one thread per column.
__global__ void iir_guassian(float* input, float* output, int width, int height, float sigma, int channelStride);
// The same blur of channels 0 to 2 of `input` (pixels channelStride floats
// apart), into an RGB plane (three floats a pixel); one thread per channel
// of a column (3 x width threads).
__global__ void iir_guassian_rgb(const float* input, float* output, int width, int height, float sigma,
                                 int channelStride);
// 2-D pixel shape with 32 x 32 blocks (the tile size is fixed).
__global__ void u_d_l_r(const float* input, float* output, int width, int height, int channelStride);
// The transpose of an RGB plane (three floats a pixel) into another.
__global__ void u_d_l_r_rgb(const float* input, float* output, int width, int height);
// Row shape.
__global__ void pitch_sharp(int width, int height, const float* source, const float* blurred, float* accumulator,
                            float gain, int channelStride);
// pitch_sharp, then the blurred level takes the source's place for the next
// level, in the same pass.
__global__ void pitch_sharp_next(int width, int height, float* source, const float* blurred, float* accumulator,
                                 float gain, int channelStride);
__global__ void pitch_accumulate(int width, int height, const float* image, float* accumulator, int channelStride);

// The four launches of a 2-D Gaussian blur, queued on `stream`: the columns
// of `in` (read at the channel stride) into the scratch plane, transposed
// into `out`, the columns of the transposed plane into the scratch plane,
// transposed back into `out`. `in` may be `out`; neither may overlap the
// scratch plane.
inline void gaussian_blur_2d(float* in, float* scratch, float* out, int width, int height, float sigma,
                             int channelStride, cudaStream_t stream) {
  using namespace launch_shape;
  CUDA_LAUNCH_STREAM(iir_guassian, column_grid(width), column_block(), 0, stream, in, scratch, width, height, sigma,
                     channelStride);
  CUDA_LAUNCH_STREAM(u_d_l_r, pixel_grid(width, height), pixel_block(), 0, stream, scratch, out, width, height,
                     channelStride);
  CUDA_LAUNCH_STREAM(iir_guassian, column_grid(height), column_block(), 0, stream, out, scratch, height, width, sigma,
                     channelStride);
  CUDA_LAUNCH_STREAM(u_d_l_r, pixel_grid(height, width), pixel_block(), 0, stream, scratch, out, height, width,
                     channelStride);
}
