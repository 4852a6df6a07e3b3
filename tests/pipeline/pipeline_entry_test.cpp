// The pipeline entry on the CPU build, with stand-ins for the halation, film
// and the generic way into Lab: the road chosen for each combination of switches,
// each stage once and in order, buffer hygiene on every road and frame size,
// and the failure paths.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include <cuda.h>

#include "cudasim/thrust_compat.h"
#include "documented_errors.h"
#include "entry_harness.h"
#include "tests/host/fresh_process.h"
#include "pipeline/launch_shapes.h"
#include "pipeline/pipeline_stages.h"
#include "pipeline/pixel_kernels.cuh"
#include "pipeline/texture_lab_in.cuh"
#include "pipeline/texture_lab_out.cuh"

// Stand-ins for the halation and film stages and the generic way into Lab,
// linked in place of the real ones. Each launches one kernel of its own name, so the launch
// trace shows where it ran, and applies a distinct transform that does not
// commute with the others, so a stage run twice, skipped or run out of order
// changes the output.
namespace standin {
float halation_value(float v) { return 0.5f * v + 0.1f; }
float film_value(float v) { return v * v + 0.05f; }
// How the film stand-in fails: not at all, by its result, or by throwing (as
// a device library may: with film_thrown, its error; else an exception of no
// device library).
enum class FilmFailure { kNone, kResult, kThrow } film_failure = FilmFailure::kNone;
cudaError_t film_thrown = cudaSuccess;
// Called as the film stage starts, on the render's thread, its buffers held.
std::function<void()> film_hold;
}  // namespace standin

#define STANDIN_PIXEL(W, H)                             \
  const int x = blockIdx.x * blockDim.x + threadIdx.x; \
  const int y = blockIdx.y * blockDim.y + threadIdx.y; \
  if (x >= (W) || y >= (H)) return;                     \
  const size_t e = (size_t(y) * size_t(W) + size_t(x)) * 4

// Lab values in (0.25, 0.75) for frames in (0, 1).
float lab_value(float v) { return 0.5f * v + 0.25f; }

// The ways into Lab: the generic one's stand-in, the dedicated ones as they are.
void standin_lab_in(const TextureLabIn& way, const float code[3], float lab[3]) {
  if (way.way == kLabInGeneric) {
    for (int c = 0; c < 3; ++c) lab[c] = lab_value(code[c]);
  } else {
    texture_lab_in(way, code, lab);
  }
}

// Halation contract: the ends' exposure first, then their soft clips, and
// their way into Lab last (L' also into their plane); the result into img,
// or into tmp with img's alpha; the other buffer's colour is scratch (NaN
// here), its alpha kept.
__global__ void standin_halation(float* img, float* tmp, int W, int H, HalationEnds ends) {
  STANDIN_PIXEL(W, H);
  float* const out = ends.intoTmp ? tmp : img;
  float* const scratch = ends.intoTmp ? img : tmp;
  float code[3];
  for (int c = 0; c < 3; ++c) {
    const float v = standin::halation_value(exposure_value(img[e + c], ends.exposure, ends.exposureAmount));
    scratch[e + c] = NAN;
    code[c] = soft_clips_value(v, ends.clips);
  }
  if (ends.lab.way == kLabInNone) {
    for (int c = 0; c < 3; ++c) out[e + c] = code[c];
  } else {
    float lab[3];
    standin_lab_in(ends.lab, code, lab);
    store_lab(out + e, ends.lightness, e / 4, lab);
  }
  if (ends.intoTmp) tmp[e + 3] = img[e + 3];
}

// Film contract: the result, with a's alpha, in the frame the road reads
// next; the other is scratch, left as NaN here so a road reading it shows.
__global__ void standin_film(float* a, float* b, int W, int H, int resultInA) {
  STANDIN_PIXEL(W, H);
  float v[4] = {0.0f, 0.0f, 0.0f, a[e + 3]};
  for (int c = 0; c < 3; ++c) v[c] = standin::film_value(a[e + c]);
  float* out = resultInA ? a : b;
  float* scratch = resultInA ? b : a;
  for (int c = 0; c < 4; ++c) scratch[e + c] = NAN;
  for (int c = 0; c < 4; ++c) out[e + c] = v[c];
}

__global__ void ColorSpace_LAB(float* img, int W, int H, int, int, float* lightness) {
  STANDIN_PIXEL(W, H);
  for (int c = 0; c < 3; ++c) img[e + c] = lab_value(img[e + c]);
  lightness[e / 4] = img[e];
}

bool halation(float* img, float* tmp, TextureOptionsStruct o, const DeviceWork& work, const HalationEnds& ends) {
  CUDA_LAUNCH_STREAM(standin_halation, launch_shape::pixel_grid(o.frameWidth, o.frameHeight),
                     launch_shape::pixel_block(), 0, work.stream, img, tmp, o.frameWidth, o.frameHeight, ends);
  return true;
}

