// Host orchestration of one frame: device buffers A, B and C, the plain and
// the texture road, each with its no-film branch, and the film stage.
#include "pipeline/texture_pitch_compress_expand.h"

#include <cstdint>
#include <optional>
#include <type_traits>

#include "cudasim/thrust_compat.h"
#include "pipeline/cuda_context_guard.h"
#include "pipeline/device_memory_turns.h"
#include "pipeline/device_work.h"
#include "pipeline/gamut_lab_kernels.h"
#include "pipeline/launch_shapes.h"
#include "pipeline/lost_devices.h"
#include "pipeline/pipeline_stages.h"
#include "pipeline/pixel_kernels.h"
#include "pipeline/texture_kernels.h"

namespace {

// The literal channel stride of the device layout.
constexpr int kStride = 4;

// A per-pixel kernel over the frame, on the frame's stream (in members of Frame).
#define FRAME_PIXELS(kernel, ...) \
  CUDA_LAUNCH_STREAM(kernel, pixels(), launch_shape::pixel_block(), 0, stream_, __VA_ARGS__)

// Sigma of texture level k (1-based) is 0.4 * 2^(k - 1).
constexpr float kLevelSigma[6] = {0.4f, 0.8f, 1.6f, 3.2f, 6.4f, 12.8f};

// Device buffers of one call, from the render's pool; freed C, A, B on every
// path.
struct DeviceBuffers {
  explicit DeviceBuffers(const DeviceWork& w) : work(w) {}
  const DeviceWork& work;
  float* A = nullptr;  // upload target, early stages, texture source
  float* B = nullptr;  // second working image, holds the result at download
  float* C = nullptr;  // RGB staging (3 channels) or scratch plane
  void release() {
    work.release(C);
    work.release(A);
    work.release(B);
  }
  ~DeviceBuffers() { release(); }
};

class Frame {
 public:
  Frame(const TextureOptionsStruct& o, DeviceBuffers& d)
      : o_(o),
        work_(d.work),
        stream_(d.work.stream),
        A(d.A),
        B(d.B),
        C(d.C),
        W(o.frameWidth),
        H(o.frameHeight),
        dedicated_(is_dedicated_gamut(o.inputGamut)) {}

  void run_plain_road();
  void run_texture_road();
  // A stage reported that it could not run (its own allocations failed).
  bool stage_failed() const { return stage_failed_; }

 private:
  bool no_film() const { return o_.cameraStock == 0 && o_.printOff != 0; }

  dim3 pixels() const { return launch_shape::pixel_grid(W, H); }

  // Log inputs expose additively where the road allows it.
  ExposureKind exposure_kind(bool logAllowed) const {
    if (o_.exposureAmount == 0.0f) return kExposureNone;
    return logAllowed && o_.exposureMode == 2 ? kExposureLog : kExposureLinear;
  }

  void exposure(float* X, ExposureKind kind) {
    if (kind == kExposureLog)
      FRAME_PIXELS(exposure_log, X, W, H, o_.exposureAmount, kStride);
    else if (kind == kExposureLinear)
      FRAME_PIXELS(exposure_linear_gamma, X, W, H, o_.exposureAmount, kStride);
  }

  SoftClip camera_clip() const {
    return {o_.cameraHighlightsCeiling, o_.cameraHighlightsRecoverScaled, o_.cameraShadowsCeilingScaled,
            o_.cameraShadowsRecoverScaled};
  }

  SoftClip negative_clip() const {
    return {o_.brewHighlightCeiling, o_.brewHighlightCompressScaled, o_.brewShadowFloorScaled,
            o_.brewShadowExpandScaled};
  }

  void soft_clip(float* X, const SoftClip& c) {
    FRAME_PIXELS(highlights_shadows_Kernel, X, W, H, kStride, o_.inputGamut, c.ceiling, c.recover, c.shadowCeiling,
                 c.shadowRecover);
  }

  // The camera soft clip, and the negative one after it where asked for.
  SoftClips head_clips(bool negativeClip) const {
    SoftClips clips{};
    if (o_.softClipOn != 0) clips.clip[clips.count++] = camera_clip();
    if (negativeClip && o_.brewSoftClipOn) clips.clip[clips.count++] = negative_clip();
    return clips;
  }

