// Module constant colour tables shared by every kernel, and the small 3x3
// algebra the colour conversions are built from.
//
// The device build keeps each table in constant memory; the host side of a
// __host__ __device__ function (and the whole CPU build) reads an ordinary
// constexpr copy made from the same value list, so the values exist once.
#pragma once

#include "cudasim/cuda_compat.h"

#if defined(__CUDACC__)
#define COLOUR_TABLE(name, n, values)                         \
  static __constant__ const float name[n] = {values};         \
  static constexpr float name##_HOST[n] = {values};
#if defined(__CUDA_ARCH__)
#define COLOUR_TABLE_READ(name) name
#else
#define COLOUR_TABLE_READ(name) name##_HOST
#endif
#else
#define COLOUR_TABLE(name, n, values) static constexpr float name[n] = {values};
#define COLOUR_TABLE_READ(name) name
#endif

#define COLOUR_COMMA ,

// 3x3 tables stored transposed: they are applied column by column.
#define COLOUR_CDD_TO_CID_VALUES                                                     \
  0.75573f COLOUR_COMMA 0.05901f COLOUR_COMMA 0.16134f COLOUR_COMMA                   \
  0.22197f COLOUR_COMMA 0.96928f COLOUR_COMMA 0.07406f COLOUR_COMMA                   \
  0.0223f COLOUR_COMMA -0.02829f COLOUR_COMMA 0.7646f
#define COLOUR_EXP_TO_ACES_VALUES                                                    \
  0.72286f COLOUR_COMMA 0.11923f COLOUR_COMMA 0.01427f COLOUR_COMMA                   \
  0.1263f COLOUR_COMMA 0.76418f COLOUR_COMMA 0.08213f COLOUR_COMMA                    \
  0.15084f COLOUR_COMMA 0.11659f COLOUR_COMMA 0.90359f
#define COLOUR_BRADFORD_VALUES                                                       \
  0.8951f COLOUR_COMMA -0.7502f COLOUR_COMMA 0.0389f COLOUR_COMMA                     \
  0.2664f COLOUR_COMMA 1.7135f COLOUR_COMMA -0.0685f COLOUR_COMMA                     \
  -0.1614f COLOUR_COMMA 0.0367f COLOUR_COMMA 1.0296f

// Chromaticity records: red x, y, green x, y, blue x, y, white x, y.
#define COLOUR_P3_PRIMARIES 0.68f COLOUR_COMMA 0.32f COLOUR_COMMA 0.265f COLOUR_COMMA 0.69f COLOUR_COMMA 0.15f COLOUR_COMMA 0.06f
#define COLOUR_709_PRIMARIES 0.64f COLOUR_COMMA 0.33f COLOUR_COMMA 0.30f COLOUR_COMMA 0.60f COLOUR_COMMA 0.15f COLOUR_COMMA 0.06f

COLOUR_TABLE(CDD_TO_CID, 9, COLOUR_CDD_TO_CID_VALUES)
COLOUR_TABLE(EXP_TO_ACES, 9, COLOUR_EXP_TO_ACES_VALUES)
COLOUR_TABLE(CONE_RESP_MAT_BRADFORD, 9, COLOUR_BRADFORD_VALUES)
COLOUR_TABLE(REC709_PRI, 8, COLOUR_709_PRIMARIES COLOUR_COMMA 0.3127f COLOUR_COMMA 0.3290f)
COLOUR_TABLE(AP0, 8, 0.7347f COLOUR_COMMA 0.2653f COLOUR_COMMA 0.0f COLOUR_COMMA 1.0f COLOUR_COMMA
                     0.0001f COLOUR_COMMA -0.077f COLOUR_COMMA 0.32168f COLOUR_COMMA 0.33767f)
