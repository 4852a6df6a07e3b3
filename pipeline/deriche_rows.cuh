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
// Every tile is straight code without a test a row: its epilogue's fetches
// go out with its own loads, and a thread steps its row's recursion through
// registers a few columns at a time, so the compiler overlaps one step's
// wait on shared memory with the steps before it. A whole tile has its 32
// rows and columns in the frame. An edge tile (those of the last block
// where the height is not a multiple of 32, and the last of a row in each
// sweep where the width is not) is the same code over 32 rows and columns:
// a row past the frame's last loads that row again, a column past its edge
// one in the frame, and only the pixels in the frame are stored. The
// forward sweep's tiles start at column 0, the backward sweep's end at the
// last column, so an edge tile's extra columns come after the frame's in
// the recursion's own order, where its last state is not used. A row's
// address is the row before's plus a row (or, past the frame, the same).
//
// Columns of its row a thread reads from the shared tile before it steps the
// first of them.
constexpr int kTileColumnsAhead = 8;
// Whether a whole tile's loads and its epilogue's fetches fit the registers
// at once: not in the code the compiler makes for sm_100 and later, which
// then spills them.
#if defined(__CUDA_ARCH__) && __CUDA_ARCH__ >= 1000
constexpr bool kRoomyRegisters = false;
#else
constexpr bool kRoomyRegisters = true;
#endif
// Whether an edge tile fits the registers as straight code, its epilogue's
// fetches beside its own loads, as a whole tile does: in the code the
// compiler makes for sm_75 to sm_89. Later ones would spill it; there an
// edge tile loads its rows in a loop and fetches after the recursion, half
// a tile at a time.
#if defined(__CUDA_ARCH__) && __CUDA_ARCH__ >= 900
constexpr bool kRoomyEdges = false;
#else
constexpr bool kRoomyEdges = true;
#endif
// Rows of an edge tile whose epilogue fetches go out at once where they
// follow the recursion: half a tile.
constexpr int kEdgeRowsAhead = 16;

// row(r, inFrame) for each of a tile's 32 rows from row 0, straight code;
// inFrame: row r is in the frame (in an edge tile, its first `rows`).
template <bool kWhole, typename Row>
__device__ __forceinline__ void each_tile_row(int rows, const Row& row) {
  KALTHORNE_UNROLL
  for (int r = 0; r < 32; ++r) row(r, kWhole || r < rows);
}

// The loads of kRows rows of a tile, `rows` of them in the frame (at least
// one), straight code: load(r, move) for each row r, where the pointers the
// loads read through move `move` rows (+1, -1 or 0) from the row loaded
// before; first, they point at row first_loaded_row. A whole tile loads
// from row 0 down; an edge tile from its last row in the frame up, those
// past it loading that row again. Begun with row 0's load, as a whole tile
// is, the compiler would start both with that load ahead of the test
// between them and store it to shared memory, waiting for it, before
// either's other loads go out.
template <bool kWhole, int kRows = 32>
__device__ __forceinline__ int first_loaded_row(int rows) {
  return kWhole ? 0 : (rows < kRows ? rows : kRows) - 1;
}
template <bool kWhole, int kRows = 32, typename Load>
__device__ __forceinline__ void load_tile_rows(int rows, const Load& load) {
  KALTHORNE_UNROLL
  for (int k = 0; k < kRows; ++k) {
    const int r = kWhole ? k : kRows - 1 - k;
    load(r, kWhole ? (r > 0 ? 1 : 0) : (r < kRows - 1 && r + 1 < rows ? -1 : 0));
  }
}

// A pointer (or offset) p moved `move` rows of rowStep.
template <typename P>
__device__ __forceinline__ P moved(P p, int move, size_t rowStep) {
  if (move > 0) p += rowStep;
  if (move < 0) p -= rowStep;
  return p;
}

// Column t of a tile's rows from a plane, row r's pixel at p + r * rowStep
// (those past the frame's last at its last).
template <int N, bool kWhole>
__device__ __forceinline__ void load_tile(float (&tile)[N][32][33], const float* __restrict__ p, size_t rowStep,
                                          int t, int rows) {
  p += size_t(first_loaded_row<kWhole>(rows)) * rowStep;
  const auto load = [&](int r, int move) {
    p = moved(p, move, rowStep);
    KALTHORNE_UNROLL
    for (int k = 0; k < N; ++k) tile[k][r][t] = p[k];
  };
  if (kWhole || kRoomyEdges) {
    load_tile_rows<kWhole>(rows, load);
  } else {
    // A loop where straight code would spill (kRoomyEdges).
    KALTHORNE_NO_UNROLL
    for (int r = 31; r >= 0; --r) load(r, r < 31 && r + 1 < rows ? -1 : 0);
  }
}

