// Host orchestration of one frame: device buffers A, B and C, the plain and
// the texture road, each with its no-film branch, and the film stage.
#include "pipeline/texture_pitch_compress_expand.h"

#include <cstdint>
#include <type_traits>

#include "pipeline/cuda_context_guard.h"
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

  void exposure(float* X, bool testMode) {
    if (o_.exposureAmount == 0.0f) return;
    if (testMode && o_.exposureMode == 2)
      FRAME_PIXELS(exposure_log, X, W, H, o_.exposureAmount, kStride);
    else
      FRAME_PIXELS(exposure_linear_gamma, X, W, H, o_.exposureAmount, kStride);
  }

  void camera_highlights_shadows(float* X) {
    if (o_.softClipOn == 0) return;
    FRAME_PIXELS(highlights_shadows_Kernel, X, W, H, kStride, o_.inputGamut, o_.cameraHighlightsCeiling,
                 o_.cameraHighlightsRecoverScaled, o_.cameraShadowsCeilingScaled, o_.cameraShadowsRecoverScaled);
  }

  void negative_highlights_shadows(float* X) {
    if (!o_.brewSoftClipOn) return;
    FRAME_PIXELS(highlights_shadows_Kernel, X, W, H, kStride, o_.inputGamut, o_.brewHighlightCeiling,
                 o_.brewHighlightCompressScaled, o_.brewShadowFloorScaled, o_.brewShadowExpandScaled);
  }

  void halation_step(float* X, float* Y) {
    if (!o_.halationOff) call_stage(halation, X, Y);
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
  template <typename Stage>
  void call_stage(Stage stage, float* X, float* Y) {
    if constexpr (std::is_same<decltype(stage(X, Y, o_, work_)), bool>::value) {
      if (!stage(X, Y, o_, work_)) stage_failed_ = true;
    } else {
      stage(X, Y, o_, work_);
    }
  }

  void compress(float* in, float* out);
  // The exact inverse of `compress`, on the film stage's result. The print
  // leaves every channel in [0, 1], so its expansion stays finite (display
  // white, luminance 1, comes out at about 16); NaN never reaches it.
  void expand(const float* in, float* out);
  void into_lab(float* img, float* aux, bool compressing);
  void out_of_lab(float* img, bool expanding);

  void texture_levels();

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

void Frame::into_lab(float* img, float* aux, bool compressing) {
#define CASE(index, g, gc, ge, compress, expand, to_lab, compress_to_lab, ...) \
  case index:                                                                  \
    if (compressing)                                                           \
      FRAME_PIXELS(compress_to_lab, img, aux, W, H, kStride);                  \
    else                                                                       \
      FRAME_PIXELS(to_lab, img, aux, W, H, kStride);                           \
    break;
  KALTHORNE_DISPATCH_GAMUT(CASE)
#undef CASE
}

void Frame::out_of_lab(float* img, bool expanding) {
#define CASE(index, g, gc, ge, compress, expand, to_lab, compress_to_lab, from_lab, from_lab_expand) \
  case index:                                                                                        \
    if (expanding)                                                                                   \
      FRAME_PIXELS(from_lab_expand, img, W, H, kStride);                                             \
    else                                                                                             \
      FRAME_PIXELS(from_lab, img, W, H, kStride);                                                    \
    break;
  KALTHORNE_DISPATCH_GAMUT(CASE)
#undef CASE
}

void Frame::run_plain_road() {
  if (!no_film()) {
    exposure(A, true);
    halation_step(A, B);
    camera_highlights_shadows(A);
    negative_highlights_shadows(A);
    if (o_.hdrComp && dedicated_) {
      compress(A, B);
      film(A, B, A);
      expand(A, B);
    } else {
      film(A, B, B);
    }
    return;
  }
  if (o_.softClipOn != 0) {
    exposure(A, true);
    halation_step(A, B);
    FRAME_PIXELS(highlights_shadows_Kernel_in_out, A, B, W, H, kStride, o_.inputGamut, o_.cameraHighlightsCeiling,
                 o_.cameraHighlightsRecoverScaled, o_.cameraShadowsCeilingScaled, o_.cameraShadowsRecoverScaled);
  } else if (o_.exposureAmount != 0.0f) {
    if (o_.exposureMode == 2)
      FRAME_PIXELS(exposure_log_in_out, A, B, W, H, o_.exposureAmount, kStride);
    else
      FRAME_PIXELS(exposure_linear_gamma_in_out, A, B, W, H, o_.exposureAmount, kStride);
    halation_step(B, A);
  } else {
    // Nothing else carries the frame into B here: copy it (alpha included),
    // and halate only when halation is switched on.
    cudaMemcpyAsync(B, A, size_t(W) * size_t(H) * 4 * sizeof(float), cudaMemcpyDeviceToDevice, stream_);
    halation_step(A, B);
  }
}

void Frame::texture_levels() {
  const float gains[6] = {o_.sopranoPitchScaled, o_.mezzoSopranoPitchScaled, o_.altoPitchScaled,
                          o_.tenorPitchScaled,   o_.baritonePitchScaled,     o_.bassPitchScaled};
  // Levels past the last gain that is not exactly 1.0 would add nothing.
  int last = 1;
  for (int k = 2; k <= 6; ++k)
    if (gains[k - 1] != 1.0f) last = k;

  float* const previous = B + 2;
  float* const current = B + 3;

  // Level 1: the blur of L' goes into channel 2 of B.
  gaussian_blur_2d(A, C, previous, W, H, kLevelSigma[0], kStride, stream_);
  FRAME_PIXELS(pitch_sharp, W, H, A, previous, B, gains[0], kStride);

  // Each further level blurs the previous level's blur again, and its blur
  // becomes the previous one for the next level.
  for (int k = 2; k <= last; ++k) {
    gaussian_blur_2d(previous, C, current, W, H, kLevelSigma[k - 1], kStride, stream_);
    FRAME_PIXELS(pitch_sharp_next, W, H, previous, current, B, gains[k - 1], kStride);
  }

  FRAME_PIXELS(pitch_accumulate, W, H, A, B, kStride);
}

void Frame::run_texture_road() {
  // Head, in place on A; dedicated gamuts always expose multiplicatively.
  exposure(A, !dedicated_);
  halation_step(A, B);
  camera_highlights_shadows(A);
  if (dedicated_) {
    if (o_.hdrComp) {
      if (o_.cameraStock != 0) negative_highlights_shadows(A);
      into_lab(A, B, true);
    } else {
      into_lab(A, B, false);
    }
  } else {
    FRAME_PIXELS(ColorSpace_LAB, A, B, W, H, kStride, o_.inputGamut);
  }

  texture_levels();

  // Out of Lab, B in place, then the film stage.
  if (dedicated_) {
    if (no_film()) {
      out_of_lab(B, o_.hdrComp != 0);
      return;
    }
    out_of_lab(B, false);
    if (o_.hdrComp) {
      film(B, A, A);
      expand(A, B);
    } else {
      negative_highlights_shadows(B);
      film(B, A, B);
    }
    return;
  }
  FRAME_PIXELS(LAB_Colorspace, B, W, H, kStride, o_.inputGamut);
  if (no_film()) return;
  negative_highlights_shadows(B);
  film(B, A, B);
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
// destroyed on every path. True when the frame was delivered; a fault that
// poisons the device's context marks the device lost.
bool render_frame(const float* src, float* dst, const TextureOptionsStruct& opts) {
  const int device = opts.cudaDevice;
  cudaError_t error = cudaSetDevice(device);
  bool fault = is_context_fault(error, false);
  if (error == cudaSuccess) {
    RenderStream render(device);
    // Errors left on this thread by earlier work, or by looking for the
    // device's pool, are not this frame's.
    cudaGetLastError();
    if (!render.ready()) {
      error = render.error();
    } else {
      // The device libraries report some failures by exception (Thrust's
      // reduction in the film stage).
      try {
        error = process_frame(src, dst, opts, render.work());
      } catch (...) {
        error = cudaErrorUnknown;
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
  return error == cudaSuccess;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) bool texture_pitch_compress_expand(const float* src, float* dst,
                                                                                     TextureOptionsStruct opts) {
  // A frame with nothing to process, or a layout the pipeline does not know,
  // never reaches the device; nor does any frame once its device is lost.
  const int W = opts.frameWidth;
  const int H = opts.frameHeight;
  if (W <= 0 || H <= 0 || (opts.channelCount != 3 && opts.channelCount != 4) || !src || !dst) return false;
  if (size_t(W) * size_t(H) > SIZE_MAX / (4 * sizeof(float))) return false;
  if (is_cuda_device_lost(opts.cudaDevice)) return false;
  // The thread's current context and device are the host's: it gets them
  // back on every path.
  CudaContextGuard keep_host_context;
  return render_frame(src, dst, opts);
}
