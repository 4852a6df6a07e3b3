// Film-lab development kernels: initialisation, the development step, the
// developer diffusion and the exchange with the reservoir.
#include "pipeline/film_develop.cuh"
#include "pipeline/film_io.cuh"
#include "pipeline/film_kernels.h"
#include "pipeline/launch_shapes.h"

KALTHORNE_PIXEL_KERNEL film_lab_init(float* image, float* exposure, float* alpha, float* developed, float* silver,
                                     float* developer, float concentration, float silverR, float silverG, float silverB,
                                     int width, int height, int channelStride, int inputGamut) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, 1);
    float* px = image + i * (size_t)channelStride;
    float lin[3];
    film::decode_to_working(px, inputGamut, lin);
    const float s[3] = {silverR, silverG, silverB};
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) {
      exposure[3 * i + c] = film::hold(lin[c] * s[c]) * film::kLabScale;
      developed[3 * i + c] = 0.00001f;
      silver[3 * i + c] = s[c];
    }
    alpha[i] = px[3];
    developer[i] = concentration;
  }
}

KALTHORNE_PIXEL_KERNEL develop_cuda(float* developed, const float* exposure, float* silver, float* developer,
                                    float rate, float developerUse, float silverUse, int width, int height) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, 1);
    float D[3], E[3], S[3];
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) {
      D[c] = developed[3 * i + c];
      E[c] = exposure[3 * i + c];
      S[c] = silver[3 * i + c];
    }
    float d = developer[i];
    film::develop_pixel(D, E, S, d, rate, developerUse, silverUse);
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) {
      developed[3 * i + c] = D[c];
      silver[3 * i + c] = S[c];
    }
    developer[i] = d;
  }
}

KALTHORNE_PIXEL_KERNEL film_lab_diffuse_reset_pfe(const float* developer, float* code, int width, int height,
                                                  int /*inputGamut*/) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, 1);
    code[i] = film::developer_to_code(developer[i]);
  }
}

KALTHORNE_PIXEL_KERNEL pitch_sharp_film_lab(float* detail, const float* blurred, int width, int height, float gain) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, 1);
    detail[i] = film::diffusion_sharpen(detail[i], blurred[i], gain);
  }
}

KALTHORNE_PIXEL_KERNEL pitch_accumulate_film_lab_pfe(const float* detail, const float* blurred, float* developer,
                                                     int width, int height, int /*inputGamut*/) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, 1);
    developer[i] = film::code_to_developer(detail[i], blurred[i]);
  }
}

KALTHORNE_FLAT_KERNEL developer_to_layer(float* developer, float retention, const float* concentration,
                                         long long count) {
  const float added = *concentration;
  const long long stride = (long long)gridDim.x * blockDim.x;
  for (long long j = (long long)blockIdx.x * blockDim.x + threadIdx.x; j < count; j += stride)
    developer[j] = developer[j] * retention + added;
}

KALTHORNE_PIXEL_KERNEL reservoir_developer_concentration_init_two(float* developer, int width, int height,
                                                                  const float* concentration) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, 1);
    developer[i] = *concentration;
  }
}

KALTHORNE_ONE_THREAD_KERNEL develop_concentration(float* slots, film::ConcentrationUpdate update, int start,
                                                  float initial) {
  if (blockIdx.x != 0 || threadIdx.x != 0) return;
  if (start)
    film::start_concentration(slots, initial, update.fresh);
  else
    film::update_concentration(slots, update);
}
