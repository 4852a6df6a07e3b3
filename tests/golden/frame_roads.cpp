#include "frame_roads.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "fake_params.h"
#include "looks/camera_presets.h"
#include "looks/print_presets.h"
#include "params/param_catalogue.h"
#include "plugin/render_option_rules.h"
#include "plugin/render_options_fill.h"

namespace frame_roads {

namespace {

struct Road {
  const char* name;
  Values values;  // CameraStock and PrintProfile also choose the presets applied first
};

const Values kAllPitches = {{"PitchBypass", 0},       {"EnsemblePitch", 4.5}, {"SopranoPitch", 5.0},
                            {"MezzoSopranoPitch", 2}, {"AltoPitch", 6.0},     {"TenorPitch", 1.5},
                            {"BaritonePitch", 4.0},   {"BassPitch", 7.0}};

Values with(Values base, const Values& more) {
  base.insert(base.end(), more.begin(), more.end());
  return base;
}

// The plain road's three no-film branches, the film stage with and without
// print, bleach and each diffusion band, the texture road on generic and
// dedicated gamuts, and every stage at once. Blends away from neutral make
// the print's blend partner reach the output (with PrintBlend 0 nothing reads it);
// casts, tints and print saturation grade. Input 11 (ARRI LogC3, a generic
// gamut) unless a road names another.
const std::vector<Road>& roads() {
  static const std::vector<Road> table = {
      {"nostock", {{"Exposure", 0.3}}},
      {"nostock_softclip_halation",
       {{"Exposure", -0.2}, {"SoftClips", 1}, {"CameraHighlightsCeiling", 0.8}, {"CameraHighlightsRecover", 0.4},
        {"HalationBypass", 0}}},
      {"halation", {{"HalationBypass", 0}, {"HalationBreadth", 0.6}}},
      {"stock_printoff", {{"CameraStock", 13}}},
      {"stock_printoff_bleach_lomid",
       {{"CameraStock", 7}, {"BrewBleachBypass", 1}, {"DiffuseLoMid", 0.4}, {"Agitate", 1}, {"NegBlend", 0.3},
        {"NegCast", 4300}, {"NegTintGtoM", 0.4}}},
      {"stock_print",
       {{"CameraStock", 13}, {"PrintDisplayBypass", 0}, {"PrintProfile", 2}, {"PrintBlend", 0.35},
        {"PrintSaturation", 0.8}, {"PrintCast", 9000}, {"PrintTintRtoC", -0.2}}},
      {"stock_print_bleach_midhi",
       {{"CameraStock", 5}, {"PrintDisplayBypass", 0}, {"PrintProfile", 7}, {"BrewBleachBypass", 1},
        {"PrintBleachBypass", 1}, {"DiffuseMidHi", 0.3}, {"PrintBlend", 0.6}, {"NegTintRtoC", 0.5}}},
      {"stock_print_diffuse_both",
       {{"CameraStock", 20}, {"PrintDisplayBypass", 0}, {"PrintProfile", 4}, {"DiffuseLoMid", 0.5},
        {"DiffuseMidHi", 0.2}, {"Agitate", 5}, {"Replenish", 0.3}}},
      {"stock_display", {{"CameraStock", 2}, {"PrintDisplayBypass", 0}, {"PrintProfile", 0}}},
      {"print_only",
       {{"PrintDisplayBypass", 0}, {"PrintProfile", 9}, {"PrintBlend", 0.5}, {"PrintSaturation", 0.7},
        {"PrintCast", 3800}}},
      {"linear_hdr_stock_print",
       {{"InputGamut", 0}, {"HDRcomp", 1}, {"Exposure", 0.1}, {"CameraStock", 13}, {"BrewHighlightCeiling", 0.8},
        {"PrintDisplayBypass", 0}, {"PrintProfile", 2}}},
      {"texture", kAllPitches},
      {"texture_linear_hdr",
       {{"InputGamut", 4}, {"HDRcomp", 1}, {"PitchBypass", 0}, {"EnsemblePitch", 2.0}, {"SopranoPitch", 6.0},
        {"AltoPitch", 1.0}}},
      {"texture_linear_stock",
       {{"InputGamut", 30}, {"PitchBypass", 0}, {"EnsemblePitch", 5.0}, {"BaritonePitch", 5.0}, {"CameraStock", 9},
        {"BrewShadowFloor", 0.2}, {"BrewShadowExpand", 0.5}}},
      {"everything",
       with(kAllPitches, {{"Exposure", 0.2}, {"HalationBypass", 0}, {"SoftClips", 1},
                          {"CameraHighlightsCeiling", 0.85}, {"CameraHighlightsRecover", 0.3}, {"CameraStock", 13},
                          {"BrewHighlightCeiling", 0.9}, {"DiffuseLoMid", 0.6}, {"DiffuseMidHi", 0.4},
                          {"PrintDisplayBypass", 0}, {"PrintProfile", 2}, {"PrintBlend", 0.25},
                          {"NegBlend", 0.1}})},
      {"everything_linear_hdr",
       with(kAllPitches, {{"InputGamut", 30}, {"HDRcomp", 1}, {"Exposure", 0.05}, {"HalationBypass", 0},
                          {"SoftClips", 2}, {"CameraShadowsCeiling", 0.3}, {"CameraStock", 24},
                          {"BrewBleachBypass", 1}, {"DiffuseMidHi", 0.1}, {"PrintDisplayBypass", 0},
                          {"PrintProfile", 6}, {"PrintBleachBypass", 1}})},
  };
  return table;
}

double value_of(const Values& values, const char* name, double fallback) {
  for (const auto& v : values)
    if (std::string(v.first) == name) return v.second;
  return fallback;
}

uint64_t mix(uint64_t v) {
  v += 0x9E3779B97F4A7C15ull;
  v = (v ^ (v >> 30)) * 0xBF58476D1CE4E5B9ull;
  v = (v ^ (v >> 27)) * 0x94D049BB133111EBull;
  return v ^ (v >> 31);
}

}  // namespace

std::vector<std::string> road_names() {
  std::vector<std::string> names;
  for (const Road& r : roads()) names.push_back(r.name);
  return names;
}

TextureOptionsStruct road_record(const std::string& name, int width, int height, int channels) {
  for (const Road& road : roads())
    if (name == road.name) return record(road.values, width, height, channels);
  throw std::invalid_argument("no road " + name);
}

TextureOptionsStruct record(const Values& values, int width, int height, int channels) {
  FakeParams p;
  const int stock = int(value_of(values, "CameraStock", 0));
  const int profile = int(value_of(values, "PrintProfile", p.value("PrintProfile")));
  p.set("CameraStock", stock);
  p.set("PrintProfile", profile);
  const kalthorne::looks::CameraSelectors selectors{int(p.value("ColorCorrection")), int(p.value("ColorRefine")),
                                                    int(p.value("ToneCurves"))};
  for (const auto& w : kalthorne::looks::cameraPresetWrites(stock, profile, selectors)) p.set(w.name, w.value);
  for (const auto& w : kalthorne::looks::printPresetWrites(profile)) p.set(w.name, w.value);
  for (const auto& v : values) p.set(v.first, v.second);
  TextureOptionsStruct o = kalthorne::firstFill(p.h, p, p, 0);
  if (kalthorne::fillRenderOptions(p.h, p, width, height, channels, o) != kalthorne::RenderPlan::Process)
    throw std::invalid_argument("these values pass the frame through");
  return o;
}

TextureOptionsStruct random_record(std::mt19937& rng, int width, int height, int channels, const Values& fixed) {
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

std::vector<float> source_frame(int width, int height, int channels) {
  std::vector<float> f(size_t(width) * size_t(height) * size_t(channels));
  size_t i = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c, ++i) {
        const uint64_t h = mix((uint64_t(y) << 40) ^ (uint64_t(x) << 8) ^ uint64_t(c));
        const float u = float(h >> 40) * (1.0f / 16777216.0f);  // [0, 1), exact
        if (c == 3) {
          f[i] = u;
          continue;
        }
        const float smooth = 0.02f + 0.5f * (float(x) + 0.5f) / float(width) +
                             0.3f * (float(y) + 0.5f) / float(height) + 0.1f * float(c);
        switch (h & 15) {
          case 0: f[i] = float(2 << ((h >> 8) % 6)) * (1.0f + u); break;  // HDR, 2 to 128
          case 1: f[i] = 0.0001f + 0.01f * u; break;                        // dark
          case 2: f[i] = -0.02f * u; break;                                 // just below black
          case 3: f[i] = 0.0f; break;
          case 4: f[i] = 1.0f; break;
          case 5: f[i] = 0.8f + 0.4f * u; break;                            // bright
          default: f[i] = smooth + 0.05f * u; break;                        // mid
        }
      }
  return f;
}

}  // namespace frame_roads
