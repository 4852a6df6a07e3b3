#include "pipeline/launch_shapes.h"

int calc_kernel(int a, int b) {
  int q = a / b;
  return a % b != 0 ? q + 1 : q;
}
