// Golden frames: every road of the pipeline entry on the CPU build, hashed
// bit for bit. Changes that only lay the work differently over the device
// (launch shapes, passes, buffers, streams) must leave every hash alone.
//
//   golden_frames --check FILE   recompute and compare; names each road that differs
//   golden_frames --record FILE  write FILE from the current build
//   golden_frames --dump DIR     write each output as raw floats, DIR/<road>_<W>x<H>x<C>.f32,
//                                to find the first differing element between two builds
//
// Each run also checks what every frame must keep: the entry succeeds, every
// device allocation and stream is released once with no stray pointer,
// stream or overrun, and no output value is memory that no kernel wrote.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cudasim/cudasim_control.h"
#include "frame_roads.h"
#include "pipeline/texture_pitch_compress_expand.h"

namespace {

struct Shape {
  int width, height, channels;
};

// Every road at two odd sizes (RGBA, then RGB), and the blur-heavy texture
// road once at HD (the film roads take seconds each at HD on the CPU).
const Shape kSmallShapes[] = {{37, 23, 4}, {1025, 3, 3}};
const char* const kHdRoad = "texture";
const Shape kHdShape = {1920, 1080, 4};

std::string key_of(const std::string& road, const Shape& s) {
  std::ostringstream k;
  k << road << ' ' << s.width << 'x' << s.height << 'x' << s.channels;
  return k.str();
}

// 64-bit FNV-1a over the bytes of the output floats.
uint64_t fnv1a(const std::vector<float>& values) {
  uint64_t h = 0xCBF29CE484222325ull;
  const auto* bytes = reinterpret_cast<const unsigned char*>(values.data());
  for (size_t i = 0; i < values.size() * sizeof(float); ++i) h = (h ^ bytes[i]) * 0x100000001B3ull;
  return h;
}

struct Frame {
  std::vector<float> out;
  std::string fault;  // empty when the frame kept every invariant
};

Frame render(const std::string& road, const Shape& s) {
  const TextureOptionsStruct o = frame_roads::road_record(road, s.width, s.height, s.channels);
  const std::vector<float> src = frame_roads::source_frame(s.width, s.height, s.channels);
  Frame f;
  f.out.assign(src.size(), 0.0f);
  cudasim::reset();
  const bool ok = texture_pitch_compress_expand(src.data(), f.out.data(), o);
  const cudasim::AllocationStats a = cudasim::allocation_stats();
  if (!ok)
    f.fault = "the entry failed";
  else if (a.live + a.live_streams != 0 || a.frees != a.allocations ||
           a.double_frees + a.invalid_frees + a.guard_overruns + a.bad_pointers + a.bad_streams != 0)
    f.fault = "device memory misused: " + (cudasim::violations().empty() ? std::string("something stayed allocated")
                                                                         : cudasim::violations().front());
  else
    for (size_t i = 0; i < f.out.size(); ++i)
      if (cudasim::is_nan_sentinel(f.out[i])) {
        f.fault = "element " + std::to_string(i) + " was never written";
        break;
      }
  cudasim::reset();
  return f;
}

template <typename Visit>
void for_each_frame(Visit visit) {
  for (const std::string& road : frame_roads::road_names())
    for (const Shape& s : kSmallShapes) visit(road, s);
  visit(kHdRoad, kHdShape);
}

std::map<std::string, std::string> read_golden(const char* path, bool& readable) {
  std::map<std::string, std::string> golden;
  std::ifstream in(path);
  readable = bool(in);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t cut = line.rfind(' ');
    golden[line.substr(0, cut)] = line.substr(cut + 1);
  }
  return golden;
}

std::string hex(uint64_t h) {
  char text[17];
  std::snprintf(text, sizeof text, "%016" PRIx64, h);
  return text;
}

int check(const char* path) {
  bool readable = false;
  std::map<std::string, std::string> golden = read_golden(path, readable);
  if (!readable) {
    std::fprintf(stderr, "golden: cannot read %s\n", path);
    return 2;
  }
  int failures = 0, frames = 0;
  for_each_frame([&](const std::string& road, const Shape& s) {
    const std::string key = key_of(road, s);
    const Frame f = render(road, s);
    ++frames;
    const auto it = golden.find(key);
    const std::string got = hex(fnv1a(f.out));
    if (!f.fault.empty()) {
      std::printf("FAIL %s: %s\n", key.c_str(), f.fault.c_str());
      ++failures;
    } else if (it == golden.end()) {
      std::printf("FAIL %s: not in the golden file (re-record it)\n", key.c_str());
      ++failures;
    } else if (it->second != got) {
      std::printf("FAIL %s: output differs (golden %s, this build %s)\n", key.c_str(), it->second.c_str(),
                  got.c_str());
      ++failures;
    }
    if (it != golden.end()) golden.erase(it);
  });
  for (const auto& stale : golden) {
    std::printf("FAIL %s: in the golden file but no longer rendered (re-record it)\n", stale.first.c_str());
    ++failures;
  }
  std::printf("golden: %d frames, %d failing\n", frames, failures);
  return failures == 0 ? 0 : 1;
}

int record(const char* path) {
  std::ostringstream text;
  text << "# Golden frames of the CPU pipeline: <road> <width>x<height>x<channels> <64-bit FNV-1a of the\n"
          "# output floats' bytes>. Written by the golden_frames program; after a change that is meant\n"
          "# to change output, re-record with\n"
          "#   cmake --build build --target record_golden_frames\n"
          "# and commit this file with the change.\n";
  int faults = 0;
  for_each_frame([&](const std::string& road, const Shape& s) {
    const Frame f = render(road, s);
    if (!f.fault.empty()) {
      std::fprintf(stderr, "golden: %s: %s\n", key_of(road, s).c_str(), f.fault.c_str());
      ++faults;
    }
    text << key_of(road, s) << ' ' << hex(fnv1a(f.out)) << '\n';
  });
  if (faults) return 1;  // a broken frame is no golden frame
  std::ofstream out(path);
  out << text.str();
  return out ? 0 : 2;
}

int dump(const std::string& dir) {
  for_each_frame([&](const std::string& road, const Shape& s) {
    const Frame f = render(road, s);
    const std::string path = dir + "/" + road + "_" + std::to_string(s.width) + "x" + std::to_string(s.height) +
                             "x" + std::to_string(s.channels) + ".f32";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(f.out.data()),
                                                std::streamsize(f.out.size() * sizeof(float)));
  });
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--check") == 0) return check(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "--record") == 0) return record(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "--dump") == 0) return dump(argv[2]);
  std::fprintf(stderr, "usage: %s --check FILE | --record FILE | --dump DIR\n", argv[0]);
  return 2;
}
