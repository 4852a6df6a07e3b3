// Frames at the launch and index limits of the device: a single row or
// column longer than a grid may be tall through every road, grids that stop
// short of the frame's rows, and pixel indices past 2^31 elements computed by
// the kernels themselves (each called for one far pixel, or one far column,
// of a frame too large to allocate, its buffers placed so that exactly that
// pixel's or column's elements are real memory).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "device_buffer.h"
#include "entry_harness.h"
#include "frame_roads.h"
#include "pipeline/colour_lab.h"
#include "pipeline/film_kernel_args.h"
#include "pipeline/film_kernels.h"
#include "pipeline/gamut_lab_kernels.h"
#include "pipeline/halation.h"
#include "pipeline/launch_shapes.h"
#include "pipeline/pixel_kernels.h"
#include "pipeline/texture_kernels.h"

namespace {

// 70,000 rows need more than 65,535 blocks in a one-row-per-block grid.
class EveryRoad : public ::testing::TestWithParam<std::string> {};

TEST_P(EveryRoad, OneColumnAndOneRowFramesOfSeventyThousandPixels) {
  for (const auto& size : {std::pair<int, int>{1, 70000}, std::pair<int, int>{70000, 1}}) {
    SCOPED_TRACE(::testing::Message() << size.first << "x" << size.second);
    const TextureOptionsStruct o = frame_roads::road_record(GetParam(), size.first, size.second, 4);
    const FrameRun r = run_frame(o, frame_roads::source_frame(size.first, size.second, 4));
    ASSERT_TRUE(r.ok);
    for (const auto& l : cudasim::launch_trace()) ASSERT_LE(l.grid.y, 65535u) << l.kernel;
    for (size_t i = 0; i < r.out.size(); ++i) ASSERT_TRUE(std::isfinite(r.out[i])) << "element " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(FrameLimits, EveryRoad, ::testing::ValuesIn(frame_roads::road_names()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// The grids of the largest frame a record can describe (2^31 - 1 pixels
// each way) stay within the device's limits, for every block shape: the
// stand-in refuses a launch past them as the device does. Each grid is
// launched over an empty frame and dropped before it runs.
TEST(FrameLimits, TheLargestFramesGridsAreLaunchable) {
  const struct {
    const char* shape;
    dim3 grid, block;
  } shapes[] = {{"pixel", launch_shape::pixel_grid(INT_MAX, INT_MAX), launch_shape::pixel_block()},
                {"film", film_shape::heavy_grid(INT_MAX, INT_MAX), film_shape::heavy_block()},
                {"column", launch_shape::column_grid(INT_MAX), launch_shape::column_block()}};
  for (const auto& s : shapes) {
    cudasim::reset();
    CUDA_LAUNCH(exposure_linear_gamma, s.grid, s.block, nullptr, 0, 0, 1.0f, 4);
    EXPECT_EQ(cudaGetLastError(), cudaSuccess) << s.shape;
    EXPECT_TRUE(cudasim::launch_trace().back().ran) << s.shape;
  }
  cudasim::reset();
}

// A grid of one block row covers every row of a taller frame: the result
// equals the full grid's.
TEST(FrameLimits, GridsShorterThanTheFrameCoverEveryRow) {
  const int W = 40, H = 101;
  std::vector<float> frame(size_t(W) * H * 4);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = 0.001f * float(i % 997);
  const struct {
    const char* what;
    std::function<void(dim3 grid, float* a, float* b)> launch;
    dim3 full;
  } cases[] = {
      {"pixel", [&](dim3 g, float* a, float*) {
         CUDA_LAUNCH(exposure_linear_gamma, g, launch_shape::pixel_block(), a, W, H, 0.7f, 4);
       }, launch_shape::pixel_grid(W, H)},
      {"pixel, two frames", [&](dim3 g, float* a, float* b) {
         CUDA_LAUNCH(exposure_linear_gamma_in_out, g, launch_shape::pixel_block(), b, a, W, H, 0.5f, 4);
       }, launch_shape::pixel_grid(W, H)},
      {"pixel, RGB plane", [&](dim3 g, float* a, float* b) {
         CUDA_LAUNCH(halation_init, g, launch_shape::pixel_block(), a, b, W, H, 4, 11, kExposureLinear, 0.7f);
       }, launch_shape::pixel_grid(W, H)},
  };
  for (const auto& c : cases) {
    std::vector<float> results[2];
    for (int capped = 0; capped < 2; ++capped) {
      cudasim::reset();
      DeviceFloats a(frame), b(frame);
      const dim3 grid(c.full.x, capped ? 1 : c.full.y, 1);
      c.launch(grid, a.get(), b.get());
      results[capped] = a.download();
      const auto second = b.download();
      results[capped].insert(results[capped].end(), second.begin(), second.end());
    }
    EXPECT_GT(c.full.y, 1u) << c.what;
    EXPECT_EQ(results[1], results[0]) << c.what;
    EXPECT_NE(results[0], [&] {
      std::vector<float> both = frame;
      both.insert(both.end(), frame.begin(), frame.end());
      return both;
    }()) << c.what << " changed nothing";
  }
}

// Sets the built-in indices of a 2-D launch of `block` threads a block so
// that this host thread is the thread of pixel (x, y), and the grid covers
// a width x height frame.
void become_thread_of(int x, int y, int width, int height, dim3 block) {
  blockDim = {block.x, block.y, 1};
  gridDim = {unsigned((width + block.x - 1) / block.x), unsigned(std::min<int64_t>(
                                                            (int64_t(height) + block.y - 1) / block.y, 65535)),
             1};
  blockIdx = {unsigned(x) / block.x, unsigned(y) / block.y % gridDim.y, 0};
  threadIdx = {unsigned(x) % block.x, unsigned(y) % block.y, 0};
}

// Element `index` of a buffer of which only [index, index + n) is real.
struct FarBuffer {
  FarBuffer(uint64_t index, size_t n, float first) : index(index), real(n) {
    for (size_t k = 0; k < n; ++k) real[k] = first + 0.125f * float(k);
    initial = real;
  }
  float* at() { return real.data() - index; }
  uint64_t index;
  std::vector<float> real, initial;
};

// The elements of one pixel in each kind of buffer a kernel takes: two RGBA
// frames, an RGB plane and a plane of one float a pixel, each starting with
// values of its own (a copy between them changes something).
struct PixelPlanes {
  explicit PixelPlanes(uint64_t pixel)
      : rgba(pixel * 4, 4, 0.375f), out(pixel * 4, 4, 0.6f), rgb(pixel * 3, 3, 0.45f), one(pixel, 1, 0.3f) {}
  std::vector<float> all() const {
    std::vector<float> v;
    for (const FarBuffer* b : {&rgba, &out, &rgb, &one}) v.insert(v.end(), b->real.begin(), b->real.end());
    return v;
  }
  bool written() const {
    for (const FarBuffer* b : {&rgba, &out, &rgb, &one})
      if (b->real != b->initial) return true;
    return false;
  }
  FarBuffer rgba, out, rgb, one;
};

struct FarKernel {
  const char* kernel;
  dim3 block;
  std::function<void(int W, int H, PixelPlanes& p)> run;
};

// Every kernel body with a pixel launch shape, the film stage's output end
// included (each of its kernels from the table the launches use).
std::vector<FarKernel> pixel_kernels() {
  const dim3 pixel = launch_shape::pixel_block(), heavy = film_shape::heavy_block();
  std::vector<FarKernel> k = {
      {"RGB_RGBA_Kernel", pixel, [](int W, int H, PixelPlanes& p) { RGB_RGBA_Kernel(p.rgb.at(), p.rgba.at(), W, H); }},
      {"RGBA_RGB_Kernel", pixel, [](int W, int H, PixelPlanes& p) { RGBA_RGB_Kernel(p.rgba.at(), p.rgb.at(), W, H); }},
      {"exposure_linear_gamma", pixel,
       [](int W, int H, PixelPlanes& p) { exposure_linear_gamma(p.rgba.at(), W, H, 2.0f, 4); }},
      {"exposure_log", pixel, [](int W, int H, PixelPlanes& p) { exposure_log(p.rgba.at(), W, H, 0.2f, 4); }},
      {"exposure_linear_gamma_in_out", pixel,
       [](int W, int H, PixelPlanes& p) { exposure_linear_gamma_in_out(p.rgba.at(), p.out.at(), W, H, 2.0f, 4); }},
      {"exposure_log_in_out", pixel,
       [](int W, int H, PixelPlanes& p) { exposure_log_in_out(p.rgba.at(), p.out.at(), W, H, 0.2f, 4); }},
      {"highlights_shadows_Kernel", pixel,
       [](int W, int H, PixelPlanes& p) {
         highlights_shadows_Kernel(p.rgba.at(), W, H, 4, 0, 0.4f, 0.5f, 0.45f, 0.5f);
       }},
      {"highlights_shadows_Kernel_in_out", pixel,
       [](int W, int H, PixelPlanes& p) {
         highlights_shadows_Kernel_in_out(p.rgba.at(), p.out.at(), W, H, 4, 0, 0.4f, 0.5f, 0.45f, 0.5f);
       }},
      {"ColorSpace_LAB", pixel,
       [](int W, int H, PixelPlanes& p) { ColorSpace_LAB(p.rgba.at(), W, H, 4, 7, p.one.at()); }},
      {"halation_init", pixel,
       [](int W, int H, PixelPlanes& p) { halation_init(p.rgba.at(), p.rgb.at(), W, H, 4, 7, kExposureLinear, 2.0f); }},
      {"halation_linear", pixel,
       [](int W, int H, PixelPlanes& p) {
         halation_linear(p.rgba.at(), p.rgb.at(), p.out.at(), W, H, 0.1f, 0.1f, 0.1f, 1, 1, 1, 1, 7, kExposureLinear,
                         2.0f, 4, SoftClips{{{0.8f, 0.4f, 0.0f, 0.0f}}, 1}, TextureLabIn{kLabInGeneric, 7},
                         p.one.at());
       }},
      {"film_lab_init", pixel,
       [](int W, int H, PixelPlanes& p) { film_lab_init(p.rgba.at(), p.rgb.at(), p.one.at(), 1, 1, 1, W, H, 4, 7); }},
      {"develop_cuda", pixel,
       [](int W, int H, PixelPlanes& p) {
         const float concentration = 1.0f;
         develop_cuda(p.rgb.at(), p.rgb.at(), p.rgb.at(), p.rgb.at(), p.rgb.at(), film::DevelopStart{}, p.one.at(), 1,
                      p.one.at(), p.one.at(), 0.5f, &concentration, 0.5f, 0.1f, 0.1f, W, H);
       }},
  };
#define FAR_GAMUT(index, g, gc, ge, compress, expand, to_lab, compress_to_lab)                                     \
  k.push_back({#compress, pixel, [](int W, int H, PixelPlanes& p) { compress(p.rgba.at(), p.out.at(), W, H); }}); \
  k.push_back({#expand, pixel, [](int W, int H, PixelPlanes& p) { expand(p.rgba.at(), p.out.at(), W, H); }});     \
  k.push_back({#to_lab, pixel, [](int W, int H, PixelPlanes& p) { to_lab(p.rgba.at(), W, H, 4, p.one.at()); }});  \
  k.push_back({#compress_to_lab, pixel,                                                                            \
               [](int W, int H, PixelPlanes& p) { compress_to_lab(p.rgba.at(), W, H, 4, p.one.at()); }});
  KALTHORNE_DEDICATED_GAMUTS(FAR_GAMUT)
#undef FAR_GAMUT
  // Settings that take every step of the negative and the print: curves,
  // both bleach kernels' arguments, a print stock.
  static const TextureOptionsStruct o = frame_roads::record(
      {{"CameraStock", 2}, {"PrintDisplayBypass", 0}, {"PrintProfile", 6}, {"BrewBleachBypass", 1},
       {"PrintBleachBypass", 1}, {"InputGamut", 7}},
      8, 8, 4);
  static const film::NegativeArgs negative = film::negative_args(o);
  static const film::PrintArgs print = film::print_args(o);
#define FAR_NEGATIVE_OUTPUT(kernel, bleach, finish)                                                            \
  k.push_back({#kernel, heavy, [](int W, int H, PixelPlanes& p) {                                              \
                 kernel(p.rgb.at(), p.one.at(), p.rgb.at(), p.out.at(), W, H, 4, negative, print);             \
               }});
  KALTHORNE_FILM_NEGATIVE_OUTPUTS(FAR_NEGATIVE_OUTPUT)
  KALTHORNE_FILM_NEGATIVE_PRINTS(FAR_NEGATIVE_OUTPUT)
#undef FAR_NEGATIVE_OUTPUT
#define FAR_PRINT_OUTPUT(kernel, finish)                                            \
  k.push_back({#kernel, heavy, [](int W, int H, PixelPlanes& p) {                   \
                 kernel(p.rgba.at(), p.out.at(), W, H, 4, 7, print);               \
               }});
  KALTHORNE_FILM_PRINT_OUTPUTS(FAR_PRINT_OUTPUT)
#undef FAR_PRINT_OUTPUT
  return k;
}

// The kernel as the thread of the last pixel of a W x H frame, and as the
// thread of a 1 x 1 frame's pixel, from the same values: 0 when the far
// pixel's elements took what the near pixel's did, else 1.
int far_pixel_as_pixel_zero(const FarKernel& k, int W, int H) {
  PixelPlanes near(0), far(uint64_t(H - 1) * uint64_t(W) + uint64_t(W - 1));
  become_thread_of(0, 0, 1, 1, k.block);
  k.run(1, 1, near);
  become_thread_of(W - 1, H - 1, W, H, k.block);
  k.run(W, H, far);
  threadIdx = blockIdx = {0, 0, 0};
  if (!near.written()) return std::fprintf(stderr, "wrote nothing at pixel zero\n"), 1;
  if (far.all() != near.all()) return std::fprintf(stderr, "far pixel not written as pixel zero\n"), 1;
  return 0;
}

// The last pixel of a 70,000 x 40,000 frame (2.8e9 pixels: past 2^31, and
// 1.1e10 elements at four floats a pixel, past 2^32) and of a 70,000 x
// 70,000 one (4.9e9 pixels, past 2^32 itself). Each kernel runs in a child
// process: an index cut to 32 bits lands outside the real elements, and the
// crash is reported as the kernel's failure.
TEST(FrameLimits, PixelIndicesPastTwoToTheThirtyFirstReachTheirElements) {
  for (const auto& size : {std::pair<int, int>{70000, 40000}, std::pair<int, int>{70000, 70000}}) {
    const int W = size.first, H = size.second, x = W - 1, y = H - 1;
    const uint64_t pixel = uint64_t(y) * W + x;
    ASSERT_GT(pixel, uint64_t(INT_MAX));
    ASSERT_GT(pixel * 4, uint64_t(UINT32_MAX));
    EXPECT_EQ(pixel_offset(x, y, W, 4), pixel * 4);
    for (const FarKernel& k : pixel_kernels())
      EXPECT_EXIT(std::exit(far_pixel_as_pixel_zero(k, W, H)), ::testing::ExitedWithCode(0), "")
          << k.kernel << " does not reach pixel " << pixel << " of a " << W << " x " << H
          << " frame (element " << pixel * 4 << " at four floats a pixel) as it does pixel 0";
  }
}

// A column of a frame far too large to allocate: only the elements of that
// column are real, `n` at each row, on pages mapped at fixed addresses far
// apart (nothing is mapped in between, so the frame's span may exceed the
// machine's memory). Each buffer takes a slot of the address space of its own.
class FarColumn {
 public:
  FarColumn(int slot, int width, int height, int x, int n, float first) : n_(n) {
    base_ = reinterpret_cast<char*>(uintptr_t(0x100000000000ull) + uintptr_t(slot) * 0x20000000000ull);
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    for (int y = 0; y < height; ++y) {
      rows_.push_back((uint64_t(y) * uint64_t(width) + uint64_t(x)) * uint64_t(n));
      const uintptr_t from = uintptr_t(base_ + rows_.back() * sizeof(float)) & ~(page - 1);
      const uintptr_t to = uintptr_t(base_ + (rows_.back() + n) * sizeof(float));
      for (uintptr_t p = from; p < to; p += page) {
        if (std::find(pages_.begin(), pages_.end(), p) != pages_.end()) continue;
        void* got = mmap(reinterpret_cast<void*>(p), page, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
        if (got != reinterpret_cast<void*>(p)) {
          if (got != MAP_FAILED) munmap(got, page);
          ok_ = false;
          return;
        }
        pages_.push_back(p);
      }
      for (int k = 0; k < n; ++k) at()[rows_.back() + k] = first + 0.125f * float(y * n + k);
    }
  }
  ~FarColumn() {
    for (uintptr_t p : pages_) munmap(reinterpret_cast<void*>(p), size_t(sysconf(_SC_PAGESIZE)));
  }
  FarColumn(const FarColumn&) = delete;
  FarColumn& operator=(const FarColumn&) = delete;
  bool ok() const { return ok_; }
  float* at() { return reinterpret_cast<float*>(base_); }
  // The real elements, row by row: what a 1-column frame holds.
  std::vector<float> values() {
    std::vector<float> v;
    for (uint64_t r : rows_) v.insert(v.end(), at() + r, at() + r + n_);
    return v;
  }

 private:
  char* base_;
  int n_;
  bool ok_ = true;
  std::vector<uint64_t> rows_;
  std::vector<uintptr_t> pages_;
};

// The column kernels (a thread a column, or a channel of one) on the last
// column of a 3-row frame whose elements lie past 2^32 in every row, with
// pixel indices past 2^31 (1.1e9 columns) and past 2^32 (1.5e9 columns); each
// must leave there what it leaves in a 1-column frame of the same values.
// Run in a child process as above.
TEST(FrameLimits, ColumnIndicesPastTwoToTheThirtyFirstReachTheirElements) {
  const int H = 3;
  const float sigma = 1.5f;
  const struct {
    const char* kernel;
    int in, out;  // floats a pixel of its input and output
    int threads;  // threads a column
    std::function<void(const float* in, float* out, int W)> run;
  } kernels[] = {
      {"iir_guassian", 4, 1, 1,
       [&](const float* in, float* out, int W) { iir_guassian(in, out, W, H, sigma, 4); }},
      {"iir_guassian_rgb", 4, 3, 3,
       [&](const float* in, float* out, int W) { iir_guassian_rgb(in, out, W, H, sigma, 4); }},
      {"iir_guassian_developer_code", 1, 1, 1,
       [&](const float* in, float* out, int W) { iir_guassian_developer_code(in, out, W, H, sigma); }},
  };
  // Thread j of a launch of `threads` threads in 32-thread column blocks.
  const auto become_column_thread = [](uint64_t j, uint64_t threads) {
    blockDim = {32, 1, 1};
    gridDim = {unsigned((threads + 31) / 32), 1, 1};
    blockIdx = {unsigned(j / 32), 0, 0};
    threadIdx = {unsigned(j % 32), 0, 0};
  };
  const auto column = [&](const auto& k, int W) {
    FarColumn in(0, W, H, W - 1, k.in, 0.375f), out(1, W, H, W - 1, k.out, 0.6f);
    if (!in.ok() || !out.ok()) return std::fprintf(stderr, "no memory at the far column's addresses\n"), 1;
    std::vector<float> nearIn = in.values(), nearOut = out.values();
    const std::vector<float> initialOut = nearOut;
    for (int t = 0; t < k.threads; ++t) {
      become_column_thread(t, k.threads);
      k.run(nearIn.data(), nearOut.data(), 1);
      become_column_thread(uint64_t(k.threads) * uint64_t(W - 1) + t, uint64_t(k.threads) * uint64_t(W));
      k.run(in.at(), out.at(), W);
    }
    threadIdx = blockIdx = {0, 0, 0};
    if (nearOut == initialOut) return std::fprintf(stderr, "wrote nothing in a 1-column frame\n"), 1;
    if (out.values() != nearOut || in.values() != nearIn)
      return std::fprintf(stderr, "far column not written as a 1-column frame\n"), 1;
    return 0;
  };
  for (int W : {1100000000, 1500000000}) {
    const uint64_t last = uint64_t(H - 1) * uint64_t(W) + uint64_t(W - 1);
    ASSERT_GT(last, uint64_t(INT_MAX));
    ASSERT_GT(uint64_t(W - 1), uint64_t(UINT32_MAX) / 4);  // every row's elements past 2^32 at four floats
    for (const auto& k : kernels)
      EXPECT_EXIT(std::exit(column(k, W)), ::testing::ExitedWithCode(0), "")
          << k.kernel << " does not reach column " << W - 1 << " of a " << W << " x " << H
          << " frame (pixel " << last << ") as it does a 1-column frame";
  }
}

}  // namespace