COLOUR_TABLE(P3D65_PRI, 8, COLOUR_P3_PRIMARIES COLOUR_COMMA 0.31271f COLOUR_COMMA 0.32902f)
COLOUR_TABLE(P3DCI_PRI, 8, COLOUR_P3_PRIMARIES COLOUR_COMMA 0.314f COLOUR_COMMA 0.351f)
COLOUR_TABLE(P3D60_PRI, 8, COLOUR_P3_PRIMARIES COLOUR_COMMA 0.32168f COLOUR_COMMA 0.33767f)
COLOUR_TABLE(AWG4_PRI, 8, 0.7347f COLOUR_COMMA 0.2653f COLOUR_COMMA 0.1424f COLOUR_COMMA 0.8576f COLOUR_COMMA
                          0.0991f COLOUR_COMMA -0.0308f COLOUR_COMMA 0.3127f COLOUR_COMMA 0.329f)
COLOUR_TABLE(D55_PRI, 8, COLOUR_709_PRIMARIES COLOUR_COMMA 0.33242f COLOUR_COMMA 0.34743f)

namespace colour {

// Row-major 3x3 matrix (rows are outputs).
struct Mat3 {
  float m[9];
};

__host__ __device__ constexpr Mat3 mat3_transpose(const Mat3& a) {
  return Mat3{{a.m[0], a.m[3], a.m[6], a.m[1], a.m[4], a.m[7], a.m[2], a.m[5], a.m[8]}};
}

// Inverse by cofactors in double precision, rounded once to float. Used in
// constant expressions, so the device never computes it.
__host__ __device__ constexpr Mat3 mat3_inverse(const Mat3& a) {
  const double m0 = a.m[0], m1 = a.m[1], m2 = a.m[2];
  const double m3 = a.m[3], m4 = a.m[4], m5 = a.m[5];
  const double m6 = a.m[6], m7 = a.m[7], m8 = a.m[8];
  const double c0 = m4 * m8 - m5 * m7;
  const double c1 = m5 * m6 - m3 * m8;
  const double c2 = m3 * m7 - m4 * m6;
  const double det = m0 * c0 + m1 * c1 + m2 * c2;
  const double r = 1.0 / det;
  return Mat3{{static_cast<float>(c0 * r), static_cast<float>((m2 * m7 - m1 * m8) * r),
               static_cast<float>((m1 * m5 - m2 * m4) * r), static_cast<float>(c1 * r),
               static_cast<float>((m0 * m8 - m2 * m6) * r), static_cast<float>((m2 * m3 - m0 * m5) * r),
               static_cast<float>(c2 * r), static_cast<float>((m1 * m6 - m0 * m7) * r),
               static_cast<float>((m0 * m4 - m1 * m3) * r)}};
}

__host__ __device__ __forceinline__ void mat3_mul_vec(const Mat3& a, const float in[3], float out[3]) {
  const float r = in[0], g = in[1], b = in[2];
  out[0] = a.m[0] * r + a.m[1] * g + a.m[2] * b;
  out[1] = a.m[3] * r + a.m[4] * g + a.m[5] * b;
  out[2] = a.m[6] * r + a.m[7] * g + a.m[8] * b;
}

// Applies a table that is stored transposed (read column by column).
__host__ __device__ __forceinline__ void table_mul_vec_columns(const float t[9], const float in[3],
                                                               float out[3]) {
  const float r = in[0], g = in[1], b = in[2];
  out[0] = t[0] * r + t[3] * g + t[6] * b;
  out[1] = t[1] * r + t[4] * g + t[7] * b;
  out[2] = t[2] * r + t[5] * g + t[8] * b;
}

__host__ __device__ __forceinline__ Mat3 mat3_mul(const Mat3& a, const Mat3& b) {
  Mat3 r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      r.m[i * 3 + j] = a.m[i * 3] * b.m[j] + a.m[i * 3 + 1] * b.m[3 + j] + a.m[i * 3 + 2] * b.m[6 + j];
  return r;
}

// Float inverse by cofactors, for matrices built per pixel.
__host__ __device__ __forceinline__ Mat3 mat3_inverse_float(const Mat3& a) {
  const float c0 = a.m[4] * a.m[8] - a.m[5] * a.m[7];
  const float c1 = a.m[5] * a.m[6] - a.m[3] * a.m[8];
  const float c2 = a.m[3] * a.m[7] - a.m[4] * a.m[6];
  const float r = 1.0f / (a.m[0] * c0 + a.m[1] * c1 + a.m[2] * c2);
  return Mat3{{c0 * r, (a.m[2] * a.m[7] - a.m[1] * a.m[8]) * r, (a.m[1] * a.m[5] - a.m[2] * a.m[4]) * r,
               c1 * r, (a.m[0] * a.m[8] - a.m[2] * a.m[6]) * r, (a.m[2] * a.m[3] - a.m[0] * a.m[5]) * r,
               c2 * r, (a.m[1] * a.m[6] - a.m[0] * a.m[7]) * r, (a.m[0] * a.m[4] - a.m[1] * a.m[3]) * r}};
}

// XYZ (Y = 1) of the white of a chromaticity record; y is kept off zero.
__host__ __device__ __forceinline__ void white_xyz(const float pri[8], float w[3]) {
  const float x = pri[6];
  const float y = pri[7];
  const float y_safe = fmaxf(y, 1e-10f);
  w[0] = x / y_safe;
  w[1] = 1.0f;
  w[2] = (1.0f - x - y) / y_safe;
}

// Von Kries adaptation in Bradford cone space between the whites of two
// chromaticity records: Bradford^-1 x diag(dst / src) x Bradford.
__host__ __device__ inline Mat3 bradford_adaptation(const float src_pri[8], const float dst_pri[8]) {
  const Mat3 bradford = mat3_transpose(Mat3{{COLOUR_TABLE_READ(CONE_RESP_MAT_BRADFORD)[0],
                                             COLOUR_TABLE_READ(CONE_RESP_MAT_BRADFORD)[1],
                                             COLOUR_TABLE_READ(CONE_RESP_MAT_BRADFORD)[2],
                                             COLOUR_TABLE_READ(CONE_RESP_MAT_BRADFORD)[3],
                                             COLOUR_TABLE_READ(CONE_RESP_MAT_BRADFORD)[4],
                                             COLOUR_TABLE_READ(CONE_RESP_MAT_BRADFORD)[5],
                                             COLOUR_TABLE_READ(CONE_RESP_MAT_BRADFORD)[6],
                                             COLOUR_TABLE_READ(CONE_RESP_MAT_BRADFORD)[7],
                                             COLOUR_TABLE_READ(CONE_RESP_MAT_BRADFORD)[8]}});
  float ws[3], wd[3], cs[3], cd[3];
  white_xyz(src_pri, ws);
  white_xyz(dst_pri, wd);
  mat3_mul_vec(bradford, ws, cs);
  mat3_mul_vec(bradford, wd, cd);
  Mat3 scaled = bradford;
  for (int i = 0; i < 3; ++i) {
    const float k = cd[i] / cs[i];
    scaled.m[i * 3] *= k;
    scaled.m[i * 3 + 1] *= k;
    scaled.m[i * 3 + 2] *= k;
  }
  return mat3_mul(mat3_inverse_float(bradford), scaled);
}

// RGB to XYZ matrix of a chromaticity record (the usual normalised primary
// matrix: primaries as XYZ columns scaled so that RGB 1 maps to the white).
__host__ __device__ inline Mat3 rgb_to_xyz_from_primaries(const float pri[8]) {
  Mat3 p{};
  for (int c = 0; c < 3; ++c) {
    const float x = pri[c * 2], y = pri[c * 2 + 1];
    p.m[c] = x / y;
    p.m[3 + c] = 1.0f;
    p.m[6 + c] = (1.0f - x - y) / y;
  }
  float w[3], s[3];
  white_xyz(pri, w);
  mat3_mul_vec(mat3_inverse_float(p), w, s);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) p.m[r * 3 + c] *= s[c];
  return p;
}

}  // namespace colour
