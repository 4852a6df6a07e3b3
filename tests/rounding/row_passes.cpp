// Every row pass against its recursion run along each row on the host, on
// frames whose width and height are not multiples of 32 (edge tiles both
// ways, on their own and after whole ones) and on one whose tiles are all
// whole: the blur of a plane into a strided channel, the texture level with
// its band sum, halation's three-channel band folded into the glow, and the
// developer diffusion's last pass with one band and with two. Each blurred
// pixel must be the host recursion's bit for bit, its epilogue the pixel
// functions' on it, and nothing written outside the planes; a tile shifted
// by a pixel or a tail left unwritten or wrong fails here whatever the
// roads' frames make of it.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "pipeline/film_develop.cuh"
#include "pipeline/film_kernels.h"
#include "pipeline/halation.cuh"
#include "pipeline/halation.h"
#include "pipeline/launch_shapes.h"
#include "pipeline/texture_kernels.cuh"
#include "pipeline/texture_kernels.h"
#include "tests/pipeline/device_buffer.h"

namespace {

struct Shape {
  int width, height;
};
// One partial tile; whole and partial tiles both ways (tails of 6 columns
// and 13 rows, then of 1 column and 3 rows); every tile whole.
const Shape kShapes[] = {{37, 23}, {70, 45}, {129, 67}, {96, 64}};

std::vector<float> plane(const Shape& s, int channels, float lo, float hi, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> value(lo, hi);
  std::vector<float> p(size_t(s.width) * size_t(s.height) * size_t(channels));
  for (float& v : p) v = value(rng);
  return p;
}

// The host recursion along every row of an N-channel plane.
std::vector<float> host_rows(const std::vector<float>& in, const Shape& s, int channels, float sigma) {
  const DericheCoefficients c = deriche_coefficients(sigma);
  std::vector<float> out(in.size());
  const size_t row = size_t(s.width) * size_t(channels);
  for (int y = 0; y < s.height; ++y)
    for (int k = 0; k < channels; ++k)
      deriche_column(in.data() + size_t(y) * row + size_t(k), size_t(channels),
                     out.data() + size_t(y) * row + size_t(k), size_t(channels), s.width, c);
  return out;
}

// got equals want bit for bit; the first difference named by its pixel.
void expect_same_bits(const std::vector<float>& got, const std::vector<float>& want, const Shape& s, int channels,
                      const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < got.size(); ++i)
    if (std::memcmp(&got[i], &want[i], sizeof(float)) != 0) {
      const size_t pixel = i / size_t(channels);
      FAIL() << what << " at (" << pixel % size_t(s.width) << ", " << pixel / size_t(s.width) << ") channel "
             << i % size_t(channels) << ": " << got[i] << ", the host's " << want[i];
    }
}

std::string name(const Shape& s) { return std::to_string(s.width) + "x" + std::to_string(s.height); }

void expect_clean_stand_in() {
  EXPECT_TRUE(cudasim::violations().empty());
  EXPECT_EQ(cudasim::allocation_stats().guard_overruns, 0u);  // checked as each buffer is freed
}

// A plane into channel 2 of an RGBA frame: the other channels stay unwritten.
TEST(RowPasses, BlurIntoAChannelIsTheRowRecursion) {
  const float sigma = 2.6f;
  for (const Shape& s : kShapes) {
    cudasim::reset();
    const std::vector<float> in = plane(s, 1, -1.0f, 4.0f, 1), blurred = host_rows(in, s, 1, sigma);
    std::vector<float> want;
    {
      DeviceFloats from(in), frame(in.size() * 4);
      want = frame.download();
      for (size_t i = 0; i < blurred.size(); ++i) want[4 * i + 2] = blurred[i];
      CUDA_LAUNCH_STREAM(iir_guassian_rows, launch_shape::column_grid(s.height), launch_shape::column_block(), 0,
                         nullptr, from.get(), frame.get() + 2, s.width, s.height, sigma, 4);
      expect_same_bits(frame.download(), want, s, 4, name(s) + " blur");
    }
    expect_clean_stand_in();
  }
}

