// The row pass of a 2-D blur: a 32-thread block walks its 32 rows, a thread
// a row, in tiles of 32 x 32 pixels it passes through shared memory.
#pragma once

#include <type_traits>

#include "pipeline/texture_kernels.cuh"

// The row pass of a 2-D blur for the 32 rows from y0 on, one thread of a
// 32-thread block a row. Pixels hold N channels: channel k of pixel (x, y)
// is read at in[(y * width + x) * inStride + k] and written at
// out[(y * width + x) * outStride + k]. Rows pass through shared tiles of
// 32 x 32 pixels (padded to 33 columns, so a thread's walk along its row
// and the block's loads along the rows of the tile avoid bank conflicts),
// which the block loads and stores a tile row at a time: global memory is
// read and written along its rows. The causal half goes to `out`, and the
// anti-causal half is added to it, as in the column pass.
//
// Each finished pixel goes to `store`, an epilogue at pixel i = y * width +
// x: store.fetch(i) loads what it reads there (Fetched), store.finish(v, f)
// works out from the pixel's N channels v what it writes (Finished), and
// store.write(i, o, d) writes it, anywhere: in its own planes, or in `out`
// itself at pixel i, where o points. The pass fetches for a batch of rows
// before it finishes the first, so their loads go out together, which the
// compiler, not knowing the planes apart, would not do across the writes.
// in and out must not overlap; neither may what `store` writes overlap `in`
// or `out`, unless it is `out` itself at pixel i.
//
// A whole tile, its 32 rows and columns in the frame (every tile but the
// last of a row where the width is not a multiple of 32, and those of the
// last block where the height is not), is straight code without a test a
// row: its epilogue's fetches go out with its own loads, and a thread steps
// its row's recursion through registers a few columns at a time, so the
// compiler overlaps one step's wait on shared memory with the steps before
// it. An edge tile walks its rows in loops and finishes half a tile's rows
// at a time, every one worked out and those in the frame written, so no
// row's arithmetic waits behind a test of its own; where it is short of
// columns, the recursion too is a loop. Either way a row's address is the
// row before's plus a row.
//
// Columns of its row a thread reads from the shared tile before it steps the
// first of them.
constexpr int kTileColumnsAhead = 8;
// Rows of an edge tile whose epilogue loads go out at once: half a tile.
constexpr int kEdgeRowsAhead = 16;
// Whether a whole tile's loads and its epilogue's fetches fit the registers
// at once: not in the code the compiler makes for sm_100 and later, which
// then spills them.
#if defined(__CUDA_ARCH__) && __CUDA_ARCH__ >= 1000
constexpr bool kRoomyRegisters = false;
#else
constexpr bool kRoomyRegisters = true;
#endif

// row(r) for a tile's rows: all 32 as straight code in a whole tile
// (kWhole), those of an edge tile in the frame (`rows` of them) in a loop.
template <bool kWhole, typename Row>
__device__ __forceinline__ void each_tile_row(int rows, const Row& row) {
  if (kWhole) {
    KALTHORNE_UNROLL
    for (int r = 0; r < 32; ++r) row(r);
  } else {
    for (int r = 0; r < rows; ++r) row(r);
  }
}

// Column t of a tile's rows from a plane, row r's pixel at p + r * rowStep.
template <int N, bool kWhole>
__device__ __forceinline__ void load_tile(float (&tile)[N][32][33], const float* __restrict__ p, size_t rowStep,
                                          int t, int rows) {
  each_tile_row<kWhole>(rows, [&](int r) {
    if (r > 0) p += rowStep;
    KALTHORNE_UNROLL
    for (int k = 0; k < N; ++k) tile[k][r][t] = p[k];
  });
}

