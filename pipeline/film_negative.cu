// Negative output kernels: the developed layers become the graded negative,
// written as output code values (print stage off) or handed on to the print
// or the display in the same pass.
#include "pipeline/film_kernels.h"
#include "pipeline/film_output.cuh"

#define KALTHORNE_NEGATIVE_OUTPUT_KERNEL(kernel, bleach, finish)                                                    \
  KALTHORNE_FILM_HEAVY_KERNEL kernel(const float* exposure, const float* alpha, const float* developed, float* out, \
                                     int width, int height, int channels,                                          \
                                     FILM_GRID_CONST const film::NegativeArgs negative,                            \
                                     FILM_GRID_CONST const film::PrintArgs print) {                                \
    using Finish = finish;                                                                                         \
    const film::NegativeSource<bleach, Finish::kPrintOff> source(exposure, alpha, developed, negative);            \
    film::film_output(source, Finish(print), out, width, height, channels);                                        \
  }
KALTHORNE_FILM_NEGATIVE_OUTPUTS(KALTHORNE_NEGATIVE_OUTPUT_KERNEL)
#undef KALTHORNE_NEGATIVE_OUTPUT_KERNEL
