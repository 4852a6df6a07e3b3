// Negative output and print in one pass: the graded negative goes to the
// print (plain or bleach bypass) in registers.
#include "pipeline/film_output.cuh"

#define KALTHORNE_NEGATIVE_PRINT_KERNEL(kernel, bleach, finish) \
  KALTHORNE_NEGATIVE_OUTPUT_KERNEL(film_shape::kNegativePrint, kernel, bleach, finish)
KALTHORNE_FILM_NEGATIVE_PRINTS(KALTHORNE_NEGATIVE_PRINT_KERNEL)
#undef KALTHORNE_NEGATIVE_PRINT_KERNEL
