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
// How the texture stage takes the frame into scaled Lab: not at all (the
// default), the generic conversion of the input gamut, or the dedicated one
// of the four scene-linear gamuts, compressing their luminance on the way
// when the dedicated way out expands it again (TextureLabInWay).
enum TextureLabInWay : int {
  kLabInNone = 0,
  kLabInGeneric = 1,
  kLabInDedicated = 2,
  kLabInDedicatedCompressing = 3
};
struct TextureLabIn {
  int way = kLabInNone;
  int gamut = 0;
};

// How the texture stage's last pass leaves Lab: the way (TextureLabWay), the
// input gamut, and the negative soft clip after it when softClip is not 0.
enum TextureLabWay : int { kLabOutGeneric = 0, kLabOutDedicated = 1, kLabOutDedicatedExpanding = 2 };
struct TextureLabOut {
  int way;
  int gamut;
  int softClip;
  float ceiling, recover, shadowCeiling, shadowRecover;
};

// The row pass of one texture level's blur (column shape over the rows),
// from the column pass's plane into `level` (a plane), and the level's band
// into the band sum `sum` (a plane) as each pixel is finished: the sum plus
// gain times the level's source (a plane: L' at the first level, the level
// before's blur after it) minus its blur. The sum starts at 0 where sumIn is
// null (the first level), else it is read from sumIn (`sum` itself).
__global__ void pitch_sharp_rows(const float* columns, float* level, const float* source, const float* sumIn,
                                 float* sum, int width, int height, float sigma, float gain);
// The last level's band, after its row pass blurred it into `level` (a
// plane): its source the plane `source`, or channel 0 of `lab` when that is
// null; then the bands folded back into L' (the sum plus the last blur) with
// a, b and alpha of `lab` (the Lab frame, RGBA) and taken out of Lab into
// `out` (RGBA) as `way` says. A pass of its own, a thread a pixel: the way
// out of Lab is most of the texture stage's arithmetic.
__global__ void pitch_sharp_out(const float* level, const float* source, const float* sumIn, const float* lab,
                                float* out, int width, int height, float gain, TextureLabOut way);

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
