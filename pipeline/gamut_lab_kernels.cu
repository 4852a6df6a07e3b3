#include "pipeline/gamut_lab_kernels.h"
#include "pipeline/gamut_lab.cuh"
#include "pipeline/launch_shapes.h"
#include "pipeline/pixel_kernels.cuh"

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
__device__ __forceinline__ void to_lab_body(float* img, int W, int H, int n) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, W, H) {
    const size_t e = pixel_offset(x, y, W, n);
    const LabGamut g = G::get();
    Rgb3 v = load_linear_for_lab(img + e);
    if (Compress) v = compress_rgb(g, v);
    store_rgb(img + e, rgb_to_scaled_lab(g, v));
  }
}

}  // namespace

#define KALTHORNE_DEFINE_GAMUT_KERNELS(index, g, gc, ge, compress, expand, to_lab, compress_to_lab)          \
  KALTHORNE_PIXEL_KERNEL compress(float* in, float* out, int W, int H) { compress_body<g>(in, out, W, H); }   \
  KALTHORNE_PIXEL_KERNEL expand(const float* in, float* out, int W, int H) { expand_body<g>(in, out, W, H); } \
  KALTHORNE_PIXEL_KERNEL to_lab(float* img, int W, int H, int n) { to_lab_body<g, false>(img, W, H, n); }   \
  KALTHORNE_PIXEL_KERNEL compress_to_lab(float* img, int W, int H, int n) {                                   \
    to_lab_body<gc, true>(img, W, H, n);                                                                      \
  }
KALTHORNE_DEDICATED_GAMUTS(KALTHORNE_DEFINE_GAMUT_KERNELS)
#undef KALTHORNE_DEFINE_GAMUT_KERNELS
