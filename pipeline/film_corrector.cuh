// The film colour corrector: the four six-vector families (Saturation, Hue,
// Chroma, Vibrance) and the hue-selective refine slots. The negative output
// (11 slots) and the print kernels (6 slots) run exactly this code.
//
// Pixels are linear ARRI Wide Gamut 4, held in [0, 469.8] between steps.
// Hues are hexcone hues in sextants: red 0, yellow 1, green 2, cyan 3,
// blue 4, magenta 5.
#pragma once

#include <cstdint>
#include <cstring>

#include "pipeline/film_math.cuh"
#include "pipeline/texture_options.h"

namespace film {

__host__ __device__ __forceinline__ float hexcone_hue(const float rgb[3]) {
  const float r = rgb[0], g = rgb[1], b = rgb[2];
  const float mx = fmaxf(r, fmaxf(g, b));
  const float mn = fminf(r, fminf(g, b));
  const float span = mx - mn;
  if (!(mx > 0.0f) || !(span > 0.0f)) return 0.0f;
  float h;
  if (r >= g && r >= b) h = (g - b) / span;
  else if (g >= b) h = (b - r) / span + 2.0f;
  else h = (r - g) / span + 4.0f;
  // |numerator| <= span survives rounding, so h lies in [-1, 5] (or is NaN): no fmod by 6.
  if (h < 0.0f) h += 6.0f;
  return h;
}

// Triangular hue band at d = fmod(h + offset, 6) in [0, 6): 1 where d is 2,
// falling to 0 at `width` sextants either side.
__host__ __device__ __forceinline__ float band_at(float d, float width) {
  return clampf(1.0f - fabsf(d - 2.0f) / width, 0.0f, 1.0f);
}

// fmodf(x, 6), bit for bit (a NaN for a NaN), without the loop the device's
// fmodf runs for large quotients. Below 2^24, floor(x / 6) taken from the
// product is off by at most 1 and 6 q is exact, so x - 6 q is the remainder
// or 6 either side of it, exact (the remainder lies on x's grid), and one
// exact step puts it right. From 2^24 on, x is an even integer m 2^e (e >= 1),
// whose remainder by 3 is m's times 2^e's (1 for an even e, else 2).
__host__ __device__ __forceinline__ float fmod_six(float x) {
  const float a = fabsf(x);
  float r;
  if (a < 16777216.0f) {
    const float q = floorf(a * (1.0f / 6.0f));
    r = a - 6.0f * q;
    if (r < 0.0f) r += 6.0f;
    else if (r >= 6.0f) r -= 6.0f;
  } else {
    uint32_t bits;
    memcpy(&bits, &a, sizeof bits);
    if (bits >= 0x7f800000u) return x - x;  // infinite or NaN
    const uint32_t m = (bits & 0x7fffffu) | 0x800000u, e = (bits >> 23) - 150u;
    uint32_t t = m % 3u;
    if (e & 1u) t = 2u * t % 3u;
    r = t == 0u ? 0.0f : (t == 1u ? 4.0f : 2.0f);
  }
  return copysignf(r, x);
}

// The band of any centre. A band of width 0 (or NaN) is off, so its centre
// never evaluates 0/0.
__host__ __device__ __forceinline__ float hue_band(float h, float offset, float width) {
  if (!(width > 0.0f)) return 0.0f;
  float d = fmod_six(h + offset);
  if (d < 0.0f) d += 6.0f;
  return band_at(d, width);
}

// 3u^2 - 2u^3 is 1 at u = 1, but in float it rounds above 1 for hundreds of
// u just below 1 (and differently again where multiply-adds are fused); the
// Chroma family raises 1 - s to a fractional power, so s is held to [0, 1].
__host__ __device__ __forceinline__ float smoothstep_weight(float u) {
  return clampf(3.0f * u * u - 2.0f * u * u * u, 0.0f, 1.0f);
}

// Offsets that put each sector centre at band position 2.
constexpr float kOffRed = 2.0f, kOffYellow = 1.0f, kOffGreen = 6.0f;
constexpr float kOffCyan = 5.0f, kOffBlue = 4.0f, kOffMagenta = 3.0f;

// hue_band(h, offset, 1) for one of the six sector offsets (1 to 6) and a
// hue from hexcone_hue (0 to 6, or NaN), without fmodf's cost: h + offset
// lies in [1, 12], where the fmod by 6 is x - 6 (exact, Sterbenz) or x; at
// 12 that leaves 6 for fmod's 0, and the band is 0 at both.
__host__ __device__ __forceinline__ float sector_band(float h, float offset) {
  const float x = h + offset;
  return band_at(x >= 6.0f ? x - 6.0f : x, 1.0f);
}

// A pixel's hue with its six sector bands and their smoothstep weights,
// worked out once for the four families, which all take them.
struct HueBands {
  float h;
  float red, yellow, green, cyan, blue, magenta;
  float wRed, wYellow, wGreen, wCyan, wBlue, wMagenta;
};

__host__ __device__ __forceinline__ HueBands hue_bands(float h) {
  HueBands b;
  b.h = h;
  b.red = sector_band(h, kOffRed);
  b.yellow = sector_band(h, kOffYellow);
  b.green = sector_band(h, kOffGreen);
  b.cyan = sector_band(h, kOffCyan);
  b.blue = sector_band(h, kOffBlue);
  b.magenta = sector_band(h, kOffMagenta);
  b.wRed = smoothstep_weight(b.red);
  b.wYellow = smoothstep_weight(b.yellow);
  b.wGreen = smoothstep_weight(b.green);
  b.wCyan = smoothstep_weight(b.cyan);
  b.wBlue = smoothstep_weight(b.blue);
  b.wMagenta = smoothstep_weight(b.magenta);
  return b;
}

__host__ __device__ __forceinline__ bool zone_active(int zoneMode) { return zoneMode == 1 || zoneMode == 2; }

// Intensity zone of the Hue, Chroma and Vibrance families and of the refine
// slots: pull the result towards (or push it from) its own mean. With
// softHigh (Vibrance) channels near 0 take only part of the high band, and a
// channel at 0 none of it.
__host__ __device__ __forceinline__ void pull_zone(float v[3], int zoneMode, bool zoneBoth, float lowScaled,
                                          float lowGain, float highScaled, float highGain,
                                          bool softHigh) {
  if (!zoneBoth || !zone_active(zoneMode)) return;
  const float y = (v[0] + v[1] + v[2]) / 3.0f;
  const float wl = powf(1.0f / (1.0f + y), lowGain);
  const float wh = powf(y / (1.0f + y), highGain);
  const float fl = 1.0f + wl * (lowScaled - 1.0f);
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) {
    float share = 1.0f;
    if (softHigh) share = clampf(v[c] / 0.02f, 0.0f, 1.0f);
    const float f = fl * (1.0f + share * wh * (highScaled - 1.0f));
    v[c] = hold(y + f * (v[c] - y));
  }
}

