// Host side of the film stage: allocation of the film-lab planes, the
// 13-step development loop with agitation, replenishment and diffusion, and
// the output pass (negative output, print or display).
#include "pipeline/film_brew_print_cuda.h"

#include <thrust/device_ptr.h>
#include <thrust/functional.h>

#include <cstdint>

#include "cudasim/thrust_compat.h"
#include "pipeline/film_develop.cuh"
#include "pipeline/film_kernels.h"
#include "pipeline/launch_shapes.h"
#include "pipeline/texture_kernels.h"

namespace {

// Channel stride of the frame buffers, whatever the clip's channel count.
constexpr int kFrameStride = 4;

struct Shape {
  int W, H;
  dim3 block, grid;
  cudaStream_t stream;
};

// Device planes of one call; every pointer is either null or owned here, and
// freed at the latest when the call ends, also when a device library throws.
struct FilmPlanes {
  explicit FilmPlanes(const DeviceWork& w) : work(w) {}
  const DeviceWork& work;
  float* alpha = nullptr;
  float* developed = nullptr;
  float* silver = nullptr;
  float* exposure = nullptr;
  float* developer = nullptr;
  float* diffusion = nullptr;
  // The development loop's slots (film::DevelopSlot), then the sums' temporaries.
  float* slots = nullptr;

