#include "pipeline/halation.h"

#include <cstddef>

#include "pipeline/deriche_rows.cuh"
#include "pipeline/halation.cuh"
#include "pipeline/launch_shapes.h"
#include "pipeline/texture_lab_in.cuh"
#include "pipeline/texture_kernels.cuh"
#include "pipeline/texture_kernels.h"

KALTHORNE_PIXEL_KERNEL halation_init(const float* image, float* glow, int width, int height, int channelStride,
                                     int inputGamut, int exposure, float exposureAmount) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    halation_math::exposed_linear_input(image + pixel_offset(x, y, width, channelStride), inputGamut, exposure,
                                        exposureAmount, glow + pixel_offset(x, y, width, 3));
  }
}

namespace {

// Folds the band's finished pixel back into the glow plane: pixel i, which
// no other pixel of the pass reads.
struct SharpenInto {
  float* __restrict__ glow;
  float amount;
  struct Fetched {
    float glow[3];
  };
  using Finished = Fetched;  // the glow again, sharpened
  __device__ __forceinline__ Fetched fetch(size_t i) const {
    const float* p = glow + 3 * i;
    return {{p[0], p[1], p[2]}};
  }
  __device__ __forceinline__ Finished finish(const float (&blurred)[3], const Fetched& f) const {
    Finished d;
    for (int c = 0; c < 3; ++c) d.glow[c] = halation_math::sharpen(f.glow[c], blurred[c], amount);
    return d;
  }
  __device__ __forceinline__ void write(size_t i, float*, const Finished& d) const {
    float* p = glow + 3 * i;
    for (int c = 0; c < 3; ++c) p[c] = d.glow[c];
  }
};

}  // namespace

KALTHORNE_COLUMN_KERNEL halation_band_rows(const float* columns, float* band, float* glow, int width, int height,
                                           float sigma, float amount) {
  __shared__ float xs[3][32][33], ys[3][32][33];
  deriche_rows_to<3>(xs, ys, columns, 3, band, 3, SharpenInto{glow, amount}, width, height, int(blockIdx.x) * 32,
                     deriche_coefficients(sigma));
}
CUDASIM_COOPERATIVE_KERNEL(halation_band_rows);

KALTHORNE_PIXEL_KERNEL halation_linear(const float* image, const float* glow, float* out, int width, int height,
                                       float cyanRed, float magentaGreen, float yellowBlue, float blendRComplement,
                                       float blendGComplement, float blendBComplement, float saturation, int inputGamut,
                                       int exposure, float exposureAmount, int channelStride, SoftClips clips,
                                       TextureLabIn lab, float* lightness) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, channelStride);
    const size_t p = pixel_offset(x, y, width, 3);
    const halation_math::MixTerms terms{{cyanRed, magentaGreen, yellowBlue},
                                        {blendRComplement, blendGComplement, blendBComplement},
                                        saturation};
    const float g[3] = {glow[p], glow[p + 1], glow[p + 2]};
    // The unblurred input again, as the first pass computed it.
    float orig[3];
    halation_math::exposed_linear_input(image + i, inputGamut, exposure, exposureAmount, orig);
    const float alpha = image[i + 3];
    float mixed[3], code[3];
    halation_math::mix(g, orig, terms, inputGamut, mixed);
    for (int c = 0; c < 3; ++c) code[c] = soft_clips_value(mixed[c], clips);
    if (lab.way == kLabInNone) {
      for (int c = 0; c < 3; ++c) out[i + c] = code[c];
    } else {
      float v[3];
      texture_lab_in(lab, code, v);
      store_lab(out + i, lightness, pixel_offset(x, y, width, 1), v);
    }
    out[i + 3] = alpha;
  }
}

namespace {

constexpr int kStride = 4;
constexpr int kBands = 4;
constexpr float kBandAmounts[kBands] = {0.5f, 0.25f, 0.125f, 0.0625f};

}  // namespace

bool halation(float* img, float* tmp, TextureOptionsStruct opts, const DeviceWork& work, const HalationEnds& ends) {
  const int W = opts.frameWidth;
  const int H = opts.frameHeight;
  if (W <= 0 || H <= 0 || img == nullptr || tmp == nullptr) return true;
  const size_t pixels = size_t(W) * size_t(H);
  const cudaStream_t stream = work.stream;

  // RGB planes, three floats a pixel: the picture the bands work on (img
  // keeps the input, from which the final mix takes it again), and the
  // column passes' scratch.
  float* glow = nullptr;
  float* blurred = nullptr;
  if (work.allocate(glow, pixels * 3) != cudaSuccess || work.allocate(blurred, pixels * 3) != cudaSuccess) {
    work.release(glow);
    return false;
  }
  // Until the final mix tmp holds the causal half of each band's row pass.
  float* const band = tmp;

  using namespace launch_shape;
  CUDA_LAUNCH_STREAM(halation_init, pixel_grid(W, H), pixel_block(), 0, stream, img, glow, W, H, kStride,
                     opts.inputGamut, ends.exposure, ends.exposureAmount);

  // Each band blurs R, G and B together, each channel exactly as on its own:
  // the columns into the scratch plane, then its rows, each blurred pixel
  // folded back into the picture as it is finished. The next band's columns
  // read the picture only once the whole row pass has updated it.
  float sigma = opts.halationBreadthScaled * 0.4f * 4.0f;
  for (int b = 0; b < kBands; ++b) {
    CUDA_LAUNCH_STREAM(iir_guassian_rgb, column_grid(3 * W), column_block(), 0, stream, glow, blurred, W, H, sigma,
                       3);
    CUDA_LAUNCH_STREAM(halation_band_rows, column_grid(H), column_block(), 0, stream, blurred, band, glow, W, H, sigma,
                       kBandAmounts[b]);
    sigma *= 2.0f;
  }

  CUDA_LAUNCH_STREAM(halation_linear, pixel_grid(W, H), pixel_block(), 0, stream, img, glow,
                     ends.intoTmp ? tmp : img, W, H, opts.halationCyanRed, opts.halationMagentaGreen,
                     opts.halationYellowBlue, opts.halationBlendRComplement, opts.halationBlendGComplement,
                     opts.halationBlendBComplement, opts.halationSaturation, opts.inputGamut, ends.exposure,
                     ends.exposureAmount, kStride, ends.clips, ends.lab, ends.lightness);

  work.release(blurred);
  work.release(glow);
  return true;
}
