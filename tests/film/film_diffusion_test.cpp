// The developer diffusion's fused passes against the plain blur passes and
// the pixel functions, on a frame of several column and row blocks (the
// stand-in runs them in a shuffled order): the first column pass blurs the
// developer's code values, and the last row pass leaves the diffused
// developer in its scratch plane and the exchanged one in the developer
// plane, each pixel from its own developer only.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "pipeline/film_develop.cuh"
#include "pipeline/film_kernels.h"
#include "pipeline/launch_shapes.h"
#include "pipeline/texture_kernels.h"
#include "tests/pipeline/device_buffer.h"

namespace {

constexpr int W = 45, H = 70;  // two column blocks and three row blocks, the last of each partial
constexpr size_t kPixels = size_t(W) * H;

// Developer values on both sides of the code's ceiling; with the gain, some
// pixels come back above the code range too.
std::vector<float> developer_plane() {
  std::vector<float> d(kPixels);
  for (size_t i = 0; i < kPixels; ++i) d[i] = i % 7 == 0 ? 5.0e5f : 0.5f + 3000.0f * float((i * 37) % 101) / 101.0f;
  return d;
}

std::vector<float> column_pass(const float* in, float sigma) {
  DeviceFloats out(kPixels);
  CUDA_LAUNCH_STREAM(iir_guassian, launch_shape::column_grid(W), launch_shape::column_block(), 0, nullptr, in,
                     out.get(), W, H, sigma, 1);
  return out.download();
}

std::vector<float> row_pass(const std::vector<float>& in, float sigma) {
  DeviceFloats from(in), out(kPixels);
  CUDA_LAUNCH_STREAM(iir_guassian_rows, launch_shape::column_grid(H), launch_shape::column_block(), 0, nullptr,
                     from.get(), out.get(), W, H, sigma, 1);
  return out.download();
}

void expect_same_bits(const std::vector<float>& got, const std::vector<float>& want, const char* what) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i)
    ASSERT_EQ(std::memcmp(&got[i], &want[i], sizeof(float)), 0) << what << " at pixel " << i;
}

TEST(FilmDiffusion, FusedPassesEqualPlainPassesAndPixelFunctions) {
  const float bandOneSigma = 3.5f, bandTwoSigma = 9.0f, gain = 2.5f, retention = 0.75f, added = 41.0f;
  const std::vector<float> developer = developer_plane();
  std::vector<float> code(kPixels);
  for (size_t i = 0; i < kPixels; ++i) code[i] = film::developer_to_code(developer[i]);

  DeviceFloats dev(developer), columns(kPixels);
  CUDA_LAUNCH_STREAM(iir_guassian_developer_code, launch_shape::column_grid(W), launch_shape::column_block(), 0,
                     nullptr, dev.get(), columns.get(), W, H, bandOneSigma);
  const std::vector<float> codeColumns = columns.download();
  {
    DeviceFloats codes(code);
    expect_same_bits(codeColumns, column_pass(codes.get(), bandOneSigma), "code columns");
  }
  const std::vector<float> bandOne = row_pass(codeColumns, bandOneSigma);
  DeviceFloats bandOnePlane(bandOne);
  const std::vector<float> bandTwoColumns = column_pass(bandOnePlane.get(), bandTwoSigma);

  for (const bool bandTwo : {false, true}) {
    SCOPED_TRACE(bandTwo ? "band two" : "band one only");
    const std::vector<float>& lastColumns = bandTwo ? bandTwoColumns : codeColumns;
    const float sigma = bandTwo ? bandTwoSigma : bandOneSigma;
    const std::vector<float> blurred = row_pass(lastColumns, sigma);
    std::vector<float> diffused(kPixels), exchanged(kPixels);
    for (size_t i = 0; i < kPixels; ++i) {
      diffused[i] = film::diffused_developer(developer[i], bandOne[i], blurred[i], gain);
      exchanged[i] = film::exchanged_developer(diffused[i], retention, added);
    }
    DeviceFloats in(lastColumns), scratch(kPixels), plane(developer), slot(std::vector<float>{added});
    CUDA_LAUNCH_STREAM(iir_guassian_rows_developer, launch_shape::column_grid(H), launch_shape::column_block(), 0,
                       nullptr, in.get(), scratch.get(), plane.get(), bandTwo ? bandOnePlane.get() : nullptr, W, H,
                       sigma, gain, retention, slot.get());
    expect_same_bits(scratch.download(), diffused, "diffused developer");
    expect_same_bits(plane.download(), exchanged, "exchanged developer");
  }
}

}  // namespace
