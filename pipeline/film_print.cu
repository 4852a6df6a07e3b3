// Print and display kernels: the last stage of the film pipeline, writing
// display-referred RGB into both frame buffers.
#include "pipeline/film_kernels.h"
#include "pipeline/film_print.cuh"
#include "pipeline/launch_shapes.h"

namespace {

__host__ __device__ __forceinline__ void print_output(float* frameA, float* frameB, int width, int height, int channels,
                                             const film::PrintSettings& s, const float* printPlane) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, 1);
    float* pa = frameA + i * (size_t)channels;
    float* pb = frameB + i * (size_t)channels;
    const float in[3] = {pa[0], pa[1], pa[2]};
    const float* q = printPlane + 3 * i;
    const float plain[3] = {q[0], q[1], q[2]};
    float out[3];
    film::print_pixel(in, plain, s, out);
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) {
      pa[c] = out[c];
      pb[c] = out[c];
    }
    pb[3] = pa[3];
  }
}

}  // namespace

KALTHORNE_PIXEL_KERNEL film_print_cuda_out_pfe_display(float* frameA, float* frameB, int width, int height,
                                                       int channels, float blackPointR, float blackPointG,
                                                       float blackPointB, float lightR, float lightG, float lightB,
                                                       int /*displayGamutOutput*/, float displayScale) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, 1);
    float* pa = frameA + i * (size_t)channels;
    float* pb = frameB + i * (size_t)channels;
    const float in[3] = {pa[0], pa[1], pa[2]};
    const float bp[3] = {blackPointR, blackPointG, blackPointB};
    const float lt[3] = {lightR, lightG, lightB};
    float out[3];
    film::display_pixel(in, bp, lt, displayScale, out);
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) {
      pa[c] = out[c];
      pb[c] = out[c];
    }
    pb[3] = pa[3];
  }
}

KALTHORNE_FILM_HEAVY_KERNEL film_print_cuda_out_hue_chr_vib_pfe(
    float* frameA, float* frameB, int width, int height, int channels, film::ToneCurveArgs curve,
    film::PrintGammaArgs gamma, FILM_GRID_CONST const film::PrintCorrectorArgs corrector, film::PrinterArgs printer,
    film::CastArgs cast, int printProfile, float printSaturation, const float* printPlane, float blendComplement) {
  const film::PrintSettings s{curve,        gamma,           nullptr,        &corrector, printer,
                              cast,         printProfile,    printSaturation, blendComplement};
  print_output(frameA, frameB, width, height, channels, s, printPlane);
}

KALTHORNE_FILM_HEAVY_KERNEL film_print_cuda_out_bleach_pfe(
    float* frameA, float* frameB, int width, int height, int channels, film::ToneCurveArgs curve,
    film::PrintGammaArgs gamma, FILM_GRID_CONST const film::BleachArgs bleach, int /*inputGamut*/,
    FILM_GRID_CONST const film::PrintCorrectorArgs corrector, film::PrinterArgs printer, film::CastArgs cast,
    bool /*negativeDeveloped*/, int printProfile, float printSaturation, const float* printPlane,
    float blendComplement) {
  const film::PrintSettings s{curve,        gamma,           &bleach,        &corrector, printer,
                              cast,         printProfile,    printSaturation, blendComplement};
  print_output(frameA, frameB, width, height, channels, s, printPlane);
}
