// Negative output and print in one pass: the graded negative goes to the
// print (plain or bleach bypass) in registers.
#include "pipeline/film_output.cuh"

KALTHORNE_FILM_NEGATIVE_PRINTS(KALTHORNE_NEGATIVE_OUTPUT_KERNEL)
