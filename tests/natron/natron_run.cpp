#include "natron_run.h"

#include <sys/wait.h>

#include <csignal>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace natrontest {
namespace {

std::string shellQuoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

NatronRun::NatronRun(const std::string& bundle, const Settings& settings, const std::string& frames) {
  std::string tmpl = std::string(NATRON_TEST_WORK_DIR) + "/run-XXXXXX";
  fs::create_directories(NATRON_TEST_WORK_DIR);
  if (!::mkdtemp(&tmpl[0])) return;
  folder_ = tmpl;
  // The bundle folder, alone in a folder of its own.
  const fs::path bundleDir = fs::path(bundle).parent_path().parent_path().parent_path();
  fs::create_directories(folder_ + "/plugins");
  fs::create_symlink(bundleDir, folder_ + "/plugins/" + bundleDir.filename().string());

  std::string command = "cd " + shellQuoted(folder_) + " && env OFX_PLUGIN_PATH=" + shellQuoted(folder_ + "/plugins") +
                        " NATRON_TMP=" + shellQuoted(folder_ + "/natron") +
                        " KB_OUT=" + shellQuoted(folder_ + "/out_#.pfm");
  for (const auto& [name, value] : settings) command += " " + name + "=" + shellQuoted(value);
  command += " sh " + shellQuoted(std::string(NATRON_DIR) + "/run.sh") + " " + shellQuoted(NATRON_GRAPH) + " " + frames +
             " >log.txt 2>&1";
  const int raw = std::system(command.c_str());
  status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  log_ = slurp(folder_ + "/log.txt");
}

NatronRun::~NatronRun() {
  std::error_code ignored;
  if (!folder_.empty()) fs::remove_all(folder_, ignored);
}

bool NatronRun::finished() const {
  const std::size_t done = log_.find("Write1 ==> Rendering finished");
  if (done == std::string::npos) return false;
  return status_ == 0 || (status_ == 128 + SIGABRT &&
                          log_.find("QThread: Destroyed while thread is still running", done) != std::string::npos);
}

Frame NatronRun::frame(int number) const { return readPfm(folder_ + "/out_" + std::to_string(number) + ".pfm"); }

Frame readPfm(const std::string& path) {
  Frame f;
  std::ifstream in(path, std::ios::binary);
  std::string kind;
  double scale = 0;
  if (!(in >> kind >> f.width >> f.height >> scale) || kind != "PF" || scale >= 0 || f.width <= 0 || f.height <= 0)
    return {};
  in.get();  // the single whitespace before the samples
  f.rgb.resize(std::size_t(f.width) * f.height * 3);
  if (!in.read(reinterpret_cast<char*>(f.rgb.data()), std::streamsize(f.rgb.size() * sizeof(float)))) return {};
  return f;
}

std::string difference(const Frame& expected, const Frame& actual) {
  if (expected.empty() || actual.empty()) return "no frame to compare";
  if (expected.width != actual.width || expected.height != actual.height)
    return "size " + std::to_string(actual.width) + "x" + std::to_string(actual.height) + " instead of " +
           std::to_string(expected.width) + "x" + std::to_string(expected.height);
  std::size_t differing = 0, first = 0;
  double largest = 0;
  for (std::size_t p = 0; p < expected.rgb.size(); p += 3) {
    if (std::memcmp(&expected.rgb[p], &actual.rgb[p], 3 * sizeof(float)) == 0) continue;
    if (differing++ == 0) first = p;
    for (std::size_t c = p; c < p + 3; ++c) largest = std::fmax(largest, std::fabs(double(expected.rgb[c]) - actual.rgb[c]));
  }
  if (differing == 0) return {};
  const std::size_t pixel = first / 3;
  char text[256];
  std::snprintf(text, sizeof text,
                "%zu of %zu pixels differ (largest difference %g); first at x=%zu y=%zu: %.9g %.9g %.9g instead of "
                "%.9g %.9g %.9g",
                differing, expected.rgb.size() / 3, largest, pixel % expected.width, pixel / expected.width,
                actual.rgb[first], actual.rgb[first + 1], actual.rgb[first + 2], expected.rgb[first],
                expected.rgb[first + 1], expected.rgb[first + 2]);
  return text;
}

}  // namespace natrontest
