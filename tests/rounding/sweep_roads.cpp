#include "sweep_roads.h"

#include <deque>
#include <iterator>

#include "frame_roads.h"

namespace sweep_roads {

namespace {

using frame_roads::Values;

// ARRI LogC3, Rec.2020 linear and Sony S-Log3: a log, a linear and a
// second log curve and gamut. The sweep holds the same linear colours on
// every input; an input changes only how they reach the working space, and
// with it where rounding puts a hue beside a sector centre.
struct Input {
  int gamut;
  const char* name;
};
const Input kInputs[] = {{11, "log"}, {30, "linear"}, {15, "S-Log3"}};

// Looks that drive the corrector's Chroma quality hard, whatever the stock
// presets hold: the family's sector gains (2^(4(2v - 1))) and its custom
// band's above 2, where the smoothstep weight's rounding past 1 was NaN,
// and every refine slot's Chroma (2^(4(4s - 2))) likewise, centred on the
// sextant centres and between them; and the same on the print's families
// and slots. Gains of 2.3 to 4: above 4 the exponent e = 2 / g of the
// sector factor's 1 - (1 - s)^e falls below 1/2 and the formula's own cusp
// at a sector's centre grows steeper than a jump of rounding could be told
// from.
Values chroma_family(const char* prefix) {
  static std::deque<std::string> names;  // the values point into it, which keeps its strings in place
  Values v;
  const std::pair<const char*, double> members[] = {
      {"Red", 0.75},  {"Green", 0.75},   {"Blue", 0.7},     {"Cyan", 0.75},
      {"Magenta", 0.65}, {"Yellow", 0.7}, {"CustomHue", 0.0}, {"CustomWidth", 60.0}, {"CustomStrength", 0.625}};
  for (const auto& m : members) {
    names.push_back(std::string(prefix) + "Chroma" + m.first);
    v.push_back({names.back().c_str(), m.second});
  }
  return v;
}

Values refine_chroma(const char* prefix, int slots) {
  static std::deque<std::string> names;
  static const char* const words[] = {"Two", "Three", "Four", "Five", "Six", "Seven",
                                      "Eight", "Nine", "Ten", "Eleven", "Twelve"};
  const double strengths[] = {0.625, 0.6, 0.5875}, widths[] = {60.0, 30.0, 90.0, 45.0};
  Values v;
  for (int i = 0; i < slots; ++i) {
    const double settings[] = {60.0 * (i % 6) + (i < 6 ? 0.0 : 30.0), widths[i % 4], strengths[i % 3]};
    const char* const qualities[] = {"ChrHue", "ChrWidth", "ChrStrength"};
    for (int q = 0; q < 3; ++q) {
      names.push_back(std::string(prefix) + words[i] + qualities[q]);
      v.push_back({names.back().c_str(), settings[q]});
    }
  }
  return v;
}

Values joined(Values a, const Values& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<std::pair<std::string, Values>> chroma_looks() {
  return {
      {"chroma family", joined({{"CameraStock", 1}, {"ColorCorrection", 1}}, chroma_family(""))},
      {"refine chroma", joined({{"CameraStock", 1}, {"ColorRefine", 1}}, refine_chroma("Refine", 11))},
      {"print chroma", joined(joined({{"PrintDisplayBypass", 0}, {"PrintProfile", 2}, {"PrintChr", 1}},
                                     chroma_family("Print")),
                              refine_chroma("PrintRefine", 6))},
  };
}

// The prints a camera stock meets: off, the display (0), Custom (1), and
// each of the four print stocks at one of its two whites (D65 2-5, D55
// 6-9), alternating along the stocks, so that every print meets twelve
// camera stocks or more. A print's whites differ only in its last
// adaptation; its corrector sees the same colours.
std::vector<int> prints_of(int stock) {
  std::vector<int> p = {-1, 0, 1};
  for (int family = 0; family < 4; ++family) p.push_back(2 + family + ((stock + family) % 2) * 4);
  return p;
}

}  // namespace

// Every camera stock (Custom included) with its prints, each road on the
// next input in turn, so that every stock meets every input at least twice;
// the looks that drive the Chroma quality hard on every input; then the
// golden roads on their own inputs.
std::vector<Road> roads(int width, int height) {
  std::vector<Road> out;
  int turn = 0;
  for (int stock = 1; stock <= 24; ++stock)
    for (int print : prints_of(stock)) {
      const Input& in = kInputs[turn++ % std::size(kInputs)];
      Values v = {{"CameraStock", stock}, {"InputGamut", in.gamut}};
      if (print >= 0) v = joined(v, {{"PrintDisplayBypass", 0}, {"PrintProfile", print}});
      const std::string name = "stock " + std::to_string(stock) + " " + in.name +
                               (print < 0 ? " print off" : " print " + std::to_string(print));
      out.push_back({name, frame_roads::record(v, width, height, 4)});
    }
  for (const auto& look : chroma_looks())
    for (const Input& in : kInputs)
      out.push_back({look.first + " " + in.name,
                     frame_roads::record(joined(look.second, {{"InputGamut", in.gamut}}), width, height, 4)});
  for (const std::string& road : frame_roads::road_names())
    out.push_back({road, frame_roads::road_record(road, width, height, 4)});
  return out;
}

}  // namespace sweep_roads
