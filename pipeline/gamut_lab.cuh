// Highlight compression by luminance and the scaled CIE L*a*b* conversions of
// the four scene-linear gamuts that have dedicated kernels. One body per
// family, parameterised by a gamut description; the named kernels are thin.
#pragma once

#include "cudasim/cuda_compat.h"
#include "pipeline/colour_transforms.cuh"

struct Rgb3 {
  float r, g, b;
};

// Rows of a 3 x 3 matrix.
struct Mat3 {
  float m00, m01, m02, m10, m11, m12, m20, m21, m22;
};

__host__ __device__ inline Rgb3 mat3_apply(const Mat3& m, Rgb3 v) {
  return Rgb3{m.m00 * v.r + m.m01 * v.g + m.m02 * v.b, m.m10 * v.r + m.m11 * v.g + m.m12 * v.b,
              m.m20 * v.r + m.m21 * v.g + m.m22 * v.b};
}

__host__ __device__ inline float dot3(Rgb3 w, Rgb3 v) { return w.r * v.r + w.g * v.g + w.b * v.b; }

// A gamut as the kernels see it: RGB to XYZ, XYZ to RGB, and the luminance
// weights used by the compression (compress members) or the expansion
// (expand members).
struct LabGamut {
  Mat3 toXYZ;
  Mat3 fromXYZ;
  Rgb3 luma;
};

struct GamutRec709 {
  __host__ __device__ static LabGamut get() {
    return LabGamut{{0.4123908f, 0.3575843f, 0.1804808f, 0.2126390f, 0.7151687f, 0.0721923f, 0.0193308f,
                     0.1191948f, 0.9505321f},
                    {3.2409699f, -1.5373832f, -0.4986108f, -0.9692436f, 1.8759675f, 0.0415551f, 0.0556301f,
                     -0.2039770f, 1.0569715f},
                    {0.2126390f, 0.7151687f, 0.0721923f}};
  }
};

struct GamutAcesAp0 {
  __host__ __device__ static LabGamut get() {
    return LabGamut{{0.9525524f, 0.0f, 0.0000937f, 0.3439665f, 0.7281661f, -0.0721325f, 0.0f, 0.0f, 1.0088252f},
                    {1.0498110f, 0.0f, -0.0000975f, -0.4959030f, 1.3733131f, 0.0982400f, 0.0f, 0.0f, 0.9912520f},
                    {0.3439665f, 0.7281661f, -0.0721325f}};
  }
};

struct GamutAcesAp1 {
  __host__ __device__ static LabGamut get() {
    return LabGamut{{0.6624542f, 0.1340042f, 0.1561877f, 0.2722287f, 0.6740817f, 0.0536895f, -0.0055746f,
                     0.0040607f, 1.0103391f},
                    {1.6410234f, -0.3248033f, -0.2364247f, -0.6636629f, 1.6153316f, 0.0167563f, 0.0117219f,
                     -0.0082844f, 0.9883949f},
                    {0.2722287f, 0.6740817f, 0.0536895f}};
  }
};

struct GamutRec2020 {
  __host__ __device__ static LabGamut get() {
    return LabGamut{{0.6369581f, 0.1446169f, 0.1688810f, 0.2627002f, 0.6779981f, 0.0593017f, 0.0f, 0.0280727f,
                     1.0609851f},
                    {1.7166512f, -0.3556708f, -0.2533663f, -0.6666843f, 1.6164812f, 0.0157685f, 0.0176399f,
                     -0.0427706f, 0.9421031f},
                    {0.2627002f, 0.6779981f, 0.0593017f}};
  }
};

// The compressing Rec.2020 Lab kernel converts to XYZ with a slightly
// different rendering of the Rec.2020 matrix; its luminance keeps the table's.
struct GamutRec2020CompressLab {
  __host__ __device__ static LabGamut get() {
    LabGamut g = GamutRec2020::get();
    g.toXYZ = Mat3{0.6369535f, 0.1446192f, 0.1688559f, 0.2626984f, 0.6780088f, 0.0592929f, 0.0f, 0.0280731f,
                   1.0608273f};
    return g;
  }
};

// The expanding Rec.2020 Lab kernel measures luminance with rounded weights.
struct GamutRec2020ExpandLab {
  __host__ __device__ static LabGamut get() {
    LabGamut g = GamutRec2020::get();
    g.luma = Rgb3{0.2627f, 0.678f, 0.0593f};
    return g;
  }
};

// True for the luminance that the curves scale: positive and finite. Black,
// negative, NaN and (the curves giving inf / inf there) infinite luminance
// make the pixel black.
__host__ __device__ inline bool scalable_luminance(float Y) { return Y > 0.0f && Y <= 3.40282347e38f; }

// Scale factors Y'/Y of the luminance compression and of its inverse; up to
// mid grey the curve is the identity.
__host__ __device__ inline float compress_factor(float Y) {
  if (!scalable_luminance(Y)) return 0.0f;
  if (Y <= 0.18f) return 1.0f;
  return (0.1835167f * logf(1.0f + 284.3578f * Y) - 0.5457689f) / Y;
}

// The exponent of the expansion at which it gives KALTHORNE_LAB_LINEAR_LIMIT
// (ln(1e30 / 0.0035166964 + 1)). A sharpened luminance past it (about 13.2)
// would give e^x beyond the float range from 15.7 on, and inf light; the
// expansion stops at the limit the way into Lab holds light to.
constexpr float kExpandExponentMax = 74.727786f;

