#include "pipeline/colour_lab.h"

#include "pipeline/colour_lab.cuh"
#include "pipeline/launch_shapes.h"

KALTHORNE_PIXEL_KERNEL ColorSpace_LAB(float* image, int width, int height, int n, int inputGamut) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    const size_t i = pixel_offset(x, y, width, n);
    const float in[3] = {image[i], image[i + 1], image[i + 2]};
    float lab[3];
    colour::colour_to_scaled_lab(in, inputGamut, lab);
    image[i] = lab[0];
    image[i + 1] = lab[1];
    image[i + 2] = lab[2];
  }
}
