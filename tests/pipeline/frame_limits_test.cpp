// Frames at the launch and index limits of the device: a single row or
// column longer than a grid may be tall through every road, grids that stop
// short of the frame's rows, and pixel indices past 2^31 elements computed by
// the kernels themselves (each called for one far pixel of a frame too large
// to allocate, its buffers placed so that exactly that pixel's elements are
// real memory).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "device_buffer.h"
#include "entry_harness.h"
#include "frame_roads.h"
#include "pipeline/colour_lab.h"
#include "pipeline/film_kernels.h"
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
  FarBuffer(uint64_t index, size_t n) : index(index), real(n) {
    for (size_t k = 0; k < n; ++k) real[k] = 0.375f + 0.125f * float(k);
    initial = real;
  }
  float* at() { return real.data() - index; }
  uint64_t index;
  std::vector<float> real, initial;
};

// The last pixel of a 70,000 x 40,000 frame: 2.8e9 pixels, 1.1e10 elements
// at four floats a pixel, past 2^31 and 2^32 alike.
TEST(FrameLimits, PixelIndicesPastTwoToTheThirtyFirstReachTheirElements) {
  const int W = 70000, H = 40000, x = W - 1, y = H - 1;
  const uint64_t pixel = uint64_t(y) * W + x;
  ASSERT_GT(pixel * 4, uint64_t(UINT32_MAX));
  EXPECT_EQ(pixel_offset(x, y, W, 4), pixel * 4);

  const struct {
    const char* kernel;
    std::function<void(FarBuffer& rgba, FarBuffer& rgb, FarBuffer& one)> run;
  } cases[] = {
      {"exposure_linear_gamma", [&](FarBuffer& f, FarBuffer&, FarBuffer&) {
         exposure_linear_gamma(f.at(), W, H, 2.0f, 4);
       }},
      {"ColorSpace_LAB", [&](FarBuffer& f, FarBuffer&, FarBuffer& one) {
         ColorSpace_LAB(f.at(), W, H, 4, 7, one.at());
       }},
      {"halation_init", [&](FarBuffer& f, FarBuffer& rgb, FarBuffer&) {
         halation_init(f.at(), rgb.at(), W, H, 4, 7, kExposureLinear, 2.0f);
       }},
      {"halation_linear", [&](FarBuffer& f, FarBuffer& rgb, FarBuffer& one) {
         halation_linear(f.at(), rgb.at(), f.at(), W, H, 0.1f, 0.1f, 0.1f, 1, 1, 1, 1, 7, kExposureLinear, 2.0f, 4,
                         SoftClips{{{0.8f, 0.4f, 0.0f, 0.0f}}, 1}, TextureLabIn{kLabInGeneric, 7}, one.at());
       }},
      {"film_lab_init", [&](FarBuffer& f, FarBuffer& rgb, FarBuffer& one) {
         film_lab_init(f.at(), rgb.at(), one.at(), 1, 1, 1, W, H, 4, 7);
       }},
      {"develop_cuda", [&](FarBuffer&, FarBuffer& rgb, FarBuffer& one) {
         const float concentration = 1.0f;
         develop_cuda(rgb.at(), rgb.at(), rgb.at(), rgb.at(), rgb.at(), film::DevelopStart{}, one.at(), 1, one.at(),
                      one.at(), 0.5f, &concentration, 0.5f,
                      0.1f, 0.1f, W, H);
       }},
  };
  for (const auto& c : cases) {
    FarBuffer rgba(pixel * 4, 4), rgb(pixel * 3, 3), one(pixel, 1);
    become_thread_of(x, y, W, H, launch_shape::pixel_block());
    c.run(rgba, rgb, one);
    bool written = false;
    for (FarBuffer* b : {&rgba, &rgb, &one}) written = written || b->real != b->initial;
    EXPECT_TRUE(written) << c.kernel << " did not reach its pixel";
  }
  threadIdx = blockIdx = {0, 0, 0};
}

}  // namespace
