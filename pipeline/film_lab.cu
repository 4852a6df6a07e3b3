// Film-lab development kernels: initialisation, the development step, the
// developer diffusion and the exchange with the reservoir.
#include "pipeline/deriche_rows.cuh"
#include "pipeline/film_develop.cuh"
#include "pipeline/film_diffusion.cuh"
#include "pipeline/film_io.cuh"
#include "pipeline/film_kernels.h"
#include "pipeline/launch_shapes.h"

KALTHORNE_PIXEL_KERNEL film_lab_init(const float* image, float* exposure, float* alpha, float silverR, float silverG,
                                     float silverB, int width, int height, int channelStride, int inputGamut) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, 1);
    const float* px = image + i * (size_t)channelStride;
    float lin[3];
    film::decode_to_working(px, inputGamut, lin);
    const float s[3] = {silverR, silverG, silverB};
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) exposure[3 * i + c] = film::hold(lin[c] * s[c]) * film::kLabScale;
    alpha[i] = px[3];
  }
}

KALTHORNE_PIXEL_KERNEL develop_cuda(float* developed, const float* exposure, float* silver,
                                    const float* developedIn, const float* silverIn, film::DevelopStart start,
                                    const float* developerIn, int developerStep, float* developer,
                                    float* beforeExchange, float retention, const float* concentration, float rate,
                                    float developerUse, float silverUse, int width, int height) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, 1);
    float D[3], E[3], S[3];
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) {
      D[c] = developedIn ? developedIn[3 * i + c] : start.developed;
      E[c] = exposure[3 * i + c];
      S[c] = silverIn ? silverIn[3 * i + c] : start.silver[c];
    }
    float d = developerIn[i * size_t(developerStep)];
    // Loaded with the pixel's planes: after the stores below the compiler
    // would have to wait for it on its own.
    const float added = developer && beforeExchange ? *concentration : 0.0f;
    film::develop_pixel(D, E, S, d, rate, developerUse, silverUse);
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) developed[3 * i + c] = D[c];
    // The last step leaves silver and developer to nobody (null).
    if (silver)
      FILM_UNROLL
      for (int c = 0; c < 3; ++c) silver[3 * i + c] = S[c];
    if (developer) {
      if (beforeExchange) {
        beforeExchange[i] = d;
        d = film::exchanged_developer(d, retention, added);
      }
      developer[i] = d;
    }
  }
}

KALTHORNE_COLUMN_KERNEL iir_guassian_developer_code(const float* developer, float* output, int width, int height,
                                                    float sigma) {
  const unsigned x = blockIdx.x * blockDim.x + threadIdx.x;
  if (width <= 0 || x >= unsigned(width)) return;
  deriche_columns_of<1>(film::DeveloperCodeSamples{developer + x, size_t(width)}, output + x, size_t(width), height,
                        deriche_coefficients(sigma));
}

KALTHORNE_COLUMN_KERNEL iir_guassian_rows_developer(const float* input, float* output, float* developer,
                                                    const float* bandOne, int width, int height, float sigma,
                                                    float gain, float retention, const float* concentration) {
  __shared__ float xs[1][32][33], ys[1][32][33];
  const film::DiffusedDeveloperStore store{developer, bandOne, output, gain, retention, *concentration};
  deriche_rows_to<1>(xs, ys, input, 1, output, 1, store, width, height, int(blockIdx.x) * 32,
                     deriche_coefficients(sigma));
}
CUDASIM_COOPERATIVE_KERNEL(iir_guassian_rows_developer);

KALTHORNE_ONE_THREAD_KERNEL develop_concentration(float* slots, film::ConcentrationUpdate update, int start,
                                                  float initial) {
  if (blockIdx.x != 0 || threadIdx.x != 0) return;
  if (start)
    film::start_concentration(slots, initial, update.fresh);
  else
    film::update_concentration(slots, update);
}
