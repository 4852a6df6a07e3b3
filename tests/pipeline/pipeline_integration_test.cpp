// The whole CPU pipeline with the real halation, film and generic Lab
// stages, over the record's switches and odd frame sizes.
#include "entry_harness.h"

namespace {

TEST(PipelineIntegration, EveryRoadKeepsItsBuffersInOrder) {
  const int sizes[][2] = {{37, 23}, {1, 1}, {1025, 2}};
  const int gamuts[] = {0, 4, 5, 30, 7, 31, 1, 46};
  for (unsigned mask = 0; mask < 256; ++mask) {
    const int W = sizes[mask % 3][0], H = sizes[mask % 3][1], channels = (mask & 1) ? 4 : 3;
    TextureOptionsStruct o = plain_options(W, H, channels);
    o.inputGamut = gamuts[(mask / 3) % 8];
    o.exposureAmount = (mask & 2) ? 1.5f : 0.0f;
    o.ensemblePitchScaled = (mask & 4) ? 1.2f : 1.0f;
    o.tenorPitchScaled = o.baritonePitchScaled = o.bassPitchScaled = 1.1f;
    o.cameraStock = (mask & 8) ? 4 : 0;
    o.printOff = (mask & 16) ? 1 : 0;
    o.hdrComp = (mask & 32) ? 1 : 0;
    o.halationOff = (mask & 64) ? 1 : 0;
    o.softClipOn = (mask & 128) ? 1 : 0;
    const auto src = test_frame(W, H, channels, mask);
    const FrameRun r = run_frame(o, src);
    ASSERT_TRUE(r.ok) << "mask " << mask;
    expect_written_with_alpha(r, src, channels, mask);
    // All of the frame on one stream of its own, every buffer and Thrust
    // temporary from the pool: nothing synchronises the device.
    const auto trace = cudasim::launch_trace();
    for (const auto& l : trace) {
      ASSERT_TRUE(l.ran) << l.kernel << ", mask " << mask;
      ASSERT_TRUE(l.stream != nullptr && l.stream == trace.front().stream) << l.kernel << ", mask " << mask;
    }
    for (const auto& c : cudasim::call_log()) ASSERT_EQ(c.sync_allocs, 0) << c.function << ", mask " << mask;
    if (HasFailure()) break;
  }
}

}  // namespace
