// The whole CPU pipeline with the real halation, film and generic Lab
// stages, over the record's switches and odd frame sizes.
#include <cfloat>
#include <cmath>

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

// Every road on a frame that holds the extremes of float among ordinary
// values: no finite source gives a non-finite sample, and whenever the print
// and display stage runs the picture is display-referred, also after the
// highlight expansion.
TEST(PipelineIntegration, FiniteSourcesGiveFiniteFramesAndPrintsStayInTheDisplayRange) {
  const int W = 6, H = 5;
  std::vector<float> src = test_frame(W, H, 4, 7);
  const float extremes[] = {FLT_MAX, -FLT_MAX, 1e38f, -1e20f, 1e30f, -1e30f, 5e15f, -1e10f, 30.0f, 4.0f};
  for (int k = 0; k < 10; ++k) {
    for (int c = 0; c < 3; ++c) src[size_t(3 * k) * 4 + c] = extremes[k];  // grey
    src[size_t(3 * k + 1) * 4 + k % 3] = extremes[k];                        // one channel
  }
  // The roads, each bare and with exposure, halation and soft clip on.
  for (int gamut : {0, 4, 5, 30, 7})
    for (unsigned mask = 0; mask < 32; ++mask) {
      TextureOptionsStruct o = plain_options(W, H, 4);
      o.inputGamut = gamut;
      o.ensemblePitchScaled = (mask & 1) ? 1.2f : 1.0f;
      o.bassPitchScaled = 2.4f;
      o.cameraStock = (mask & 2) ? 4 : 0;
      o.printOff = (mask & 4) ? 1 : 0;
      o.hdrComp = (mask & 8) ? 1 : 0;
      o.exposureAmount = (mask & 16) ? 1.5f : 0.0f;
      o.halationOff = (mask & 16) ? 0 : 1;
      o.softClipOn = (mask & 16) ? 1 : 0;
      o.displayScale = 100.0f;
      o.printerLightRedScaled = o.printerLightGreenScaled = o.printerLightBlueScaled = 1.0f;
      o.printBlendComplement = o.printSaturation = 1.0f;
      const FrameRun r = run_frame(o, src);
      ASSERT_TRUE(r.ok) << "gamut " << gamut << ", mask " << mask;
      for (size_t i = 0; i < r.out.size(); ++i) {
        ASSERT_TRUE(std::isfinite(r.out[i])) << "gamut " << gamut << ", mask " << mask << ", element " << i;
        if (!o.printOff && i % 4 != 3) {
          ASSERT_TRUE(r.out[i] >= 0.0f && r.out[i] <= 1.0f)
              << "gamut " << gamut << ", mask " << mask << ", element " << i << ": " << r.out[i];
        }
      }
    }
}
