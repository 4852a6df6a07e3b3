// Checks of what float rounding does to frames, built twice: against the
// reference CPU pipeline and against the one that rounds like the device
// (pipeline_cpu_device_rounding, which defines KALTHORNE_DEVICE_ROUNDING here
// too).
//
//   rounding_checks [gtest flags]                 the speck check
//   rounding_checks --write-reference FILE        every golden road's frames, for the device build
//   rounding_checks_device --reference FILE [gtest flags]
//                                                 the speck check and the comparison with FILE
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "colour_sweep.h"
#include "device_tolerances.h"
#include "frame_roads.h"
#include "pipeline/colour_transforms.cuh"
#include "sweep_roads.h"
#include "tests/pipeline/entry_harness.h"

namespace {

const char* g_reference = nullptr;

// ------------------------------------------------------------------ specks

// Every road renders the sweep and the sweep nudged by one float step; no
// pixel may be a speck (colour_sweep.cpp states what is one). And the sweep
// must come out lit and coloured along its hues, since a road that broke
// every pixel alike (all black, one colour, or grey) shows no speck. Over
// every road at least 65 % of the sweep is lit (stock_print_bleach_midhi,
// whose bleach and print take the darkest rows to black) and the median
// row's colour spans 0.08 along its hues (stock 9 on the S-Log3 input with
// the print off, in S-Log3 code values); a film stage that wrote every
// pixel black gives 0 lit, and one that wrote every pixel alike or grey 0
// colour.
constexpr double kLeastLit = 0.5, kLeastHueVariation = 0.04;
// Each channel on its own, since the speck rules measure a channel from its
// own darkest value, where a channel held at one level (a NaN's 0) shows no
// speck: every channel of the sweep's input is lit, and each output channel
// must stand apart from what the road makes of black in at least a fifth
// of the sweep's pixels, and lie crushed (colour_sweep.h) in at most 70 %
// of them. Over every road, in both builds, the least share apart from
// black is 42 % and the most crushed 56 % (both red of
// stock_print_bleach_midhi: its bleach and print take the darker rows and
// the saturated colours' weak channels to black); a channel held at one
// level lies crushed everywhere, and one held at black's (a NaN's 0 on a
// road whose black is 0) stands apart nowhere besides.
constexpr double kLeastChannelLit = 0.2, kMostChannelCrushed = 0.7;

const colour_sweep::Sweep& sweep() {
  static const colour_sweep::Sweep s = colour_sweep::make_sweep();
  return s;
}

const std::vector<sweep_roads::Road>& roads() {
  static const std::vector<sweep_roads::Road> r = sweep_roads::roads(sweep().width, sweep().height);
  return r;
}

// What road `i` makes of black: its output for a small frame of code values
// that decode to linear 0 (every pixel alike), at the frame's first pixel.
void black_of(size_t i, float (&black)[3]) {
  constexpr int kSide = 8;
  static const std::vector<sweep_roads::Road> small = sweep_roads::roads(kSide, kSide);
  const TextureOptionsStruct& o = small[i].record;
  const float zero[3] = {0.0f, 0.0f, 0.0f};
  float code[3];
  awg4_linear_to_output(zero, o.inputGamut, code);
  std::vector<float> frame;
  for (int p = 0; p < kSide * kSide; ++p) frame.insert(frame.end(), {code[0], code[1], code[2], 1.0f});
  const FrameRun r = run_frame(o, frame);
  black[0] = black[1] = black[2] = NAN;
  ASSERT_TRUE(r.ok) << "the entry failed on black";
  for (int c = 0; c < 3; ++c) black[c] = r.out[size_t(c)];
}

class Specks : public ::testing::TestWithParam<size_t> {};

TEST_P(Specks, NoneAndTheSweepLitAndColoured) {
  const sweep_roads::Road& road = roads()[GetParam()];
  const colour_sweep::Sweep& s = sweep();
  const FrameRun a = run_frame(road.record, colour_sweep::encode(s, road.record.inputGamut, false));
  const FrameRun b = run_frame(road.record, colour_sweep::encode(s, road.record.inputGamut, true));
  float black[3];
  black_of(GetParam(), black);
  cudasim::reset();
  ASSERT_TRUE(a.ok && b.ok) << "the entry failed";
  const auto specks = colour_sweep::find_specks(s, a.out, b.out);
  const auto f = colour_sweep::figures(s, a.out, b.out, black);
  std::printf("%s: %zu specks, lit %.3f, hue variation %.4f, %ld channels crushed (foretold at most %.3g above "
              "the floor), darkest %.3f of its foretold value, largest lone jump %.3g\n",
              road.name.c_str(), specks.size(), f.litFraction, f.hueVariation, f.crushed, f.crushForetold,
              f.darkestRatio, f.largestJump);
  std::printf("  red, green, blue: apart from black %.3f %.3f %.3f, crushed %.3f %.3f %.3f (black %.4g %.4g %.4g)\n",
              f.channelLit[0], f.channelLit[1], f.channelLit[2], f.crushedChannel[0], f.crushedChannel[1],
              f.crushedChannel[2], black[0], black[1], black[2]);
  for (size_t i = 0; i < specks.size() && i < 5; ++i) ADD_FAILURE() << colour_sweep::describe(specks[i]);
  EXPECT_GE(f.litFraction, kLeastLit) << "the sweep came out dark";
  EXPECT_GE(f.hueVariation, kLeastHueVariation) << "the sweep came out flat along its hues";
  const char* const channels[] = {"red", "green", "blue"};
  for (int c = 0; c < 3; ++c) {
    EXPECT_GE(f.channelLit[c], kLeastChannelLit) << channels[c] << " came out as black";
    EXPECT_LE(f.crushedChannel[c], kMostChannelCrushed) << channels[c] << " came out crushed";
  }
}

std::string road_test_name(const ::testing::TestParamInfo<size_t>& info) {
  std::string name = roads()[info.param].name;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Roads, Specks, ::testing::Range(size_t(0), roads().size()), road_test_name);

// ------------------------------------------------------- golden roads' frames

// Every golden road at each of the shapes its tolerances are set for.
using device_tolerances::kShapes;
using device_tolerances::Shape;

std::string key(const std::string& road, const Shape& s) {
  return road + ' ' + std::to_string(s.width) + 'x' + std::to_string(s.height);
}

std::vector<float> render_road(const std::string& road, const Shape& s) {
  const FrameRun r = run_frame(frame_roads::road_record(road, s.width, s.height, 4),
                               frame_roads::source_frame(s.width, s.height, 4));
  EXPECT_TRUE(r.ok) << key(road, s) << ": the entry failed";
  return r.out;
}

// "<road> <W>x<H> <count>\n" and the count floats, frame after frame.
int write_reference(const char* path) {
  std::ofstream out(path, std::ios::binary);
  for (const std::string& road : frame_roads::road_names())
    for (const Shape& s : kShapes) {
      const std::vector<float> f = render_road(road, s);
      out << key(road, s) << ' ' << f.size() << '\n';
      out.write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size() * sizeof(float)));
    }
  cudasim::reset();
  return out ? 0 : 1;
}

