// Helpers shared by the colour tests.
#pragma once

#include <cmath>
#include <string>

#include "pipeline/colour_transforms.cuh"

namespace colour_test {

inline void decode(int option, float r, float g, float b, float out[3]) {
  float px[4] = {r, g, b, 1.0f};
  input_to_awg4_linear(px, option, out);
}

inline void encode(int option, float r, float g, float b, float out[3]) {
  const float lin[3] = {r, g, b};
  awg4_linear_to_output(lin, option, out);
}

// Linear light of a neutral code value along the option's curve alone.
inline float curve(int option, float x) {
  const float in[3] = {x, x, x};
  float out[3];
  colour::decode_transfer(colour::option_info(option).transfer, in, out, false);
  return out[0];
}

// Code values around the places where a published curve's two segments do
// not quite meet (N-Log and D-Log): round trips step there.
inline bool near_curve_step(int option, float x) {
  if (option == 10) return std::fabs(x - 0.4418f) < 6e-4f;
  if (option == 26) return std::fabs(x - 0.14f) < 5e-4f;
  return false;
}

inline std::string where(int option, double x) {
  return "option " + std::to_string(option) + " at " + std::to_string(x);
}

}  // namespace colour_test
