#include "pipeline/gamut_lab_kernels.h"
#include "pipeline/gamut_lab.cuh"
#include "pipeline/launch_shapes.h"
#include "pipeline/pixel_kernels.cuh"
#include "pipeline/texture_lab_in.cuh"

namespace {

// Shared bodies; `G::get()` gives the gamut description of the member.
template <typename G>
__device__ __forceinline__ void compress_body(float* in, float* out, int W, int H) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, W, H) {
    const size_t e = pixel_offset(x, y, W, 4);
    const Rgb3 v = compress_rgb(G::get(), load_rgb(in + e));
    store_rgb(in + e, v);
    store_rgb(out + e, v);
    out[e + 3] = in[e + 3];
  }
}

template <typename G>
__device__ __forceinline__ void expand_body(const float* in, float* out, int W, int H) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, W, H) {
    const size_t e = pixel_offset(x, y, W, 4);
    store_rgb(out + e, expand_rgb(G::get(), load_rgb(in + e)));
    out[e + 3] = in[e + 3];
  }
}

template <typename G, bool Compress>
__device__ __forceinline__ void to_lab_body(float* img, int W, int H, int n, float* lightness) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, W, H) {
    float* const px = img + pixel_offset(x, y, W, n);
    const Rgb3 v = into_scaled_lab<G, Compress>(px);
    const float lab[3] = {v.r, v.g, v.b};
    store_lab(px, lightness, pixel_offset(x, y, W, 1), lab);
  }
}

}  // namespace

#define KALTHORNE_DEFINE_GAMUT_KERNELS(index, g, gc, ge, compress, expand, to_lab, compress_to_lab)          \
  KALTHORNE_PIXEL_KERNEL compress(float* in, float* out, int W, int H) { compress_body<g>(in, out, W, H); }   \
  KALTHORNE_PIXEL_KERNEL expand(const float* in, float* out, int W, int H) { expand_body<g>(in, out, W, H); } \
  KALTHORNE_PIXEL_KERNEL to_lab(float* img, int W, int H, int n, float* lightness) {                          \
    to_lab_body<g, false>(img, W, H, n, lightness);                                                           \
  }                                                                                                           \
  KALTHORNE_PIXEL_KERNEL compress_to_lab(float* img, int W, int H, int n, float* lightness) {                 \
    to_lab_body<gc, true>(img, W, H, n, lightness);                                                           \
  }
KALTHORNE_DEDICATED_GAMUTS(KALTHORNE_DEFINE_GAMUT_KERNELS)
#undef KALTHORNE_DEFINE_GAMUT_KERNELS
