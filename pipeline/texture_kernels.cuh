// Column pass of the recursive Gaussian (Deriche, second order, clamp-to-edge
// start values), callable from host tests and from the column kernel.
#pragma once

#include "cudasim/cuda_compat.h"

#if defined(__CUDACC__)
#define KALTHORNE_UNROLL _Pragma("unroll")
#define KALTHORNE_UNROLL4 _Pragma("unroll 4")
#define KALTHORNE_NO_UNROLL _Pragma("unroll 1")
#else
#define KALTHORNE_UNROLL
#define KALTHORNE_UNROLL4
#define KALTHORNE_NO_UNROLL
#endif

struct DericheCoefficients {
  float a0, a1, a2, a3, b1, b2, coefp, coefn;
};

// Single-precision coefficients; sigma below 0.1 blurs as 0.1.
__host__ __device__ inline DericheCoefficients deriche_coefficients(float sigma) {
  if (sigma < 0.1f) sigma = 0.1f;
  const float alpha = 1.695f / sigma;
  const float e1 = expf(-alpha);
  const float e2 = expf(-2.0f * alpha);
  const float k = (1.0f - e1) * (1.0f - e1) / (1.0f + 2.0f * alpha * e1 - e2);
  DericheCoefficients c;
  c.a0 = k;
  c.a1 = k * e1 * (alpha - 1.0f);
  c.a2 = k * e1 * (alpha + 1.0f);
  c.a3 = -k * e2;
  c.b1 = -2.0f * e1;
  c.b2 = e2;
  c.coefp = (c.a0 + c.a1) / (1.0f + c.b1 + c.b2);
  c.coefn = (c.a2 + c.a3) / (1.0f + c.b1 + c.b2);
  return c;
}

// One step of the recursion, a * x + b * xp - c * yp - d * yb. Left to
// itself the device compiler fuses such a sum into multiply-adds as the code
// around it suggests, differently from one kernel to the next; spelled out,
// every kernel blurs alike, and as the column blur always has on the device.
// The host computes it term by term, but for the build that rounds like the
// device.
__host__ __device__ __forceinline__ float deriche_step(float a, float x, float b, float xp, float c, float yp,
                                                       float d, float yb) {
#if defined(__CUDA_ARCH__) || defined(KALTHORNE_DEVICE_ROUNDING)
  return __fmaf_rn(-d, yb, __fmaf_rn(-c, yp, __fmaf_rn(b, xp, __fmul_rn(a, x))));
#else
  return a * x + b * xp - c * yp - d * yb;
#endif
}

// The causal and the anti-causal half of the recursion along one line (a
// column, or a row): each step is one call, so every kernel that walks a
// line runs the same operations in the same order.
struct DericheForward {
  float xp, yp, yb;
  // The state before the first sample: the line extended by its first value.
  __host__ __device__ __forceinline__ static DericheForward start(float first, const DericheCoefficients& c) {
    const float y = c.coefp * first;
    return {first, y, y};
  }
  // The causal output at the next sample x.
  __host__ __device__ __forceinline__ float step(float x, const DericheCoefficients& c) {
    const float y = deriche_step(c.a0, x, c.a1, xp, c.b1, yp, c.b2, yb);
    xp = x;
    yb = yp;
    yp = y;
    return y;
  }
};

struct DericheBackward {
  float xn, xa, yn, ya;
  // The state after the last sample: the line extended by its last value.
  __host__ __device__ __forceinline__ static DericheBackward start(float last, const DericheCoefficients& c) {
    const float y = c.coefn * last;
    return {last, last, y, y};
  }
  // The anti-causal output at the sample x, walking back from the end.
  __host__ __device__ __forceinline__ float step(float x, const DericheCoefficients& c) {
    const float y = deriche_step(c.a3, xa, c.a2, xn, c.b1, yn, c.b2, ya);
    xa = xn;
    xn = x;
    ya = yn;
    yn = y;
    return y;
  }
};

