// The whole CPU pipeline with the real halation, film and generic Lab
// stages: over the record's switches every road leaves no unwritten device
// memory in the output, frees what it allocates, stays inside its buffers
// and leaves the source alone; RGBA frames keep their alpha.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "pipeline/texture_pitch_compress_expand.h"

namespace {

TEST(PipelineIntegration, EveryRoadKeepsItsBuffersInOrder) {
  const struct {
    int w, h;
  } sizes[] = {{37, 23}, {1, 1}, {1025, 2}};
  const int gamuts[] = {0, 4, 5, 30, 7, 31, 1, 46};
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> value(0.0f, 1.0f);
  for (unsigned mask = 0; mask < 256; ++mask) {
    const auto size = sizes[mask % 3];
    const int channels = (mask & 1) ? 4 : 3;
    TextureOptionsStruct o{};
    o.frameWidth = size.w;
    o.frameHeight = size.h;
    o.channelCount = channels;
    o.inputGamut = gamuts[(mask / 3) % 8];
    o.exposureMode = 1;
    o.exposureAmount = (mask & 2) ? 1.5f : 0.0f;
    o.ensemblePitchScaled = (mask & 4) ? 1.2f : 1.0f;
    o.sopranoPitchScaled = o.mezzoSopranoPitchScaled = o.altoPitchScaled = 1.0f;
    o.tenorPitchScaled = o.baritonePitchScaled = o.bassPitchScaled = 1.1f;
    o.cameraStock = (mask & 8) ? 4 : 0;
    o.printOff = (mask & 16) ? 1 : 0;
    o.hdrComp = (mask & 32) ? 1 : 0;
    o.halationOff = (mask & 64) ? 1 : 0;
    o.softClipOn = (mask & 128) ? 1 : 0;
    o.cameraHighlightsCeiling = 0.9f;
    o.cameraHighlightsRecoverScaled = 3.0f;
    o.brewHighlightCeiling = 1.0f;
    o.brewHighlightCompressScaled = 1.0f;

    std::vector<float> src(size_t(size.w) * size.h * channels);
    for (float& v : src) v = value(rng);
    const auto original = src;
    const size_t n = src.size();
    std::vector<float> dst(n + 8, -7.0f);
    cudasim::reset();
    ASSERT_TRUE(texture_pitch_compress_expand(src.data(), dst.data(), o)) << "mask " << mask;
    ASSERT_EQ(src, original) << "mask " << mask;
    for (size_t i = 0; i < n; ++i) {
      ASSERT_FALSE(cudasim::is_nan_sentinel(dst[i])) << "mask " << mask << " at " << i;
      if (channels == 4 && i % 4 == 3) {
        ASSERT_EQ(dst[i], src[i]) << "alpha, mask " << mask;
      }
    }
    for (size_t i = n; i < dst.size(); ++i) ASSERT_EQ(dst[i], -7.0f) << "mask " << mask;
    const auto s = cudasim::allocation_stats();
    ASSERT_EQ(s.live, 0u) << "mask " << mask;
    ASSERT_EQ(s.double_frees + s.invalid_frees + s.guard_overruns + s.bad_pointers, 0u) << "mask " << mask;
    for (const auto& l : cudasim::launch_trace()) ASSERT_TRUE(l.ran) << l.kernel << ", mask " << mask;
  }
}

}  // namespace
