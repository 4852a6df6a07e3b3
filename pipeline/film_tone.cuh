// Per-pixel tone and density pieces of the negative output and the print
// stage: cast and tint, the LogC4 tone curves, the bleach overlay, the
// density range, the display tone scale and the printer points.
#pragma once

#include "pipeline/film_math.cuh"

namespace film {

// ---------------------------------------------------------- cast and tint

__host__ __device__ __forceinline__ float cast_luminance(const float v[3]) {
  return 0.2722287f * v[0] + 0.6740817f * v[1] + 0.0536895f * v[2];
}

__host__ __device__ __forceinline__ void rescale_to(float v[3], float y0) {
  const float y = cast_luminance(v);
  if (y == 0.0f) return;  // no factor leads back (y0 / 0); keep the pixel finite
  const float f = y0 / y;
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) v[c] *= f;
}

// Channel factors of a colour temperature given in hundreds of kelvin.
__host__ __device__ __forceinline__ void cast_factors(int castIndex, float f[3]) {
  const float t = (float)castIndex;
  if (t >= 66.0f) {
    f[0] = clampf(329.69873f * powf(t - 60.0f, -0.13320476f), 0.0f, 255.0f);
    f[1] = clampf(288.12216f * powf(t - 60.0f, -0.07551485f), 0.0f, 255.0f);
    f[2] = 255.0f;
  } else {
    f[0] = 255.0f;
    f[1] = clampf(99.4708f * logf(t) - 161.11957f, 0.0f, 255.0f);
    f[2] = clampf(138.51773f * logf(t - 10.0f) - 305.0448f, 0.0f, 255.0f);
  }
}

// The cast and tint of a frame: the cast's channel gains (its factors over
// 255) depend on the setting alone, so a pass takes them once, not a pixel.
struct CastTint {
  bool castOn;
  float gain[3];
  float tintGtoM, tintRtoC;
};

__host__ __device__ __forceinline__ CastTint cast_tint_for(bool castOn, int castIndex, float tintGtoM,
                                                           float tintRtoC) {
  CastTint t{castOn, {1.0f, 1.0f, 1.0f}, tintGtoM, tintRtoC};
  if (castOn) {
    float f[3];
    cast_factors(castIndex, f);
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) t.gain[c] = f[c] / 255.0f;
  }
  return t;
}

// Cast, then tint, as two steps: both keep the luminance the pixel came in
// with, and the pixel is held after each. A pixel without luminance (or with
// a NaN one) takes neither and is only held.
__host__ __device__ __forceinline__ void cast_and_tint(float v[3], const CastTint& t) {
  const float y0 = cast_luminance(v);
  const bool lit = y0 > 0.0f;
  const float tintGtoM = t.tintGtoM, tintRtoC = t.tintRtoC;
  if (lit && t.castOn) {
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) v[c] *= t.gain[c];
    rescale_to(v, y0);
  }
  hold3(v);
  if (lit && tintGtoM != 0.0f) {
    v[0] *= 1.0f + 0.5f * tintGtoM;
    v[2] *= 1.0f + 0.5f * tintGtoM;
    rescale_to(v, y0);
  }
  if (lit && tintRtoC != 0.0f) {
    v[1] *= 1.0f + 0.5f * tintRtoC;
    v[2] *= 1.0f + 0.5f * tintRtoC;
    rescale_to(v, y0);
  }
  hold3(v);
}

__host__ __device__ __forceinline__ void cast_and_tint(float v[3], bool castOn, int castIndex, float tintGtoM,
                                                       float tintRtoC) {
  cast_and_tint(v, cast_tint_for(castOn, castIndex, tintGtoM, tintRtoC));
}

// ------------------------------------------------------------ tone curves