// One texture band into the band sum: the sum plus the band's gain times the
// level's source minus its blur. Every pass that adds a band calls this, so
// the device compiles the one expression alike wherever it runs.
__host__ __device__ __forceinline__ float pitch_sharp_value(float sum, float source, float blurred, float gain) {
  return sum + gain * (source - blurred);
}

// The bands folded back into L': their sum plus the last level's blur.
__host__ __device__ __forceinline__ float pitch_fold_value(float sum, float lastBlurred) { return sum + lastBlurred; }

// Rows of a column a thread loads before it uses the first of them: each
// row's recursion waits on the one before, so the loads are issued ahead in
// groups and their memory round trips overlap.
constexpr int kRowsAhead = 8;

// Blurs N neighbouring channels of a column: channel k of row r is read at
// in[r * inStep + k] and written at out[r * outStep + k]. Each channel runs
// the one-channel recursion, the same operations in the same order, so N
// channels at once give exactly the N one-channel results. in and out must
// not overlap.
// The samples of a line read from a plane: channel k of row r at
// p[r * step + k]. A source of samples loads a value (`load`) and turns it
// into the sample (`sample`) apart, so a batch's loads all go out before
// the first of them is waited for.
struct PlaneSamples {
  const float* __restrict__ p;
  size_t step;
  __host__ __device__ __forceinline__ float load(size_t row, int k) const { return p[row * step + k]; }
  __host__ __device__ __forceinline__ static float sample(float loaded) { return loaded; }
  // Whether `sample` computes (a source of samples says): the column pass
  // then loads the causal half of a backward batch a batch early.
  static constexpr bool kConverted = false;
};

// One batch of rows of the column recursion, forward from `row` or back
// from it; a full batch (kFull, kRowsAhead rows) is straight code, whose
// loads the compiler issues together ahead of the first store.
template <int N, bool kFull, typename Samples>
__host__ __device__ __forceinline__ void deriche_forward_batch(const Samples& in, float* __restrict__ out,
                                                               size_t outStep, int row, int available,
                                                               DericheForward (&forward)[N],
                                                               const DericheCoefficients& c) {
  const int rows = kFull ? kRowsAhead : available;
  float x[kRowsAhead][N];
  KALTHORNE_UNROLL
  for (int r = 0; r < kRowsAhead; ++r)
    KALTHORNE_UNROLL
    for (int k = 0; k < N; ++k) x[r][k] = r < rows ? in.load(size_t(row + r), k) : 0.0f;
  KALTHORNE_UNROLL
  for (int r = 0; r < kRowsAhead; ++r)
    KALTHORNE_UNROLL
    for (int k = 0; k < N; ++k) x[r][k] = in.sample(x[r][k]);
  KALTHORNE_UNROLL
  for (int r = 0; r < kRowsAhead; ++r)
    KALTHORNE_UNROLL
    for (int k = 0; k < N; ++k)
      if (r < rows) out[size_t(row + r) * outStep + k] = forward[k].step(x[r][k], c);
}

// The causal half (the forward half's output) of a batch back from `row`,
// to which the backward batch adds its own.
template <int N, bool kFull>
__host__ __device__ __forceinline__ void deriche_causal_rows(const float* __restrict__ out, size_t outStep, int row,
                                                             int available, float (&y)[kRowsAhead][N]) {
  const int rows = kFull ? kRowsAhead : available;
  KALTHORNE_UNROLL
  for (int r = 0; r < kRowsAhead; ++r)
    KALTHORNE_UNROLL
    for (int k = 0; k < N; ++k) y[r][k] = r < rows ? out[size_t(row - r) * outStep + k] : 0.0f;
}