  // The head of the frame on A: the exposure, the glow, the camera soft clip
  // and, where the road asks for it, the negative soft clip right after it,
  // then the way into Lab `lab` unless that is none (L' also into the plane
  // `lightness`). With the glow on, the first two and the last three ride in
  // its first and last pass (B is then its scratch).
  void head(ExposureKind kind, bool negativeClip, const TextureLabIn& lab = {}, float* lightness = nullptr) {
    const SoftClips clips = head_clips(negativeClip);
    if (!o_.halationOff) {
      call_stage(halation, A, B, HalationEnds{kind, o_.exposureAmount, clips, false, lab, lightness});
      return;
    }
    exposure(A, kind);
    for (int k = 0; k < clips.count; ++k) soft_clip(A, clips.clip[k]);
    if (lab.way != kLabInNone) into_lab(A, lab, lightness);
  }

  // The film stage on X and Y, its result in `next`, the one of them the
  // road reads next (the other is left as scratch).
  void film(float* X, float* Y, const float* next) {
    const FilmResult result = next == X ? FilmResult::kInA : FilmResult::kInB;
    call_stage([result](float* a, float* b, const TextureOptionsStruct& o,
                        const DeviceWork& w) { return film_brew_print_cuda(a, b, o, w, result); },
               X, Y);
  }

  // A stage that reports failure by its result fails the frame.
  template <typename Stage, typename... More>
  void call_stage(Stage stage, float* X, float* Y, const More&... more) {
    if constexpr (std::is_same<decltype(stage(X, Y, o_, work_, more...)), bool>::value) {
      if (!stage(X, Y, o_, work_, more...)) stage_failed_ = true;
    } else {
      stage(X, Y, o_, work_, more...);
    }
  }

  void compress(float* in, float* out);
  // The exact inverse of `compress`, on the film stage's result. The print
  // leaves every channel in [0, 1], so its expansion stays finite (display
  // white, luminance 1, comes out at about 16); NaN never reaches it.
  void expand(const float* in, float* out);
  void into_lab(float* img, const TextureLabIn& way, float* lightness);

  TextureLabIn lab_in() const;
  TextureLabOut lab_out() const;
  bool texture_levels(const TextureLabOut& way, float* lightness);