template <typename Z>
__host__ __device__ __forceinline__ void pull_zone(float v[3], const Z& z, bool softHigh) {
  pull_zone(v, z.zoneMode, z.zoneBoth != 0, z.zoneLowScaled, z.zoneLowRangeGain, z.zoneHighScaled,
            z.zoneHighRangeGain, softHigh);
}

// ---------------------------------------------------------------- Saturation

// Saturation of the balanced components around their mean I.
__host__ __device__ __forceinline__ void saturation_family(float rgb[3], const HueBands& bands, const ColorGroupOptions& g) {
  const bool groupOn = g.groupOn != 0, customOn = g.customOn != 0;
  if (!groupOn && !customOn) return;
  float x[3];
  to_balanced(rgb, x);
  const float I = (x[0] + x[1] + x[2]) / 3.0f;

  const bool zones = zone_active(g.zoneMode);
  const bool highRoad = g.zoneMode == 2 && !g.zoneBoth;
  const bool lowRoad = zones && !highRoad;
  float wl = 0.0f, wh = 0.0f;
  if (zones) {
    wl = powf(1.0f / (1.0f + I), g.zoneLowRangeGain);
    wh = powf(I / (1.0f + I), g.zoneHighRangeGain);
  }

  if (groupOn) {
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) x[c] = hold(I + (x[c] - I) * g.strengthScaled);
    const float sixScale = (highRoad && !customOn) ? wh : 1.0f;
    const float prim = bands.wRed * (g.redScaled - 1.0f) + bands.wGreen * (g.greenScaled - 1.0f) +
                       bands.wBlue * (g.blueScaled - 1.0f);
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) x[c] = x[c] + (x[c] - I) * sixScale * prim;
    const float sec = bands.wYellow * (g.yellowScaled - 1.0f) + bands.wCyan * (g.cyanScaled - 1.0f) +
                      bands.wMagenta * (g.magentaScaled - 1.0f);
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) x[c] = x[c] + (x[c] - I) * sixScale * sec;
  }
  if (customOn) {
    float term = smoothstep_weight(hue_band(bands.h, g.customHueSextant, g.customWidthSpan)) *
                 (g.customStrengthTerm - 1.0f);
    if (lowRoad) term *= wl;
    if (highRoad) term *= wh;
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) x[c] = x[c] + term * (x[c] - I);
  }
  if (lowRoad) {
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) x[c] = x[c] + wl * (x[c] - I) * (g.zoneLowScaled - 1.0f);
  }
  if ((lowRoad && g.zoneBoth) || highRoad) {
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) x[c] = x[c] + wh * (x[c] - I) * (g.zoneHighScaled - 1.0f);
  }
  from_balanced(x, rgb);
  hold3(rgb);
}