bool film_brew_print_cuda(float* a, float* b, TextureOptionsStruct o, const DeviceWork& work, FilmResult result) {
  if (standin::film_hold) standin::film_hold();
  if (standin::film_failure == standin::FilmFailure::kThrow) {
    if (standin::film_thrown != cudaSuccess) thrust_compat::throw_device_error("standin_film", standin::film_thrown);
    throw std::runtime_error("not a device library's failure");
  }
  if (standin::film_failure == standin::FilmFailure::kResult) return false;
  CUDA_LAUNCH_STREAM(standin_film, launch_shape::pixel_grid(o.frameWidth, o.frameHeight), launch_shape::pixel_block(),
                     0, work.stream, a, b, o.frameWidth, o.frameHeight, int(result == FilmResult::kInA));
  return true;
}

namespace {

using Names = std::vector<std::string>;

// Kernel names of the last call, with the stand-in stages shown by name.
Names trace_names() {
  Names names;
  for (const auto& l : cudasim::launch_trace())
    names.push_back(l.kernel == "standin_halation" ? "halation" : l.kernel == "standin_film" ? "film" : l.kernel);
  return names;
}

// Sets the record fields named in `settings`, "field=value ...".
void set_fields(TextureOptionsStruct& o, const std::string& settings) {
#define FIELD(f) {#f, [](TextureOptionsStruct& r, float v) { r.f = decltype(r.f)(v); }}
  static const std::map<std::string, void (*)(TextureOptionsStruct&, float)> fields = {
      FIELD(inputGamut),          FIELD(exposureAmount),     FIELD(exposureMode),    FIELD(hdrComp),
      FIELD(cameraStock),         FIELD(printOff),           FIELD(halationOff),     FIELD(softClipOn),
      FIELD(brewSoftClipOn),      FIELD(pitchOff),           FIELD(ensemblePitchScaled),
      FIELD(sopranoPitchScaled),  FIELD(altoPitchScaled),    FIELD(tenorPitchScaled), FIELD(baritonePitchScaled),
      FIELD(bassPitchScaled)};
#undef FIELD
  std::istringstream in(settings);
  for (std::string s; in >> s;) fields.at(s.substr(0, s.find('=')))(o, std::stof(s.substr(s.find('=') + 1)));
}

// Kernel names; "texture" stands for the texture stage of one level, out of
// Lab.
Names names(std::string text) {
  for (size_t at = text.find("texture"); at != std::string::npos; at = text.find("texture", at))
    text.replace(at, 7, "iir_guassian iir_guassian_rows pitch_sharp_out");
  Names n;
  std::istringstream in(text);
  for (std::string s; in >> s;) n.push_back(s);
  return n;
}

// Every road at odd sizes, RGB and RGBA: the stages in order, each once, and
// the frame's invariants (run_frame); a 1 x 1 frame is one block per launch.
// A road that runs no stage passes the frame unchanged: on the bare no-film
// road a switched-off halation must not run.
TEST(PipelineEntry, EachRoadRunsItsStagesOnceInOrder) {
  const struct {
    const char *name, *settings, *expected;
  } cases[] = {
      {"plain, film, generic", "exposureAmount=1.5 halationOff=0 softClipOn=1 brewSoftClipOn=1",
       "halation film"},
      {"plain, film, generic with hdrComp: no compression", "hdrComp=1 exposureAmount=0.1 exposureMode=2",
       "exposure_log film"},
      {"plain, film, dedicated with hdrComp", "inputGamut=4 hdrComp=1 brewSoftClipOn=1",
       "highlights_shadows_Kernel RGBA_ACES_AP0_compress film RGBA_ACES_AP0_expand_sRGB"},
      {"plain, negative only, dedicated with hdrComp", "inputGamut=5 hdrComp=1 printOff=1",
       "RGBA_ACES_AP1_compress film RGBA_ACES_AP1_expand_sRGB"},
      {"plain, camera stock 0 with the print stage still runs the film stage", "cameraStock=0 inputGamut=30", "film"},
      {"plain, no film, soft clip",
       "cameraStock=0 printOff=1 softClipOn=1 brewSoftClipOn=1 halationOff=0 exposureAmount=2",
       "halation"},
      {"plain, no film, exposure only", "cameraStock=0 printOff=1 exposureAmount=0.2 exposureMode=2 halationOff=0",
       "halation"},
      {"plain, no film, nothing but halation", "cameraStock=0 printOff=1 halationOff=0", "halation"},
      {"plain, no film, halation off", "cameraStock=0 printOff=1", ""},
      {"texture, dedicated, hdrComp, film",
       "inputGamut=0 ensemblePitchScaled=1.2 hdrComp=1 brewSoftClipOn=1 exposureAmount=2 exposureMode=2",
       "exposure_linear_gamma highlights_shadows_Kernel Lin_rec709_compress_LAB texture film "
       "RGBA_rec709_expand_sRGB"},
      {"texture, dedicated, film without hdrComp",
       "inputGamut=5 ensemblePitchScaled=0 brewSoftClipOn=1 softClipOn=1 halationOff=0",
       "halation texture film"},
      {"texture, dedicated, no film, expanding",
       "inputGamut=30 ensemblePitchScaled=1.2 hdrComp=1 cameraStock=0 printOff=1 brewSoftClipOn=1",
       "Lin_rec2020_compress_LAB texture"},
      {"texture, generic index above 30, no film",
       "inputGamut=31 ensemblePitchScaled=1.2 cameraStock=0 printOff=1 exposureAmount=0.1 exposureMode=2 hdrComp=1",
       "exposure_log ColorSpace_LAB texture"},
      {"texture, generic, film", "inputGamut=2 ensemblePitchScaled=1.2 brewSoftClipOn=1",
       "ColorSpace_LAB texture film"},
      {"texture, generic, the glow's last pass into Lab", "inputGamut=2 ensemblePitchScaled=1.2 halationOff=0",
       "halation texture film"},
      {"texture, camera stock 0 with the print stage: negative step before the film stage",
       "inputGamut=0 ensemblePitchScaled=1.2 cameraStock=0 brewSoftClipOn=1",
       "rec709_LAB texture film"},
      {"ensemble on the float next to 1.0 takes the texture road", "ensemblePitchScaled=1.00000012",
       "ColorSpace_LAB texture film"},
      {"pitch off takes the plain road", "ensemblePitchScaled=1.2 pitchOff=1", "film"},
  };
  const int sizes[][2] = {{37, 23}, {1, 1}, {1025, 2}};
  for (const auto& size : sizes)
    for (int channels : {3, 4})
      for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.name << ", " << size[0] << "x" << size[1] << "x" << channels);
        TextureOptionsStruct o = plain_options(size[0], size[1], channels);
        set_fields(o, c.settings);
        const auto src = test_frame(size[0], size[1], channels);
        const FrameRun r = run_frame(o, src);
        EXPECT_TRUE(r.ok);
        if (!*c.expected) { EXPECT_EQ(r.out, src); }
        EXPECT_EQ(trace_names(), names(channels == 3 ? std::string("RGB_RGBA_Kernel ") + c.expected + " RGBA_RGB_Kernel"
                                                     : c.expected));
        if (size[0] == 1) {
          for (const auto& l : cudasim::launch_trace()) EXPECT_EQ(l.grid.x * l.grid.y * l.grid.z, 1u) << l.kernel;
        }
        if (HasFailure()) return;
      }
}

