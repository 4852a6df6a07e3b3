// Halation: the glow that bright parts of the picture spread into their
// surroundings, tinted per channel, added in linear light.
#pragma once

#include "cudasim/cuda_compat.h"
#include "pipeline/device_work.h"
#include "pipeline/pixel_kernels.cuh"
#include "pipeline/texture_kernels.h"
#include "pipeline/texture_options.h"

// The per-pixel steps right before and right after the glow, which the
// stage does in its own first and last pass.
struct HalationEnds {
  int exposure = kExposureNone;  // ExposureKind: first, on the code values of img
  float exposureAmount = 0.0f;
  SoftClips clips = {};  // then, in order, on the halated code values
  bool intoTmp = false;  // the result goes to tmp; otherwise it stays in img
  TextureLabIn lab = {};  // last, the clipped code values into Lab (none by default)...
  float* lightness = nullptr;  // ...and L' also into this plane (one float a pixel) unless null
};

// img holds the picture (RGBA, code values of opts.inputGamut). Once the
// work queued on work.stream is done, channels 0 to 2 of img (or of tmp,
// with ends.intoTmp) hold the exposed, halated and clipped picture in the
// same encoding (or in scaled Lab, as ends.lab says), and its channel 3 the
// input alpha; the other buffer is
// left as scratch, but for img's alpha. False, with nothing queued and
// nothing left allocated, when the stage's work memory cannot be had: a
// frame without its glow is not the frame asked for.
bool halation(float* img, float* tmp, TextureOptionsStruct opts, const DeviceWork& work,
              const HalationEnds& ends = {});

// The glow plane (three floats a pixel) becomes the linear input:
// channels 0 to 2 of image, exposed (an ExposureKind), decoded and clamped.
__global__ void halation_init(const float* image, float* glow, int width, int height, int channelStride,
                              int inputGamut, int exposure, float exposureAmount);
// The row pass of one band (32 rows a 32-thread block) over the band's
// column pass, band its intermediate; each blurred pixel is folded back into
// the glow: glow = blurred + amount * (glow - blurred). columns, band and
// glow are RGB planes (three floats a pixel).
__global__ void halation_band_rows(const float* columns, float* band, float* glow, int width, int height,
                                   float sigma, float amount);
// Mixes the glow (an RGB plane) with the linear input (taken again from
// image as halation_init took it), encodes, soft clips, takes the result
// into Lab `lab` unless that is kLabInNone (L' also into `lightness` unless
// that is null), and stores it into channels 0 to 2 of out, and image's
// alpha into its channel 3 (out may be image).
__global__ void halation_linear(const float* image, const float* glow, float* out, int width, int height,
                                float cyanRed, float magentaGreen, float yellowBlue, float blendRComplement,
                                float blendGComplement, float blendBComplement, float saturation, int inputGamut,
                                int exposure, float exposureAmount, int channelStride, SoftClips clips,
                                TextureLabIn lab, float* lightness);
