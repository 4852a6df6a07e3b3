#include "film_test_support.h"

#include <algorithm>
#include <cmath>

#include "fake_params.h"
#include "params/param_catalogue.h"
#include "plugin/render_option_rules.h"
#include "plugin/render_options_fill.h"

namespace filmtest {

TextureOptionsStruct random_record(std::mt19937& rng, int width, int height, int channels,
                                   const frame_roads::Values& fixed) {
  using kalthorne::params::ParamKind;
  std::uniform_real_distribution<double> u(0.0, 1.0);
  FakeParams p;
  for (const auto& param : kalthorne::params::kParamSpecs) {
    const double t = u(rng), f = t < 0.0625 ? 0.0 : (t < 0.125 ? 1.0 : u(rng));
    const double n = param.attributes.optionCount, v = param.low + f * (param.high - param.low);
    if (param.kind == ParamKind::Double) p.set(param.name, v);
    if (param.kind == ParamKind::Int) p.set(param.name, std::floor(v + 0.5));
    if (param.kind == ParamKind::Boolean) p.set(param.name, f < 0.5 ? 0.0 : 1.0);
    if (param.kind == ParamKind::Choice) p.set(param.name, std::min(std::floor(f * n), n - 1));
  }
  for (const auto& v : fixed) p.set(v.first, v.second);
  while (p.value("PrintDisplayBypass") == 0 && kalthorne::isGammaBasedInput((int)p.value("InputGamut")))
    p.set("InputGamut", (int)(rng() % kalthorne::kInputGamutOptions));
  TextureOptionsStruct o = kalthorne::firstFill(p.h, p, p, 0);
  kalthorne::fillRenderOptions(p.h, p, width, height, channels, o);
  return o;
}

}  // namespace filmtest