std::map<std::string, std::vector<float>> read_reference(const char* path) {
  std::map<std::string, std::vector<float>> frames;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    const size_t space = line.rfind(' ');
    std::vector<float> f(std::stoul(line.substr(space + 1)));
    in.read(reinterpret_cast<char*>(f.data()), std::streamsize(f.size() * sizeof(float)));
    frames[line.substr(0, space)] = std::move(f);
  }
  return frames;
}

// ------------------------------------------------------ row passes in roads

// The sweep and the device-rounding frames meet the row passes' edge
// tiles: the sweep's width and height are no multiples of 32 and hold more
// than a tile, and the golden roads reach every row pass (a row pass that
// no road ran would meet neither check).
TEST(RowPasses, TheSweepRunsEdgeTilesBothWays) {
  const colour_sweep::Sweep& s = sweep();
  EXPECT_TRUE(s.width > 32 && s.width % 32 != 0) << s.width;
  EXPECT_TRUE(s.height > 32 && s.height % 32 != 0) << s.height;
}

TEST(RowPasses, TheGoldenRoadsReachEveryRowPass) {
  std::map<std::string, std::vector<std::string>> reached;
  for (const std::string& road : frame_roads::road_names()) {
    render_road(road, kShapes[2]);  // whole and edge tiles both ways
    for (const cudasim::Launch& l : cudasim::launch_trace()) {
      std::string pass = l.kernel;
      if (pass == "iir_guassian_rows_developer") pass += l.arguments.at(3).pointer ? " (two bands)" : " (one band)";
      reached[pass].push_back(road);
    }
  }
  cudasim::reset();
  for (const char* pass : {"iir_guassian_rows", "pitch_sharp_rows", "halation_band_rows",
                           "iir_guassian_rows_developer (one band)", "iir_guassian_rows_developer (two bands)"})
    EXPECT_FALSE(reached[pass].empty()) << "no golden road runs " << pass;
}