// A texture level: its blur into the level plane and its band into the sum,
// at the first level (no sum before) and after it.
TEST(RowPasses, TextureLevelIsTheRowRecursionAndItsBand) {
  const float sigma = 3.1f, gain = 1.7f;
  for (const Shape& s : kShapes)
    for (const bool first : {true, false}) {
      cudasim::reset();
      const std::vector<float> columns = plane(s, 1, 0.0f, 30.0f, 2), source = plane(s, 1, 0.0f, 30.0f, 3),
                               sumIn = plane(s, 1, -5.0f, 5.0f, 4), blurred = host_rows(columns, s, 1, sigma);
      std::vector<float> sum(blurred.size());
      for (size_t i = 0; i < sum.size(); ++i)
        sum[i] = pitch_sharp_value(first ? 0.0f : sumIn[i], source[i], blurred[i], gain);
      {
        DeviceFloats c(columns), level(columns.size()), src(source), before(sumIn), out(columns.size());
        CUDA_LAUNCH_STREAM(pitch_sharp_rows, launch_shape::column_grid(s.height), launch_shape::column_block(), 0,
                           nullptr, c.get(), level.get(), src.get(), first ? nullptr : before.get(), out.get(),
                           s.width, s.height, sigma, gain);
        const std::string what = name(s) + (first ? " first level" : " later level");
        expect_same_bits(level.download(), blurred, s, 1, what + " blur");
        expect_same_bits(out.download(), sum, s, 1, what + " band sum");
      }
      expect_clean_stand_in();
    }
}

// Halation's band: each channel's blur folded into the glow.
TEST(RowPasses, HalationBandIsTheRowRecursionFoldedIntoTheGlow) {
  const float sigma = 4.2f, amount = 0.35f;
  for (const Shape& s : kShapes) {
    cudasim::reset();
    const std::vector<float> columns = plane(s, 3, 0.0f, 8.0f, 5), glow = plane(s, 3, 0.0f, 8.0f, 6),
                             blurred = host_rows(columns, s, 3, sigma);
    std::vector<float> want(glow.size());
    for (size_t i = 0; i < want.size(); ++i) want[i] = halation_math::sharpen(glow[i], blurred[i], amount);
    {
      DeviceFloats c(columns), band(columns.size()), g(glow);
      CUDA_LAUNCH_STREAM(halation_band_rows, launch_shape::column_grid(s.height), launch_shape::column_block(), 0,
                         nullptr, c.get(), band.get(), g.get(), s.width, s.height, sigma, amount);
      expect_same_bits(g.download(), want, s, 3, name(s) + " glow");
    }
    expect_clean_stand_in();
  }
}

// The developer diffusion's last pass, with band one only (its own blur is
// band one) and with band two after it.
TEST(RowPasses, DeveloperDiffusionIsTheRowRecursionAndTheExchange) {
  const float sigma = 5.5f, gain = 2.5f, retention = 0.75f, added = 41.0f;
  for (const Shape& s : kShapes)
    for (const bool bandTwo : {false, true}) {
      cudasim::reset();
      const std::vector<float> columns = plane(s, 1, 0.0f, 1.0f, 7), developer = plane(s, 1, 0.5f, 3000.0f, 8),
                               bandOne = plane(s, 1, 0.0f, 1.0f, 9), blurred = host_rows(columns, s, 1, sigma);
      std::vector<float> diffused(blurred.size()), exchanged(blurred.size());
      for (size_t i = 0; i < blurred.size(); ++i) {
        diffused[i] = film::diffused_developer(developer[i], bandTwo ? bandOne[i] : blurred[i], blurred[i], gain);
        exchanged[i] = film::exchanged_developer(diffused[i], retention, added);
      }
      {
        DeviceFloats in(columns), scratch(columns.size()), dev(developer), one(bandOne),
            slot(std::vector<float>{added});
        CUDA_LAUNCH_STREAM(iir_guassian_rows_developer, launch_shape::column_grid(s.height),
                           launch_shape::column_block(), 0, nullptr, in.get(), scratch.get(), dev.get(),
                           bandTwo ? one.get() : nullptr, s.width, s.height, sigma, gain, retention, slot.get());
        const std::string what = name(s) + (bandTwo ? " two bands" : " one band");
        expect_same_bits(scratch.download(), diffused, s, 1, what + " diffused developer");
        expect_same_bits(dev.download(), exchanged, s, 1, what + " exchanged developer");
      }
      expect_clean_stand_in();
    }
}

}  // namespace
