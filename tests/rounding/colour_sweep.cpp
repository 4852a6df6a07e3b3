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

// A channel is black (as a NaN that a hold took to 0 leaves it, in one
// channel or in all) when it stands above the channel's floor (the darkest
// it comes anywhere in the road's rendering, or 0: a road's output of 0 may
// be a log code value, or a film base) by less than half of what each side
// foretells, both lit (more than 0.02 above the floor). A side foretells its
// neighbour's value, or less where it falls towards the pixel: the line
// through its two nearest samples carried on to the pixel's hue. So a
// channel may turn at a sharp valley (the Hue and Vibrance families' bands
// are triangles, whose tips put a kink into the channels) or fall steeply
// along a slope, but not drop below both sides' reach. Over every road the
// darkest channel stands at 0.874 of its sides' word
// (stock_print_bleach_midhi); a NaN held to 0 left its channel on the floor
// (0 of it). Half of each neighbour alone, without the lines, called six
// kinks of the print stocks black (blue at 0.3 to 0.5 of a neighbour a
// degree away).
// A crush is no speck: where a look takes a colour to 0 by its own curve
// (a print's printer black point holds every channel below its zero
// crossing), the channel falls to its floor along a valley of hues, and
// each side of a pixel on the floor lies on the floor itself or falls along
// a slope that carries it there or below: over every road the sides of a
// crushed channel foretell it at most 6e-6 above its floor.
constexpr float kDark = 0.5f, kLit = 0.02f;
// An output jumps when one float step of its input (a relative 6e-8 for
// mid-level code values) moves it by more than this (relative to 1 + its
// value) and by ten times more than it moves either hue neighbour. Over
// every road the largest such move is 3.3e-4 (stock 1 on the linear input
// with the display print); the smoothstep weight's NaN moved its pixels by
// 1.0e-2 (a dark pixel whose black lies near its neighbours' level, on a
// linear output) to 0.5.
constexpr float kJump = 3e-3f, kJumpOverNeighbours = 10.0f;

float channel(const std::vector<float>& f, int width, int x, int y, int c) {
  return f[(size_t(y) * size_t(width) + size_t(x)) * 4 + size_t(c)];
}

// How far each pixel of row y moved under the nudge, its largest channel's
// move relative to 1 + its value.
std::vector<float> row_moves(const std::vector<float>& out, const std::vector<float>& nudgedOut, int width, int y) {
  std::vector<float> move(static_cast<size_t>(width));
  for (int x = 0; x < width; ++x) {
    float m = 0.0f;
    for (int c = 0; c < 3; ++c) {
      const float a = channel(out, width, x, y, c), b = channel(nudgedOut, width, x, y, c);
      m = std::max(m, std::fabs(b - a) / (1.0f + std::fabs(a)));
    }
    move[size_t(x)] = m;
  }
  return move;
}

// A pixel's move that neither hue neighbour comes near (0 where one does).
float lone_move(const std::vector<float>& move, int x) {
  const int width = int(move.size());
  const float m = move[size_t(x)];
  const float beside = std::max(move[size_t((x + width - 1) % width)], move[size_t((x + 1) % width)]);
  return m > kJumpOverNeighbours * beside ? m : 0.0f;
}

// The samples on one side of each column that foretell it: the neighbour
// (near) and the sample beyond it at least as far from the neighbour as
// the neighbour is from the column (far), so that the line through the two,
// carried on to the column, moves no further than the two differ (the
// sweep's hues crowd near the sextant centres); hues wrap round. dNear and
// dFar are their distances in hue.
struct Side {
  int near, far;
  float dNear, dFar;
};

std::vector<Side> sides(const Sweep& s, int step) {
  const auto distance = [&](int x, int to) {
    const float d = std::fabs(s.hues[size_t(to)] - s.hues[size_t(x)]);
    return std::min(d, 6.0f - d);
  };
  const auto wrap = [&](int x) { return (x + s.width) % s.width; };
  std::vector<Side> out;
  for (int x = 0; x < s.width; ++x) {
    Side side{wrap(x + step), wrap(x + 2 * step), 0.0f, 0.0f};
    side.dNear = distance(x, side.near);
    while (distance(side.near, side.far) < side.dNear) side.far = wrap(side.far + step);
    side.dFar = distance(x, side.far);
    out.push_back(side);
  }
  return out;
}

// The darkest each channel comes anywhere in a rendering, or 0: where a
// road's output of 0 lies (a log code value above 0, or a film base) or
// below.
struct Floors {
  float c[3];
  explicit Floors(const std::vector<float>& out) : c{INFINITY, INFINITY, INFINITY} {
    for (size_t i = 0; i < out.size(); i += 4)
      for (int k = 0; k < 3; ++k)
        if (std::isfinite(out[i + size_t(k)])) c[k] = std::min(c[k], out[i + size_t(k)]);
    for (float& f : c) f = std::max(f, 0.0f);
  }
};

// One row of a rendering, and what the hue neighbours foretell of each
// pixel's channels.
struct Row {
  const Sweep& s;
  const std::vector<float>& out;
  const Floors& floors;
  const std::vector<Side>& left;
  const std::vector<Side>& right;
  int y;