// One tone curve on a LogC4 code value: midtone bump, toe, shoulder.
// The toe and the shoulder bend by log(1 + k x) / log(1 + k), k growing with
// the channel's value; a value so small that 1 + k rounds to 1 (a typed
// 1e-8, say) made that 0 / 0, so there the ratio takes its limit x.
// sp, hp: shadow and highlight pivots; g: grey point; m, s, hh: the
// channel's midtone, shadow and highlight values.
__host__ __device__ __forceinline__ float tone_curve(float v, float sp, float hp, float g, float m, float s, float hh) {
  const float lo = 0.5f * sp - (1.0f - hp) / 4.0f;
  const float hi = sp + (1.0f + hp) / 2.0f;
  if (v >= lo) {
    const float u = (v - lo) / (hi - lo);
    const float w = u <= g ? u / (2.0f * g) : (u - g) / (2.0f - 2.0f * g) + 0.5f;
    const float u2 = u + 0.2f * m * (1.0f + sinpif(2.0f * (w - 0.25f)));
    v = u2 * (hi - lo) + lo;
  }
  if (v < sp) {
    const float t = v / sp;
    if (s > 0.0f && v > 0.0f) {
      const float k = 5.4365635f * s;
      const float den = logf(1.0f + k);
      const float q = 2.0f * t - (den > 0.0f ? logf(1.0f + k * t) / den : t);
      v = sp * (q + s * (1.0f - q));
    } else if (s < 0.0f) {
      const float T = t + 2.0f * s * (1.0f - t);
      if (T >= 0.0f) {
        const float k = -5.4365635f * s;
        const float den = logf(1.0f + k);
        v = den > 0.0f ? sp * logf(1.0f + k * T) / den : sp * T;
      } else {
        v = sp * T;
      }
    }
  }
  if (v > hp) {
    const float t = (v - hp) / (1.0f - hp);
    if (hh > 0.0f) {
      const float T = t * (1.0f + 2.0f * hh);
      const float k = 2.7182817f * hh;
      const float den = logf(1.0f + k);
      const float r = 2.0f * T - (den > 0.0f ? logf(1.0f + k * T) / den : T);
      v = hp + (1.0f - hp) * r;
    } else if (hh < 0.0f) {
      const float k = -5.4365635f * hh;
      const float den = logf(1.0f + k);
      v = hp + (den > 0.0f ? (1.0f - hp) * (1.0f + hh) * logf(1.0f + k * t) / den : (1.0f - hp) * (1.0f + hh) * t);
    }
  }
  return v;
}

// ------------------------------------------------------------------ bleach

// Bleach bypass as an overlay of the pixel with a silver layer that follows
// its luminance. In: linear pixel held in [0, 469.8]; out: LogC4 code values
// (may lie below LogC4 black).
__host__ __device__ __forceinline__ void bleach_overlay(const float x[3], const float gain[3], const float expo[3], float out[3]) {
  const float y = awg4_luminance(x);
  const float layerBase = 2.5f * fmaxf(y, 0.038f);
  const float pixelShare = 1.0f - 0.9f;
  float P[3], Q[3];
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) {
    Q[c] = logc4_encode(clampf(gain[c] * powf(layerBase, expo[c]), 0.038f, kHoldMax));
    P[c] = logc4_encode(fminf(5.0f * fmaxf(0.9f * x[c] + pixelShare * y, 0.038f), kHoldMax));
  }
  const bool light = awg4_luminance(P) >= 0.2784f;
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) out[c] = light ? 1.0f - 2.0f * (1.0f - P[c]) * (1.0f - Q[c]) : 2.0f * P[c] * Q[c];
}

// ----------------------------------------------------------- density range

// Code value to density between dmin (x = 0) and dmax (large x).
__host__ __device__ __forceinline__ float density_range(float x, bool filmic, float pivotGain, float slope,
                                                        float dmin, float dmax, float floor) {
  const float d = (filmic && x > 0.0f) ? 1.0f / (1.0f + powf(x * pivotGain, slope)) : 1.0f / (1.0f + x);
  return clampf(dmax + (dmin - dmax) * d, floor, 1.0f);
}

// ------------------------------------------------------ display rendering

struct ToneScale {
  float m, s, p, k;
};