// Only the four scene-linear inputs have Lab kernels of their own (and the
// luminance compression); every other index takes the generic pair.
TEST(PipelineEntry, DedicatedLabKernelsForTheFourLinearInputsOnly) {
  const std::map<int, std::string> dedicated = {{0, "rec709"}, {4, "ACES_AP0"}, {5, "ACES_AP1"}, {30, "rec2020"}};
  for (int gamut = 0; gamut < 49; ++gamut) {
    TextureOptionsStruct o = plain_options(3, 2, 4);
    set_fields(o, "ensemblePitchScaled=1.2 hdrComp=1 cameraStock=0 printOff=1 inputGamut=" + std::to_string(gamut));
    EXPECT_TRUE(run_frame(o, test_frame(3, 2, 4)).ok);
    const auto it = dedicated.find(gamut);
    const std::string in = it == dedicated.end() ? "ColorSpace_LAB" : "Lin_" + it->second + "_compress_LAB";
    EXPECT_EQ(trace_names().front(), in) << "input " << gamut;
  }
}

// The stand-ins' transforms do not commute: a stage skipped, doubled or
// moved changes the values; so does an exposure or a soft clip the glow's
// passes take over wrongly.
TEST(PipelineEntry, PlainRoadValuesFollowTheStageOrder) {
  const struct {
    const char* settings;
    bool log, halation, negativeClip, film;
  } cases[] = {
      {"exposureAmount=1.7 halationOff=0 softClipOn=1 brewSoftClipOn=1", false, true, true, true},
      {"exposureAmount=1.7 softClipOn=1 brewSoftClipOn=1", false, false, true, true},
      {"cameraStock=0 printOff=1 exposureAmount=1.7 halationOff=0 softClipOn=1 brewSoftClipOn=1", false, true, false,
       false},
      {"cameraStock=0 printOff=1 exposureAmount=0.2 exposureMode=2 halationOff=0", true, true, false, false},
  };
  const auto src = test_frame(7, 5, 4, 3);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.settings);
    TextureOptionsStruct o = plain_options(7, 5, 4);
    set_fields(o, c.settings);
    const FrameRun r = run_frame(o, src);
    ASSERT_TRUE(r.ok);
    for (size_t i = 0; i < src.size(); ++i) {
      float v = c.log ? exposure_log_value(src[i], o.exposureAmount) : exposure_linear_value(src[i], o.exposureAmount);
      if (c.halation) v = standin::halation_value(v);
      if (o.softClipOn)
        v = highlights_shadows_value(v, o.cameraHighlightsCeiling, o.cameraHighlightsRecoverScaled,
                                     o.cameraShadowsCeilingScaled, o.cameraShadowsRecoverScaled);
      if (c.negativeClip)
        v = highlights_shadows_value(v, o.brewHighlightCeiling, o.brewHighlightCompressScaled,
                                     o.brewShadowFloorScaled, o.brewShadowExpandScaled);
      if (c.film) v = standin::film_value(v);
      ASSERT_FLOAT_EQ(r.out[i], i % 4 == 3 ? src[i] : v) << i;
    }
  }
}

