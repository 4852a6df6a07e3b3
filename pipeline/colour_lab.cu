#include "pipeline/colour_lab.h"

#include "pipeline/launch_shapes.h"
#include "pipeline/texture_lab_in.cuh"

KALTHORNE_PIXEL_KERNEL ColorSpace_LAB(float* image, int width, int height, int n, int inputGamut, float* lightness) {
  KALTHORNE_FOR_EACH_PIXEL(x, y, width, height) {
    float* const px = image + pixel_offset(x, y, width, n);
    const float in[3] = {px[0], px[1], px[2]};
    float lab[3];
    colour::colour_to_scaled_lab(in, inputGamut, lab);
    store_lab(px, lightness, pixel_offset(x, y, width, 1), lab);
  }
}