// Column t of a tile's rows from two planes (xs from in, ys from out). Where
// the registers hold them (kHeld: one channel whose epilogue fetches
// nothing, or fits) their loads are all held in registers before the first
// is written to shared memory: the barrier between keeps the compiler from
// starting the writes, each waiting for its own load, before the last load
// is out, which costs a second round trip. Otherwise the compiler batches
// the loads itself. alongside() issues other loads with them: after the
// held ones, before the barrier; otherwise first.
template <int N, bool kWhole, bool kHeld, typename Alongside>
__device__ __forceinline__ void load_tiles(float (&xs)[N][32][33], const float* __restrict__ in, size_t inRow,
                                           float (&ys)[N][32][33], const float* __restrict__ out, size_t outRow, int t,
                                           int rows, const Alongside& alongside) {
  if constexpr (!kHeld) {
    alongside();
    load_tile<N, kWhole>(xs, in, inRow, t, rows);
    load_tile<N, kWhole>(ys, out, outRow, t, rows);
  } else {
    float x[32], y[32];
    in += size_t(first_loaded_row<kWhole>(rows)) * inRow;
    out += size_t(first_loaded_row<kWhole>(rows)) * outRow;
    load_tile_rows<kWhole>(rows, [&](int r, int move) {
      in = moved(in, move, inRow);
      out = moved(out, move, outRow);
      x[r] = *in;
      y[r] = *out;
    });
    alongside();
    __syncthreads();
    KALTHORNE_UNROLL
    for (int r = 0; r < 32; ++r) {
      xs[0][r][t] = x[r];
      ys[0][r][t] = y[r];
    }
  }
}

// Column t of a tile's rows in the frame to a plane.
template <int N, bool kWhole>
__device__ __forceinline__ void store_tile(const float (&tile)[N][32][33], float* __restrict__ p, size_t rowStep,
                                           int t, int rows) {
  each_tile_row<kWhole>(rows, [&](int r, bool inFrame) {
    if (!inFrame) return;
    if (r > 0) p += rowStep;
    KALTHORNE_UNROLL
    for (int k = 0; k < N; ++k) p[k] = tile[k][r][t];
  });
}

// The causal half along row t of a tile.
template <int N>
__device__ __forceinline__ void forward_tile_row(const float (&xs)[N][32][33], float (&ys)[N][32][33], int t,
                                                 DericheForward (&forward)[N], const DericheCoefficients& c) {
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
}

// The anti-causal half along row t of a tile, from its last column back,
// added to the causal half in ys.
template <int N>
__device__ __forceinline__ void backward_tile_row(const float (&xs)[N][32][33], float (&ys)[N][32][33], int t,
                                                  DericheBackward (&backward)[N], const DericheCoefficients& c) {
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
}

// What the epilogue reads at column t of kRows rows of a tile (the first's
// pixel at i, `rows` of them in the frame; those past it read its last
// again).
template <bool kWhole, int kRows, typename Store>
__device__ __forceinline__ void fetch_rows(typename Store::Fetched (&f)[kRows], const Store& store, size_t i,
                                           size_t width, int rows) {
  i += size_t(first_loaded_row<kWhole, kRows>(rows)) * width;
  load_tile_rows<kWhole, kRows>(rows, [&](int r, int move) {
    i = moved(i, move, width);
    f[r] = store.fetch(i);
  });
}

// The finished pixels of kRows rows of a tile from row r0 (its pixel at i),
// with what fetch_rows read for them: every row's worked out, those in the
// frame (its first `rows`) written.
template <int N, bool kWhole, int kRows, typename Store>
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

// column: the thread's column of the tile is in the frame.
template <int N, bool kWhole>
__device__ __forceinline__ void forward_tile(float (&xs)[N][32][33], float (&ys)[N][32][33],
                                             const float* __restrict__ in, size_t inRow, float* __restrict__ out,
                                             size_t outRow, int t, int rows, bool column,
                                             DericheForward (&forward)[N], const DericheCoefficients& c) {
  load_tile<N, kWhole>(xs, in, inRow, t, rows);
  __syncthreads();
  forward_tile_row<N>(xs, ys, t, forward, c);
  __syncthreads();
  if (kWhole || column) store_tile<N, kWhole>(ys, out, outRow, t, rows);
}