// Trailing unit gains skip their levels. With all gains at 1 the bands add
// up to nothing: the frame comes back out of the stand-in's Lab values, of
// the glow's result where the glow's last pass took the frame into Lab (the
// first level's L' read from the plane both ways into Lab wrote).
TEST(PipelineEntry, TrailingUnitGainsSkipTheirLevels) {
  const struct {
    const char* gains;
    int levels;
  } cases[] = {{"sopranoPitchScaled=1.5", 1}, {"bassPitchScaled=1.5", 6}, {"altoPitchScaled=0.5", 3}, {"", 1},
               {"halationOff=0", 1}, {"sopranoPitchScaled=0.4 baritonePitchScaled=2", 5}};
  const auto src = test_frame(37, 23, 4, 9);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.gains);
    TextureOptionsStruct o = plain_options(37, 23, 4);
    set_fields(o, std::string("ensemblePitchScaled=0.4 cameraStock=0 printOff=1 ") + c.gains);
    const FrameRun r = run_frame(o, src);
    const Names t = trace_names();
    EXPECT_EQ(std::count(t.begin(), t.end(), "pitch_sharp_rows"), c.levels - 1);
    EXPECT_EQ(std::count(t.begin(), t.end(), "iir_guassian"), c.levels);
    EXPECT_EQ(std::count(t.begin(), t.end(), "iir_guassian_rows"), 1);
    EXPECT_EQ(std::count(t.begin(), t.end(), "pitch_sharp_out"), 1);
    EXPECT_EQ(std::count(t.begin(), t.end(), "ColorSpace_LAB"), o.halationOff ? 1 : 0);
    if (c.gains[0] == '\0' || !o.halationOff) {
      const TextureLabOut way{kLabOutGeneric, o.inputGamut, 0, 1.0f, 1.0f, 0.0f, 0.0f};
      const auto halated = [&](float v) { return o.halationOff ? v : standin::halation_value(v); };
      for (size_t i = 0; i < src.size(); i += 4) {
        const float lab[3] = {lab_value(halated(src[i])), lab_value(halated(src[i + 1])),
                              lab_value(halated(src[i + 2]))};
        float code[3];
        texture_lab_out(way, lab, code);
        for (int c = 0; c < 3; ++c) ASSERT_NEAR(r.out[i + c], code[c], 1e-4f * std::fmax(1.0f, code[c])) << i + c;
        ASSERT_EQ(r.out[i + 3], src[i + 3]) << i + 3;
      }
    }
  }
}

TEST(PipelineEntry, BadFramesReturnAtOnceWithoutTouchingTheDevice) {
  std::vector<float> src(64, 0.5f), dst(64, -1.0f);
  const int bad[][3] = {{0, 4, 4}, {4, 0, 4}, {-3, 4, 3}, {4, -1, 3}, {2, 2, 2}, {2, 2, 5}, {2, 2, 0}, {2, 2, 1}};
  cudasim::reset();
  for (const auto& b : bad) EXPECT_FALSE(texture_pitch_compress_expand(src.data(), dst.data(), plain_options(b[0], b[1], b[2])));
  const TextureOptionsStruct o = plain_options(2, 2, 4);
  EXPECT_FALSE(texture_pitch_compress_expand(nullptr, dst.data(), o));
  EXPECT_FALSE(texture_pitch_compress_expand(src.data(), nullptr, o));
  EXPECT_TRUE(cudasim::call_log().empty());
  EXPECT_TRUE(cudasim::launch_trace().empty());
  EXPECT_EQ(dst, std::vector<float>(64, -1.0f));
}

