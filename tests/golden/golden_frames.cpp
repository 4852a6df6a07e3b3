// Golden frames: every road of the pipeline entry on the CPU build, hashed
// bit for bit. Changes that only lay the work differently over the device
// (launch shapes, passes, buffers, streams) must leave every hash alone.
//
//   golden_frames --check FILE [--small]  recompute and compare; names each road that differs
//   golden_frames --record FILE            write FILE from the current build
//
// --small checks every road at the first small size only and leaves the
// other lines alone: the ThreadSanitizer build, where frames large enough
// to be spread over the stand-in's worker threads take far too long.
//
// Every frame is also held to what every frame must keep (run_frame): the
// entry succeeds, every device allocation and stream is released once with
// no stray pointer, stream or overrun, no output value is memory that no
// kernel wrote, alpha is carried and the source is left alone.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "frame_roads.h"
#include "tests/pipeline/entry_harness.h"

namespace {

bool g_record = false;
bool g_small = false;
const char* g_path = nullptr;

struct Shape {
  int width, height, channels;
};

// Every road at two odd sizes (RGBA, then RGB), and the blur-heavy texture
// road once at HD (the film roads take seconds each at HD on the CPU).
const Shape kSmallShapes[] = {{37, 23, 4}, {1025, 3, 3}};
const char* const kHdRoad = "texture";
const Shape kHdShape = {1920, 1080, 4};

// 64-bit FNV-1a over the bytes of the output floats, in hex.
std::string fnv1a(const std::vector<float>& values) {
  uint64_t h = 0xCBF29CE484222325ull;
  const auto* bytes = reinterpret_cast<const unsigned char*>(values.data());
  for (size_t i = 0; i < values.size() * sizeof(float); ++i) h = (h ^ bytes[i]) * 0x100000001B3ull;
  char text[17];
  std::snprintf(text, sizeof text, "%016" PRIx64, h);
  return text;
}

// "<road> <W>x<H>x<C>" and the hash of its output, in table order.
std::vector<std::pair<std::string, std::string>> render_all() {
  std::vector<std::pair<std::string, std::string>> frames;
  const auto render = [&](const std::string& road, const Shape& s) {
    const std::string key = road + ' ' + std::to_string(s.width) + 'x' + std::to_string(s.height) + 'x' +
                            std::to_string(s.channels);
    SCOPED_TRACE(key);
    const FrameRun r = run_frame(frame_roads::road_record(road, s.width, s.height, s.channels),
                                 frame_roads::source_frame(s.width, s.height, s.channels));
    EXPECT_TRUE(r.ok) << "the entry failed";
    frames.emplace_back(key, fnv1a(r.out));
  };
  for (const std::string& road : frame_roads::road_names())
    for (const Shape& s : kSmallShapes)
      if (!g_small || &s == kSmallShapes) render(road, s);
  if (!g_small) render(kHdRoad, kHdShape);
  cudasim::reset();
  return frames;
}

TEST(GoldenFrames, EveryRoadBitForBit) {
  const auto frames = render_all();
  if (g_record) {
    ASSERT_FALSE(HasFailure()) << "a broken frame is no golden frame";
    std::ofstream out(g_path);
    out << "# Golden frames of the CPU pipeline: <road> <width>x<height>x<channels> <64-bit FNV-1a of the\n"
           "# output floats' bytes>. Written by the golden_frames program; after a change that is meant\n"
           "# to change output, re-record with\n"
           "#   cmake --build build --target record_golden_frames\n"
           "# and commit this file with the change.\n";
    for (const auto& f : frames) out << f.first << ' ' << f.second << '\n';
    ASSERT_TRUE(out) << "cannot write " << g_path;
    return;
  }
  std::ifstream in(g_path);
  ASSERT_TRUE(in) << "cannot read " << g_path;
  std::map<std::string, std::string> golden;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') golden[line.substr(0, line.rfind(' '))] = line.substr(line.rfind(' ') + 1);
  for (const auto& f : frames) {
    const auto it = golden.find(f.first);
    if (it == golden.end()) {
      ADD_FAILURE() << f.first << ": not in the golden file (re-record it)";
      continue;
    }
    EXPECT_EQ(it->second, f.second) << f.first << ": output differs from the golden frame";
    golden.erase(it);
  }
  if (!g_small)
    for (const auto& stale : golden) ADD_FAILURE() << stale.first << ": in the golden file but no longer rendered";
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const bool check = argc >= 3 && std::strcmp(argv[1], "--check") == 0;
  const bool record = argc == 3 && std::strcmp(argv[1], "--record") == 0;
  g_small = check && argc == 4 && std::strcmp(argv[3], "--small") == 0;
  if (!(record || (check && (argc == 3 || g_small)))) {
    std::fprintf(stderr, "usage: %s --check FILE [--small] | --record FILE\n", argv[0]);
    return 2;
  }
  g_record = record;
  g_path = argv[2];
  return RUN_ALL_TESTS();
}