  const TextureOptionsStruct& o_;
  const DeviceWork& work_;
  const cudaStream_t stream_;
  float* const A;
  float* const B;
  float* const C;
  const int W;
  const int H;
  const bool dedicated_;
  bool stage_failed_ = false;
};

#define KALTHORNE_DISPATCH_GAMUT(member)                                                                    \
  switch (o_.inputGamut) {                                                                                  \
    KALTHORNE_DEDICATED_GAMUTS(member)                                                                      \
    default: break;                                                                                         \
  }

void Frame::compress(float* in, float* out) {
#define CASE(index, g, gc, ge, compress, ...) \
  case index: FRAME_PIXELS(compress, in, out, W, H); break;
  KALTHORNE_DISPATCH_GAMUT(CASE)
#undef CASE
}

void Frame::expand(const float* in, float* out) {
#define CASE(index, g, gc, ge, compress, expand, ...) \
  case index: FRAME_PIXELS(expand, in, out, W, H); break;
  KALTHORNE_DISPATCH_GAMUT(CASE)
#undef CASE
}

// Takes img into Lab, `way`, L' also into the plane `lightness`.
void Frame::into_lab(float* img, const TextureLabIn& way, float* lightness) {
  if (way.way == kLabInGeneric) {
    FRAME_PIXELS(ColorSpace_LAB, img, W, H, kStride, way.gamut, lightness);
    return;
  }
#define CASE(index, g, gc, ge, compress, expand, to_lab, compress_to_lab) \
  case index:                                                             \
    if (way.way == kLabInDedicatedCompressing)                            \
      FRAME_PIXELS(compress_to_lab, img, W, H, kStride, lightness);       \
    else                                                                  \
      FRAME_PIXELS(to_lab, img, W, H, kStride, lightness);                \
    break;
  KALTHORNE_DISPATCH_GAMUT(CASE)
#undef CASE
}

void Frame::run_plain_road() {
  if (!no_film()) {
    head(exposure_kind(true), true);
    // Whatever the head left in B: the film stage writes all of B before it
    // reads any of it.
    if (o_.hdrComp && dedicated_) {
      compress(A, B);
      film(A, B, A);
      expand(A, B);
    } else {
      film(A, B, B);
    }
    return;
  }
  const ExposureKind kind = exposure_kind(true);
  if (!o_.halationOff) {
    // The glow's last pass carries the frame into B (alpha included).
    call_stage(halation, A, B, HalationEnds{kind, o_.exposureAmount, head_clips(false), true});
  } else if (o_.softClipOn != 0) {
    exposure(A, kind);
    const SoftClip c = camera_clip();
    FRAME_PIXELS(highlights_shadows_Kernel_in_out, A, B, W, H, kStride, o_.inputGamut, c.ceiling, c.recover,
                 c.shadowCeiling, c.shadowRecover);
  } else if (kind == kExposureLog) {
    FRAME_PIXELS(exposure_log_in_out, A, B, W, H, o_.exposureAmount, kStride);
  } else if (kind == kExposureLinear) {
    FRAME_PIXELS(exposure_linear_gamma_in_out, A, B, W, H, o_.exposureAmount, kStride);
  } else {
    // Nothing else carries the frame into B here: copy it (alpha included).
    cudaMemcpyAsync(B, A, size_t(W) * size_t(H) * 4 * sizeof(float), cudaMemcpyDeviceToDevice, stream_);
  }
}

// The levels are blurred from planes of one float a pixel, the first from
// L' (`lightness`, written by the way into Lab), each after it from the
// level before's blur, and their bands summed into another plane, each band
// as its level's row pass delivers the blurred pixels; after the last
// level's row pass a pass a pixel adds its band, folds the bands back into
// L' and takes the frame out of Lab into B, `way`.
// False when a plane could not be had.
bool Frame::texture_levels(const TextureLabOut& way, float* lightness) {
  const float gains[6] = {o_.sopranoPitchScaled, o_.mezzoSopranoPitchScaled, o_.altoPitchScaled,
                          o_.tenorPitchScaled,   o_.baritonePitchScaled,     o_.bassPitchScaled};
  // Levels past the last gain that is not exactly 1.0 would add nothing.
  int last = 1;
  for (int k = 2; k <= 6; ++k)
    if (gains[k - 1] != 1.0f) last = k;

  // Only the first level reads the L' plane: its columns, and its band
  // unless it is the last level, whose band reads L' from the Lab frame with
  // a and b. After that the plane is free: it is the one level's row-pass
  // intermediate, or one of the two planes that take the levels' blurs in
  // turn (a level is blurred from the one before). A third plane takes the
  // bands' sum.
  float* blur = nullptr;
  float* sum = nullptr;
  const size_t pixels = size_t(W) * size_t(H);
  const bool planes = last == 1 || (work_.allocate(blur, pixels) == cudaSuccess &&
                                    work_.allocate(sum, pixels) == cudaSuccess);
  if (planes) {
    using namespace launch_shape;
    float* const blurs[2] = {last == 1 ? lightness : blur, lightness};
    // The first level's sum starts at 0 (no sumIn).
    const float* source = lightness;
    const float* sumIn = nullptr;
    for (int k = 1; k <= last; ++k) {
      const float sigma = kLevelSigma[k - 1];
      float* const level = blurs[(k - 1) % 2];
      CUDA_LAUNCH_STREAM(iir_guassian, column_grid(W), column_block(), 0, stream_, source, C, W, H, sigma, 1);
      if (k < last) {
        CUDA_LAUNCH_STREAM(pitch_sharp_rows, column_grid(H), column_block(), 0, stream_, C, level, source, sumIn,
                           sum, W, H, sigma, gains[k - 1]);
      } else {
        CUDA_LAUNCH_STREAM(iir_guassian_rows, column_grid(H), column_block(), 0, stream_, C, level, W, H, sigma, 1);
        CUDA_LAUNCH_STREAM(pitch_sharp_out, pixel_grid(W, H), pixel_block(), 0, stream_, level,
                           k == 1 ? nullptr : source, sumIn, A, B, W, H, gains[k - 1], way);
      }
      source = level;
      sumIn = sum;
    }
  }
  work_.release(sum);
  work_.release(blur);
  return planes;
}

// The way into Lab of the texture road: the dedicated gamuts compress their
// luminance with the HDR compression on (expanded again on the way out, or
// after the film stage).
TextureLabIn Frame::lab_in() const {
  if (!dedicated_) return {kLabInGeneric, o_.inputGamut};
  return {o_.hdrComp ? kLabInDedicatedCompressing : kLabInDedicated, o_.inputGamut};
}

// The way out of Lab of the texture road: the dedicated gamuts expand what
// their way in compressed when no film stage follows (with one, the film
// stage's result is expanded); the negative soft clip follows where a film
// stage comes next and no expansion does.
TextureLabOut Frame::lab_out() const {
  TextureLabOut way{kLabOutGeneric, o_.inputGamut, 0, o_.brewHighlightCeiling, o_.brewHighlightCompressScaled,
                    o_.brewShadowFloorScaled, o_.brewShadowExpandScaled};
  if (dedicated_) way.way = no_film() && o_.hdrComp ? kLabOutDedicatedExpanding : kLabOutDedicated;
  way.softClip = o_.brewSoftClipOn && !no_film() && !(dedicated_ && o_.hdrComp);
  return way;
}

void Frame::run_texture_road() {
  // The head takes the frame into Lab in place on A, its L' also into a
  // plane of its own, the first texture level's source; dedicated gamuts
  // always expose multiplicatively. The levels' last pass writes all of B:
  // nothing reads what the head left there.
  float* lightness = nullptr;
  if (work_.allocate(lightness, size_t(W) * size_t(H)) != cudaSuccess) {
    stage_failed_ = true;
    return;
  }
  head(exposure_kind(!dedicated_), dedicated_ && o_.hdrComp && o_.cameraStock != 0, lab_in(), lightness);

  // The levels leave the frame out of Lab in B, soft-clipped where the
  // negative's soft clip belongs.
  const bool levels = texture_levels(lab_out(), lightness);
  work_.release(lightness);
  if (!levels) {
    stage_failed_ = true;
    return;
  }
  if (no_film()) return;
  const bool expanding = dedicated_ && o_.hdrComp;
  film(B, A, expanding ? A : B);
  if (expanding) expand(A, B);
}

// Steps 1 to 9 of one frame, queued on the render's stream; the error of
// the first CUDA step that failed (a stage that failed by its result: a
// memory allocation error). The buffers go back to the pool, C, A, B, on
// every path.
cudaError_t process_frame(const float* src, float* dst, const TextureOptionsStruct& opts, const DeviceWork& work) {
  const int W = opts.frameWidth;
  const int H = opts.frameHeight;
  const int channels = opts.channelCount;
  const size_t pixels = size_t(W) * size_t(H);
  const cudaStream_t stream = work.stream;

  DeviceBuffers d(work);
  cudaError_t e = cudaSuccess;
  if ((e = work.allocate(d.A, pixels * 4)) != cudaSuccess) return e;
  if ((e = work.allocate(d.B, pixels * 4)) != cudaSuccess) return e;

  const dim3 grid = launch_shape::pixel_grid(W, H);
  if (channels == 3) {
    if ((e = work.allocate(d.C, pixels * 3)) != cudaSuccess) return e;
    if ((e = cudaMemcpyAsync(d.C, src, pixels * 3 * sizeof(float), cudaMemcpyHostToDevice, stream)) != cudaSuccess)
      return e;
    CUDA_LAUNCH_STREAM(RGB_RGBA_Kernel, grid, launch_shape::pixel_block(), 0, stream, d.C, d.A, W, H);
  } else {
    if ((e = work.allocate(d.C, pixels)) != cudaSuccess) return e;
    if ((e = cudaMemcpyAsync(d.A, src, pixels * 4 * sizeof(float), cudaMemcpyHostToDevice, stream)) != cudaSuccess)
      return e;
  }

  Frame frame(opts, d);
  if (!opts.pitchOff && opts.ensemblePitchScaled != 1.0f)
    frame.run_texture_road();
  else
    frame.run_plain_road();

  if (channels == 3)
    CUDA_LAUNCH_STREAM(RGBA_RGB_Kernel, grid, launch_shape::pixel_block(), 0, stream, d.B, d.C, W, H);
  // Any failed launch, allocation or copy inside the stages leaves its error
  // here; a frame built on it is not delivered.
  if ((e = cudaGetLastError()) != cudaSuccess) return e;
  if (frame.stage_failed()) return cudaErrorMemoryAllocation;
  const float* result = channels == 3 ? d.C : d.B;
  if ((e = cudaMemcpyAsync(dst, result, pixels * size_t(channels) * sizeof(float), cudaMemcpyDefault, stream)) !=
      cudaSuccess)
    return e;
  d.release();
  // A failed free.
  return cudaGetLastError();
}

// One frame on its device, on a stream of its own that is waited for and
// destroyed on every path. cudaSuccess when the frame was delivered; a fault
// that poisons the device's context marks the device lost.
cudaError_t render_frame(const float* src, float* dst, const TextureOptionsStruct& opts,
                         std::optional<DevicePoolHold>& pool) {
  const int device = opts.cudaDevice;
  cudaError_t error = cudaSetDevice(device);
  bool fault = is_context_fault(error, false);
  if (error == cudaSuccess) {
    // The frame holds its device's pool from its first attempt on, until
    // its last attempt has ended.
    if (!pool) pool.emplace(device);
    RenderStream render(*pool);
    // Errors left on this thread by earlier work, or by looking for the
    // device's pool, are not this frame's.
    cudaGetLastError();
    if (!render.ready()) {
      error = render.error();
    } else {
      // A device library may report a failure by exception; its error code
      // says whether the context is lost.
      try {
        error = process_frame(src, dst, opts, render.work());
      } catch (...) {
        error = thrust_compat::caught_device_error();
      }
      fault = is_context_fault(error, false);
    }
    // The one wait of the frame: the download, the frees, and any error of
    // the work before them.
    const cudaError_t finished = render.finish();
    if (error == cudaSuccess) error = finished;
    fault = fault || is_context_fault(finished, true);
  }
  if (fault) mark_cuda_device_lost(device);
  return error;
}

// What the device's pool keeps between frames is ours: it goes back before
// a render concludes that its frame cannot fit.
void hand_back_kept_memory(int device, const std::optional<DevicePoolHold>& pool) {
  if (!pool || !pool->pool() || cudaSetDevice(device) != cudaSuccess) return;
  cudaMemPoolTrimTo(pool->pool(), 0);
}

thread_local FrameFailure tls_failure = kFrameNotFailed;

}  // namespace