// Any CUDA failure up to the frame's one wait fails the frame, and every
// buffer allocated is freed and the stream destroyed; so does a film stage
// that fails by its result or by throwing (as a device library may). Memory
// that stays short fails it as out of memory; memory short once is waited
// out: with no other render holding any, the pool's kept memory goes back
// and the frame is rendered again.
TEST(PipelineEntry, FailuresFailTheFrameAndFreeEverything) {
  const struct {
    const char* function;
    int nth;
    cudaError_t error;
  } cases[] = {{"cudaSetDevice", 1, cudaErrorInvalidDevice},
               {"cudaStreamCreateWithFlags", 1, cudaErrorMemoryAllocation},
               {"cudaMallocFromPoolAsync", 1, cudaErrorMemoryAllocation},
               {"cudaMallocFromPoolAsync", 2, cudaErrorMemoryAllocation},
               {"cudaMallocFromPoolAsync", 3, cudaErrorMemoryAllocation},
               {"cudaMallocFromPoolAsync", 4, cudaErrorMemoryAllocation},  // the texture stage's plane
               {"cudaMemcpyAsync", 1, cudaErrorInvalidValue},
               {"cudaMemcpyAsync", 2, cudaErrorInvalidValue}, {"launch", 1, cudaErrorLaunchOutOfResources},
               {"launch", 3, cudaErrorInvalidConfiguration}, {"pitch_sharp_out", 1, cudaErrorLaunchOutOfResources},
               {"RGBA_RGB_Kernel", 1, cudaErrorLaunchOutOfResources},
               {"cudaFreeAsync", 2, cudaErrorInvalidValue},  // given back after the stream instead
               {"cudaStreamSynchronize", 1, cudaErrorInvalidResourceHandle}};
  for (int channels : {3, 4}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::Message() << c.function << " " << c.nth << ", " << channels << " channels");
      TextureOptionsStruct o = plain_options(37, 23, channels);
      set_fields(o, "ensemblePitchScaled=1.2 exposureAmount=2");
      const bool memory = c.error == cudaErrorMemoryAllocation;
      const auto fail = [&] { cudasim::fail_call(c.function, c.nth, c.error, memory ? -1 : 1); };
      const FrameRun r = run_frame(o, test_frame(37, 23, channels), fail);
      // RGBA frames have no narrowing launch to fail.
      const bool delivered = std::string(c.function) == "RGBA_RGB_Kernel" && channels == 4;
      EXPECT_EQ(r.ok, delivered);
      EXPECT_EQ(texture_pitch_compress_expand_failure(),
                delivered ? kFrameNotFailed : memory ? kFrameOutOfMemory : kFrameFailed);
      if (memory) {
        const FrameRun again = run_frame(o, test_frame(37, 23, channels), [&] { cudasim::fail_call(c.function, c.nth, c.error); });
        EXPECT_TRUE(again.ok);
        int trims = 0;
        for (const auto& call : cudasim::call_log()) trims += call.function == "cudaMemPoolTrimTo";
        EXPECT_EQ(trims, 1);
      }
    }
  }
  for (auto failure : {standin::FilmFailure::kResult, standin::FilmFailure::kThrow}) {
    standin::film_failure = failure;
    EXPECT_FALSE(run_frame(plain_options(5, 5, 4), test_frame(5, 5, 4)).ok);
  }
  standin::film_failure = standin::FilmFailure::kNone;
}

// Frames take their buffers from the device's pool and wait for the device
// once; on a device without memory pools the same frame comes through plain
// allocations. What the pool keeps goes back on request.
TEST(PipelineEntry, FramesTakeBuffersFromThePoolAndWaitOnce) {
  TextureOptionsStruct o = plain_options(37, 23, 3);
  set_fields(o, "ensemblePitchScaled=1.3 halationOff=0");
  const auto src = test_frame(37, 23, 3, 5);
  const FrameRun pooled = run_frame(o, src);
  ASSERT_TRUE(pooled.ok);
  int waits = 0;
  for (const auto& c : cudasim::call_log()) waits += c.host_waits;
  EXPECT_EQ(waits, 1);
  // A, B, C and the one-level texture stage's plane, from the pool: nothing
  // synchronised (run_frame).
  EXPECT_EQ(cudasim::allocation_stats().allocations, 4u);
  cudasim::clear_call_log();
  release_cached_device_memory();
  ASSERT_FALSE(cudasim::call_log().empty());
  EXPECT_EQ(cudasim::call_log().front().function, "cudaMemPoolTrimTo");

  cudasim::reset();
  cudasim::Device plain;
  plain.attributes[cudaDevAttrMemoryPoolsSupported] = 0;
  cudasim::set_devices({plain});
  std::vector<float> out(src.size());
  ASSERT_TRUE(texture_pitch_compress_expand(src.data(), out.data(), o));
  EXPECT_EQ(out, pooled.out);
  EXPECT_EQ(cudasim::allocation_stats().allocations, 4u);
  EXPECT_EQ(cudasim::allocation_stats().live + cudasim::allocation_stats().live_streams, 0u);
  for (const auto& c : cudasim::call_log()) EXPECT_NE(c.function, "cudaMallocFromPoolAsync");
}

