// The whole CPU pipeline with the real halation, film and generic Lab
// stages, on every road, bare and with exposure, halation and soft clip on,
// for a frame that holds the extremes of float among ordinary values and for
// a single RGB pixel at FLT_MAX: the frame's invariants (run_frame), no
// finite source giving a non-finite sample, and, whenever the print and
// display stage runs, a display-referred picture, or its highlight expansion.
// Then the expansion after the print on records of the render path's fill.
#include <cfloat>
#include <cmath>

#include "entry_harness.h"
#include "frame_roads.h"

namespace {

// The highlight expansion of display white (luminance 1):
// (exp((1 + 0.5457689) * 5.449095) - 1) * 0.0035166964, about 16.0.
constexpr float kExpandedWhite = 16.01f;

}  // namespace

TEST(PipelineIntegration, EveryRoadKeepsFiniteSourcesFiniteAndPrintsInTheDisplayRange) {
  std::vector<float> extremes = test_frame(6, 5, 4, 7);
  const float values[] = {FLT_MAX, -FLT_MAX, 1e38f, -1e20f, 1e30f, -1e30f, 5e15f, -1e10f, 30.0f, 4.0f};
  for (int k = 0; k < 10; ++k) {
    for (int c = 0; c < 3; ++c) extremes[size_t(3 * k) * 4 + c] = values[k];  // grey
    extremes[size_t(3 * k + 1) * 4 + k % 3] = values[k];                      // one channel
  }
  const struct {
    int W, H, channels;
    std::vector<float> src;
  } frames[] = {{6, 5, 4, extremes}, {1, 1, 3, {FLT_MAX, FLT_MAX, FLT_MAX}}};
  for (const auto& f : frames)
    for (int gamut : {0, 4, 5, 30, 7, 31, 46})
      for (unsigned mask = 0; mask < 32; ++mask) {
        SCOPED_TRACE(::testing::Message() << f.W << "x" << f.H << ", gamut " << gamut << ", mask " << mask);
        TextureOptionsStruct o = plain_options(f.W, f.H, f.channels);
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
        o.printerLightRedScaled = o.printerLightGreenScaled = o.printerLightBlueScaled = 1.818f;
        o.printerBlackPointRedScaled = o.printerBlackPointGreenScaled = o.printerBlackPointBlueScaled = 0.0176f;
        o.printBlendComplement = o.printSaturation = 1.0f;
        const FrameRun r = run_frame(o, f.src);
        ASSERT_TRUE(r.ok);
        const bool expanded = o.hdrComp && (gamut == 0 || gamut == 4 || gamut == 5 || gamut == 30);
        for (size_t i = 0; i < r.out.size(); ++i) {
          ASSERT_TRUE(std::isfinite(r.out[i])) << "element " << i;
          if (!o.printOff && (f.channels == 3 || i % 4 != 3)) {
            ASSERT_TRUE(r.out[i] >= 0.0f && r.out[i] <= (expanded ? kExpandedWhite : 1.0f))
                << "element " << i << ": " << r.out[i];
          }
        }
        if (HasFailure()) return;
      }
}

// HDR compensation around the print on linear Rec.709 with the Custom print
// stock: the expansion after the print is the exact inverse of the
// compression in front of the film stage, so the printed picture comes back
// scene-referred and is not held to [0, 1]. The expected values were worked
// out apart from this code, in double precision, from the stage definitions:
// grey 0.5 compressed to 0.36523, the print's tone scale (no toe) and path
// to white, the LogC4 round trip, Bradford from the D55 to the D65 white,
// 1/2.2, the Custom printer points (filmic pivot gain 1/0.71, slope 2, black
// 0.017625, light 1.818), then the expansion by Rec.709 luminance. Grey 100
// prints at (0.94516, 0.99440, 1) before its expansion.
TEST(PipelineIntegration, HighlightExpansionAfterThePrintIsNotHeldToTheDisplayRange) {
  const TextureOptionsStruct o = frame_roads::record(
      {{"InputGamut", 0}, {"HDRcomp", 1}, {"PrintDisplayBypass", 0}, {"PrintProfile", 1}}, 2, 1, 4);
  const FrameRun r = run_frame(o, {0.5f, 0.5f, 0.5f, 1.0f, 100.0f, 100.0f, 100.0f, 1.0f});
  ASSERT_TRUE(r.ok);
  const float expected[2][3] = {{1.930636f, 2.074184f, 2.294973f}, {14.105981f, 14.840807f, 14.924384f}};
  for (int p = 0; p < 2; ++p)
    for (int c = 0; c < 3; ++c) {
      const float v = r.out[size_t(4 * p + c)];
      EXPECT_NEAR(v, expected[p][c], 1e-3f * expected[p][c]) << "grey " << (p ? 100 : 0.5) << ", channel " << c;
      EXPECT_TRUE(std::isfinite(v) && v > 1.0f) << v;
    }
}

// A frame whose halation cannot have its work memory fails as out of memory
// (no frame without its glow is delivered as the one asked for) and leaves
// nothing allocated (run_frame).
TEST(PipelineIntegration, AFrameWithoutHalationMemoryFailsAndFreesEverything) {
  for (int failing : {4, 5}) {  // after A, B and C: the blur plane, then the source copy
    TextureOptionsStruct o = plain_options(11, 6, 4);
    o.halationOff = 0;
    o.halationBreadthScaled = 0.5f;
    const FrameRun r = run_frame(o, test_frame(11, 6, 4), [&] {
      cudasim::fail_call("cudaMallocFromPoolAsync", failing, cudaErrorMemoryAllocation, -1);
    });
    EXPECT_FALSE(r.ok) << failing;
    EXPECT_EQ(texture_pitch_compress_expand_failure(), kFrameOutOfMemory) << failing;
  }
}