__host__ __device__ __forceinline__ void saturation_family(float rgb[3], float h, const ColorGroupOptions& g) {
  saturation_family(rgb, hue_bands(h), g);
}

// Custom band of the Saturation family on its own (the refine slots' Sat).
__host__ __device__ __forceinline__ void saturation_band(float rgb[3], float h, float centre, float width, float strength) {
  float x[3];
  to_balanced(rgb, x);
  const float I = (x[0] + x[1] + x[2]) / 3.0f;
  if (!(I > 0.0f)) return;
  const float term = smoothstep_weight(hue_band(h, centre, width)) * (strength - 1.0f);
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) x[c] = x[c] + term * (x[c] - I);
  from_balanced(x, rgb);
  hold3(rgb);
}

// ----------------------------------------------------------------------- Hue

__host__ __device__ __forceinline__ float tent(float z) { return 1.0f - fminf(fabsf(z), 1.0f); }

// Hue rotation strength for the normalised pixel.
__host__ __device__ __forceinline__ float hue_turn(const float n[3], float S) {
  const float mu = fminf(n[0], fminf(n[1], n[2]));
  const float q = fminf(1.0f - mu / (mu * (1.0f - S) + S), 1.0f);
  const float k = 0.34f * q + 0.66f * q * (1.0f - q);
  return (k == k) ? k : 0.0f;
}

// One custom hue band on the normalised pixel n with turn k: the three
// channel coefficients are interpolated between the red, green and blue
// rotations of the primaries pass. The caller holds after scaling back.
__host__ __device__ __forceinline__ void hue_band_turn(float n[3], float h, float k, float centre, float width, float T) {
  const float kc = k * hue_band(h, centre, width);
  const float c = centre;
  const float A = c < 3.0f ? T * tent(c - 2.0f) : -T * tent(c - 5.0f);
  const float Bc = c < 1.0f ? T * tent(c) : (c < 5.0f ? -T * tent(c - 3.0f) : T * tent(c - 6.0f));
  const float C = c < 2.0f ? -T * tent(c - 1.0f) : T * tent(c - 4.0f);
  const float r = n[0] + kc * (C - Bc), g = n[1] + kc * (A - C), b = n[2] + kc * (Bc - A);
  n[0] = r;
  n[1] = g;
  n[2] = b;
}

__host__ __device__ __forceinline__ void hue_family(float rgb[3], const HueBands& bands, const ColorGroupOptions& g) {
  const bool groupOn = g.groupOn != 0, customOn = g.customOn != 0;
  if (!groupOn && !customOn) return;
  const float m = fmaxf(rgb[0], fmaxf(rgb[1], rgb[2]));
  if (!(m > 0.0f)) return;
  float n[3] = {rgb[0] / m, rgb[1] / m, rgb[2] / m};
  const float k = hue_turn(n, groupOn ? g.strengthScaled : 0.33f);
  if (groupOn) {
    const float uR = bands.red, uG = bands.green, uB = bands.blue;
    const float r = n[0] + k * (uB * g.blueScaled - uG * g.greenScaled);
    const float gg = n[1] + k * (uR * g.redScaled - uB * g.blueScaled);
    const float b = n[2] + k * (uG * g.greenScaled - uR * g.redScaled);
    n[0] = hold(r);
    n[1] = hold(gg);
    n[2] = hold(b);
    const float uY = bands.yellow, uC = bands.cyan, uM = bands.magenta;
    const float r2 = n[0] + k * (uY * g.yellowScaled - uM * g.magentaScaled);
    const float g2 = n[1] + k * (uC * g.cyanScaled - uY * g.yellowScaled);
    const float b2 = n[2] + k * (uM * g.magentaScaled - uC * g.cyanScaled);
    n[0] = hold(r2);
    n[1] = hold(g2);
    n[2] = hold(b2);
  }
  if (customOn) hue_band_turn(n, bands.h, k, g.customHueSextant, g.customWidthSpan, g.customStrengthTerm);
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) rgb[c] = hold(n[c] * m);
}

