// Input colour spaces of InputGamut: the 49 decodings into the linear
// working space (ARRI Wide Gamut 4, D65) and the encodings back.
//
//   input_to_awg4_linear(pixel, inputGamut, out)  code values -> working space
//   awg4_linear_to_output(lin, inputGamut, out)   working space -> code values
//
// Everything is inline __host__ __device__ so kernels in every source file and
// the tests call the same code. One table (COLOUR_INPUT_OPTIONS) says, per
// option, which transfer curve, which matrix and which limits apply.
#pragma once

#include <float.h>

#include "cudasim/cuda_compat.h"
#include "pipeline/colour_tables.cuh"

namespace colour {

// Upper bound of the working space: the linear value of LogC4 code 1.0.
constexpr float kWorkingMax = 469.8f;
// Largest magnitude the generic conversions let through; keeps every later
// product finite (a bright pixel must never become inf and then NaN).
constexpr float kFiniteLimit = 65504.0f;

// Clamp that sends NaN to the lower bound (fmaxf drops the NaN operand).
__host__ __device__ __forceinline__ float clampf(float x, float lo, float hi) {
  return fminf(fmaxf(x, lo), hi);
}

// NaN and infinities become 0; every finite value is kept.
__host__ __device__ __forceinline__ float finite_or_zero(float x) {
  return fabsf(x) <= FLT_MAX ? x : 0.0f;
}

// NaN becomes 0, infinities and huge values the largest allowed magnitude.
__host__ __device__ __forceinline__ float limit_finite(float x) {
  return x != x ? 0.0f : fminf(fmaxf(x, -kFiniteLimit), kFiniteLimit);
}

__host__ __device__ __forceinline__ float pow10_f(float y) { return exp2f(y * 3.321928f); }
__host__ __device__ __forceinline__ float exp_f(float y) { return exp2f(y * 1.442695f); }
// Logarithms of arguments that can reach 0 or below only out of range stay finite.
__host__ __device__ __forceinline__ float safe_log10(float a) { return log10f(fmaxf(a, FLT_MIN)); }
__host__ __device__ __forceinline__ float safe_log2(float a) { return log2f(fmaxf(a, FLT_MIN)); }
__host__ __device__ __forceinline__ float safe_ln(float a) { return logf(fmaxf(a, FLT_MIN)); }

// ---------------------------------------------------------------------------
// Matrices to CIE XYZ (rows X, Y, Z; columns R, G, B). The D65 ones map
// R = G = B = 1 to the D65 white; the *_OWN ones keep the space's own white
// (used by the generic Lab conversion).
#define COLOUR_GAMUTS(X)                                                                            \
  X(BT709, 0.4123908f, 0.3575843f, 0.1804808f, 0.2126390f, 0.7151687f, 0.0721923f, 0.0193308f,      \
    0.1191948f, 0.9505321f)                                                                         \
  X(BT2020, 0.6369581f, 0.1446169f, 0.1688810f, 0.2627002f, 0.6779981f, 0.0593017f, 0.0f,           \
    0.0280727f, 1.0609851f)                                                                         \
  X(P3D65, 0.4865710f, 0.2656677f, 0.1982173f, 0.2289746f, 0.6917385f, 0.0792869f, 0.0f,            \
    0.0451134f, 1.0439444f)                                                                         \
  X(AP0_D65, 0.9382798f, -0.0044515f, 0.0166275f, 0.3373684f, 0.7295205f, -0.0668904f, 0.0011739f,  \
    -0.0037107f, 1.0915939f)                                                                        \
  X(AP1_D65, 0.6522375f, 0.1282361f, 0.1699823f, 0.2676718f, 0.6743390f, 0.0579877f, -0.0053818f,   \
    0.0013691f, 1.0930699f)                                                                         \
  X(AWG3, 0.638008f, 0.214704f, 0.097744f, 0.291954f, 0.823841f, -0.115795f, 0.002798f, -0.067034f, \
    1.153294f)                                                                                      \
  X(RWG, 0.735275f, 0.068609f, 0.146571f, 0.286694f, 0.842979f, -0.129673f, -0.079681f, -0.347343f, \
    1.516082f)                                                                                      \
  X(EGAMUT, 0.7053968f, 0.1640413f, 0.0810177f, 0.2801307f, 0.8202067f, -0.1003374f, -0.1037815f,   \
    -0.0729073f, 1.265747f)                                                                         \
  X(SGAMUT3, 0.7064827f, 0.1288010f, 0.1151722f, 0.2709797f, 0.7866064f, -0.0575861f, -0.0096778f,  \
    0.0046000f, 1.0941355f)                                                                         \
  X(SGAMUT3_CINE, 0.5990735f, 0.2489227f, 0.1024324f, 0.2150721f, 0.8850585f, -0.1001305f,          \
    -0.0320653f, -0.0276581f, 1.148624f)                                                            \
  X(VENICE1, 0.7439823f, 0.0791959f, 0.1272777f, 0.280273f, 0.7825829f, -0.0628574f, -0.0197191f,   \
    0.0102115f, 1.098565f)                                                                          \
  X(VENICE2, 0.632048f, 0.2017366f, 0.1166713f, 0.2232344f, 0.8824335f, -0.1056694f, -0.0408827f,   \
    -0.0234264f, 1.153366f)                                                                         \
  X(VGAMUT, 0.679644f, 0.152211f, 0.118600f, 0.260686f, 0.774894f, -0.035580f, -0.009310f,          \
    -0.004612f, 1.102980f)                                                                          \
  X(CINEMA_D, 0.7157953f, 0.1312648f, 0.1033958f, 0.2607313f, 0.8724331f, -0.1331658f, -0.0093873f, \
    -0.2423185f, 1.3407630f)                                                                        \
  X(CINEMA_T, 0.7672954f, 0.0754342f, 0.1077263f, 0.2492786f, 0.8280796f, -0.0773596f, 0.0124329f,  \
    -0.3305304f, 1.4071547f)                                                                        \
  X(DGAMUT, 0.6482f, 0.1940f, 0.1082f, 0.2830f, 0.8132f, -0.0962f, -0.0183f, -0.0832f, 1.1903f)     \
  X(R2, 0.4495776f, 0.3734296f, 0.1274487f, 0.1657100f, 0.8636612f, -0.0293727f, -0.1143139f,       \
    0.0244002f, 1.1789708f)                                                                         \
  X(R3, 0.4798631f, 0.3343988f, 0.1361940f, 0.2255109f, 0.7797989f, -0.0053113f, -0.0223911f,       \
    0.0163586f, 1.0950897f)                                                                         \
  X(R4, 0.4443178f, 0.3096292f, 0.1965089f, 0.2088063f, 0.7220374f, 0.0691548f, -0.0207319f,        \
    0.0151468f, 1.0946423f)                                                                         \
  X(R5, 0.4983191f, 0.3490593f, 0.1030775f, 0.2169919f, 0.8380211f, -0.0550144f, -0.0584665f,       \
    -0.0035233f, 1.1510470f)                                                                        \
  X(R6, 0.4385625f, 0.3072021f, 0.2046913f, 0.1909712f, 0.7375298f, 0.0714975f, -0.0514559f,        \
    -0.0031012f, 1.1436142f)                                                                        \
  X(PROTUNE, 0.501918f, 0.294524f, 0.154014f, 0.138173f, 0.913553f, -0.051725f, 0.078774f,          \
    -0.320766f, 1.331049f)                                                                          \
  X(DWG, 0.7006224f, 0.1487748f, 0.1010587f, 0.2741185f, 0.8736319f, -0.1477504f, -0.0989629f,      \
    -0.1378953f, 1.3259159f)                                                                        \
  X(BMDWG, 0.606530f, 0.220408f, 0.123479f, 0.267989f, 0.832731f, -0.100720f, -0.029442f,           \
    -0.086611f, 1.204861f)                                                                          \
  X(E_TO_D65, 0.9531874f, -0.0265906f, 0.0238731f, -0.0382467f, 1.0288405f, 0.0094060f, 0.0026068f, \
    -0.0030332f, 1.0892565f)                                                                        \
  X(AWG4, 0.704858f, 0.12976f, 0.115837f, 0.254524f, 0.781478f, -0.036002f, 0.0f, 0.0f, 1.089058f)  \
  X(P3D60_OWN, 0.5047396f, 0.264744f, 0.182855f, 0.2375245f, 0.6893334f, 0.073142f, 0.0f,           \
    0.0449565f, 0.9630364f)                                                                         \
  X(P3DCI_OWN, 0.4451698f, 0.2771344f, 0.1722827f, 0.2094917f, 0.7215952f, 0.0689131f, 0.0f,        \
    0.0470606f, 0.9073554f)                                                                         \
  X(AP0_OWN, 0.952552f, 0.0f, 0.0000937f, 0.343966f, 0.728166f, -0.072133f, 0.0f, 0.0f, 1.008825f)  \
  X(AP1_OWN, 0.662454f, 0.134004f, 0.156188f, 0.272229f, 0.674082f, 0.05369f, -0.005575f,           \
    0.004061f, 1.010339f)                                                                           \
  X(VENICE1_OWN, 0.755686f, 0.084853f, 0.112106f, 0.285585f, 0.781705f, -0.06729f, -0.019031f,      \
    0.012882f, 1.014974f)                                                                           \
  X(VENICE2_OWN, 0.642262f, 0.210104f, 0.10028f, 0.227896f, 0.882485f, -0.110381f, -0.038546f,      \
    -0.018097f, 1.065468f)                                                                          \
  X(CINEMA_D_OWN, 0.726858f, 0.14193f, 0.083858f, 0.26581f, 0.873062f, -0.138872f, -0.009491f,      \
    -0.220311f, 1.238627f)                                                                          \
  X(CINEMA_T_OWN, 0.778633f, 0.086422f, 0.087592f, 0.254665f, 0.828804f, -0.083469f, 0.010482f,     \
    -0.301912f, 1.300255f)                                                                          \
  X(R2_OWN, 0.458161f, 0.383205f, 0.11128f, 0.169442f, 0.864828f, -0.03427f, -0.106185f, 0.025544f, \
    1.089467f)                                                                                      \
  X(R3_OWN, 0.48783f, 0.343274f, 0.121542f, 0.228904f, 0.78086f, -0.009764f, -0.021008f, 0.017827f, \
    1.012006f)                                                                                      \
  X(R4_OWN, 0.451695f, 0.317847f, 0.183105f, 0.211948f, 0.72302f, 0.065032f, -0.019451f, 0.016506f, \
    1.01177f)                                                                                       \
  X(R5_OWN, 0.507015f, 0.358778f, 0.086853f, 0.220724f, 0.839188f, -0.059912f, -0.054452f,          \
    -0.000323f, 1.0636f)                                                                            \
  X(R6_OWN, 0.446215f, 0.315756f, 0.190675f, 0.194256f, 0.738557f, 0.067187f, -0.047923f,           \
    -0.000284f, 1.057032f)                                                                          \
  X(IDENTITY, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f)

enum class Gamut : int {
#define COLOUR_GAMUT_ENUM(name, ...) name,
  COLOUR_GAMUTS(COLOUR_GAMUT_ENUM)
#undef COLOUR_GAMUT_ENUM
      NONE
};

__host__ __device__ constexpr Mat3 gamut_to_xyz(Gamut g) {
  switch (g) {
#define COLOUR_GAMUT_CASE(name, ...) \
  case Gamut::name:                  \
    return Mat3{{__VA_ARGS__}};
    COLOUR_GAMUTS(COLOUR_GAMUT_CASE)
#undef COLOUR_GAMUT_CASE
    default:
      return Mat3{{1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f}};
  }
}

// The inverses are constant expressions: evaluated by the compiler, in
// double precision, from the forward matrices above.
__host__ __device__ inline Mat3 gamut_from_xyz(Gamut g) {
  switch (g) {
#define COLOUR_GAMUT_INV_CASE(name, ...)                             \
  case Gamut::name: {                                                \
    constexpr Mat3 inverse = mat3_inverse(Mat3{{__VA_ARGS__}});      \
    return inverse;                                                  \
  }
    COLOUR_GAMUTS(COLOUR_GAMUT_INV_CASE)
#undef COLOUR_GAMUT_INV_CASE
    default:
      return Mat3{{1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f}};
  }
}

// XYZ (D65) to linear ARRI Wide Gamut 4.
__host__ __device__ constexpr Mat3 xyz_to_awg4() {
  return Mat3{{1.5092155f, -0.2505974f, -0.1688115f, -0.4915454f, 1.3612455f, 0.0972829f, 0.0f, 0.0f,
               0.9182249f}};
}

// ---------------------------------------------------------------------------
// Transfer curves.
enum class Transfer : int {
  LINEAR,
  BT709_SCENE,   // decoding with the rounded BT.709 constants
  BT2020_SCENE,  // same decoding, encoded with the BT.2020 constants
  CINEON,
  PLOGLIN,
  ACESCC,
  ACESCCT,
  ACESPROXY,
  ADX,
  NLOG,
  LOGC3,
  LOG3G10,
  FLOG2,
  TLOG,
  SLOG3,
  VLOG,
  CLOG,
  CLOG2,
  CLOG3,
  DLOG,
  SRGB,
  FLOG,
  GAMMA26,
  GAMMA24,
  GOPRO,
  PQ,
  HLG,
  DAVINCI_INTERMEDIATE,
  DCDM,
  LOGC4,
  BMD_GEN5,
};

// Which white the run-time adaptation starts from (P3-D60 and P3-DCI only).
enum class Adapt : int { NONE, P3D60, P3DCI };

struct OptionInfo {
  Transfer transfer;
  Gamut to_xyz;      // matrix into D65 XYZ (NONE: already ARRI Wide Gamut 4)
  Gamut lab_to_xyz;  // matrix of the generic Lab conversion (own white)
  Adapt adapt;
  bool code_limit;   // encoded values limited to [0, 1]
};

// The InputGamut options in index order: transfer, matrix to D65 XYZ, matrix
// of the generic Lab conversion, run-time adaptation, code value limit.
#define COLOUR_INPUT_OPTIONS(X)                                         \
  X(0, LINEAR, BT709, BT709, NONE, false)                               \
  X(1, BT709_SCENE, BT709, BT709, NONE, true)                           \
  X(2, CINEON, BT709, BT709, NONE, true)                                \
  X(3, PLOGLIN, BT709, BT709, NONE, true)                               \
  X(4, LINEAR, AP0_D65, AP0_OWN, NONE, false)                           \
  X(5, LINEAR, AP1_D65, AP1_OWN, NONE, false)                           \
  X(6, ACESCC, AP1_D65, AP1_OWN, NONE, true)                            \
  X(7, ACESCCT, AP1_D65, AP1_OWN, NONE, true)                           \
  X(8, ACESPROXY, AP1_D65, AP1_OWN, NONE, false)                        \
  X(9, ADX, AP0_D65, AP0_OWN, NONE, false)                              \
  X(10, NLOG, BT2020, BT2020, NONE, false)                              \
  X(11, LOGC3, AWG3, AWG3, NONE, true)                                  \
  X(12, LOG3G10, RWG, RWG, NONE, true)                                  \
  X(13, FLOG2, BT2020, BT2020, NONE, true)                              \
  X(14, TLOG, EGAMUT, EGAMUT, NONE, false)                              \
  X(15, SLOG3, SGAMUT3, SGAMUT3, NONE, true)                            \
  X(16, SLOG3, SGAMUT3_CINE, SGAMUT3_CINE, NONE, true)                  \
  X(17, SLOG3, VENICE1, VENICE1_OWN, NONE, true)                        \
  X(18, SLOG3, VENICE2, VENICE2_OWN, NONE, true)                        \
  X(19, VLOG, VGAMUT, VGAMUT, NONE, true)                               \
  X(20, CLOG, CINEMA_D, CINEMA_D_OWN, NONE, true)                       \
  X(21, CLOG, CINEMA_T, CINEMA_T_OWN, NONE, true)                       \
  X(22, CLOG2, CINEMA_D, CINEMA_D_OWN, NONE, true)                      \
  X(23, CLOG2, CINEMA_T, CINEMA_T_OWN, NONE, true)                      \
  X(24, CLOG3, CINEMA_D, CINEMA_D_OWN, NONE, true)                      \
  X(25, CLOG3, CINEMA_T, CINEMA_T_OWN, NONE, true)                      \
  X(26, DLOG, DGAMUT, DGAMUT, NONE, true)                               \
  X(27, SRGB, BT709, BT709, NONE, false)                                \
  X(28, FLOG, BT2020, BT2020, NONE, false)                              \
  X(29, BT2020_SCENE, BT2020, BT2020, NONE, false)                      \
  X(30, LINEAR, BT2020, BT2020, NONE, false)                            \
  X(31, GAMMA26, P3D60_OWN, P3D60_OWN, P3D60, true)                     \
  X(32, SRGB, P3D65, P3D65, NONE, true)                                 \
  X(33, GAMMA26, P3DCI_OWN, P3DCI_OWN, P3DCI, true)                     \
  X(34, GAMMA24, BT709, BT709, NONE, true)                              \
  X(35, CINEON, R2, R2_OWN, NONE, true)                                 \
  X(36, CINEON, R3, R3_OWN, NONE, true)                                 \
  X(37, CINEON, R4, R4_OWN, NONE, true)                                 \
  X(38, CINEON, R5, R5_OWN, NONE, true)                                 \
  X(39, CINEON, R6, R6_OWN, NONE, true)                                 \
  X(40, GOPRO, BT709, BT709, NONE, true)                                \
  X(41, GOPRO, PROTUNE, PROTUNE, NONE, true)                            \
  X(42, PQ, BT2020, BT2020, NONE, true)                                 \
  X(43, PQ, P3D65, P3D65, NONE, true)                                   \
  X(44, HLG, BT2020, BT2020, NONE, false)                               \
  X(45, DAVINCI_INTERMEDIATE, DWG, DWG, NONE, true)                     \
  X(46, DCDM, E_TO_D65, IDENTITY, NONE, true)                           \
  X(47, LOGC4, NONE, AWG4, NONE, false)                                 \
  X(48, BMD_GEN5, BMDWG, BMDWG, NONE, true)

constexpr int kInputOptionCount = 49;

__host__ __device__ constexpr OptionInfo option_info(int option) {
  switch (option) {
#define COLOUR_OPTION_CASE(index, transfer, gamut, lab, adapt, limit) \
  case index:                                                         \
    return OptionInfo{Transfer::transfer, Gamut::gamut, Gamut::lab, Adapt::adapt, limit};
    COLOUR_INPUT_OPTIONS(COLOUR_OPTION_CASE)
#undef COLOUR_OPTION_CASE
    default:
      return OptionInfo{Transfer::LINEAR, Gamut::BT709, Gamut::BT709, Adapt::NONE, false};
  }
}

// Options decoded from scene-linear values rather than code values in [0, 1].
__host__ __device__ constexpr bool option_is_linear(int option) {
  return option == 0 || option == 4 || option == 5 || option == 30;
}

// ---------------------------------------------------------------------------
// Single-channel decodings (code value -> relative linear light). `lab` marks
// the generic Lab conversion, which does not clamp its code values first and
// where some curves pass values outside their domain through unchanged.
__host__ __device__ inline float decode_channel(Transfer t, float x, bool lab) {
  switch (t) {
    case Transfer::LINEAR:
      return x;
    case Transfer::BT709_SCENE:
    case Transfer::BT2020_SCENE:
      if (lab && !(x > 0.0f && x <= 1.0f)) return x;
      return x < 0.08145f ? x * 0.2222222f : powf((x + 0.0993f) * 0.9096698f, 2.222222f);
    case Transfer::CINEON:
      return (pow10_f((1023.0f * x - 685.0f) * 0.003333333f) - 0.01079775f) * 1.010916f;
    case Transfer::PLOGLIN:
      return 0.18f * pow10_f((1023.0f * x - 445.0f) * 0.003333333f);
    case Transfer::ACESCC:
      return exp2f(17.52f * x - 9.72f);
    case Transfer::ACESCCT:
      return x <= 0.1552511f ? (x - 0.07290553f) * 0.09487452f : exp2f(17.52f * x - 9.72f);
    case Transfer::ACESPROXY:
      return exp2f((4095.0f * x - 1700.0f) * 0.005f - 2.5f);
    case Transfer::NLOG:
      // Below code 0 the Lab conversion continues from the curve's foot
      // (-0.0075) with slope 1, so that black keeps a unique inverse.
      if (lab && x <= 0.0f) return x - 0.0075f;
      if (x < 0.4418377f) {
        const float k = 1023.0f * x * 0.001538462f;
        return k * k * k - 0.0075f;
      }
      return exp_f((1023.0f * x - 619.0f) * 0.006666667f);
    case Transfer::LOGC3:
      return x > 0.1496578f ? (pow10_f((x - 0.385537f) * 4.045471f) - 0.052272f) * 0.18f
                            : (x - 0.092809f) * 0.1863011f;
    case Transfer::LOG3G10:
      return (pow10_f(x * 4.458673f) - 1.0f) * 0.00641127f - 0.01f;
    case Transfer::FLOG2:
      return x >= 0.1006867f ? 0.18f * pow10_f((x - 0.384316f) * 4.076957f) - 0.01166922f
                             : (x - 0.092864f) * 0.1136433f;
    case Transfer::TLOG:
      return x < 0.075f ? (x - 0.075f) * 0.06178799f : exp_f((x - 0.5520127f) * 10.83083f) - 0.00570482f;
    case Transfer::SLOG3:
      return x >= 0.167361f ? 0.19f * pow10_f((1023.0f * x - 420.0f) * 0.003824092f) - 0.01f
                            : (1023.0f * x - 95.0f) * 0.0001476179f;
    case Transfer::VLOG:
      return x < 0.181f ? (x - 0.125f) * 0.1785714f : pow10_f((x - 0.598206f) * 4.140547f) - 0.00873f;
    case Transfer::CLOG:
      return x >= 0.1251225f ? (pow10_f((x - 0.1251225f) * 2.20701f) - 1.0f) * 0.09842907f
                             : -(pow10_f((0.1251225f - x) * 2.20701f) - 1.0f) * 0.09842907f;
    case Transfer::CLOG2:
      return x >= 0.09286413f ? (pow10_f((x - 0.09286413f) * 4.143176f) - 1.0f) * 0.01148114f
                              : -(pow10_f((0.09286413f - x) * 4.143176f) - 1.0f) * 0.01148114f;
    case Transfer::CLOG3:
      if (x < 0.09746547f) return -(pow10_f((0.127839f - x) * 2.722804f) - 1.0f) * 0.06674119f;
      if (x <= 0.1527789f) return (x - 0.1251222f) * 0.5062062f;
      return (pow10_f((x - 0.1224054f) * 2.722804f) - 1.0f) * 0.06674119f;
    case Transfer::DLOG:
      return x <= 0.14f ? (x - 0.0929f) * 0.1659751f
                        : (pow10_f(3.89616f * x - 2.27752f) - 0.0108f) * 1.010916f;
    case Transfer::SRGB:
      if (lab && !(x > 0.0f && x <= 1.0f)) return x;
      return x < 0.04045f ? x * 0.07739938f : powf((x + 0.055f) * 0.9478673f, 2.4f);
    case Transfer::FLOG:
      return x >= 0.1005378f ? 1.799999f * pow10_f((x - 0.790453f) * 2.901275f) - 0.01704239f
                             : (x - 0.092864f) * 0.1144737f;
    case Transfer::GAMMA26:
      if (lab && !(x > 0.0f && x <= 1.0f)) return x;
      return x > 0.0f ? powf(x, 2.6f) : 0.0f;
    case Transfer::GAMMA24:
      if (lab && !(x > 0.0f && x <= 1.0f)) return x;
      return x > 0.0f ? powf(x, 2.4f) : 0.0f;
    case Transfer::GOPRO:
      if (lab && !(x > 0.0f && x <= 1.0f)) return x;
      return (exp2f(6.820179f * x) - 1.0f) * 0.008928572f;
    case Transfer::HLG:
      return x <= 0.5f ? x * x * 0.3333333f
                       : (exp_f((x - 0.5599107f) * 5.591816f) + 0.2846689f) * 0.08333334f;
    case Transfer::DAVINCI_INTERMEDIATE:
      return x <= 0.02740668f ? x * 0.09574629f : exp2f(x * 13.64396f - 7.0f) - 0.0075f;
    case Transfer::DCDM:
      if (lab && !(x > 0.0f && x <= 1.0f)) return x;
      return x > 0.0f ? powf(x, 2.6f) * 1.091042f : 0.0f;
    case Transfer::LOGC4:
      return (exp2f(14.0f * (x - 0.09286413f) * 1.102371f + 6.0f) - 64.0f) * 0.0004480635f;
    case Transfer::BMD_GEN5:
      return x < 0.1338838f ? (x - 0.09246575f) * 0.1207204f
                            : exp_f((x - 0.5300133f) * 11.50367f) - 0.005494073f;
    case Transfer::ADX:  // three-channel, see decode_transfer
    case Transfer::PQ:
      return x;
  }
  return x;
}

// Printing density (ADX code values) to ACES via the channel-independent
// density-to-exposure fit.
__host__ __device__ inline float adx_density_to_exposure(float cid) {
  if (cid < 0.0f) return 0.04911331f * cid + 0.00130127f;
  if (cid < 0.01f) return exp_f(37.74261f * cid - 6.644415f);
  if (cid < 0.6f) return exp_f(2.302585f * sqrtf(6.569476f * cid - 0.03258072f) - 6.685996f);
  return exp_f(fminf(4.186518f * cid - 4.645361f, 86.4f));
}

__host__ __device__ inline float adx_exposure_to_density(float e) {
  if (!(e > 0.00130127f)) return (e - 0.00130127f) * (1.0f / 0.04911331f);
  const float ln_e = logf(e);
  const float upper = (ln_e + 4.645361f) * (1.0f / 4.186518f);
  if (upper >= 0.6f) return upper;
  const float s = (ln_e + 6.685996f) * (1.0f / 2.302585f);
  const float middle = (s * s + 0.03258072f) * (1.0f / 6.569476f);
  if (middle >= 0.01f && s >= 0.0f) return middle;
  const float lower = (ln_e + 6.644415f) * (1.0f / 37.74261f);
  return fmaxf(lower, 0.0f);
}

__host__ __device__ inline void adx_decode(const float x[3], float aces[3]) {
  float cdd[3], cid[3], e[3];
  for (int c = 0; c < 3; ++c) cdd[c] = 2.048f * x[c] - 0.19f;
  table_mul_vec_columns(COLOUR_TABLE_READ(CDD_TO_CID), cdd, cid);
  for (int c = 0; c < 3; ++c) e[c] = adx_density_to_exposure(cid[c]);
  table_mul_vec_columns(COLOUR_TABLE_READ(EXP_TO_ACES), e, aces);
}

__host__ __device__ inline void adx_encode(const float aces[3], float x[3]) {
  constexpr Mat3 aces_to_exp = mat3_inverse(mat3_transpose(Mat3{{COLOUR_EXP_TO_ACES_VALUES}}));
  constexpr Mat3 cid_to_cdd = mat3_inverse(mat3_transpose(Mat3{{COLOUR_CDD_TO_CID_VALUES}}));
  float e[3], cid[3], cdd[3];
  mat3_mul_vec(aces_to_exp, aces, e);
  for (int c = 0; c < 3; ++c) cid[c] = adx_exposure_to_density(e[c]);
  mat3_mul_vec(cid_to_cdd, cid, cdd);
  for (int c = 0; c < 3; ++c) x[c] = (cdd[c] + 0.19f) * (1.0f / 2.048f);
}

// ST 2084 code values to scene light through the inverse BT.2100 OOTF
// (1000 cd/m2 peak, system gamma 1.2).
__host__ __device__ inline void pq_decode(const float x[3], float out[3]) {
  float f[3];
  for (int c = 0; c < 3; ++c) {
    const float n = powf(fmaxf(x[c], 0.0f), 1.0f / 78.84375f);
    const float num = fmaxf(n - 0.8359375f, 0.0f);
    f[c] = 10000.0f * powf(num / (18.8515625f - 18.6875f * n), 1.0f / 0.1593017578125f);
  }
  const float yd = 0.2627f * f[0] + 0.678f * f[1] + 0.0593f * f[2];
  if (!(yd > 0.0f)) {
    out[0] = out[1] = out[2] = 0.0f;
    return;
  }
  const float factor = static_cast<float>(1.0 / cbrt(sqrt(static_cast<double>(yd) / 1000.0)));
  for (int c = 0; c < 3; ++c) out[c] = f[c] * 0.001f * factor;
}

__host__ __device__ inline void pq_encode(const float lin[3], float code[3]) {
  float l[3];
  for (int c = 0; c < 3; ++c) l[c] = fmaxf(lin[c], 0.0f);
  const float ys = 0.2627f * l[0] + 0.678f * l[1] + 0.0593f * l[2];
  const float gain = 1000.0f * powf(ys, 0.2f);
  for (int c = 0; c < 3; ++c) {
    const float p = powf(l[c] * gain * 0.0001f, 0.1593017578125f);
    code[c] = powf((0.8359375f + 18.8515625f * p) / (1.0f + 18.6875f * p), 78.84375f);
  }
}

// Code values of the option's encoding to relative linear light in the
// option's own primaries (ADX: ACES values; DCDM: X, Y, Z).
__host__ __device__ inline void decode_transfer(Transfer t, const float x[3], float out[3], bool lab) {
  if (t == Transfer::ADX) {
    adx_decode(x, out);
  } else if (t == Transfer::PQ) {
    pq_decode(x, out);
  } else {
    for (int c = 0; c < 3; ++c) out[c] = decode_channel(t, x[c], lab);
  }
}

// Single-channel encodings, the inverses of decode_channel. `lab` as above;
// the caller applies the option's limits.
__host__ __device__ inline float encode_channel(Transfer t, float l, bool lab) {
  const bool pass = lab && !(l > 0.0f && l <= 1.0f);
  switch (t) {
    case Transfer::LINEAR:
      return l;
    case Transfer::BT709_SCENE:
      if (pass) return l;
      return l < 0.0181f ? 4.5f * l : 1.0993f * powf(l, 0.45f) - 0.0993f;
    case Transfer::BT2020_SCENE:
      if (pass) return l;
      return l < 0.01805397f ? 4.5f * l : 1.099297f * powf(l, 0.45f) - 0.099297f;
    case Transfer::CINEON:
      return (685.0f + 300.0f * safe_log10(l * (1.0f / 1.010916f) + 0.01079775f)) * (1.0f / 1023.0f);
    case Transfer::PLOGLIN:
      return (445.0f + 300.0f * safe_log10(l * (1.0f / 0.18f))) * (1.0f / 1023.0f);
    case Transfer::ACESCC:
      return (safe_log2(l) + 9.72f) * (1.0f / 17.52f);
    case Transfer::ACESPROXY:  // 12-bit code values, not yet quantised
      return (200.0f * (safe_log2(l) + 2.5f) + 1700.0f) * (1.0f / 4095.0f);
    case Transfer::ACESCCT:
      return l <= 0.0078125f ? l * (1.0f / 0.09487452f) + 0.07290553f
                             : (log2f(l) + 9.72f) * (1.0f / 17.52f);
    case Transfer::NLOG:
      if (lab && l <= -0.0075f) return l + 0.0075f;
      return l < 0.328f ? 650.0f * cbrtf(l + 0.0075f) * (1.0f / 1023.0f)
                        : (150.0f * logf(l) + 619.0f) * (1.0f / 1023.0f);
    case Transfer::LOGC3:
      return l > 0.010591f ? 0.247190f * log10f(5.555556f * l + 0.052272f) + 0.385537f
                           : 5.367655f * l + 0.092809f;
    case Transfer::LOG3G10:
      return 0.224282f * safe_log10((l + 0.01f) * 155.975327f + 1.0f);
    case Transfer::FLOG2:
      return l >= 0.000889f ? 0.245281f * log10f(5.555556f * l + 0.064829f) + 0.384316f
                            : 8.799461f * l + 0.092864f;
    case Transfer::TLOG:
      return l > 0.0f ? 0.09232903f * logf(l + 0.00570482f) + 0.5520127f : l * (1.0f / 0.06178799f) + 0.075f;
    case Transfer::SLOG3:
      return l >= 0.01125f ? (420.0f + 261.5f * log10f((l + 0.01f) * (1.0f / 0.19f))) * (1.0f / 1023.0f)
                           : (6774.249f * l + 95.0f) * (1.0f / 1023.0f);
    case Transfer::VLOG:
      return l < 0.01f ? 5.6f * l + 0.125f : 0.241514f * log10f(l + 0.00873f) + 0.598206f;
    case Transfer::CLOG:
      return l >= 0.0f ? 0.1251225f + log10f(l * (1.0f / 0.09842907f) + 1.0f) * (1.0f / 2.20701f)
                       : 0.1251225f - log10f(-l * (1.0f / 0.09842907f) + 1.0f) * (1.0f / 2.20701f);
    case Transfer::CLOG2:
      return l >= 0.0f ? 0.09286413f + log10f(l * (1.0f / 0.01148114f) + 1.0f) * (1.0f / 4.143176f)
                       : 0.09286413f - log10f(-l * (1.0f / 0.01148114f) + 1.0f) * (1.0f / 4.143176f);
    case Transfer::CLOG3:
      if (l < -0.014f) return 0.127839f - log10f(-l * (1.0f / 0.06674119f) + 1.0f) * (1.0f / 2.722804f);
      if (l <= 0.014f) return l * (1.0f / 0.5062062f) + 0.1251222f;
      return 0.1224054f + log10f(l * (1.0f / 0.06674119f) + 1.0f) * (1.0f / 2.722804f);
    case Transfer::DLOG:
      return l <= 0.0078f ? 6.025f * l + 0.0929f
                          : (log10f(l * (1.0f / 1.010916f) + 0.0108f) + 2.27752f) * (1.0f / 3.89616f);
    case Transfer::SRGB:
      if (pass) return l;
      return l <= 0.0031308f ? 12.92f * l : 1.055f * powf(l, 1.0f / 2.4f) - 0.055f;
    case Transfer::FLOG:
      return l >= 0.00089f ? 0.344676f * log10f(0.555556f * l + 0.009468f) + 0.790453f
                           : 8.735631f * l + 0.092864f;
    case Transfer::GAMMA26:
      if (pass) return l;
      return l > 0.0f ? powf(l, 1.0f / 2.6f) : 0.0f;
    case Transfer::GAMMA24:
      if (pass) return l;
      return l > 0.0f ? powf(l, 1.0f / 2.4f) : 0.0f;
    case Transfer::GOPRO:
      if (pass) return l;
      return log2f(112.0f * fmaxf(l, 0.0f) + 1.0f) * (1.0f / 6.820179f);
    case Transfer::HLG:
      return l <= 0.08333334f ? sqrtf(3.0f * fmaxf(l, 0.0f))
                              : 0.1788328f * logf(12.0f * l - 0.2846689f) + 0.5599107f;
    case Transfer::DAVINCI_INTERMEDIATE:
      return l <= 0.00262409f ? l * 10.44426855f : (log2f(l + 0.0075f) + 7.0f) * 0.07329248f;
    case Transfer::DCDM:
      if (lab && !(l > 0.0f && l <= 1.091042f)) return l;
      return l > 0.0f ? powf(l * (48.0f / 52.37f), 1.0f / 2.6f) : 0.0f;
    case Transfer::LOGC4:
      return (safe_log2(2231.826f * l + 64.0f) - 6.0f) * 0.0647954f + 0.0928641f;
    case Transfer::BMD_GEN5:
      return l < 0.005f ? 8.283605932f * l + 0.09246575f : 0.08692876f * logf(l + 0.005494073f) + 0.5300133f;
    case Transfer::ADX:
    case Transfer::PQ:
      return l;
  }
  return l;
}

__host__ __device__ inline void encode_transfer(Transfer t, const float lin[3], float out[3], bool lab) {
  if (t == Transfer::ADX) {
    adx_encode(lin, out);
  } else if (t == Transfer::PQ) {
    pq_encode(lin, out);
  } else {
    for (int c = 0; c < 3; ++c) out[c] = encode_channel(t, lin[c], lab);
  }
}

// Run-time adaptation of the P3-D60 and P3-DCI options (their own white to
// D65, or back).
__host__ __device__ inline Mat3 adaptation_to_d65(Adapt a) {
  return bradford_adaptation(a == Adapt::P3D60 ? COLOUR_TABLE_READ(P3D60_PRI) : COLOUR_TABLE_READ(P3DCI_PRI),
                             COLOUR_TABLE_READ(P3D65_PRI));
}
__host__ __device__ inline Mat3 adaptation_from_d65(Adapt a) {
  return bradford_adaptation(COLOUR_TABLE_READ(P3D65_PRI),
                             a == Adapt::P3D60 ? COLOUR_TABLE_READ(P3D60_PRI) : COLOUR_TABLE_READ(P3DCI_PRI));
}

}  // namespace colour