// A frame short of memory while another render holds it waits; when the
// host aborts it, it gives up within 100 ms, as aborted, its memory long
// handed back. A frame whose host does not abort it waits on and renders
// once the holder is done.
TEST(PipelineEntry, AFrameWaitingForMemoryGivesUpWhenTheHostAborts) {
  using Clock = std::chrono::steady_clock;
  cudasim::reset();
  const TextureOptionsStruct o = plain_options(9, 7, 4);
  const auto src = test_frame(9, 7, 4, 3);
  std::vector<float> alone(src.size());
  ASSERT_TRUE(texture_pitch_compress_expand(src.data(), alone.data(), o));

  struct Host {
    std::atomic<bool> aborted{false};
    std::atomic<int> asked{0};
    static bool query(void* host) {
      Host& h = *static_cast<Host*>(host);
      ++h.asked;
      return h.aborted;
    }
  } aborting, patient;
  std::atomic<bool> holding{false}, release{false};
  std::atomic<int> films{0};
  standin::film_hold = [&] {
    if (films++ > 0) return;
    holding = true;
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  std::vector<float> held(src.size()), gave_up(src.size()), waited(src.size());
  bool held_ok = false, gave_up_ok = true, waited_ok = false;
  FrameFailure gave_up_why = kFrameNotFailed;
  std::thread holder([&] { held_ok = texture_pitch_compress_expand(src.data(), held.data(), o); });
  while (!holding) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  // The device is full now: every frame's first buffer fails.
  cudasim::fail_call("cudaMallocFromPoolAsync", 1, cudaErrorMemoryAllocation, -1);
  std::atomic<bool> gave_up_done{false};
  std::thread aborted([&] {
    gave_up_ok = texture_pitch_compress_expand(src.data(), gave_up.data(), o, Host::query, &aborting);
    gave_up_why = texture_pitch_compress_expand_failure();
    gave_up_done = true;
  });
  std::thread waiting([&] {
    waited_ok = texture_pitch_compress_expand(src.data(), waited.data(), o, Host::query, &patient);
  });
  const auto until = [](const std::function<bool()>& done) {
    for (const auto end = Clock::now() + std::chrono::seconds(10); !done() && Clock::now() < end;)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
  };
  EXPECT_TRUE(until([&] { return aborting.asked > 0 && patient.asked > 0; })) << "the host was not asked";
  const auto start = Clock::now();
  aborting.aborted = true;
  EXPECT_TRUE(until([&] { return gave_up_done.load(); }));
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100));
  cudasim::clear_failures();
  release = true;
  aborted.join();
  EXPECT_FALSE(gave_up_ok);
  EXPECT_EQ(gave_up_why, kFrameAborted);
  holder.join();
  waiting.join();
  standin::film_hold = nullptr;
  EXPECT_TRUE(held_ok);
  EXPECT_TRUE(waited_ok);
  EXPECT_EQ(held, alone);
  EXPECT_EQ(waited, alone);
  EXPECT_EQ(cudasim::allocation_stats().live, 0u);
}

TEST(PipelineEntry, ConcurrentCallsEqualSequentialOnes) {
  cudasim::reset();
  const int W = 61, H = 47;
  TextureOptionsStruct a = plain_options(W, H, 4), b = plain_options(W, H, 3);
  set_fields(a, "ensemblePitchScaled=1.3 tenorPitchScaled=1.6 inputGamut=4 hdrComp=1 halationOff=0");
  set_fields(b, "exposureAmount=2 softClipOn=1 ensemblePitchScaled=0.7 bassPitchScaled=0.5");
  const auto src_a = test_frame(W, H, 4, 21), src_b = test_frame(W, H, 3, 22);
  std::vector<float> seq_a(src_a.size()), seq_b(src_b.size()), par_a(src_a.size()), par_b(src_b.size());
  ASSERT_TRUE(texture_pitch_compress_expand(src_a.data(), seq_a.data(), a));
  ASSERT_TRUE(texture_pitch_compress_expand(src_b.data(), seq_b.data(), b));
  for (int round = 0; round < 3; ++round) {
    bool ok_a = false, ok_b = false;
    std::thread ta([&] { ok_a = texture_pitch_compress_expand(src_a.data(), par_a.data(), a); });
    std::thread tb([&] { ok_b = texture_pitch_compress_expand(src_b.data(), par_b.data(), b); });
    ta.join();
    tb.join();
    EXPECT_TRUE(ok_a && ok_b);
    EXPECT_EQ(par_a, seq_a);
    EXPECT_EQ(par_b, seq_b);
  }
  EXPECT_EQ(cudasim::allocation_stats().live, 0u);
}

}  // namespace