template <int N, bool kWhole, typename Store>
__device__ __forceinline__ void backward_tile(float (&xs)[N][32][33], float (&ys)[N][32][33],
                                              const float* __restrict__ in, size_t inRow,
                                              float* __restrict__ out, size_t outRow, const Store& store,
                                              size_t pixel, size_t width, int t, int rows, bool column,
                                              DericheBackward (&backward)[N], const DericheCoefficients& c) {
  // A tile fetches what its epilogue reads with its own loads: none of them
  // waits for the recursion, and all go out together. Where the registers
  // hold the loads, the fetches follow them: ahead of them, the compiler
  // would start the epilogue's arithmetic on the first fetches, waiting for
  // them, before the last loads went out. An edge tile where the registers
  // hold less (kRoomyEdges false) fetches half a tile at a time after the
  // recursion.
  constexpr bool kAhead = kWhole || kRoomyEdges;
  typename Store::Fetched f[kAhead ? 32 : kEdgeRowsAhead];
  constexpr bool kHeld = N == 1 && (std::is_empty<typename Store::Fetched>::value || kRoomyRegisters) && kAhead;
  load_tiles<N, kWhole, kHeld>(xs, in, inRow, ys, out, outRow, t, rows, [&] {
    if constexpr (kAhead) fetch_rows<kWhole, 32>(f, store, pixel, width, rows);
  });
  __syncthreads();
  backward_tile_row<N>(xs, ys, t, backward, c);
  __syncthreads();
  if constexpr (kAhead) {
    if (kWhole || column) finish_rows<N, kWhole, 32>(ys, store, f, pixel, width, out, outRow, t, 0, rows);
  } else if (column) {
    KALTHORNE_NO_UNROLL
    for (int r0 = 0; r0 < rows; r0 += kEdgeRowsAhead) {
      fetch_rows<false, kEdgeRowsAhead>(f, store, pixel + size_t(r0) * width, width, rows - r0);
      finish_rows<N, false, kEdgeRowsAhead>(ys, store, f, pixel + size_t(r0) * width, width,
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
  // A tile is whole where 32 rows, and 32 columns in the sweep's direction
  // (`ahead`), are left from its corner.
  const auto whole = [&](int ahead) { return (ahead < height - y0 ? ahead : height - y0) >= 32; };

  DericheForward forward[N];
  KALTHORNE_UNROLL
  for (int k = 0; k < N; ++k) forward[k] = DericheForward::start(mine ? in[at(t, 0, inStride) + k] : 0.0f, c);
  for (int x0 = 0; x0 < width; x0 += 32) {
    const bool column = x0 + t < width;
    const int x = column ? x0 + t : x0;  // past the frame's edge, a column in it
    const float* tileIn = in + at(0, x, inStride);
    float* tileOut = out + at(0, x, outStride);
    if (whole(width - x0))
      forward_tile<N, true>(xs, ys, tileIn, inRow, tileOut, outRow, t, rows, column, forward, c);
    else
      forward_tile<N, false>(xs, ys, tileIn, inRow, tileOut, outRow, t, rows, column, forward, c);
  }
  // Where the width is not a multiple of 32 the backward sweep's tiles
  // read causal halves other threads stored.
  __syncthreads();

  DericheBackward backward[N];
  KALTHORNE_UNROLL
  for (int k = 0; k < N; ++k)
    backward[k] = DericheBackward::start(mine ? in[at(t, width - 1, inStride) + k] : 0.0f, c);
  for (int x1 = width; x1 > 0; x1 -= 32) {
    const int x0 = x1 - 32;
    const bool column = x0 + t >= 0;
    const int x = column ? x0 + t : 0;
    const float* tileIn = in + at(0, x, inStride);
    float* tileOut = out + at(0, x, outStride);
    const size_t pixel = at(0, x, 1);
    if (whole(x1))
      backward_tile<N, true>(xs, ys, tileIn, inRow, tileOut, outRow, store, pixel, size_t(width), t, rows, column,
                             backward, c);
    else
      backward_tile<N, false>(xs, ys, tileIn, inRow, tileOut, outRow, store, pixel, size_t(width), t, rows, column,
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
