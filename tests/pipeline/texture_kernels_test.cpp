// Texture-stage building blocks: the recursive Gaussian against the
// properties of a Gaussian, the tiled transpose at every channel offset.
#include <gtest/gtest.h>

#include <cmath>

#include "cudasim/cudasim_control.h"
#include "device_buffer.h"
#include "pipeline/launch_shapes.h"
#include "pipeline/texture_kernels.cuh"
#include "pipeline/texture_kernels.h"

namespace {

struct Size {
  int w, h;
};
const Size kSizes[] = {{37, 23}, {1, 1}, {1025, 2}, {2, 70}};

TEST(Deriche, UnitDcGainAndGaussianMoments) {
  for (float sigma : {0.0f, 0.4f, 1.6f, 3.2f, 12.8f}) {
    const DericheCoefficients c = deriche_coefficients(sigma);
    EXPECT_NEAR(c.a0 + c.a1 + c.a2 + c.a3, 1.0f + c.b1 + c.b2, 1e-6f);
    EXPECT_NEAR(c.coefp + c.coefn, 1.0f, 1e-5f);
  }
  // Sigma below 0.1 blurs as 0.1.
  EXPECT_EQ(deriche_coefficients(-3.0f).b1, deriche_coefficients(0.1f).b1);

  // An impulse in a long column: mass 1, centred, and a width that scales
  // with sigma (the recursive filter's width is a fixed multiple of sigma).
  double ratio0 = 0;
  for (float sigma : {1.6f, 3.2f, 6.4f}) {
    const int n = 401, mid = 200;
    std::vector<float> in(n, 0.0f), out(n, -1.0f);
    in[mid] = 1.0f;
    deriche_column(in.data(), 1, out.data(), 1, n, deriche_coefficients(sigma));
    double mass = 0, mean = 0, var = 0;
    for (int i = 0; i < n; ++i) mass += out[i], mean += out[i] * i;
    mean /= mass;
    for (int i = 0; i < n; ++i) var += out[i] * (i - mean) * (i - mean);
    var /= mass;
    EXPECT_NEAR(mass, 1.0, 1e-4) << sigma;
    EXPECT_NEAR(mean, mid, 1e-3) << sigma;
    const double ratio = std::sqrt(var) / sigma;
    if (ratio0 == 0) ratio0 = ratio;
    EXPECT_NEAR(ratio, ratio0, 0.02 * ratio0) << sigma;
    EXPECT_NEAR(ratio, 1.0, 0.25) << sigma;
  }
}

TEST(TextureKernels, ConstantPlaneStaysConstantThroughTheBlurToTheBorders) {
  cudasim::reset();
  for (const Size s : kSizes) {
    for (float sigma : {0.0f, 0.4f, 12.8f}) {
      std::vector<float> host(size_t(s.w) * s.h * 4, 0.625f);
      DeviceFloats buffer(host), scratch(size_t(s.w) * s.h);
      gaussian_blur_2d(buffer.get() + 2, scratch.get(), buffer.get() + 2, s.w, s.h, sigma, 4, nullptr);
      auto out = buffer.download();
      for (size_t i = 0; i < out.size(); ++i)
        ASSERT_NEAR(out[i], 0.625f, 1e-5f) << s.w << "x" << s.h << " sigma " << sigma << " at " << i;
    }
  }
  EXPECT_TRUE(cudasim::violations().empty());
  for (const auto& l : cudasim::launch_trace()) EXPECT_TRUE(l.ran);
}

TEST(TextureKernels, TransposeIsExactAtEveryChannelOffset) {
  cudasim::reset();
  for (const Size s : kSizes) {
    std::vector<float> plane(size_t(s.w) * s.h);
    for (size_t i = 0; i < plane.size(); ++i) plane[i] = float(i) + 0.5f;
    DeviceFloats in(plane);
    for (int channel = 0; channel < 4; ++channel) {
      DeviceFloats out(plane.size() * 4);
      CUDA_LAUNCH(u_d_l_r, launch_shape::pixel_grid(s.w, s.h), launch_shape::pixel_block(), in.get(),
                  out.get() + channel, s.w, s.h, 4);
      auto o = out.download();
      for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x)
          ASSERT_EQ(o[(size_t(x) * s.h + y) * 4 + channel], plane[size_t(y) * s.w + x]) << channel;
      for (size_t i = 0; i < o.size(); ++i)
        ASSERT_TRUE(int(i % 4) == channel || cudasim::is_nan_sentinel(o[i])) << "wrote channel " << i % 4;
    }
  }
  EXPECT_EQ(cudasim::allocation_stats().guard_overruns, 0u);  // checked as each buffer is freed
}

}  // namespace