// ---------------------------------------------------------------------------
// Code values of one pixel (channels 0 to 2 of `pixel`) to linear ARRI Wide
// Gamut 4, each channel in [0, 469.8]. The clamped code values are written
// back into the pixel; alpha is never touched.
__host__ __device__ inline void input_to_awg4_linear(float* pixel, int inputGamut, float out[3]) {
  using namespace colour;
  const OptionInfo info = option_info(inputGamut);
  const float hi = option_is_linear(inputGamut) ? kWorkingMax : 1.0f;
  float x[3], lin[3], xyz[3];
  for (int c = 0; c < 3; ++c) {
    x[c] = clampf(pixel[c], 0.0f, hi);
    pixel[c] = x[c];
  }
  decode_transfer(info.transfer, x, lin, false);
  if (info.to_xyz == Gamut::NONE) {
    for (int c = 0; c < 3; ++c) out[c] = lin[c];
  } else {
    mat3_mul_vec(gamut_to_xyz(info.to_xyz), lin, xyz);
    if (info.adapt != Adapt::NONE) {
      const float own[3] = {xyz[0], xyz[1], xyz[2]};
      mat3_mul_vec(adaptation_to_d65(info.adapt), own, xyz);
    }
    mat3_mul_vec(xyz_to_awg4(), xyz, out);
  }
  for (int c = 0; c < 3; ++c) out[c] = clampf(out[c], 0.0f, kWorkingMax);
}

