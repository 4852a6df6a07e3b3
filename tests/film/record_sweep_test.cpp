// Randomised records from the render path's own fills, with parameter
// values inside their catalogue ranges, on every road of the film stage.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

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

// Frames with NaN, infinities, negatives and values past 1 among random ones.
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
            if ((stock == 0 && negBleach) || (!printOn && (profile != 1 || printBleach))) continue;
            const int W = sizes[runs % 3][0], H = sizes[runs % 3][1], channels = (runs % 2) ? 3 : 4;
            SCOPED_TRACE(::testing::Message() << "stock " << stock << " print " << printOn << " profile " << profile
                                              << " bleach " << negBleach << "/" << printBleach << " channels "
                                              << channels);
            FakeParams p;
            randomise(p, rng);
            p.set("CameraStock", stock);
            p.set("PrintDisplayBypass", printOn ? 0 : 1);
            p.set("PrintProfile", profile);
            p.set("BrewBleachBypass", negBleach);
            p.set("PrintBleachBypass", printBleach);
            while (printOn && kalthorne::isGammaBasedInput((int)p.value("InputGamut")))
              p.set("InputGamut", (int)(rng() % kalthorne::kInputGamutOptions));
            TextureOptionsStruct o = kalthorne::firstFill(p.h, p, p, 0);
            kalthorne::fillRenderOptions(p.h, p, W, H, channels, o);
            const std::vector<float> in = awkward_frame(W, H, (unsigned)runs++);
            const filmtest::StageResult r = filmtest::run_stage(o, in);
            EXPECT_TRUE(r.ran);
            if (o.cameraStock != 0 || !o.printOff) {
              for (size_t i = 0; i < r.a.size(); ++i)  // alpha is carried, not computed
                ASSERT_TRUE(i % 4 == 3 || (std::isfinite(r.a[i]) && r.a[i] == r.b[i])) << "element " << i;
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