__host__ __device__ __forceinline__ void hue_family(float rgb[3], float h, const ColorGroupOptions& g) {
  hue_family(rgb, hue_bands(h), g);
}

// -------------------------------------------------------------------- Chroma

// Sector gain factor f = 1 + a (g - 1) with a = 1 - (1 - s)^e, e = min(2/g, 1).
__host__ __device__ __forceinline__ float chroma_exponent(float g) { return fminf(2.0f / g, 1.0f); }

__host__ __device__ __forceinline__ float chroma_factor(float s, float g, float e) {
  const float a = 1.0f - powf(1.0f - s, e);
  return 1.0f + a * (g - 1.0f);
}

__host__ __device__ __forceinline__ float chroma_factor(float s, float g) {
  return chroma_factor(s, g, chroma_exponent(g));
}

// The Chroma family's sector gains and their exponents, which depend on the
// settings alone: red, green, blue, cyan, magenta, yellow.
struct ChromaGains {
  float gain[6], exponent[6];
};

__host__ __device__ __forceinline__ ChromaGains chroma_gains(const ColorGroupOptions& g) {
  const float scaled[6] = {g.redScaled, g.greenScaled, g.blueScaled, g.cyanScaled, g.magentaScaled, g.yellowScaled};
  ChromaGains k;
  FILM_UNROLL
  for (int i = 0; i < 6; ++i) {
    k.gain[i] = exp2f(4.0f * scaled[i]);
    k.exponent[i] = chroma_exponent(k.gain[i]);
  }
  return k;
}

// Share q of the gain F applied, from the smallest normalised channel mn.
__host__ __device__ __forceinline__ float chroma_share(float F, float mn, float d) {
  const float r = fminf(1.0f / F, 1.0f);
  const float mn2 = mn * (1.0f - r) + r;
  float S = (mn2 == 0.0f) ? 1.0f : 1.0f - mn / mn2;
  S = clampf(S, 0.0f, 1.0f);
  if (S == 0.0f) return 0.0f;
  const float q = fminf(powf(S, d + 2.0f) / (d + powf(S, d + 1.0f)), 2.0f);
  return (q == q) ? q : 0.0f;
}

__host__ __device__ __forceinline__ void chroma_custom(float n[3], float h, float mn, float centre, float width, float gain, float d) {
  const float F = chroma_factor(smoothstep_weight(hue_band(h, centre, width)), gain);
  const float f = 1.0f + chroma_share(F, mn, d) * (F - 1.0f);
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) n[c] *= f;
}

__host__ __device__ __forceinline__ void chroma_family(float rgb[3], const HueBands& bands, const ColorGroupOptions& g,
                                                       const ChromaGains& k) {
  const bool groupOn = g.groupOn != 0, customOn = g.customOn != 0;
  if (!groupOn && !customOn) return;
  const float m = fmaxf(rgb[0], fmaxf(rgb[1], rgb[2]));
  if (!(m > 0.0f)) return;
  float n[3] = {rgb[0] / m, rgb[1] / m, rgb[2] / m};
  const float mn = fminf(n[0], fminf(n[1], n[2]));
  const float d = 1.0f - g.strengthScaled;
  if (groupOn) {
    const float F1 = chroma_factor(bands.wRed, k.gain[0], k.exponent[0]) *
                     chroma_factor(bands.wGreen, k.gain[1], k.exponent[1]) *
                     chroma_factor(bands.wBlue, k.gain[2], k.exponent[2]);
    const float f1 = 1.0f + chroma_share(F1, mn, d) * (F1 - 1.0f);
    const float F2 = chroma_factor(bands.wCyan, k.gain[3], k.exponent[3]) *
                     chroma_factor(bands.wMagenta, k.gain[4], k.exponent[4]) *
                     chroma_factor(bands.wYellow, k.gain[5], k.exponent[5]);
    const float f2 = 1.0f + chroma_share(F2, mn, d) * (F2 - 1.0f);
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) n[c] = n[c] * f1 * f2;
  }
  if (customOn) chroma_custom(n, bands.h, mn, g.customHueSextant, g.customWidthSpan, g.customStrengthTerm, groupOn ? d : 0.2f);
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) rgb[c] = hold(n[c] * m);
}

