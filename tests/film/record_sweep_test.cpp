// Randomised records from the render path's own fills, with parameter
// values inside their catalogue ranges, on every road of the film stage.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <sstream>
#include <string>

#include "fake_params.h"
#include "film_test_support.h"
#include "params/param_catalogue.h"
#include "plugin/render_option_rules.h"
#include "plugin/render_options_fill.h"

namespace {

using kalthorne::params::kParamSpecs;
using kalthorne::params::ParamKind;

// Every parameter with a value gets a random value inside its range; one in
// eight sits exactly on an end of the range.
void randomise(FakeParams& p, std::mt19937& rng) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (const auto& param : kParamSpecs) {
    double v = 0.0;
    switch (param.kind) {
      case ParamKind::Double:
      case ParamKind::Int: {
        const double t = u(rng);
        const double f = t < 0.0625 ? 0.0 : (t < 0.125 ? 1.0 : u(rng));
        v = param.low + f * (param.high - param.low);
        if (param.kind == ParamKind::Int) v = std::floor(v + 0.5);
        break;
      }
      case ParamKind::Boolean:
        v = u(rng) < 0.5 ? 0.0 : 1.0;
        break;
      case ParamKind::Choice:
        v = std::floor(u(rng) * param.attributes.optionCount);
        break;
      case ParamKind::PushButton:
        continue;
    }
    p.set(param.name, v);
  }
}

struct Road {
  int stock;
  bool printOn;
  int profile;
  bool negBleach, printBleach;
  int channels;
};

std::string describe(const Road& r) {
  std::ostringstream s;
  s << "stock " << r.stock << " print " << r.printOn << " profile " << r.profile << " bleach " << r.negBleach << "/"
    << r.printBleach << " channels " << r.channels;
  return s.str();
}

TextureOptionsStruct record_for(const Road& road, int W, int H, std::mt19937& rng) {
  FakeParams p;
  randomise(p, rng);
  p.set("CameraStock", road.stock);
  p.set("PrintDisplayBypass", road.printOn ? 0 : 1);
  p.set("PrintProfile", road.profile);
  p.set("BrewBleachBypass", road.negBleach);
  p.set("PrintBleachBypass", road.printBleach);
  if (road.printOn)
    while (kalthorne::isGammaBasedInput((int)p.value("InputGamut"))) p.set("InputGamut", (int)(rng() % kalthorne::kInputGamutOptions));
  TextureOptionsStruct o = kalthorne::firstFill(p.h, p, p, 0);
  kalthorne::fillRenderOptions(p.h, p, W, H, road.channels, o);
  return o;
}

std::vector<float> awkward_frame(int W, int H, unsigned seed) {
  std::vector<float> f = filmtest::random_frame(W, H, seed);
  const float specials[] = {NAN, INFINITY, -INFINITY, -0.5f, 3.0f, 0.0f, 1.0f};
  for (size_t i = 0; i < f.size(); i += 5) f[i] = specials[(i / 5) % 7];
  return f;
}

TEST(FilmRecordSweep, EveryRoadGivesFiniteOutputAndFreesEverything) {
  cudasim::reset();
  std::mt19937 rng(20240607);
  const int sizes[][2] = {{1, 1}, {7, 5}, {33, 17}};
  int runs = 0;
  for (int stock : {0, 1, 7, 24})
    for (bool printOn : {false, true})
      for (int profile : {0, 1, 2, 6})
        for (bool negBleach : {false, true})
          for (bool printBleach : {false, true}) {
            if (stock == 0 && negBleach) continue;
            if (!printOn && (profile != 1 || printBleach)) continue;
            const Road road{stock, printOn, profile, negBleach, printBleach, (runs % 2) ? 3 : 4};
            const int* size = sizes[runs % 3];
            const int W = size[0], H = size[1];
            const TextureOptionsStruct o = record_for(road, W, H, rng);
            const std::vector<float> in = awkward_frame(W, H, (unsigned)runs);
            const filmtest::StageResult r = filmtest::run_stage(o, in);
            ++runs;
            SCOPED_TRACE(describe(road));
            EXPECT_TRUE(r.ran);
            if (o.cameraStock != 0 || !o.printOff) {
              for (size_t i = 0; i < r.a.size(); ++i) {
                if (i % 4 == 3) continue;  // alpha is carried, not computed
                ASSERT_TRUE(std::isfinite(r.a[i])) << "element " << i;
                ASSERT_EQ(r.a[i], r.b[i]) << "element " << i;
              }
            } else {
              // No negative and no print: the stage leaves the frame alone.
              ASSERT_EQ(std::memcmp(r.a.data(), in.data(), in.size() * sizeof(float)), 0);
            }
            const cudasim::AllocationStats s = cudasim::allocation_stats();
            ASSERT_EQ(s.live, 0u);
            ASSERT_EQ(s.double_frees + s.invalid_frees + s.guard_overruns + s.bad_pointers, 0u)
                << (cudasim::violations().empty() ? "" : cudasim::violations().front());
          }
  EXPECT_GT(runs, 60);
}

}  // namespace