// Column t of a tile's rows from two planes (xs from in, ys from out). Where
// the registers hold them (kHeld: a whole tile of one channel whose epilogue
// fetches nothing) their loads are all held in registers before the first
// is written to shared memory: the barrier between keeps the compiler from
// starting the writes, each waiting for its own load, before the last load
// is out, which costs a second round trip. Otherwise the compiler batches
// the loads itself.
template <int N, bool kWhole, bool kHeld>
__device__ __forceinline__ void load_tiles(float (&xs)[N][32][33], const float* __restrict__ in, size_t inRow,
                                           float (&ys)[N][32][33], const float* __restrict__ out, size_t outRow, int t,
                                           int rows) {
  if constexpr (!kHeld) {
    load_tile<N, kWhole>(xs, in, inRow, t, rows);
    load_tile<N, kWhole>(ys, out, outRow, t, rows);
  } else {
    float x[32], y[32];
    KALTHORNE_UNROLL
    for (int r = 0; r < 32; ++r) {
      if (r > 0) {
        in += inRow;
        out += outRow;
      }
      x[r] = *in;
      y[r] = *out;
    }
    __syncthreads();
    KALTHORNE_UNROLL
    for (int r = 0; r < 32; ++r) {
      xs[0][r][t] = x[r];
      ys[0][r][t] = y[r];
    }
  }
}

template <int N, bool kWhole>
__device__ __forceinline__ void store_tile(const float (&tile)[N][32][33], float* __restrict__ p, size_t rowStep,
                                           int t, int rows) {
  each_tile_row<kWhole>(rows, [&](int r) {
    if (r > 0) p += rowStep;
    KALTHORNE_UNROLL
    for (int k = 0; k < N; ++k) p[k] = tile[k][r][t];
  });
}

// The causal half along row t of a tile, its `columns` from the left.
template <int N>
__device__ __forceinline__ void forward_tile_row(const float (&xs)[N][32][33], float (&ys)[N][32][33], int t,
                                                 int columns, DericheForward (&forward)[N],
                                                 const DericheCoefficients& c) {
  if (columns == 32) {
    KALTHORNE_UNROLL
    for (int x0 = 0; x0 < 32; x0 += kTileColumnsAhead) {
      float x[kTileColumnsAhead][N];
      KALTHORNE_UNROLL
      for (int j = 0; j < kTileColumnsAhead; ++j)
        KALTHORNE_UNROLL
        for (int k = 0; k < N; ++k) x[j][k] = xs[k][t][x0 + j];
      KALTHORNE_UNROLL
      for (int j = 0; j < kTileColumnsAhead; ++j)
        KALTHORNE_UNROLL
        for (int k = 0; k < N; ++k) ys[k][t][x0 + j] = forward[k].step(x[j][k], c);
    }
  } else {
    for (int x = 0; x < columns; ++x)
      KALTHORNE_UNROLL
      for (int k = 0; k < N; ++k) ys[k][t][x] = forward[k].step(xs[k][t][x], c);
  }
}

// The anti-causal half along row t of a tile, from its column `columns` - 1
// back, added to the causal half in ys.
template <int N>
__device__ __forceinline__ void backward_tile_row(const float (&xs)[N][32][33], float (&ys)[N][32][33], int t,
                                                  int columns, DericheBackward (&backward)[N],
                                                  const DericheCoefficients& c) {
  if (columns == 32) {
    KALTHORNE_UNROLL
    for (int x0 = 31; x0 >= 0; x0 -= kTileColumnsAhead) {
      float x[kTileColumnsAhead][N], y[kTileColumnsAhead][N];
      KALTHORNE_UNROLL
      for (int j = 0; j < kTileColumnsAhead; ++j)
        KALTHORNE_UNROLL
        for (int k = 0; k < N; ++k) {
          x[j][k] = xs[k][t][x0 - j];
          y[j][k] = ys[k][t][x0 - j];
        }
      KALTHORNE_UNROLL
      for (int j = 0; j < kTileColumnsAhead; ++j)
        KALTHORNE_UNROLL
        for (int k = 0; k < N; ++k) ys[k][t][x0 - j] = y[j][k] + backward[k].step(x[j][k], c);
    }
  } else {
    for (int x = columns - 1; x >= 0; --x)
      KALTHORNE_UNROLL
      for (int k = 0; k < N; ++k) ys[k][t][x] = ys[k][t][x] + backward[k].step(xs[k][t][x], c);
  }
}

