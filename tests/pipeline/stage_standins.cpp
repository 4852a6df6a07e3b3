#include "stage_standins.h"

#include <stdexcept>

#include "pipeline/launch_shapes.h"
#include "pipeline/pipeline_stages.h"

namespace standin {
namespace {
FilmFailure film_failure = FilmFailure::kNone;
}
void set_film_failure(FilmFailure failure) { film_failure = failure; }
}  // namespace standin

#define STANDIN_PIXEL(W, H)                             \
  const int x = blockIdx.x * blockDim.x + threadIdx.x; \
  const int y = blockIdx.y * blockDim.y + threadIdx.y; \
  if (x >= (W) || y >= (H)) return;                     \
  const size_t e = (size_t(y) * size_t(W) + size_t(x)) * 4

// Halation contract: colour into both buffers, img alpha kept, tmp alpha not written.
__global__ void standin_halation(float* img, float* tmp, int W, int H) {
  STANDIN_PIXEL(W, H);
  for (int c = 0; c < 3; ++c) tmp[e + c] = img[e + c] = standin::halation_value(img[e + c]);
}

// Film contract: the result, with a's alpha, in both buffers.
__global__ void standin_film(float* a, float* b, int W, int H) {
  STANDIN_PIXEL(W, H);
  for (int c = 0; c < 3; ++c) b[e + c] = a[e + c] = standin::film_value(a[e + c]);
  b[e + 3] = a[e + 3];
}

__global__ void ColorSpace_LAB(float* img, float* aux, int W, int H, int, int) {
  STANDIN_PIXEL(W, H);
  for (int c = 0; c < 3; ++c) img[e + c] = standin::into_lab_value(img[e + c]);
  aux[e] = 0.0f;
}

__global__ void LAB_Colorspace(float* img, int W, int H, int, int) {
  STANDIN_PIXEL(W, H);
  for (int c = 0; c < 3; ++c) img[e + c] = standin::out_of_lab_value(img[e + c]);
}

void halation(float* img, float* tmp, TextureOptionsStruct o, const DeviceWork& work) {
  CUDA_LAUNCH_STREAM(standin_halation, launch_shape::pixel_grid(o.frameWidth, o.frameHeight),
                     launch_shape::pixel_block(), 0, work.stream, img, tmp, o.frameWidth, o.frameHeight);
}

bool film_brew_print_cuda(float* a, float* b, TextureOptionsStruct o, const DeviceWork& work) {
  if (standin::film_failure == standin::FilmFailure::kThrow) throw std::runtime_error("device library failure");
  if (standin::film_failure == standin::FilmFailure::kResult) return false;
  CUDA_LAUNCH_STREAM(standin_film, launch_shape::pixel_grid(o.frameWidth, o.frameHeight), launch_shape::pixel_block(),
                     0, work.stream, a, b, o.frameWidth, o.frameHeight);
  return true;
}
