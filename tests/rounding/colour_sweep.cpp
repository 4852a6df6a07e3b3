#include "colour_sweep.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "pipeline/colour_transforms.cuh"
#include "pipeline/film_math.cuh"

namespace colour_sweep {

namespace {

// Hues in sextants: every whole degree, and at each sextant centre offsets
// from 1e-6 to 0.03 sextant either side, where the corrector's hue bands
// peak and the smoothstep weight rounds past 1.
std::vector<float> sweep_hues() {
  std::vector<float> h;
  for (int d = 0; d < 360; ++d) h.push_back(float(d) / 60.0f);
  const float offsets[] = {1e-6f, 2e-6f, 5e-6f, 1e-5f, 2e-5f, 5e-5f, 1e-4f, 2e-4f, 5e-4f,
                           7e-4f, 9e-4f, 1e-3f, 2e-3f, 5e-3f, 1e-2f, 3e-2f};
  for (int centre = 0; centre < 6; ++centre)
    for (float o : offsets) {
      h.push_back(float(centre) + o);
      h.push_back(std::fmod(float(centre) - o + 6.0f, 6.0f));
    }
  std::sort(h.begin(), h.end());
  h.erase(std::unique(h.begin(), h.end()), h.end());
  return h;
}

// Hexcone colour of hue h (sextants) and saturation s with its largest
// channel 1.
void hexcone(float h, float s, float rgb[3]) {
  const int i = int(std::floor(h)) % 6;
  const float f = h - std::floor(h), p = 1.0f - s, q = 1.0f - s * f, t = 1.0f - s * (1.0f - f);
  const float table[6][3] = {{1, t, p}, {q, 1, p}, {p, 1, t}, {p, q, 1}, {t, p, 1}, {1, p, q}};
  for (int c = 0; c < 3; ++c) rgb[c] = table[i][c];
}

const float kSaturations[] = {0.05f, 0.11f, 0.17f, 0.23f, 0.29f, 0.35f, 0.41f, 0.47f,
                              0.53f, 0.59f, 0.65f, 0.71f, 0.77f, 0.83f, 0.89f, 0.95f};
const float kLuminances[] = {0.04f, 0.09f, 0.18f, 0.3f, 0.45f};

// A pixel is black (as NaN held to 0 leaves it) when its largest channel is
// below half the largest channel of each hue neighbour, both above 0.02.
// Neighbouring hues lie a degree apart at most: no look darkens a colour by
// half within a degree, and where it changes fastest, at the peak of a
// Chroma sector (a cusp: 1 - (1 - s)^e with e down to 1/128), it brightens
// the pixel. Over every road the darkest pixel stands at 0.88 of its
// neighbours; the black pixels of the smoothstep weight's NaN stood at 0.03
// to 0.1.
constexpr float kDark = 0.5f, kLit = 0.02f;
// An output jumps when one float step of its input (a relative 6e-8 for
// mid-level code values) moves it by more than this (relative to 1 + its
// value) and by ten times more than it moves either hue neighbour. Over
// every road the largest such move is 7.3e-4, a hair from a sextant centre,
// where a Chroma sector's cusp (1 - (1 - s)^e, e down to 1/128) is at its
// steepest and the hue neighbours move alike; a smoothstep weight past 1
// moved its pixel by 0.3 and more.
constexpr float kJump = 1e-2f;

float channel(const std::vector<float>& f, int width, int x, int y, int c) {
  return f[(size_t(y) * size_t(width) + size_t(x)) * 4 + size_t(c)];
}

}  // namespace

Sweep make_sweep() {
  const std::vector<float> hues = sweep_hues();
  Sweep s{int(hues.size()), int(std::size(kSaturations) * std::size(kLuminances)), {}};
  for (float lum : kLuminances)
    for (float sat : kSaturations)
      for (float h : hues) {
        float rgb[3];
        hexcone(h, sat, rgb);
        const float k = lum / film::awg4_luminance(rgb);
        for (float v : rgb) s.linear.push_back(v * k);
      }
  return s;
}

std::vector<float> encode(const Sweep& s, int inputGamut, bool nudged) {
  std::vector<float> f;
  f.reserve(size_t(s.width) * size_t(s.height) * 4);
  for (size_t i = 0; i < s.linear.size(); i += 3) {
    float code[3];
    awg4_linear_to_output(&s.linear[i], inputGamut, code);
    for (float v : code) f.push_back(nudged ? std::nextafter(v, INFINITY) : v);
    f.push_back(1.0f);
  }
  return f;
}

std::vector<Speck> find_specks(const std::vector<float>& out, const std::vector<float>& nudgedOut, int width,
                               int height) {
  std::vector<Speck> specks;
  std::vector<float> jump(static_cast<size_t>(width));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      float j = 0.0f;
      for (int c = 0; c < 3; ++c) {
        const float a = channel(out, width, x, y, c), b = channel(nudgedOut, width, x, y, c);
        j = std::max(j, std::fabs(b - a) / (1.0f + std::fabs(a)));
      }
      jump[size_t(x)] = j;
    }
    for (int x = 0; x < width; ++x) {
      const int l = (x + width - 1) % width, r = (x + 1) % width;  // hues wrap round
      Speck s{nullptr, x, y, {}, {}, {}};
      bool finite = true;
      float mine = 0.0f, left = 0.0f, right = 0.0f;  // largest channels
      for (int c = 0; c < 3; ++c) {
        s.out[c] = channel(out, width, x, y, c);
        s.nudgedOut[c] = channel(nudgedOut, width, x, y, c);
        s.neighbour[c] = channel(out, width, l, y, c);
        finite = finite && std::isfinite(s.out[c]) && std::isfinite(s.nudgedOut[c]);
        mine = std::max(mine, s.out[c]);
        left = std::max(left, s.neighbour[c]);
        right = std::max(right, channel(out, width, r, y, c));
      }
      const float lit = std::min(left, right);
      if (!finite) s.kind = "not finite";
      else if (lit > kLit && mine < kDark * lit) s.kind = "black";
      else if (jump[size_t(x)] > kJump && jump[size_t(x)] > 10.0f * std::max(jump[size_t(l)], jump[size_t(r)]))
        s.kind = "jump";
      if (s.kind) specks.push_back(s);
    }
  }
  return specks;
}

std::string describe(const Speck& s) {
  char text[256];
  std::snprintf(text, sizeof text, "%s at (%d, %d): %.6g %.6g %.6g, nudged %.6g %.6g %.6g, left neighbour %.6g %.6g %.6g",
                s.kind, s.x, s.y, s.out[0], s.out[1], s.out[2], s.nudgedOut[0], s.nudgedOut[1], s.nudgedOut[2],
                s.neighbour[0], s.neighbour[1], s.neighbour[2]);
  return text;
}

}  // namespace colour_sweep