template <int N, bool kFull, typename Samples>
__host__ __device__ __forceinline__ void deriche_backward_batch(const Samples& in, float* __restrict__ out,
                                                                size_t outStep, int row, int available,
                                                                DericheBackward (&backward)[N],
                                                                const float (&y)[kRowsAhead][N],
                                                                const DericheCoefficients& c) {
  const int rows = kFull ? kRowsAhead : available;
  float x[kRowsAhead][N];
  KALTHORNE_UNROLL
  for (int r = 0; r < kRowsAhead; ++r)
    KALTHORNE_UNROLL
    for (int k = 0; k < N; ++k) x[r][k] = r < rows ? in.load(size_t(row - r), k) : 0.0f;
  KALTHORNE_UNROLL
  for (int r = 0; r < kRowsAhead; ++r)
    KALTHORNE_UNROLL
    for (int k = 0; k < N; ++k) x[r][k] = in.sample(x[r][k]);
  KALTHORNE_UNROLL
  for (int r = 0; r < kRowsAhead; ++r)
    KALTHORNE_UNROLL
    for (int k = 0; k < N; ++k)
      if (r < rows) out[size_t(row - r) * outStep + k] = y[r][k] + backward[k].step(x[r][k], c);
}

// The column recursion of N channels whose samples `in` gives: a pass may
// compute its samples from other planes as it loads them (a prologue), the
// blur itself unchanged. The samples must not come from `out`.
template <int N, typename Samples>
__host__ __device__ inline void deriche_columns_of(const Samples& in, float* __restrict__ out, size_t outStep,
                                                   int height, const DericheCoefficients& c) {
  if (height < 1) return;
  DericheForward forward[N];
  KALTHORNE_UNROLL
  for (int k = 0; k < N; ++k) forward[k] = DericheForward::start(in.sample(in.load(0, k)), c);
  int row = 0;
  for (; row < height; row += kRowsAhead) {
    if (height - row >= kRowsAhead)
      deriche_forward_batch<N, true>(in, out, outStep, row, kRowsAhead, forward, c);
    else
      deriche_forward_batch<N, false>(in, out, outStep, row, height - row, forward, c);
  }
  DericheBackward backward[N];
  KALTHORNE_UNROLL
  for (int k = 0; k < N; ++k) backward[k] = DericheBackward::start(in.sample(in.load(size_t(height - 1), k)), c);
  // A full batch's causal half is loaded with its samples or, where the
  // samples are converted (Samples::kConverted), at the end of the batch
  // before, behind its stores (other rows): loaded with the samples, the
  // compiler would start the first conversion before the last of the
  // causal half's loads were out, and wait for those a second time.
  float y[kRowsAhead][N];
  if (Samples::kConverted && height >= kRowsAhead)
    deriche_causal_rows<N, true>(out, outStep, height - 1, kRowsAhead, y);
  for (row = height - 1; row >= 0; row -= kRowsAhead) {
    if (row + 1 >= kRowsAhead) {
      if (!Samples::kConverted) deriche_causal_rows<N, true>(out, outStep, row, kRowsAhead, y);
      deriche_backward_batch<N, true>(in, out, outStep, row, kRowsAhead, backward, y, c);
      if (Samples::kConverted && row + 1 >= 2 * kRowsAhead)
        deriche_causal_rows<N, true>(out, outStep, row - kRowsAhead, kRowsAhead, y);
    } else {
      deriche_causal_rows<N, false>(out, outStep, row, row + 1, y);
      deriche_backward_batch<N, false>(in, out, outStep, row, row + 1, backward, y, c);
    }
  }
}

template <int N>
__host__ __device__ inline void deriche_columns(const float* __restrict__ in, size_t inStep,
                                                float* __restrict__ out, size_t outStep, int height,
                                                const DericheCoefficients& c) {
  deriche_columns_of<N>(PlaneSamples{in, inStep}, out, outStep, height, c);
}

// One channel: the column that starts at `in` (stepping inStep floats) into
// the column that starts at `out` (stepping outStep floats).
__host__ __device__ inline void deriche_column(const float* in, size_t inStep, float* out, size_t outStep,
                                               int height, const DericheCoefficients& c) {
  deriche_columns<1>(in, inStep, out, outStep, height, c);
}
