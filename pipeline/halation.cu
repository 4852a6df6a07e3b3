#include "pipeline/halation.h"

#include <cstddef>

#include "pipeline/halation.cuh"
#include "pipeline/launch_shapes.h"
#include "pipeline/texture_kernels.h"

__global__ void halation_init(float* image, float* sourceCopy, int width, int height, int channelStride,
                              int inputGamut) {
  const int x = blockIdx.x * blockDim.x + threadIdx.x;
  const int y = blockIdx.y * blockDim.y + threadIdx.y;
  if (x >= width || y >= height) return;
  const int i = (y * width + x) * channelStride;
  float v[3];
  input_to_awg4_linear(image + i, inputGamut, v);
  for (int c = 0; c < 3; ++c) {
    image[i + c] = v[c];
    sourceCopy[i + c] = v[c];
  }
}

__global__ void FrequencySharpenHalation(float* image, float* blurred, int width, int height, float amount,
                                         int channelStride) {
  const int x = blockIdx.x * blockDim.x + threadIdx.x;
  const int y = blockIdx.y * blockDim.y + threadIdx.y;
  if (x >= width || y >= height) return;
  const int i = (y * width + x) * channelStride;
  for (int c = 0; c < 3; ++c) image[i + c] = halation_math::sharpen(image[i + c], blurred[i + c], amount);
}

__global__ void halation_linear(float* image, float* copy, const float* sourceCopy, int width, int height,
                                float cyanRed, float magentaGreen, float yellowBlue, float blendRComplement,
                                float blendGComplement, float blendBComplement, float saturation, int inputGamut,
                                int channelStride) {
  const int x = blockIdx.x * blockDim.x + threadIdx.x;
  const int y = blockIdx.y * blockDim.y + threadIdx.y;
  if (x >= width || y >= height) return;
  const int i = (y * width + x) * channelStride;
  const halation_math::MixTerms terms{{cyanRed, magentaGreen, yellowBlue},
                                      {blendRComplement, blendGComplement, blendBComplement},
                                      saturation};
  const float glow[3] = {image[i], image[i + 1], image[i + 2]};
  const float orig[3] = {sourceCopy[i], sourceCopy[i + 1], sourceCopy[i + 2]};
  float code[3];
  halation_math::mix(glow, orig, terms, inputGamut, code);
  for (int c = 0; c < 3; ++c) {
    image[i + c] = code[c];
    copy[i + c] = code[c];
  }
  // Both buffers leave the stage with the input's alpha, whichever the
  // caller goes on with.
  copy[i + 3] = image[i + 3];
}

namespace {

constexpr int kStride = 4;
constexpr int kBands = 4;
constexpr float kBandAmounts[kBands] = {0.5f, 0.25f, 0.125f, 0.0625f};

}  // namespace

void halation(float* img, float* tmp, TextureOptionsStruct opts, const DeviceWork& work) {
  const int W = opts.frameWidth;
  const int H = opts.frameHeight;
  if (W <= 0 || H <= 0 || img == nullptr || tmp == nullptr) return;
  const size_t pixels = size_t(W) * size_t(H);
  const cudaStream_t stream = work.stream;

  float* plane = nullptr;
  float* sourceCopy = nullptr;
  if (work.allocate(plane, pixels) != cudaSuccess || work.allocate(sourceCopy, pixels * kStride) != cudaSuccess) {
    // Without work memory there is no glow: hand on the picture unchanged,
    // in both buffers as the stage promises.
    work.release(plane);
    cudaMemcpyAsync(tmp, img, pixels * kStride * sizeof(float), cudaMemcpyDeviceToDevice, stream);
    return;
  }

  using namespace launch_shape;
  CUDA_LAUNCH_STREAM(halation_init, pixel_grid(W, H), pixel_block(), 0, stream, img, sourceCopy, W, H, kStride,
                     opts.inputGamut);

  float sigma = opts.halationBreadthScaled * 0.4f * 4.0f;
  for (int band = 0; band < kBands; ++band) {
    for (int c = 0; c < 3; ++c) gaussian_blur_2d(img + c, plane, tmp + c, W, H, sigma, kStride, stream);
    CUDA_LAUNCH_STREAM(FrequencySharpenHalation, pixel_grid(W, H), pixel_block(), 0, stream, img, tmp, W, H,
                       kBandAmounts[band], kStride);
    sigma *= 2.0f;
  }

  CUDA_LAUNCH_STREAM(halation_linear, pixel_grid(W, H), pixel_block(), 0, stream, img, tmp, sourceCopy, W, H,
                     opts.halationCyanRed, opts.halationMagentaGreen, opts.halationYellowBlue,
                     opts.halationBlendRComplement, opts.halationBlendGComplement, opts.halationBlendBComplement,
                     opts.halationSaturation, opts.inputGamut, kStride);

  work.release(sourceCopy);
  work.release(plane);
}
