// Negative output kernels: the developed layers become the graded negative,
// written as output code values (print stage off) or as linear light for
// the print stage.
#include "pipeline/film_kernels.h"
#include "pipeline/film_negative.cuh"
#include "pipeline/launch_shapes.h"

namespace {

__host__ __device__ __forceinline__ void negative_output(const float* exposure, float* frameA, float* frameB,
                                                const float* alpha, const float* developed, int width, int height,
                                                int channels, const film::NegativeSettings& s, float* printPlane) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = (size_t)y * (size_t)width + (size_t)x;
    const float D[3] = {developed[3 * i], developed[3 * i + 1], developed[3 * i + 2]};
    const float E[3] = {exposure[3 * i], exposure[3 * i + 1], exposure[3 * i + 2]};
    float out[3];
    film::negative_output_pixel(D, E, s, out);
    const float a = alpha[i];
    float* pa = frameA + i * (size_t)channels;
    float* pb = frameB + i * (size_t)channels;
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) {
      pa[c] = out[c];
      pb[c] = out[c];
    }
    // The print stage's blend partner; without the print stage there is none.
    if (!s.printOff) {
      float* q = printPlane + 3 * i;
      FILM_UNROLL
      for (int c = 0; c < 3; ++c) q[c] = out[c];
    }
    pa[3] = a;
    pb[3] = a;
  }
}

}  // namespace

KALTHORNE_FILM_HEAVY_KERNEL film_brew_cuda_out_hue_chr_vib(const float* exposure, float* frameA, float* frameB,
                                                           const float* alpha, const float* developed, int width,
                                                           int height, int channels, film::ToneCurveArgs curve,
                                                           int toneCurvesOn, float densityScale, int inputGamut,
                                                           FILM_GRID_CONST const film::NegativeCorrectorArgs corrector,
                                                           film::DensityArgs density, film::CastArgs cast, int printOff,
                                                           float* printPlane, float blendComplement) {
  const film::NegativeSettings s{curve,       nullptr, toneCurvesOn != 0, densityScale, inputGamut,
                                 &corrector,  density, cast,              printOff != 0, blendComplement};
  negative_output(exposure, frameA, frameB, alpha, developed, width, height, channels, s, printPlane);
}

KALTHORNE_FILM_HEAVY_KERNEL film_brew_cuda_out_bleach(
    const float* exposure, float* frameA, float* frameB, const float* alpha, const float* developed, int width,
    int height, int channels, film::ToneCurveArgs curve, FILM_GRID_CONST const film::BleachArgs bleach,
    int toneCurvesOn, float densityScale, int inputGamut, FILM_GRID_CONST const film::NegativeCorrectorArgs corrector,
    film::DensityArgs density, film::CastArgs cast, int /*cameraStock*/, int printOff, float* printPlane,
    float blendComplement) {
  const film::NegativeSettings s{curve,      &bleach, toneCurvesOn != 0, densityScale, inputGamut,
                                 &corrector, density, cast,              printOff != 0, blendComplement};
  negative_output(exposure, frameA, frameB, alpha, developed, width, height, channels, s, printPlane);
}