namespace {

// The thread's CUDA state belongs to the host: a frame on one device leaves
// the other device current again, and a context the host made itself, on
// success, on a CUDA failure and when a stage throws. Without the driver's
// context calls the device alone comes back.
void expect_host_context_kept(bool driver_context) {
  enum class End { kSuccess, kFailure, kThrow };
  for (const End end : {End::kSuccess, End::kFailure, End::kThrow})
    for (const int host : {1, 0})
      for (const bool own_context : {false, true}) {
        SCOPED_TRACE(::testing::Message() << "host on " << host << (own_context ? " in its own context" : "")
                                          << ", end " << int(end));
        TextureOptionsStruct o = plain_options(9, 7, 4);
        o.cudaDevice = 1 - host;
        void* host_context = nullptr;
        standin::film_failure = end == End::kThrow ? standin::FilmFailure::kThrow : standin::FilmFailure::kNone;
        const FrameRun r = run_frame(o, test_frame(9, 7, 4), [&] {
          cudasim::set_devices({cudasim::Device{}, cudasim::Device{}});
          ASSERT_EQ(cudaSetDevice(host), cudaSuccess);
          if (own_context) {
            host_context = cudasim::create_context(host);
            void* set = nullptr;
            ASSERT_EQ(cudaGetDriverEntryPointByVersion("cuCtxSetCurrent", &set, 4000, cudaEnableDefault, nullptr),
                      cudaSuccess);
            reinterpret_cast<CUresult (*)(CUcontext)>(set)(static_cast<CUcontext>(host_context));
          }
          host_context = cudasim::current_context();
          if (end == End::kFailure) cudasim::fail_call("launch", 1, cudaErrorLaunchOutOfResources);
        });
        standin::film_failure = standin::FilmFailure::kNone;
        EXPECT_EQ(r.ok, end == End::kSuccess);
        bool rendered_on_frame_device = false;
        for (const auto& l : cudasim::launch_trace()) rendered_on_frame_device |= l.device == o.cudaDevice;
        EXPECT_TRUE(rendered_on_frame_device || end == End::kThrow);
        int current = -1;
        EXPECT_EQ(cudaGetDevice(&current), cudaSuccess);
        EXPECT_EQ(current, host);
        if (driver_context) {
          EXPECT_EQ(cudasim::current_context(), host_context);
        }
      }
}

TEST(PipelineEntry, TheHostThreadKeepsItsCurrentContextAndDevice) {
  expect_host_context_kept(true);
  cudasim::reset();
}

// The thread gets its context back, and nothing more: no primary context is
// made on a GPU the frame does not render on, whether the host's thread was
// in a context of its own there or in none.
TEST(PipelineEntry, TheHostThreadGetsNoContextOnAnotherGpu) {
  for (const bool own_context : {true, false}) {
    SCOPED_TRACE(own_context ? "in its own context on device 1" : "in no context");
    void* host_context = nullptr;
    bool ok = false, other_primary = true;
    void* after = nullptr;
    std::thread host_thread([&] {
      TextureOptionsStruct o = plain_options(9, 7, 4);
      o.cudaDevice = own_context ? 0 : 1;
      ok = run_frame(o, test_frame(9, 7, 4), [&] {
             cudasim::set_devices({cudasim::Device{}, cudasim::Device{}});
             if (!own_context) return;
             host_context = cudasim::create_context(1);
             void* set = nullptr;
             cudaGetDriverEntryPointByVersion("cuCtxSetCurrent", &set, 4000, cudaEnableDefault, nullptr);
             reinterpret_cast<CUresult (*)(CUcontext)>(set)(static_cast<CUcontext>(host_context));
           }).ok;
      other_primary = cudasim::has_primary_context(1 - o.cudaDevice);
      after = cudasim::current_context();
    });
    host_thread.join();
    EXPECT_TRUE(ok);
    EXPECT_FALSE(other_primary);
    EXPECT_EQ(after, host_context);
  }
  cudasim::reset();
}

TEST(PipelineEntry, WithoutTheDriverEntryPointsTheHostThreadKeepsItsDevice) {
  // The entry points are looked up once per process: in a fresh one.
  EXPECT_TRUE(ofxtest::runInFreshProcess([] {
    cudasim::reset();
    cudasim::fail_call("cudaGetDriverEntryPointByVersion", 1, cudaErrorNotSupported);
    TextureOptionsStruct o = plain_options(3, 3, 4);
    std::vector<float> src = test_frame(3, 3, 4), dst(src.size());
    ASSERT_TRUE(texture_pitch_compress_expand(src.data(), dst.data(), o));
    expect_host_context_kept(false);
  }));
}

}  // namespace

// A frame short of memory on a device it lost on the way is not rendered
// again: it fails as any frame that lost its device does, after one attempt.
TEST(PipelineEntry, OutOfMemoryOnADeviceTheFrameLostIsNotRetried) {
  EXPECT_TRUE(ofxtest::runInFreshProcess([] {
    const TextureOptionsStruct o = plain_options(9, 7, 4);
    const auto src = test_frame(9, 7, 4);
    std::vector<float> dst(src.size());
    cudasim::reset();
    cudasim::fail_call("cudaMallocFromPoolAsync", 3, cudaErrorMemoryAllocation);
    cudasim::fail_call("cudaStreamSynchronize", 1, cudaErrorIllegalAddress);
    EXPECT_FALSE(texture_pitch_compress_expand(src.data(), dst.data(), o));
    EXPECT_EQ(texture_pitch_compress_expand_failure(), kFrameFailed);
    // Each attempt begins by making the frame's device current.
    int attempts = 0;
    for (const auto& c : cudasim::call_log()) attempts += c.function == "cudaSetDevice";
    EXPECT_EQ(attempts, 1);
  }));
}

