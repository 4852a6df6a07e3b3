// Negative output kernels: the developed layers become the graded negative,
// written as output code values (print stage off) or handed on to the
// display in the same pass.
#include "pipeline/film_output.cuh"

KALTHORNE_FILM_NEGATIVE_OUTPUTS(KALTHORNE_NEGATIVE_OUTPUT_KERNEL)
