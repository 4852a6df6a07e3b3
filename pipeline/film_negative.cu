// Negative output kernels: the developed layers become the graded negative,
// written as output code values (print stage off) or handed on to the
// display in the same pass.
#include "pipeline/film_output.cuh"

#define KALTHORNE_NEGATIVE_ONLY_KERNEL(kernel, bleach, finish) \
  KALTHORNE_NEGATIVE_OUTPUT_KERNEL(film_shape::kNegativeOutput, kernel, bleach, finish)
KALTHORNE_FILM_NEGATIVE_OUTPUTS(KALTHORNE_NEGATIVE_ONLY_KERNEL)
#undef KALTHORNE_NEGATIVE_ONLY_KERNEL