__host__ __device__ inline float expand_factor(float Y) {
  if (!scalable_luminance(Y)) return 0.0f;
  if (Y <= 0.18f) return 1.0f;
  return ((expf(fminf((Y + 0.5457689f) * 5.449095f, kExpandExponentMax)) - 1.0f) * 0.0035166964f) / Y;
}

__host__ __device__ inline Rgb3 scale_rgb(Rgb3 v, float k) { return Rgb3{v.r * k, v.g * k, v.b * k}; }

// A factor of 0 means black: set, not multiplied, so a NaN channel cannot
// survive into the film stage.
__host__ __device__ inline Rgb3 scale_or_black(Rgb3 v, float k) {
  return k == 0.0f ? Rgb3{0.0f, 0.0f, 0.0f} : scale_rgb(v, k);
}

__host__ __device__ inline Rgb3 compress_rgb(const LabGamut& g, Rgb3 v) {
  return scale_or_black(v, compress_factor(dot3(g.luma, v)));
}

__host__ __device__ inline Rgb3 expand_rgb(const LabGamut& g, Rgb3 v) {
  return scale_or_black(v, expand_factor(dot3(g.luma, v)));
}

__host__ __device__ inline float lab_f(float t) { return t >= 0.008856f ? cbrtf(t) : 7.787f * t + 0.1379310f; }

__host__ __device__ inline float lab_f_inverse(float u) {
  return u > 0.2068966f ? u * u * u : (u - 0.1379310f) * 0.1284185f;
}

// Scene-linear light is held within +-1e30 on its way into Lab and out of
// it. In single precision the conversion overflows near the largest float
// (the Z row of Rec.709 and the positive terms of the AP0 Y row sum past 1),
// and the way back from a sharpened L meets cubes beyond the float range
// (negative light maps to L linearly, so its neighbours' sharpened L grows
// as fast) and then inf - inf in the XYZ to RGB matrix. Light that far out
// has no meaning left; the bound leaves the matrices decades of headroom.
#define KALTHORNE_LAB_LINEAR_LIMIT 1e30f

__host__ __device__ inline float hold_lab_linear(float v) {
  return fminf(fmaxf(v, -KALTHORNE_LAB_LINEAR_LIMIT), KALTHORNE_LAB_LINEAR_LIMIT);
}

// Linear RGB to scaled Lab (L*/100, a*/200 + 0.5, b*/200 + 0.5), D65 white.
__host__ __device__ inline Rgb3 rgb_to_scaled_lab(const LabGamut& g, Rgb3 v) {
  Rgb3 xyz = mat3_apply(g.toXYZ, v);
  const float fx = lab_f(xyz.r * 1.0520900f);
  const float fy = lab_f(xyz.g);
  const float fz = lab_f(xyz.b * 0.9184086f);
  return Rgb3{1.16f * fy - 0.16f, 2.5f * (fx - fy) + 0.5f, (fy - fz) + 0.5f};
}

__host__ __device__ inline Rgb3 scaled_lab_to_rgb(const LabGamut& g, Rgb3 lab) {
  const float fy = (lab.r + 0.16f) * 0.8620690f;
  const float fx = fy + (lab.g - 0.5f) * 0.4f;
  const float fz = fy - (lab.b - 0.5f);
  Rgb3 xyz{hold_lab_linear(lab_f_inverse(fx) * 0.9504890f), hold_lab_linear(lab_f_inverse(fy)),
           hold_lab_linear(lab_f_inverse(fz) * 1.0888400f)};
  return mat3_apply(g.fromXYZ, xyz);
}

__host__ __device__ inline Rgb3 load_rgb(const float* p) { return Rgb3{p[0], p[1], p[2]}; }

// The Lab conversions take non-finite channels as 0, like the generic ones:
// one NaN pixel would otherwise spread over the whole frame through the
// recursive blurs of the texture stage.
__host__ __device__ inline Rgb3 finite_rgb(Rgb3 v) {
  return Rgb3{colour::finite_or_zero(v.r), colour::finite_or_zero(v.g), colour::finite_or_zero(v.b)};
}
__host__ __device__ inline Rgb3 load_rgb_finite(const float* p) { return finite_rgb(load_rgb(p)); }

__host__ __device__ inline Rgb3 load_linear_for_lab(const float* p) {
  const Rgb3 v = load_rgb_finite(p);
  return Rgb3{hold_lab_linear(v.r), hold_lab_linear(v.g), hold_lab_linear(v.b)};
}

__host__ __device__ inline void store_rgb(float* p, Rgb3 v) {
  p[0] = v.r;
  p[1] = v.g;
  p[2] = v.b;
}

// Linear RGB of gamut G (channels 0 to 2 of p) to scaled Lab, its luminance
// compressed first when Compress.
template <typename G, bool Compress>
__host__ __device__ inline Rgb3 into_scaled_lab(const float* p) {
  const LabGamut g = G::get();
  Rgb3 v = load_linear_for_lab(p);
  if (Compress) v = compress_rgb(g, v);
  return rgb_to_scaled_lab(g, v);
}

// Scaled Lab back to linear RGB of gamut G, expanded by luminance when
// Expand (the way back from compressing into Lab).
template <typename G, bool Expand>
__host__ __device__ inline Rgb3 from_scaled_lab(Rgb3 lab) {
  const LabGamut g = G::get();
  const Rgb3 v = scaled_lab_to_rgb(g, finite_rgb(lab));
  return Expand ? expand_rgb(g, v) : v;
}
