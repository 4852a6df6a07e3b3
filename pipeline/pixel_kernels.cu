#include "pipeline/device_code_probe.h"
#include "pipeline/launch_shapes.h"
#include "pipeline/pixel_kernels.h"
#include "pipeline/pixel_kernels.cuh"

KALTHORNE_PIXEL_KERNEL RGB_RGBA_Kernel(const float* in, float* out, int W, int H) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, W, H) {
    const size_t i = size_t(y) * size_t(W) + size_t(x);
    out[4 * i + 0] = in[3 * i + 0];
    out[4 * i + 1] = in[3 * i + 1];
    out[4 * i + 2] = in[3 * i + 2];
    out[4 * i + 3] = 0.0f;
  }
}

KALTHORNE_PIXEL_KERNEL RGBA_RGB_Kernel(const float* in, float* out, int W, int H) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, W, H) {
    const size_t i = size_t(y) * size_t(W) + size_t(x);
    out[3 * i + 0] = in[4 * i + 0];
    out[3 * i + 1] = in[4 * i + 1];
    out[3 * i + 2] = in[4 * i + 2];
  }
}

KALTHORNE_PIXEL_KERNEL exposure_linear_gamma(float* img, int W, int H, float amount, int n) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, W, H) {
    float* p = img + pixel_offset(x, y, W, n);
    for (int c = 0; c < 3; ++c) p[c] = exposure_linear_value(p[c], amount);
  }
}

KALTHORNE_PIXEL_KERNEL exposure_log(float* img, int W, int H, float amount, int n) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, W, H) {
    float* p = img + pixel_offset(x, y, W, n);
    for (int c = 0; c < 3; ++c) p[c] = exposure_log_value(p[c], amount);
  }
}

KALTHORNE_PIXEL_KERNEL exposure_linear_gamma_in_out(const float* in, float* out, int W, int H, float amount, int n) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, W, H) {
    const size_t e = pixel_offset(x, y, W, n);
    for (int c = 0; c < 3; ++c) out[e + c] = exposure_linear_value(in[e + c], amount);
    if (n > 3) out[e + 3] = in[e + 3];
  }
}

KALTHORNE_PIXEL_KERNEL exposure_log_in_out(const float* in, float* out, int W, int H, float amount, int n) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, W, H) {
    const size_t e = pixel_offset(x, y, W, n);
    for (int c = 0; c < 3; ++c) out[e + c] = exposure_log_value(in[e + c], amount);
    if (n > 3) out[e + 3] = in[e + 3];
  }
}

KALTHORNE_PIXEL_KERNEL highlights_shadows_Kernel(float* img, int W, int H, int n, int gamut, float ceiling,
                                                 float recover, float shadowCeiling, float shadowRecover) {
  (void)gamut;
  KALTHORNE_FOR_EACH_PIXEL(x, y, W, H) {
    float* p = img + pixel_offset(x, y, W, n);
    for (int c = 0; c < 3; ++c)
      p[c] = highlights_shadows_value(p[c], ceiling, recover, shadowCeiling, shadowRecover);
  }
}

KALTHORNE_PIXEL_KERNEL highlights_shadows_Kernel_in_out(const float* in, float* out, int W, int H, int n, int gamut,
                                                        float ceiling, float recover, float shadowCeiling,
                                                        float shadowRecover) {
  (void)gamut;
  KALTHORNE_FOR_EACH_PIXEL(x, y, W, H) {
    const size_t e = pixel_offset(x, y, W, n);
    for (int c = 0; c < 3; ++c)
      out[e + c] = highlights_shadows_value(in[e + c], ceiling, recover, shadowCeiling, shadowRecover);
    if (n > 3) out[e + 3] = in[e + 3];
  }
}

const void* device_code_probe_kernel() { return reinterpret_cast<const void*>(&RGB_RGBA_Kernel); }
