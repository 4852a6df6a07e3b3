// Print and display kernels without a camera stock: the frame itself, in the
// working space, goes to the print or the display in one pass.
#include "pipeline/film_output.cuh"

#define KALTHORNE_PRINT_OUTPUT_KERNEL(kernel, finish)                                                              \
  KALTHORNE_FILM_HEAVY_KERNEL(film_shape::kPrintOutput)                                                            \
  kernel(const float* frame, float* out, int width, int height, int channels, int inputGamut,                      \
         FILM_GRID_CONST const film::PrintArgs print) {                                                            \
    __shared__ film::FamilyGains gains[film_shape::kHeavyThreads];                                                 \
    film::film_output(film::FrameSource{frame, channels, inputGamut},                                              \
                      finish(print, gains[threadIdx.y * blockDim.x + threadIdx.x]), out, width, height, channels); \
  }
KALTHORNE_FILM_PRINT_OUTPUTS(KALTHORNE_PRINT_OUTPUT_KERNEL)
#undef KALTHORNE_PRINT_OUTPUT_KERNEL