// What the epilogue reads at column t of rows r0 to r0 + kRows - 1 of a
// tile (row r0's pixel at i), those past the frame's last left out.
template <int kRows, bool kWhole, typename Store>
__device__ __forceinline__ void fetch_rows(typename Store::Fetched (&f)[kRows], const Store& store, size_t i,
                                           size_t width, int r0, int rows) {
  KALTHORNE_UNROLL
  for (int r = 0; r < kRows; ++r)
    if (kWhole || r0 + r < rows) {
      if (r > 0) i += width;
      f[r] = store.fetch(i);
    }
}

// Those rows' finished pixels, with what fetch_rows read for them: every
// row's worked out, those in the frame written.
template <int N, int kRows, bool kWhole, typename Store>
__device__ __forceinline__ void finish_rows(const float (&ys)[N][32][33], const Store& store,
                                            const typename Store::Fetched (&f)[kRows], size_t i, size_t width,
                                            float* __restrict__ o, size_t outRow, int t, int r0, int rows) {
  KALTHORNE_UNROLL
  for (int r = 0; r < kRows; ++r) {
    float v[N];
    KALTHORNE_UNROLL
    for (int k = 0; k < N; ++k) v[k] = ys[k][r0 + r][t];
    const typename Store::Finished d = store.finish(v, f[r]);
    if (kWhole || r0 + r < rows) {
      if (r > 0) {
        i += width;
        o += outRow;
      }
      store.write(i, o, d);
    }
  }
}

template <int N, bool kWhole>
__device__ __forceinline__ void forward_tile(float (&xs)[N][32][33], float (&ys)[N][32][33],
                                             const float* __restrict__ in, size_t inRow, float* __restrict__ out,
                                             size_t outRow, int t, int rows, int columns,
                                             DericheForward (&forward)[N], const DericheCoefficients& c) {
  const bool column = kWhole || t < columns;
  if (column) load_tile<N, kWhole>(xs, in, inRow, t, rows);
  __syncthreads();
  if (kWhole || t < rows) forward_tile_row<N>(xs, ys, t, kWhole ? 32 : columns, forward, c);
  __syncthreads();
  if (column) store_tile<N, kWhole>(ys, out, outRow, t, rows);
}

template <int N, bool kWhole, typename Store>
__device__ __forceinline__ void backward_tile(float (&xs)[N][32][33], float (&ys)[N][32][33],
                                              const float* __restrict__ in, size_t inRow,
                                              float* __restrict__ out, size_t outRow, const Store& store,
                                              size_t pixel, size_t width, int t, int rows, int columns,
                                              DericheBackward (&backward)[N], const DericheCoefficients& c) {
  const bool column = kWhole || t < columns;
  // A whole tile fetches what its epilogue reads first, ahead of its own
  // loads: none of them waits for the recursion, and all go out together.
  // An edge tile, where the registers hold less, fetches half a tile at a
  // time after the recursion.
  typename Store::Fetched f[kWhole ? 32 : kEdgeRowsAhead] = {};
  if constexpr (kWhole) fetch_rows<32, true>(f, store, pixel, width, 0, rows);
  constexpr bool kHeld = kWhole && N == 1 && (std::is_empty<typename Store::Fetched>::value || kRoomyRegisters);
  if (column) load_tiles<N, kWhole, kHeld>(xs, in, inRow, ys, out, outRow, t, rows);
  __syncthreads();
  if (kWhole || t < rows) backward_tile_row<N>(xs, ys, t, kWhole ? 32 : columns, backward, c);
  __syncthreads();
  if constexpr (kWhole) {
    finish_rows<N, 32, true>(ys, store, f, pixel, width, out, outRow, t, 0, rows);
  } else if (column) {
    for (int r0 = 0; r0 < rows; r0 += kEdgeRowsAhead) {
      fetch_rows<kEdgeRowsAhead, false>(f, store, pixel + size_t(r0) * width, width, r0, rows);
      finish_rows<N, kEdgeRowsAhead, false>(ys, store, f, pixel + size_t(r0) * width, width,
                                             out + size_t(r0) * outRow, outRow, t, r0, rows);
    }
  }
  // The next tile's loads overwrite ys.
  __syncthreads();
}

