// What the host learns about the parameter set as a whole: kinds, ranges,
// display settings, visibility and labels, checked against the counts the
// effect is documented with rather than against the catalogue table.
#include <map>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "catalogue_host.h"

using namespace cataloguetest;

namespace {

// Names of the double parameters by the value of one numeric property.
std::map<double, std::set<std::string>> doublesBy(const char* property) {
  std::map<double, std::set<std::string>> out;
  for (ofxtest::ParamObject* p : valueParams())
    if (p->type == kOfxParamTypeDouble) out[p->props.getDouble(property)].insert(p->name);
  return out;
}

}  // namespace

TEST(CatalogueCounts, KindsAndTotal) {
  std::map<std::string, int> kinds;
  std::set<std::string> names;
  for (ofxtest::ParamObject* p : valueParams()) {
    ++kinds[p->type];
    names.insert(p->name);
  }
  EXPECT_EQ(valueParams().size(), 534u);
  EXPECT_EQ(names.size(), 534u) << "parameter names repeat";
  EXPECT_EQ(kinds, (std::map<std::string, int>{{kOfxParamTypeDouble, 478}, {kOfxParamTypeInteger, 42},
                                               {kOfxParamTypeBoolean, 8}, {kOfxParamTypeChoice, 4},
                                               {kOfxParamTypePushButton, 2}}));
}

TEST(CatalogueCounts, RangesEqualDisplayRangesAndHoldTheirDefaults) {
  using Key = std::tuple<std::string, double, double>;
  const std::map<Key, int> expected = {
      {{kOfxParamTypeDouble, 0, 1}, 282},    {{kOfxParamTypeDouble, 0, 360}, 152},
      {{kOfxParamTypeDouble, -1, 1}, 25},    {{kOfxParamTypeDouble, -0.5, 0.5}, 12},
      {{kOfxParamTypeDouble, 0, 10}, 7},     {{kOfxParamTypeInteger, 0, 2}, 22},
      {{kOfxParamTypeInteger, 0, 10}, 14},   {{kOfxParamTypeInteger, 3000, 14000}, 2},
      {{kOfxParamTypeInteger, 0, 4}, 1},     {{kOfxParamTypeInteger, 0, 5}, 1},
      {{kOfxParamTypeInteger, 0, 11}, 1},    {{kOfxParamTypeInteger, 1, 5}, 1},
  };
  std::map<Key, int> seen;  // 520 double and int parameters in all
  for (ofxtest::ParamObject* p : valueParams()) {
    if (p->type != kOfxParamTypeDouble && p->type != kOfxParamTypeInteger) continue;
    const double lo = p->props.getDouble(kOfxParamPropMin), hi = p->props.getDouble(kOfxParamPropMax);
    ++seen[Key{p->type, lo, hi}];
    EXPECT_EQ(p->props.getDouble(kOfxParamPropDisplayMin), lo) << p->name;
    EXPECT_EQ(p->props.getDouble(kOfxParamPropDisplayMax), hi) << p->name;
    const double def = p->props.getDouble(kOfxParamPropDefault);
    EXPECT_TRUE(lo <= def && def <= hi) << p->name << " default " << def << " outside " << lo << ".." << hi;
  }
  EXPECT_EQ(seen, expected);
}

TEST(CatalogueDisplay, DigitsAndIncrementsOnTheDocumentedParametersOnly) {
  // The host's defaults are 2 digits and an increment of 1.
  const auto digits = doublesBy(kOfxParamPropDigits);
  ASSERT_EQ(digits.size(), 2u);
  EXPECT_EQ(digits.begin()->first, 2.0);
  EXPECT_EQ(digits.at(5), (std::set<std::string>{"Exposure", "NegTintGtoM", "NegTintRtoC", "SaturationMagenta",
                                                 "BrewCurveMidtoneRed", "PrintTintGtoM", "PrintTintRtoC"}));

  const auto increments = doublesBy(kOfxParamPropIncrement);
  ASSERT_EQ(increments.size(), 3u);
  EXPECT_EQ(increments.rbegin()->first, 1.0);
  EXPECT_EQ(increments.at(0.001),
            (std::set<std::string>{"Exposure", "HalationBreadth", "HalationSaturation", "HalationCyanRed",
                                   "HalationMagentaGreen", "HalationYellowBlue", "HalationBlendR", "HalationBlendG",
                                   "HalationBlendB", "NegTintGtoM", "NegTintRtoC", "SaturationMagenta",
                                   "BrewDmaxBlue", "PrintTintGtoM", "PrintTintRtoC", "PrintSaturation",
                                   "PrintBlend", "PrintBleachRed"}));
  // Every degree-valued print parameter, and nothing else, steps by 0.1.
  const std::set<std::string>& tenth = increments.at(0.1);
  EXPECT_EQ(tenth.size(), 56u);
  const std::regex printDegrees(
      "Print(Saturation|Hue|Chroma|Vibrance)Custom(Hue|Width)|"
      "PrintRefine(Two|Three|Four|Five|Six|Seven)(Sat|Hue|Chr|Vib)(Hue|Width)");
  for (const std::string& n : tenth) EXPECT_TRUE(std::regex_match(n, printDegrees)) << n;
}

TEST(CatalogueDisplay, OnlyTheInternalFlagStopsAnimatingAndReRendering) {
  std::map<std::string, std::pair<int, int>> stillOrSilent;
  for (ofxtest::ParamObject* p : valueParams()) {
    const std::pair<int, int> flags{p->props.getInt(kOfxParamPropAnimates),
                                    p->props.getInt(kOfxParamPropEvaluateOnChange)};
    if (p->type != kOfxParamTypePushButton && flags != std::make_pair(1, 1)) stillOrSilent[p->name] = flags;
  }
  EXPECT_EQ(stillOrSilent, (std::map<std::string, std::pair<int, int>>{{"SrcClipChanged", {0, 0}}}));
}

TEST(CatalogueVisibility, SixStartVisibleAndEverythingElseDisabledAndSecret) {
  std::vector<std::string> visible;
  for (ofxtest::ParamObject* p : valueParams()) {
    const int enabled = p->props.getInt(kOfxParamPropEnabled), secret = p->props.getInt(kOfxParamPropSecret);
    if (enabled == 1 && secret == 0)
      visible.push_back(p->name);
    else
      EXPECT_TRUE(enabled == 0 && secret == 1) << p->name << " is half hidden";
  }
  EXPECT_EQ(visible, (std::vector<std::string>{"InputGamut", "Exposure", "CameraStock", "PrintDisplayBypass",
                                               "LoadLooks", "About Brew"}));
}

TEST(CatalogueLabels, EveryParameterButTheFlagIsLabelledAndHinted) {
  // An unlabelled parameter shows its name, the host's default.
  EXPECT_EQ(label("SrcClipChanged"), "SrcClipChanged");
  EXPECT_EQ(hint("SrcClipChanged"), "");

  std::map<std::string, int> uses;
  int labelled = 0;
  for (ofxtest::ParamObject* p : valueParams()) {
    if (p->name == "SrcClipChanged") continue;
    ++labelled;
    ++uses[p->props.getString(kOfxPropLabel)];
    EXPECT_FALSE(p->props.getString(kOfxParamPropHint).empty()) << p->name;
  }
  EXPECT_EQ(labelled, 533);
  EXPECT_EQ(uses.size(), 147u);  // distinct labels
}
