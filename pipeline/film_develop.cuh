// Per-pixel arithmetic of the film-lab development: the development step,
// the developer diffusion round trip through LogC4, and the host-side
// quantities of the 13-step loop.
#pragma once

#include "pipeline/film_math.cuh"

namespace film {

// Fixed number of development steps.
constexpr int kDevelopSteps = 13;
// Developer and silver consumed per unit of development use.
constexpr float kDeveloperUse = 13333333.0f;
constexpr float kSilverUse = 4000000.0f;

// One development step of one pixel. Development grows with the local
// developer and the remaining silver; its use (capped) consumes both.
__host__ __device__ __forceinline__ void develop_pixel(float developed[3], const float exposure[3], float silver[3],
                                              float& developer, float rate, float developerUse, float silverUse) {
  const float d = developer;
  float u[3];
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) {
    const float D = developed[c], E = exposure[c], S = silver[c];
    const float r = rate * d * S;
    developed[c] = D + r;
    u[c] = clampf(r * D * D * E, 0.0f, kLabScale);
  }
  const float left = d - developerUse * (u[0] + u[1] + u[2]);
  developer = left > 0.0f ? left : 0.0f;
  FILM_UNROLL
  for (int c = 0; c < 3; ++c) silver[c] = silver[c] - silverUse * u[c];
}

// Every pixel's developed and silver values before the first step.
struct DevelopStart {
  float developed;
  float silver[3];
};

// Developer concentration to a LogC4-like code (no linear toe) for blurring.
__host__ __device__ __forceinline__ float developer_to_code(float developer) {
  const float x = developer * 0.0011363155f;
  const float y = (x <= 469.8f) ? 2231.826f * x + 64.0f : 1048576.0f;
  return (log2f(y) - 6.0f) * 0.0647954f + 0.0928641f;
}

__host__ __device__ __forceinline__ float diffusion_sharpen(float detail, float blurred, float gain) {
  return clampf((detail - blurred) * gain, 0.0f, 1.0f);
}

__host__ __device__ __forceinline__ float code_to_developer(float detail, float blurred) {
  const float v = detail + blurred;
  // Worked out for every code and chosen after rather than branched around:
  // the diffusion's last row pass then takes many pixels' powers side by side.
  const float developer = (exp2f((v - 0.0928641f) * 14.0f * 1.1023707f + 6.0f) - 64.0f) * kLabScale * 0.00044806354f;
  return v <= 1.0f ? developer : kLabScale;
}

// The developer after diffusion at one pixel: its code's detail above band
// one, sharpened, over the blurred band (band one again without band two).
__host__ __device__ __forceinline__ float diffused_developer(float developer, float bandOne, float blurred,
                                                             float gain) {
  return code_to_developer(diffusion_sharpen(developer_to_code(developer), bandOne, gain), blurred);
}

// A pixel's developer after its exchange with the reservoir: the retained
// share and `added`, the replenished share of the layer's concentration.
// Every kernel that exchanges calls it, so the device compiles it alike.
__host__ __device__ __forceinline__ float exchanged_developer(float developer, float retention, float added) {
  return developer * retention + added;
}

// Host quantities of the development loop, all single precision.
struct DevelopPlan {
  float reservoir;      // k: reservoir volume
  float area;           // 2400 up to float error
  float layerVolume;
  float totalVolume;    // V
  float stepTime;       // t
  float rate;           // t'
  int period;           // n: steps between agitations, at least 1
  int firstCounter;     // c0
  float retention;      // p: share of a pixel's developer kept per exchange
  bool diffusion;
  float bandOneSigma;   // sR
  float bandTwoSigma;   // sG
};

// pixelCountFactor is the frame area / 2400 from the record. Agitation
// values the parameter cannot produce (below 1, above 12) still give a
// period of at least one step.
__host__ inline DevelopPlan develop_plan(int width, int height, float pixelCountFactor, float pullPushScaled,
                                         int agitate, float replenishScaled, bool diffusion, float spectrumBand,
                                         float diffuseLoMidComplement) {
  DevelopPlan p{};
  const float px = (float)((long long)width * (long long)height);
  // A record without the factor (0) falls back to the frame's own area.
  const float P = pixelCountFactor > 0.0f ? pixelCountFactor : (float)width * 0.00041666668f * (float)height;
  p.reservoir = P * 1000.0f / 864.0f;
  const float side = sqrtf(px / P);
  p.area = side * side;
  p.layerVolume = px * 0.1f / p.area;
  p.totalVolume = p.layerVolume + p.reservoir;
  p.stepTime = pullPushScaled / 12.0f;
  p.rate = p.stepTime * 0.00001f;
  const int a = agitate < 1 ? 1 : agitate;
  p.period = (int)floorf(12.0f / (float)a);
  if (p.period < 1) p.period = 1;
  p.firstCounter = (int)floorf((float)p.period * 0.5f);
  p.retention = powf(replenishScaled, p.stepTime / 20.0f);
  p.diffusion = diffusion;
  if (diffusion) {
    const float s = sqrtf(p.stepTime * p.area * 0.04f) * 0.45261669f;
    p.bandOneSigma = spectrumBand * s;
    p.bandTwoSigma = s * diffuseLoMidComplement;
  }
  return p;
}

// The development loop's concentration lives on the device, so the steps
// never wait for the host: slots of one small device array. The two sums
// are written by the reductions; the one-thread update reads them.
enum DevelopSlot {
  kConcentration,       // C, the layer's developer concentration
  kLayerConcentration,  // the replenished share of C the exchange adds to a pixel
  kSumBefore,           // the developer plane's sum before the exchange
  kSumAfter,            // and after it
  kDevelopSlots
};

// What the concentration update needs besides the slots; `mix`: this step
// mixes the reservoir back into the layer.
struct ConcentrationUpdate {
  float fresh;          // 1 - retention
  float exchangeShare;  // 0.1 / (reservoir * area)
  float reservoir;
  float area;
  float inverseVolume;  // 1 / total volume
  int mix;
};

// The concentration after one exchange, and after mixing with the reservoir:
// single precision, each operation rounded on its own in the order written
// (the device compiler would otherwise fuse multiply and add). Device code
// only under nvcc, where the rounded operations exist; the CPU build's tests
// call them as plain functions.
__device__ __forceinline__ float exchanged_concentration(float C, float before, float after, float exchangeShare) {
  return __fsub_rn(C, __fmul_rn(__fsub_rn(after, before), exchangeShare));
}

__device__ __forceinline__ float mixed_concentration(float C, float after, float reservoir, float area,
                                                     float inverseVolume) {
  return __fmul_rn(__fadd_rn(__fmul_rn(C, reservoir), __fdiv_rn(__fmul_rn(after, 0.1f), area)), inverseVolume);
}

// The slots at the loop's start.
__device__ __forceinline__ void start_concentration(float* slots, float C, float fresh) {
  slots[kConcentration] = C;
  slots[kLayerConcentration] = __fmul_rn(fresh, C);
}

// One step's update of the slots, after both sums.
__device__ __forceinline__ void update_concentration(float* slots, const ConcentrationUpdate& u) {
  float C = exchanged_concentration(slots[kConcentration], slots[kSumBefore], slots[kSumAfter], u.exchangeShare);
  if (u.mix) C = mixed_concentration(C, slots[kSumAfter], u.reservoir, u.area, u.inverseVolume);
  slots[kConcentration] = C;
  slots[kLayerConcentration] = __fmul_rn(u.fresh, C);
}

}  // namespace film