__host__ __device__ __forceinline__ void chroma_family(float rgb[3], float h, const ColorGroupOptions& g) {
  chroma_family(rgb, hue_bands(h), g, chroma_gains(g));
}

// ------------------------------------------------------------------ Vibrance

// Power pass of three sectors on one normalised channel.
__host__ __device__ __forceinline__ float vib_power(float x, const float w[3], const float g[3]) {
  if (!(x > 0.0f)) return x;
  const float rest = 1.0f - w[0] - w[1] - w[2];
  return hold(w[0] * powf(x, g[0]) + w[1] * powf(x, g[1]) + w[2] * powf(x, g[2]) + rest * x);
}

// The same pass on the smallest channel, as a ratio of new to old S.
__host__ __device__ __forceinline__ float vib_ratio(float S, const float w[3], const float g[3]) {
  if (!(S > 0.0f) || S > 1.0f) return 1.0f;
  const float o = 1.0f - S;
  const float k = (w[0] * (1.0f - powf(o, g[0])) + w[1] * (1.0f - powf(o, g[1])) +
                   w[2] * (1.0f - powf(o, g[2])) + S * (1.0f - w[0] - w[1] - w[2])) / S;
  return k;
}

// Custom band on a normalised channel's power result p and ratio result y.
__host__ __device__ __forceinline__ void vib_custom(float p[3], float y[3], float S, float h, float centre, float width, float term) {
  const float wc = S * hue_band(h, centre, width);
  const float gc = exp2f(3.0f * term);
  float kc = 1.0f;
  if (S > 0.0f && !(S > 1.0f)) kc = (S * (1.0f - wc) + wc * (1.0f - powf(1.0f - S, gc))) / S;
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) {
    if (p[c] > 0.0f) p[c] = hold(p[c] * (1.0f - wc) + wc * powf(p[c], gc));
    y[c] = hold(y[c] * kc + (1.0f - kc));
  }
}

// The Vibrance family's power-pass exponents, which depend on the settings
// alone: red, green, blue (primary), cyan, magenta, yellow (secondary).
struct VibranceGains {
  float primary[3], secondary[3];
};

__host__ __device__ __forceinline__ VibranceGains vibrance_gains(const ColorGroupOptions& g) {
  const float s = g.strengthScaled;
  return VibranceGains{{powf(3.0f, s + g.redScaled), powf(3.0f, s + g.greenScaled), powf(3.0f, s + g.blueScaled)},
                       {powf(3.0f, s + g.cyanScaled), powf(3.0f, s + g.magentaScaled),
                        powf(3.0f, g.yellowScaled) * exp2f(s)}};
}

__host__ __device__ __forceinline__ void vibrance_family(float rgb[3], const HueBands& bands, const ColorGroupOptions& g,
                                                         const VibranceGains& k) {
  const bool groupOn = g.groupOn != 0, customOn = g.customOn != 0;
  if (!groupOn && !customOn) return;
  const float m = fmaxf(rgb[0], fmaxf(rgb[1], rgb[2]));
  if (!(m > 0.0f)) return;
  float p[3] = {rgb[0] / m, rgb[1] / m, rgb[2] / m};
  float y[3] = {p[0], p[1], p[2]};
  const float S = 1.0f - fminf(p[0], fminf(p[1], p[2]));
  if (groupOn) {
    const float wP[3] = {S * bands.red, S * bands.green, S * bands.blue};
    const float* const gP = k.primary;
    const float wS[3] = {S * bands.cyan, S * bands.magenta, S * bands.yellow};
    const float* const gS = k.secondary;
    const float k1 = vib_ratio(S, wP, gP), k2 = vib_ratio(S, wS, gS);
    FILM_UNROLL
    for (int c = 0; c < 3; ++c) {
      p[c] = vib_power(vib_power(p[c], wP, gP), wS, gS);
      y[c] = hold((y[c] * k1 + 1.1f * (1.0f - k1)) * k2 + 1.1f * (1.0f - k1));
    }
  }
  if (customOn) vib_custom(p, y, S, bands.h, g.customHueSextant, g.customWidthSpan, g.customStrengthTerm);
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) rgb[c] = hold(m * (p[c] + y[c]) / 2.0f);
}