// Linear ARRI Wide Gamut 4 to the code values of option `inputGamut`.
// Negative light encodes as 0; log encodings are limited to code values in
// [0, 1] (see COLOUR_INPUT_OPTIONS); NaN gives the encoding of 0. ADX has no
// code limit: its density matrices mix the channels, so a saturated colour
// can ask for a negative printing density, which is kept.
__host__ __device__ inline void awg4_linear_to_output(const float lin[3], int inputGamut, float out[3]) {
  using namespace colour;
  const OptionInfo info = option_info(inputGamut);
  float rgb[3];
  float in[3];
  for (int c = 0; c < 3; ++c) in[c] = limit_finite(lin[c]);
  if (info.to_xyz == Gamut::NONE) {
    for (int c = 0; c < 3; ++c) rgb[c] = in[c];
  } else {
    float xyz[3];
    mat3_mul_vec(gamut_to_xyz(Gamut::AWG4), in, xyz);
    if (info.adapt != Adapt::NONE) {
      const float d65[3] = {xyz[0], xyz[1], xyz[2]};
      mat3_mul_vec(adaptation_from_d65(info.adapt), d65, xyz);
    }
    mat3_mul_vec(gamut_from_xyz(info.to_xyz), xyz, rgb);
  }
  for (int c = 0; c < 3; ++c) rgb[c] = fmaxf(rgb[c], 0.0f);
  if (info.transfer == Transfer::ACESCC || info.transfer == Transfer::ACESPROXY) {
    for (int c = 0; c < 3; ++c) rgb[c] = clampf(rgb[c], 0.001185737f, 222.8609f);
  }
  encode_transfer(info.transfer, rgb, out, false);
  if (info.transfer == Transfer::ACESPROXY) {
    for (int c = 0; c < 3; ++c) {
      const float cv = rintf(out[c] * 4095.0f);
      out[c] = clampf(cv, 256.0f, 3760.0f) * (1.0f / 4095.0f);
    }
  } else if (info.code_limit) {
    for (int c = 0; c < 3; ++c) out[c] = clampf(out[c], 0.0f, 1.0f);
  }
}
