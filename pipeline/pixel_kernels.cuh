// Per-pixel arithmetic of the pixel-format, exposure and highlight/shadow
// kernels, callable from host tests and from the device kernels.
#pragma once

#include "cudasim/cuda_compat.h"
#include "pipeline/launch_shapes.h"

// Largest linear value of the working space (ARRI LogC4 code value 1.0).
#define KALTHORNE_LINEAR_CEILING 469.8f

__host__ __device__ inline float exposure_linear_value(float v, float amount) {
  // fmaxf first: a NaN product goes to the lower bound.
  return fminf(fmaxf(v * amount, 0.0f), KALTHORNE_LINEAR_CEILING);
}

__host__ __device__ inline float exposure_log_value(float v, float amount) {
  return fminf(fmaxf(v + amount, 0.0f), 1.0f);
}

// The exposure a pass applies to a code value: none, multiplicative (linear
// and gamma-encoded inputs) or additive (log inputs).
enum ExposureKind : int { kExposureNone = 0, kExposureLinear = 1, kExposureLog = 2 };

__host__ __device__ inline float exposure_value(float v, int kind, float amount) {
  return kind == kExposureLinear ? exposure_linear_value(v, amount)
         : kind == kExposureLog  ? exposure_log_value(v, amount)
                                 : v;
}

// Rational roll-off that equals v at v = t with slope 1 and approaches L.
__host__ __device__ inline float roll_off(float v, float t, float limit) {
  const float span = limit - t;
  return t + span * (1.0f - 1.0f / (1.0f + (v - t) * (1.0f / span)));
}

// Highlight roll-off and limit, then the same on the mirrored value for the
// shadows. Exact comparisons: the neutral settings switch each step off.
__host__ __device__ inline float highlights_shadows_value(float v, float ceiling, float recover,
                                                          float shadowCeiling, float shadowRecover) {
  if (ceiling != 1.0f && v > ceiling) v = roll_off(v, ceiling, recover);
  const float t1 = 1.0f - 0.02f * recover;
  if (recover != 1.0f && v > t1) v = roll_off(v, t1, 1.0f);
  float w = 1.0f - v;
  const float u = 1.0f - 0.1f * shadowCeiling;
  const float m = 1.0f - shadowRecover;
  if (u != 1.0f && w > u) w = roll_off(w, u, m);
  const float t2 = 1.0f + 0.02f * shadowRecover;
  if (m != 1.0f && w > t2) w = roll_off(w, t2, 1.0f);
  return 1.0f - w;
}

// The settings of one soft clip (highlights_shadows_value).
struct SoftClip {
  float ceiling, recover, shadowCeiling, shadowRecover;
};

// Up to two soft clips, applied in order; none when count is 0. Neutral
// settings are not the same as no clip: 1 - (1 - v) need not give v back.
struct SoftClips {
  SoftClip clip[2];
  int count;
};

__host__ __device__ inline float soft_clip_value(float v, const SoftClip& s) {
  return highlights_shadows_value(v, s.ceiling, s.recover, s.shadowCeiling, s.shadowRecover);
}

// Fixed indices: a kernel argument indexed at run time would go through
// local memory.
__host__ __device__ inline float soft_clips_value(float v, const SoftClips& clips) {
  if (clips.count > 0) v = soft_clip_value(v, clips.clip[0]);
  if (clips.count > 1) v = soft_clip_value(v, clips.clip[1]);
  return v;
}
