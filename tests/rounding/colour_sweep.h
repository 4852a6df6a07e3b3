// Frames of many distinct, smoothly varying mid-level colours, and the
// specks a road makes of them: pixels that rounding broke.
#pragma once

#include <string>
#include <vector>

namespace colour_sweep {

// A hue x saturation sweep at several luminances in linear ARRI Wide Gamut
// 4: one hue a column (whole degrees, and hues ever closer to the six
// sextant centres), one saturation and luminance a row. RGBA, alpha 1.
struct Sweep {
  int width, height;
  std::vector<float> linear;  // three floats a pixel
};
Sweep make_sweep();

// The sweep as code values of `inputGamut`; with `nudged` every code value
// one float step up.
std::vector<float> encode(const Sweep& s, int inputGamut, bool nudged);

// A pixel that rounding broke, as the road rendered the sweep (`out`) and
// the sweep nudged by one float step (`nudgedOut`).
struct Speck {
  const char* kind;
  int x, y;
  float out[3], nudgedOut[3], neighbour[3];
};
std::vector<Speck> find_specks(const std::vector<float>& out, const std::vector<float>& nudgedOut, int width,
                               int height);
std::string describe(const Speck& s);

}  // namespace colour_sweep
