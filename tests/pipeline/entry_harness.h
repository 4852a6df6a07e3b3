// Runs whole frames through the pipeline entry and checks what must hold on
// every road: nothing written past the output, the source untouched, every
// allocation freed once, every kernel pointer inside a device allocation, no
// output sample that no kernel wrote, alpha carried, and the whole frame on
// one stream of its own with nothing that synchronises the device.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "pipeline/texture_pitch_compress_expand.h"

// A record with every stage neutral but distinct highlight/shadow settings;
// tests switch on what they look at.
inline TextureOptionsStruct plain_options(int W, int H, int channels) {
  TextureOptionsStruct o{};
  o.frameWidth = W;
  o.frameHeight = H;
  o.channelCount = channels;
  o.inputGamut = 7;  // a generic input
  o.exposureMode = 1;
  o.ensemblePitchScaled = o.sopranoPitchScaled = o.mezzoSopranoPitchScaled = o.altoPitchScaled = 1.0f;
  o.tenorPitchScaled = o.baritonePitchScaled = o.bassPitchScaled = 1.0f;
  o.cameraStock = 3;
  o.halationOff = 1;
  o.cameraHighlightsCeiling = 0.9f;
  o.cameraHighlightsRecoverScaled = 3.0f;
  o.cameraShadowsCeilingScaled = 0.6f;
  o.cameraShadowsRecoverScaled = -0.6f;
  o.brewHighlightCeiling = 0.7f;
  o.brewHighlightCompressScaled = 4.0f;
  o.brewShadowFloorScaled = 0.3f;
  o.brewShadowExpandScaled = -0.3f;
  return o;
}

inline std::vector<float> test_frame(int W, int H, int channels, unsigned seed = 1) {
  std::vector<float> f(size_t(W) * H * channels);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> value(0.0f, 1.0f);
  for (size_t i = 0; i < f.size(); ++i) f[i] = channels == 4 && i % 4 == 3 ? 0.25f + 0.5f * value(rng) : value(rng);
  return f;
}

struct FrameRun {
  bool ok;
  std::vector<float> out;
};

// `prepare` runs after the stand-in's reset, before the frame (to script
// failures, say).
inline FrameRun run_frame(const TextureOptionsStruct& o, const std::vector<float>& src,
                          const std::function<void()>& prepare = {}) {
  cudasim::reset();
  if (prepare) prepare();
  const size_t n = size_t(o.frameWidth) * o.frameHeight * o.channelCount;
  const float guard = -12345.0f;
  std::vector<float> dst(n + 16, guard), in = src;
  FrameRun r{texture_pitch_compress_expand(in.data(), dst.data(), o), {}};
  for (size_t i = n; i < dst.size(); ++i) EXPECT_EQ(dst[i], guard) << "written past the output";
  EXPECT_EQ(in, src) << "source changed";
  const auto s = cudasim::allocation_stats();
  EXPECT_TRUE(s.live + s.live_streams + s.double_frees + s.invalid_frees + s.guard_overruns + s.bad_pointers +
                      s.bad_streams == 0 && s.frees == s.allocations)
      << "device memory or a stream misused or left allocated";
  for (const auto& v : cudasim::violations()) ADD_FAILURE() << v;
  dst.resize(n);
  if (r.ok) {
    for (size_t i = 0; i < n; ++i) {
      const bool alpha = o.channelCount == 4 && i % 4 == 3;
      if (cudasim::is_nan_sentinel(dst[i]) || (alpha && dst[i] != src[i])) {
        ADD_FAILURE() << (alpha ? "alpha not carried" : "never written") << " at element " << i;
        break;
      }
    }
    // Each attempt at the frame (a render short of memory renders it again,
    // on a stream of its own) launches on its own stream alone: the trace is
    // one run of launches per stream, and no stream comes back.
    const auto trace = cudasim::launch_trace();
    std::vector<cudaStream_t> left;
    for (size_t k = 0; k < trace.size(); ++k) {
      const auto& l = trace[k];
      EXPECT_TRUE(l.ran && l.stream != nullptr) << l.kernel << " off a stream";
      if (k > 0 && l.stream != trace[k - 1].stream) left.push_back(trace[k - 1].stream);
      EXPECT_EQ(std::count(left.begin(), left.end(), l.stream), 0)
          << l.kernel << " off its attempt's stream";
    }
    int sync_allocs = 0;
    for (const auto& c : cudasim::call_log()) sync_allocs += c.sync_allocs;
    EXPECT_EQ(sync_allocs, 0) << "an allocation or free synchronised the device";
  }
  r.out = dst;
  return r;
}