// A fault that poisons the context fails its frame and loses the device for
// the process: its later frames fail at once without a CUDA call, while
// another device keeps rendering. An ordinary failure loses nothing.
TEST(PipelineEntry, AContextFaultLosesItsDeviceAndOnlyIt) {
  EXPECT_TRUE(ofxtest::runInFreshProcess([] {
    TextureOptionsStruct o = plain_options(9, 7, 4);
    const auto src = test_frame(9, 7, 4);
    std::vector<float> dst(src.size());
    cudasim::reset();
    cudasim::set_devices({cudasim::Device{}, cudasim::Device{}});
    cudasim::fail_call("launch", 1, cudaErrorLaunchOutOfResources);
    EXPECT_FALSE(texture_pitch_compress_expand(src.data(), dst.data(), o));
    EXPECT_TRUE(texture_pitch_compress_expand(src.data(), dst.data(), o));
    const std::vector<float> good = dst;
    cudasim::fail_call("standin_film", 1, cudaErrorMisalignedAddress);
    EXPECT_FALSE(texture_pitch_compress_expand(src.data(), dst.data(), o));
    cudasim::clear_call_log();
    cudasim::clear_launch_trace();
    EXPECT_FALSE(texture_pitch_compress_expand(src.data(), dst.data(), o));
    EXPECT_TRUE(cudasim::call_log().empty());
    EXPECT_TRUE(cudasim::launch_trace().empty());
    o.cudaDevice = 1;
    std::fill(dst.begin(), dst.end(), -1.0f);
    EXPECT_TRUE(texture_pitch_compress_expand(src.data(), dst.data(), o));
    EXPECT_EQ(dst, good);
    for (const auto& l : cudasim::launch_trace()) EXPECT_EQ(l.device, 1) << l.kernel;
  }));
}

// Every fault the toolkit documents as leaving the process's CUDA state
// unusable loses its device, whether a kernel met it or a device library
// threw it (the device is lost at once, although the runtime here is left
// unpoisoned and the frame's wait succeeds); no other error does. Each fatal
// code has a device of its own, the others all meet device 0.
TEST(PipelineEntry, EveryFaultTheToolkitDocumentsAsFatalLosesItsDevice) {
  EXPECT_TRUE(ofxtest::runInFreshProcess([] {
    const DocumentedErrors errors = documented_errors();
    ASSERT_GE(errors.fatal.size(), 13u);  // CUDA 13.0 documents 13
    TextureOptionsStruct o = plain_options(9, 7, 4);
    const auto src = test_frame(9, 7, 4);
    std::vector<float> dst(src.size());
    cudasim::reset();
    cudasim::set_devices(std::vector<cudasim::Device>(1 + 2 * errors.fatal.size()));
    const auto frame_on = [&](int device) {
      o.cudaDevice = device;
      return texture_pitch_compress_expand(src.data(), dst.data(), o);
    };
    for (const cudaError_t e : errors.other) {
      // An uncorrectable ECC error is counted as fatal beyond the toolkit's word;
      // a one-off memory shortage is rendered again (the memory tests).
      if (e == cudaSuccess || e == cudaErrorECCUncorrectable || e == cudaErrorMemoryAllocation) continue;
      SCOPED_TRACE(::testing::Message() << "error " << int(e));
      cudasim::fail_call("standin_film", 1, e);
      EXPECT_FALSE(frame_on(0));
      EXPECT_TRUE(frame_on(0));
    }
    for (size_t i = 0; i < errors.fatal.size(); ++i)
      for (const bool thrown : {false, true}) {
        const int device = 1 + 2 * int(i) + int(thrown);
        const cudaError_t e = errors.fatal[i];
        SCOPED_TRACE(::testing::Message() << "error " << int(e) << (thrown ? ", thrown" : ""));
        if (thrown) {
          standin::film_failure = standin::FilmFailure::kThrow;
          standin::film_thrown = e;
        } else {
          cudasim::fail_call("standin_film", 1, e);
        }
        EXPECT_FALSE(frame_on(device));
        standin::film_failure = standin::FilmFailure::kNone;
        standin::film_thrown = cudaSuccess;
        cudasim::clear_call_log();
        EXPECT_FALSE(frame_on(device));
        for (const auto& c : cudasim::call_log()) EXPECT_NE(c.device, device) << c.function;
      }
    EXPECT_TRUE(frame_on(0));
  }));
}
