// Renders through the prebuilt NatronRenderer (../shared/natron), a real
// OpenFX host: natron_graph.py builds ColorBars -> [effect] -> PFM writer
// from KB_* variables, with one bundle alone on the plug-in path (two
// bundles of one identifier would hide each other).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace natrontest {

using Settings = std::vector<std::pair<std::string, std::string>>;  // KB_* variables

// A float RGB frame, bottom row first (as PFM and OpenFX lay rows out).
struct Frame {
  int width = 0, height = 0;
  std::vector<float> rgb;
  bool empty() const { return rgb.empty(); }
};

// One run in a private folder, removed when the run goes.
class NatronRun {
 public:
  // `bundle`: a bundle's binary (X.ofx.bundle/Contents/Linux-x86-64/X.ofx);
  // `frames`: "first-last". The frames go to out_<frame>.pfm.
  NatronRun(const std::string& bundle, const Settings& settings, const std::string& frames = "1-1");
  ~NatronRun();
  NatronRun(const NatronRun&) = delete;
  NatronRun& operator=(const NatronRun&) = delete;

  int status() const { return status_; }
  // Every frame written and NatronRenderer ended well. Natron 2.5 now and
  // then aborts on its way out ("QThread: Destroyed while thread is still
  // running", also with no plug-in of ours in the graph): after the last
  // frame that counts as ended well.
  bool finished() const;
  const std::string& log() const { return log_; }
  Frame frame(int number) const;  // empty when not written or unreadable
  const std::string& folder() const { return folder_; }

 private:
  std::string folder_, log_;
  int status_ = -1;
};

// A PFM file as written by Natron's PFM writer (RGB, little-endian).
Frame readPfm(const std::string& path);

// Where the first difference lies and how many pixels differ; empty when
// both frames are there and the same bit for bit.
std::string difference(const Frame& expected, const Frame& actual);

}  // namespace natrontest