template <int N, typename Store>
__device__ inline void deriche_rows_to(float (&xs)[N][32][33], float (&ys)[N][32][33],
                                       const float* __restrict__ in, int inStride, float* __restrict__ out,
                                       int outStride, const Store& store, int width, int height, int y0,
                                       const DericheCoefficients& c) {
  const int t = int(threadIdx.x);
  const bool mine = y0 + t < height;
  const int rows = height - y0 < 32 ? height - y0 : 32;
  // The offset of pixel (y0 + r, x) of a plane of `stride` floats a pixel.
  const auto at = [&](int r, int x, int stride) {
    return (size_t(y0 + r) * size_t(width) + size_t(x)) * size_t(stride);
  };
  const size_t inRow = size_t(width) * size_t(inStride), outRow = size_t(width) * size_t(outStride);
  // A tile is whole where 32 columns and rows are left from its corner.
  const auto whole = [&](int x0) { return (width - x0 < height - y0 ? width - x0 : height - y0) >= 32; };

  DericheForward forward[N];
  KALTHORNE_UNROLL
  for (int k = 0; k < N; ++k) forward[k] = DericheForward::start(mine ? in[at(t, 0, inStride) + k] : 0.0f, c);
  for (int x0 = 0; x0 < width; x0 += 32) {
    const int columns = width - x0 < 32 ? width - x0 : 32;
    const int x = x0 + (t < columns ? t : 0);  // an idle thread's pointers stay in the frame
    const float* tileIn = in + at(0, x, inStride);
    float* tileOut = out + at(0, x, outStride);
    if (whole(x0))
      forward_tile<N, true>(xs, ys, tileIn, inRow, tileOut, outRow, t, rows, columns, forward, c);
    else
      forward_tile<N, false>(xs, ys, tileIn, inRow, tileOut, outRow, t, rows, columns, forward, c);
  }

  DericheBackward backward[N];
  KALTHORNE_UNROLL
  for (int k = 0; k < N; ++k)
    backward[k] = DericheBackward::start(mine ? in[at(t, width - 1, inStride) + k] : 0.0f, c);
  for (int x0 = (width - 1) / 32 * 32; x0 >= 0; x0 -= 32) {
    const int columns = width - x0 < 32 ? width - x0 : 32;
    const int x = x0 + (t < columns ? t : 0);
    const float* tileIn = in + at(0, x, inStride);
    float* tileOut = out + at(0, x, outStride);
    const size_t pixel = at(0, x, 1);
    if (whole(x0))
      backward_tile<N, true>(xs, ys, tileIn, inRow, tileOut, outRow, store, pixel, size_t(width), t, rows, columns,
                             backward, c);
    else
      backward_tile<N, false>(xs, ys, tileIn, inRow, tileOut, outRow, store, pixel, size_t(width), t, rows, columns,
                              backward, c);
  }
}

// The blurred pixels of the row pass in `out`, over its causal half.
template <int N>
struct IntoOut {
  struct Fetched {};
  struct Finished {
    float v[N];
  };
  __device__ __forceinline__ Fetched fetch(size_t) const { return {}; }
  __device__ __forceinline__ Finished finish(const float (&v)[N], Fetched) const {
    Finished d;
    KALTHORNE_UNROLL
    for (int k = 0; k < N; ++k) d.v[k] = v[k];
    return d;
  }
  __device__ __forceinline__ void write(size_t, float* __restrict__ o, const Finished& d) const {
    KALTHORNE_UNROLL
    for (int k = 0; k < N; ++k) o[k] = d.v[k];
  }
};

template <int N>
__device__ inline void deriche_rows(float (&xs)[N][32][33], float (&ys)[N][32][33],
                                    const float* __restrict__ in, int inStride, float* __restrict__ out,
                                    int outStride, int width, int height, int y0,
                                    const DericheCoefficients& c) {
  deriche_rows_to<N>(xs, ys, in, inStride, out, outStride, IntoOut<N>{}, width, height, y0, c);
}