  void free_all() {
    for (float** p : {&alpha, &diffusion, &developed, &silver, &exposure, &developer, &slots}) work.release(*p);
  }
  bool allocate(float*& p, size_t floats) const { return work.allocate(p, floats) == cudaSuccess; }
  ~FilmPlanes() { free_all(); }
};

// The sum of a plane into `sum`, a float in device memory, without waiting.
// The device library's reduction is called as Thrust's reduce calls it
// (Thrust's device pointer, operator, initial value and item count type), so
// the device adds in the same order; it needs no C++ library beyond the
// language runtime. Without `temporaries` it only sets `bytes`.
cudaError_t plane_sum(const float* plane, size_t count, void* temporaries, size_t& bytes, float* sum,
                      cudaStream_t stream) {
  const thrust::device_ptr<const float> first(plane);
  if (count <= size_t(INT32_MAX))
    return cub::DeviceReduce::Reduce(temporaries, bytes, first, sum, int32_t(count), thrust::plus<float>(), 0.0f,
                                     stream);
  return cub::DeviceReduce::Reduce(temporaries, bytes, first, sum, int64_t(count), thrust::plus<float>(), 0.0f,
                                   stream);
}

// Developer spreads sideways in two spectral bands. Band one: the columns of
// the developer's code values, then their rows; with band two, band one goes
// to b and is blurred again, and the last row pass turns each pixel back
// into developer, which it leaves in a, and exchanges it with the reservoir
// (adding the slot `added`).
void diffuse_and_exchange(float* a, float* b, FilmPlanes& planes, const Shape& s, const film::DevelopPlan& plan,
                          const TextureOptionsStruct& o, const float* added) {
  using namespace launch_shape;
  CUDA_LAUNCH_STREAM(iir_guassian_developer_code, column_grid(s.W), column_block(), 0, s.stream, planes.developer,
                     planes.diffusion, s.W, s.H, plan.bandOneSigma);
  const float* bandOne = nullptr;
  float sigma = plan.bandOneSigma;
  if (o.diffuseLoMidOn) {
    CUDA_LAUNCH_STREAM(iir_guassian_rows, column_grid(s.H), column_block(), 0, s.stream, planes.diffusion, b, s.W,
                       s.H, plan.bandOneSigma, 1);
    CUDA_LAUNCH_STREAM(iir_guassian, column_grid(s.W), column_block(), 0, s.stream, b, planes.diffusion, s.W, s.H,
                       plan.bandTwoSigma, 1);
    bandOne = b;
    sigma = plan.bandTwoSigma;
  }
  CUDA_LAUNCH_STREAM(iir_guassian_rows_developer, column_grid(s.H), column_block(), 0, s.stream, planes.diffusion, a,
                     planes.developer, bandOne, s.W, s.H, sigma, o.diffuseMidHiScaled, plan.retention, added);
}

bool develop_negative(float* a, float* b, FilmPlanes& planes, const Shape& s, const TextureOptionsStruct& o) {
  const size_t px = (size_t)s.W * (size_t)s.H;
  const bool diffusion = o.diffuseLoMidOn || o.diffuseMidHiOn;
  if (!planes.allocate(planes.alpha, px) ||
      !planes.allocate(planes.developed, px * 3) || !planes.allocate(planes.silver, px * 3) ||
      !planes.allocate(planes.exposure, px * 3) || !planes.allocate(planes.developer, px) ||
      (diffusion && !planes.allocate(planes.diffusion, px)))
    return false;

  const film::DevelopPlan plan =
      film::develop_plan(s.W, s.H, o.pixelCountFactor, o.pullPushScaled, o.agitate, o.replenishScaled, diffusion,
                         o.spectrumBand, o.diffuseLoMidComplement);
  CUDA_LAUNCH_STREAM(film_lab_init, s.grid, s.block, 0, s.stream, a, planes.exposure, planes.alpha,
                     o.silverRedScaled, o.silverGreenScaled, o.silverBlueScaled, s.W, s.H, kFrameStride, o.inputGamut);
  // The first step starts from constants: development 0.00001 and the stock's
  // silver everywhere, and the start concentration (a mixed layer).
  const film::DevelopStart start{0.00001f, {o.silverRedScaled, o.silverGreenScaled, o.silverBlueScaled}};

  // The concentration C is updated on the device from the developer's sums,
  // in the order and precision the loop always used; no step waits.
  film::ConcentrationUpdate update{};
  update.fresh = 1.0f - plan.retention;
  update.exchangeShare = 0.1f / (plan.reservoir * plan.area);
  update.reservoir = plan.reservoir;
  update.area = plan.area;
  update.inverseVolume = 1.0f / plan.totalVolume;
  size_t sumBytes = 0;
  if (plane_sum(planes.developer, px, nullptr, sumBytes, nullptr, s.stream) != cudaSuccess ||
      !planes.allocate(planes.slots, film::kDevelopSlots + (sumBytes + sizeof(float) - 1) / sizeof(float)))
    return false;
  float* const slots = planes.slots;
  void* const temporaries = slots + film::kDevelopSlots;
  CUDA_LAUNCH_STREAM(develop_concentration, 1, 1, 0, s.stream, slots, update, 1, o.developScaled);

  int counter = plan.firstCounter;
  update.mix = 0;
  // The first step, and each step after one that mixed the reservoir back
  // into the layer, find every pixel's developer at the concentration.
  bool uniform = true;
  for (int step = 0; step < film::kDevelopSteps; ++step, ++counter) {
    // The step's last pass exchanges the developer with the reservoir and
    // leaves it as it was before in a scratch plane: the diffusion's in a, or
    // the development's in b (without diffusion a still holds the picture,
    // for give_up).
    const float* developerIn = uniform ? slots + film::kConcentration : planes.developer;
    float* const added = slots + film::kLayerConcentration;
    float* const beforeExchange = plan.diffusion ? a : b;
    const bool first = step == 0;
    // After the last step only the developed plane is read: the silver, the
    // developer, its diffusion and exchange, and the concentration would
    // feed a step that never comes.
    if (step == film::kDevelopSteps - 1) {
      CUDA_LAUNCH_STREAM(develop_cuda, s.grid, s.block, 0, s.stream, planes.developed, planes.exposure, nullptr,
                         first ? nullptr : planes.developed, first ? nullptr : planes.silver, start, developerIn,
                         uniform ? 0 : 1, nullptr, nullptr, plan.retention, added, plan.rate, film::kDeveloperUse,
                         film::kSilverUse, s.W, s.H);
      break;
    }
    CUDA_LAUNCH_STREAM(develop_cuda, s.grid, s.block, 0, s.stream, planes.developed, planes.exposure, planes.silver,
                       first ? nullptr : planes.developed, first ? nullptr : planes.silver, start, developerIn,
                       uniform ? 0 : 1, planes.developer, plan.diffusion ? nullptr : beforeExchange, plan.retention,
                       added, plan.rate, film::kDeveloperUse, film::kSilverUse, s.W, s.H);
    if (plan.diffusion) diffuse_and_exchange(a, b, planes, s, plan, o, added);
    if (plane_sum(beforeExchange, px, temporaries, sumBytes, slots + film::kSumBefore, s.stream) != cudaSuccess)
      return false;
    if (plane_sum(planes.developer, px, temporaries, sumBytes, slots + film::kSumAfter, s.stream) != cudaSuccess)
      return false;
    update.mix = counter % plan.period == 0;
    uniform = update.mix != 0;
    CUDA_LAUNCH_STREAM(develop_concentration, 1, 1, 0, s.stream, slots, update, 0, 0.0f);
  }
  return true;
}

// The launch of one output kernel: the film stage's own shape and stream.
#define FILM_OUTPUT(kernel, ...) \
  CUDA_LAUNCH_STREAM(kernel, film_shape::heavy_grid(s.W, s.H), film_shape::heavy_block(), 0, s.stream, __VA_ARGS__)

// The negative output, and in the same pass the print or the display.
void negative_output(float* out, const FilmPlanes& planes, const Shape& s, const TextureOptionsStruct& o) {
  const film::NegativeArgs negative = film::negative_args(o);
  const film::PrintArgs print = film::print_args(o);
#define NEGATIVE(kernel) \
  FILM_OUTPUT(kernel, planes.exposure, planes.alpha, planes.developed, out, s.W, s.H, kFrameStride, negative, print)
  const bool bleach = o.brewBleachBypass;
  if (o.printOff) {
    if (bleach) NEGATIVE(film_brew_cuda_out_bleach); else NEGATIVE(film_brew_cuda_out_hue_chr_vib);
  } else if (o.printProfile == 0) {
    if (bleach) NEGATIVE(film_brew_cuda_out_bleach_display); else NEGATIVE(film_brew_cuda_out_hue_chr_vib_display);
  } else if (o.printBleachBypass) {
    if (bleach) NEGATIVE(film_brew_cuda_out_bleach_print_bleach);
    else NEGATIVE(film_brew_cuda_out_hue_chr_vib_print_bleach);
  } else {
    if (bleach) NEGATIVE(film_brew_cuda_out_bleach_print); else NEGATIVE(film_brew_cuda_out_hue_chr_vib_print);
  }
#undef NEGATIVE
}

// Without a camera stock: the frame a to the print or the display.
void print_output(float* a, float* out, const Shape& s, const TextureOptionsStruct& o) {
  const film::PrintArgs print = film::print_args(o);
  if (o.printProfile == 0)
    FILM_OUTPUT(film_print_cuda_out_pfe_display, a, out, s.W, s.H, kFrameStride, o.inputGamut, print);
  else if (o.printBleachBypass)
    FILM_OUTPUT(film_print_cuda_out_bleach_pfe, a, out, s.W, s.H, kFrameStride, o.inputGamut, print);
  else
    FILM_OUTPUT(film_print_cuda_out_hue_chr_vib_pfe, a, out, s.W, s.H, kFrameStride, o.inputGamut, print);
}

#undef FILM_OUTPUT

bool give_up(float* a, float* b, FilmPlanes& planes, const Shape& s) {
  planes.free_all();
  cudaMemcpyAsync(b, a, (size_t)s.W * (size_t)s.H * kFrameStride * sizeof(float), cudaMemcpyDeviceToDevice, s.stream);
  return false;
}

}  // namespace

bool film_brew_print_cuda(float* a, float* b, TextureOptionsStruct o, const DeviceWork& work, FilmResult result) {
  if (o.frameWidth <= 0 || o.frameHeight <= 0) return true;
  const Shape s{o.frameWidth, o.frameHeight, launch_shape::pixel_block(),
                launch_shape::pixel_grid(o.frameWidth, o.frameHeight), work.stream};
  float* const out = result == FilmResult::kInA ? a : b;
  FilmPlanes planes(work);
  if (o.cameraStock != 0) {
    if (!develop_negative(a, b, planes, s, o)) return give_up(a, b, planes, s);
    negative_output(out, planes, s, o);
  } else if (!o.printOff) {
    print_output(a, out, s, o);
  }
  planes.free_all();
  return true;
}
