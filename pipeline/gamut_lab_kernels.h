// The four scene-linear input gamuts with dedicated kernels: highlight
// compression around the film stage and the per-gamut Lab conversions of the
// texture stage. One row per gamut drives the kernel definitions and the
// host's choice of kernel.
#pragma once

#include "cudasim/cuda_compat.h"

// X(inputGamut, gamut, gamut of the compressing Lab kernel, gamut of the
//   expanding way out of Lab, compress, expand, into Lab, compressing into Lab)
#define KALTHORNE_DEDICATED_GAMUTS(X)                                                                           \
  X(0, GamutRec709, GamutRec709, GamutRec709, RGBA_rec709_compress, RGBA_rec709_expand_sRGB, rec709_LAB,      \
    Lin_rec709_compress_LAB)                                                                                   \
  X(4, GamutAcesAp0, GamutAcesAp0, GamutAcesAp0, RGBA_ACES_AP0_compress, RGBA_ACES_AP0_expand_sRGB,         \
    ACES_AP0_LAB, Lin_ACES_AP0_compress_LAB)                                                                   \
  X(5, GamutAcesAp1, GamutAcesAp1, GamutAcesAp1, RGBA_ACES_AP1_compress, RGBA_ACES_AP1_expand_sRGB,         \
    ACES_AP1_LAB, Lin_ACES_AP1_compress_LAB)                                                                   \
  X(30, GamutRec2020, GamutRec2020CompressLab, GamutRec2020ExpandLab, RGBA_rec2020_compress,              \
    RGBA_rec2020_expand_sRGB, rec2020_LAB, Lin_rec2020_compress_LAB)

#define KALTHORNE_DECLARE_GAMUT_KERNELS(index, g, gc, ge, compress, expand, to_lab, compress_to_lab) \
  __global__ void compress(float* in, float* out, int W, int H);                                              \
  __global__ void expand(const float* in, float* out, int W, int H);                                          \
  __global__ void to_lab(float* img, int W, int H, int n, float* lightness);                                  \
  __global__ void compress_to_lab(float* img, int W, int H, int n, float* lightness);
KALTHORNE_DEDICATED_GAMUTS(KALTHORNE_DECLARE_GAMUT_KERNELS)
#undef KALTHORNE_DECLARE_GAMUT_KERNELS

// True for the input colour spaces that have the kernels above.
inline bool is_dedicated_gamut(int inputGamut) {
#define KALTHORNE_IS_DEDICATED(index, ...) \
  if (inputGamut == (index)) return true;
  KALTHORNE_DEDICATED_GAMUTS(KALTHORNE_IS_DEDICATED)
#undef KALTHORNE_IS_DEDICATED
  return false;
}
