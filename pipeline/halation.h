// Halation: the glow that bright parts of the picture spread into their
// surroundings, tinted per channel, added in linear light.
#pragma once

#include "cudasim/cuda_compat.h"
#include "pipeline/device_work.h"
#include "pipeline/texture_options.h"

// img holds the picture (RGBA, code values of opts.inputGamut). Once the
// work queued on work.stream is done, channels 0 to 2 of img and tmp hold
// the halated picture in the same encoding, and channel 3 of both holds the
// input alpha. False, with nothing queued and nothing left allocated, when
// the stage's work memory cannot be had: a frame without its glow is not
// the frame asked for.
bool halation(float* img, float* tmp, TextureOptionsStruct opts, const DeviceWork& work);

// Channels 0 to 2 of image, and the source copy (three floats a pixel),
// become the decoded, clamped linear input.
__global__ void halation_init(float* image, float* sourceCopy, int width, int height, int channelStride,
                              int inputGamut);
// The row pass of one band (32 rows a 32-thread block) over the band's
// column pass (an RGB plane, three floats a pixel), band its intermediate RGB
// plane; each blurred pixel is folded back into channels 0 to 2 of image:
// image = blurred + amount * (image - blurred).
__global__ void halation_band_rows(const float* columns, float* band, float* image, int width, int height,
                                   float sigma, float amount, int channelStride);
// Mixes the glow (image) with the source copy, encodes, and stores the result
// into channels 0 to 2 of image and copy; copy's alpha becomes image's alpha.
__global__ void halation_linear(float* image, float* copy, const float* sourceCopy, int width, int height,
                                float cyanRed, float magentaGreen, float yellowBlue, float blendRComplement,
                                float blendGComplement, float blendBComplement, float saturation, int inputGamut,
                                int channelStride);