extern "C" __attribute__((visibility("default"))) FrameFailure texture_pitch_compress_expand_failure() {
  return tls_failure;
}

extern "C" __attribute__((visibility("default"))) bool texture_pitch_compress_expand(const float* src, float* dst,
                                                                                     TextureOptionsStruct opts,
                                                                                     bool (*aborted)(void*),
                                                                                     void* abortContext) {
  // A frame with nothing to process, or a layout the pipeline does not know,
  // never reaches the device; nor does any frame once its device is lost.
  tls_failure = kFrameFailed;
  const int W = opts.frameWidth;
  const int H = opts.frameHeight;
  if (W <= 0 || H <= 0 || (opts.channelCount != 3 && opts.channelCount != 4) || !src || !dst) return false;
  if (size_t(W) * size_t(H) > SIZE_MAX / (4 * sizeof(float))) return false;
  if (is_cuda_device_lost(opts.cudaDevice)) return false;
  // The thread's current context and device are the host's: it gets them
  // back on every path.
  CudaContextGuard keep_host_context;
  // A frame short of memory is rendered again from the start once the
  // device's other renders have handed theirs back (device_memory_gate.h).
  struct Attempt {
    const float* src;
    float* dst;
    const TextureOptionsStruct& opts;
    std::optional<DevicePoolHold>& pool;
    cudaError_t error;
  };
  std::optional<DevicePoolHold> pool;
  Attempt frame{src, dst, opts, pool, cudaSuccess};
  const auto attempt = [](void* context, bool alone) {
    Attempt& f = *static_cast<Attempt*>(context);
    if (alone) hand_back_kept_memory(f.opts.cudaDevice, f.pool);
    f.error = render_frame(f.src, f.dst, f.opts, f.pool);
    return f.error == cudaErrorMemoryAllocation && !is_cuda_device_lost(f.opts.cudaDevice);
  };
  const MemoryTurn turn = take_memory_turns(opts.cudaDevice, attempt, &frame, aborted, abortContext);
  const cudaError_t error = frame.error;
  if (turn == MemoryTurn::kNoRoomAlone)
    tls_failure = kFrameOutOfMemory;
  else if (turn == MemoryTurn::kWaitedTooLong)
    tls_failure = kFrameWaitedForMemory;
  else if (turn == MemoryTurn::kAborted)
    tls_failure = kFrameAborted;
  else
    tls_failure = error == cudaSuccess ? kFrameNotFailed : kFrameFailed;
  return tls_failure == kFrameNotFailed;
}