  float at(int x, int c) const { return channel(out, s.width, x, y, c); }
  float foretold(const Side& side, int c) const {
    const float near = at(side.near, c), far = at(side.far, c);
    const float line = near + (near - far) * side.dNear / (side.dFar - side.dNear);
    return std::min(near, line);
  }
  // The lesser of the two sides' word.
  float foretold(int x, int c) const {
    return std::min(foretold(left[size_t(x)], c), foretold(right[size_t(x)], c));
  }
  // How far channel c of pixel x stands above the channel's floor, as a
  // share of how far its sides foretell it; infinite where they foretell it
  // no lit value.
  float share_of_foretold(int x, int c) const {
    const float foretell = foretold(x, c);
    if (!(foretell - floors.c[c] > kLit)) return INFINITY;
    return (at(x, c) - floors.c[c]) / (foretell - floors.c[c]);
  }
};

}  // namespace

Sweep make_sweep() {
  Sweep s{0, int(std::size(kSaturations) * std::size(kLuminances)), sweep_hues(), {}};
  s.width = int(s.hues.size());
  for (float lum : kLuminances)
    for (float sat : kSaturations)
      for (float h : s.hues) {
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

std::vector<Speck> find_specks(const Sweep& s, const std::vector<float>& out, const std::vector<float>& nudgedOut) {
  const std::vector<Side> left = sides(s, -1), right = sides(s, 1);
  const Floors floors(out);
  std::vector<Speck> specks;
  for (int y = 0; y < s.height; ++y) {
    const Row row{s, out, floors, left, right, y};
    const std::vector<float> move = row_moves(out, nudgedOut, s.width, y);
    for (int x = 0; x < s.width; ++x) {
      Speck k{nullptr, x, y, -1, {}, {}, {}, {}};
      bool finite = true;
      for (int c = 0; c < 3; ++c) {
        k.out[c] = row.at(x, c);
        k.nudgedOut[c] = channel(nudgedOut, s.width, x, y, c);
        k.left[c] = row.at(left[size_t(x)].near, c);
        k.right[c] = row.at(right[size_t(x)].near, c);
        finite = finite && std::isfinite(k.out[c]) && std::isfinite(k.nudgedOut[c]);
      }
      if (!finite) {
        k.kind = "not finite";
      } else {
        for (int c = 0; c < 3 && !k.kind; ++c)
          if (row.share_of_foretold(x, c) < kDark) k.kind = "black", k.channel = c;
        if (!k.kind && lone_move(move, x) > kJump) k.kind = "jump";
      }
      if (k.kind) specks.push_back(k);
    }
  }
  return specks;
}

Figures figures(const Sweep& s, const std::vector<float>& out, const std::vector<float>& nudgedOut,
                const float (&black)[3]) {
  const std::vector<Side> left = sides(s, -1), right = sides(s, 1);
  const Floors floors(out);
  Figures f{0.0, 0.0, {0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}, 0, -INFINITY, INFINITY, 0.0f};
  long lit = 0, channelLit[3] = {0, 0, 0}, crushed[3] = {0, 0, 0};
  std::vector<float> variation;
  for (int y = 0; y < s.height; ++y) {
    const Row row{s, out, floors, left, right, y};
    const std::vector<float> move = row_moves(out, nudgedOut, s.width, y);
    float lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (int x = 0; x < s.width; ++x) {
      lit += std::max({row.at(x, 0) - floors.c[0], row.at(x, 1) - floors.c[1], row.at(x, 2) - floors.c[2]}) > kLit;
      const float grey = (row.at(x, 0) + row.at(x, 1) + row.at(x, 2)) / 3.0f;
      for (int c = 0; c < 3; ++c) {
        const float v = row.at(x, c), share = row.share_of_foretold(x, c);
        channelLit[c] += std::fabs(v - black[c]) > kLit;
        lo[c] = std::min(lo[c], v - grey);
        hi[c] = std::max(hi[c], v - grey);
        if (std::isfinite(share)) {
          f.darkestRatio = std::min(f.darkestRatio, share);
        } else if (v <= floors.c[c]) {
          ++f.crushed, ++crushed[c];
          f.crushForetold = std::max(f.crushForetold, row.foretold(x, c) - floors.c[c]);
        }
      }
      if (std::isfinite(move[size_t(x)])) f.largestJump = std::max(f.largestJump, lone_move(move, x));
    }
    variation.push_back(std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]}));
  }
  const double pixels = double(s.width) * double(s.height);
  f.litFraction = double(lit) / pixels;
  for (int c = 0; c < 3; ++c) {
    f.channelLit[c] = double(channelLit[c]) / pixels;
    f.crushedChannel[c] = double(crushed[c]) / pixels;
  }
  std::nth_element(variation.begin(), variation.begin() + long(variation.size() / 2), variation.end());
  f.hueVariation = variation[variation.size() / 2];
  return f;
}

std::string describe(const Speck& s) {
  const char* const channels[] = {"", " in red", " in green", " in blue"};
  char text[320];
  std::snprintf(text, sizeof text,
                "%s at (%d, %d)%s: %.6g %.6g %.6g, nudged %.6g %.6g %.6g, hue neighbours %.6g %.6g %.6g and "
                "%.6g %.6g %.6g",
                s.kind, s.x, s.y, channels[s.channel + 1], s.out[0], s.out[1], s.out[2], s.nudgedOut[0],
                s.nudgedOut[1], s.nudgedOut[2], s.left[0], s.left[1], s.left[2], s.right[0], s.right[1], s.right[2]);
  return text;
}

}  // namespace colour_sweep