__host__ __device__ __forceinline__ ToneScale tone_scale_for(float L) {
  ToneScale t;
  t.m = 0.01f * L * (powf(0.000044f * L, 0.8534f) + 1.033f);
  t.s = t.m / (0.0153f * powf(L, 0.5224f) + 1.1656f);
  t.p = 26.5f * powf(L, -1.1f) + 1.18f;
  t.k = fmaxf(1.125f - 0.00025f * L, 1.0f);
  return t;
}

// Tone scale with path to white on the balanced components; returns the
// unscaled components (A, B, C). With toe the display curve's toe is applied.
// The scale's constants (tone_scale_for) depend on the display alone: a pass
// takes them once.
__host__ __device__ __forceinline__ void tone_scale_abc(const float rgb[3], const ToneScale& ts, bool toe,
                                                        float abc[3]) {
  float x[3];
  to_balanced(rgb, x);
  const float a = fmaxf(1e-12f, x[0]);
  const float bb = fmaxf(1e-12f, x[1]);
  const float c = fmaxf(1e-12f, x[2]);
  const float n = 3.5897908f * sqrtf((0.1f * a) * (0.1f * a) + (0.24f * bb) * (0.24f * bb) + (0.1f * c) * (0.1f * c));
  float T = ts.m * powf(n / (n + ts.s), ts.p);
  if (toe) T = T * T / (T + 0.01f);
  const float f = ts.k * sqrtf(ts.s / (n + ts.s));
  abc[0] = T * kBalancedInverse0 * (f * (a / n) + (1.0f - f));
  abc[1] = T * kBalancedInverse1 * (f * (bb / n) + (1.0f - f));
  abc[2] = T * kBalancedInverse2 * (f * (c / n) + (1.0f - f));
}

__host__ __device__ __forceinline__ void tone_scale_abc(const float rgb[3], float L, bool toe, float abc[3]) {
  tone_scale_abc(rgb, tone_scale_for(L), toe, abc);
}

__host__ __device__ __forceinline__ void abc_to_xyz(const float abc[3], float xyz[3]) {
  const float A = abc[0], B = abc[1], C = abc[2];
  xyz[0] = -1.29971659f * A + 1.80794656f * B + 0.34785879f * C;
  xyz[1] = 0.39595452f * A + 0.61783957f * B - 0.04104688f * C;
  xyz[2] = 0.20478038f * A - 0.12546961f * B + 1.74274182f * C;
}

__host__ __device__ __forceinline__ void xyz_to_rec709(const float xyz[3], float rgb[3]) {
  const float X = xyz[0], Y = xyz[1], Z = xyz[2];
  rgb[0] = 3.2409699f * X - 1.5373832f * Y - 0.4986108f * Z;
  rgb[1] = -0.9692436f * X + 1.8759675f * Y + 0.0415551f * Z;
  rgb[2] = 0.0556301f * X - 0.2039770f * Y + 1.0569715f * Z;
}

__host__ __device__ __forceinline__ void awg4_to_xyz(const float v[3], float xyz[3]) {
  const float r = v[0], g = v[1], b = v[2];
  xyz[0] = 0.7048583f * r + 0.1297603f * g + 0.1158373f * b;
  xyz[1] = 0.2545242f * r + 0.7814777f * g - 0.0360019f * b;
  xyz[2] = 1.0890578f * b;
}

// Printer points of the display kernel: a soft curve from the black point
// (x = 0) towards the printer light.
__host__ __device__ __forceinline__ float display_printer(float x, float bp, float lt) {
  const float e = x > 0.0f ? powf(x, 0.571f) : 0.0f;
  return clampf(lt + (bp - lt) / (1.0f + e), 0.0f, 1.0f);
}

// Filmic curve and printer points of the print kernels, on display-gamma y.
__host__ __device__ __forceinline__ float print_printer(float y, float pivotGain, float slope, float bp, float lt) {
  const float d = y > 0.0f ? 1.0f / (1.0f + powf(y * pivotGain, slope)) : 1.0f;
  return clampf(lt + (bp - lt) * d, 0.0f, 1.0f);
}

}  // namespace film