__host__ __device__ __forceinline__ void vibrance_family(float rgb[3], float h, const ColorGroupOptions& g) {
  vibrance_family(rgb, hue_bands(h), g, vibrance_gains(g));
}

// ------------------------------------------------------------- Whole chain

// The refine slots' Hue, Chr and Vib qualities are their family's custom
// band alone: group clear, zones off.
__host__ __device__ __forceinline__ ColorGroupOptions custom_band(float centre, float width, float term) {
  ColorGroupOptions g{};
  g.customOn = 1;
  g.customHueSextant = centre;
  g.customWidthSpan = width;
  g.customStrengthTerm = term;
  return g;
}

__host__ __device__ __forceinline__ void hue_quality(float rgb[3], float h, float centre, float width, float T) {
  hue_family(rgb, h, custom_band(centre, width, T));
}

__host__ __device__ __forceinline__ void chroma_quality(float rgb[3], float h, float centre, float width, float gain) {
  chroma_family(rgb, h, custom_band(centre, width, gain));
}

__host__ __device__ __forceinline__ void vibrance_quality(float rgb[3], float h, float centre, float width, float term) {
  vibrance_family(rgb, h, custom_band(centre, width, term));
}

// Families that act on R, G, B get their zone applied when they are in force.
__host__ __device__ __forceinline__ bool family_on(const ColorGroupOptions& g) {
  return g.groupOn != 0 || g.customOn != 0;
}

__host__ __device__ __forceinline__ void refine_slot(float rgb[3], float h, const RefineSlotOptions& s) {
  if (!s.slotOn) return;
  if (s.chrOn) chroma_quality(rgb, h, s.chrHueSextant, s.chrWidthSpan, s.chrStrengthGain);
  if (s.satOn) saturation_band(rgb, h, s.satHueSextant, s.satWidthSpan, s.satStrengthScaled);
  if (s.hueOn) hue_quality(rgb, h, s.hueHueSextant, s.hueWidthSpan, s.hueWidthSpan * s.hueStrengthScaled);
  if (s.vibOn) vibrance_quality(rgb, h, s.vibHueSextant, s.vibWidthSpan, s.vibStrengthScaled);
  pull_zone(rgb, s, false);
}

// Refine slots in order, all with the hue of the pixel as the families left it.
__host__ __device__ __forceinline__ void refine_slots(float rgb[3], const RefineSlotOptions* slots, int count) {
  const float h = hexcone_hue(rgb);
  for (int i = 0; i < count; ++i) refine_slot(rgb, h, slots[i]);
}

// What the corrector raises to powers from the settings alone: a pass works
// it out once (family_gains), not a pixel.
struct FamilyGains {
  ChromaGains chroma;
  VibranceGains vibrance;
};

__host__ __device__ __forceinline__ FamilyGains family_gains(const ColorGroupOptions& chr,
                                                             const ColorGroupOptions& vib) {
  return FamilyGains{chroma_gains(chr), vibrance_gains(vib)};
}

// The four families (hue taken once, before the first) and, when refineOn,
// the `count` refine slots; `gains` is family_gains(chr, vib).
__host__ __device__ __forceinline__ void colour_corrector(float rgb[3], const ColorGroupOptions& sat,
                                                 const ColorGroupOptions& hue, const ColorGroupOptions& chr,
                                                 const ColorGroupOptions& vib, bool refineOn,
                                                 const RefineSlotOptions* slots, int count,
                                                 const FamilyGains& gains) {
  const HueBands bands = hue_bands(hexcone_hue(rgb));
  saturation_family(rgb, bands, sat);
  hue_family(rgb, bands, hue);
  if (family_on(hue)) pull_zone(rgb, hue, false);
  chroma_family(rgb, bands, chr, gains.chroma);
  if (family_on(chr)) pull_zone(rgb, chr, false);
  vibrance_family(rgb, bands, vib, gains.vibrance);
  if (family_on(vib)) pull_zone(rgb, vib, true);
  if (refineOn) refine_slots(rgb, slots, count);
}

__host__ __device__ __forceinline__ void colour_corrector(float rgb[3], const ColorGroupOptions& sat,
                                                 const ColorGroupOptions& hue, const ColorGroupOptions& chr,
                                                 const ColorGroupOptions& vib, bool refineOn,
                                                 const RefineSlotOptions* slots, int count) {
  colour_corrector(rgb, sat, hue, chr, vib, refineOn, slots, count, family_gains(chr, vib));
}

}  // namespace film