// ------------------------------------------------- device rounding vs reference

float tolerance_of(const std::string& road, size_t shape) {
  for (const device_tolerances::Tolerance& t : device_tolerances::kTolerances)
    if (road == t.road) return t.relative[shape];
  ADD_FAILURE() << road << " has no tolerance";
  return 0.0f;
}

bool finite(const float* p) { return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]); }
// Black in one build (no channel above 0, as a NaN held to 0 leaves it) and
// lit in the other (a channel above 1e-4: a pixel near black that rounding
// takes to 0 or 6e-7 is none).
bool black(const float* p) { return !(p[0] > 0.0f) && !(p[1] > 0.0f) && !(p[2] > 0.0f); }
bool lit(const float* p) { return p[0] > 1e-4f || p[1] > 1e-4f || p[2] > 1e-4f; }
bool black_in_one(const float* a, const float* b) { return (black(a) && lit(b)) || (black(b) && lit(a)); }

// A row left behind by a road renamed or gone would hold no road.
TEST(DeviceRounding, EveryToleranceRowIsAGoldenRoad) {
  const std::vector<std::string> roads = frame_roads::road_names();
  for (const device_tolerances::Tolerance& t : device_tolerances::kTolerances)
    EXPECT_EQ(std::count(roads.begin(), roads.end(), t.road), 1) << t.road;
}

TEST(DeviceRounding, EveryGoldenRoadAgreesWithTheReference) {
  if (!g_reference) GTEST_SKIP() << "no reference frames given (--reference FILE)";
  const auto reference = read_reference(g_reference);
  for (const std::string& road : frame_roads::road_names())
    for (size_t shape = 0; shape < std::size(kShapes); ++shape) {
      const Shape& s = kShapes[shape];
      const auto it = reference.find(key(road, s));
      ASSERT_NE(it, reference.end()) << key(road, s) << " is not in " << g_reference;
      const std::vector<float> mine = render_road(road, s);
      ASSERT_EQ(mine.size(), it->second.size()) << key(road, s);
      const float tol = tolerance_of(road, shape);
      const auto where = [&](size_t i) {
        return key(road, s) + " at (" + std::to_string(i / 4 % size_t(s.width)) + ", " +
               std::to_string(i / 4 / size_t(s.width)) + ")";
      };
      float largest = 0.0f;
      size_t largestAt = 0;
      int outliers = 0;
      for (size_t i = 0; i < mine.size(); i += 4) {
        const float *d = &mine[i], *r = &it->second[i];
        float worst = 0.0f;
        for (int c = 0; c < 3; ++c) worst = std::max(worst, std::fabs(d[c] - r[c]) / (1.0f + std::fabs(r[c])));
        const bool apart = finite(d) != finite(r) || black_in_one(d, r) || !(worst <= tol);
        if (finite(d) && finite(r) && worst > largest) largest = worst, largestAt = i;
        if (apart && ++outliers <= 10)
          ADD_FAILURE() << where(i) << ": device " << d[0] << ' ' << d[1] << ' ' << d[2] << ", reference " << r[0]
                        << ' ' << r[1] << ' ' << r[2];
      }
      std::printf("%s: largest relative difference %.3g (tolerance %.2g), %d outliers\n", where(largestAt).c_str(),
                  largest, tol, outliers);
    }
  cudasim::reset();
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc == 3 && std::strcmp(argv[1], "--write-reference") == 0) return write_reference(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "--reference") == 0) g_reference = argv[2];
  else if (argc != 1) {
    std::fprintf(stderr, "usage: %s [--write-reference FILE | --reference FILE] [gtest flags]\n", argv[0]);
    return 2;
  }
  return RUN_ALL_TESTS();
}
