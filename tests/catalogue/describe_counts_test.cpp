// What the host learns about the parameter set as a whole: kinds, ranges,
// display settings, visibility and labels, checked against the counts the
// effect is documented with rather than against the catalogue table.
#include <map>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "catalogue_host.h"

using namespace cataloguetest;

namespace {

std::vector<std::string> namesWhere(bool (*pred)(const ofxtest::ParamObject&)) {
  std::vector<std::string> out;
  for (ofxtest::ParamObject* p : valueParams())
    if (pred(*p)) out.push_back(p->name);
  return out;
}

std::set<std::string> asSet(const std::vector<std::string>& v) { return {v.begin(), v.end()}; }

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
  EXPECT_EQ(kinds[kOfxParamTypeDouble], 478);
  EXPECT_EQ(kinds[kOfxParamTypeInteger], 42);
  EXPECT_EQ(kinds[kOfxParamTypeBoolean], 8);
  EXPECT_EQ(kinds[kOfxParamTypeChoice], 4);
  EXPECT_EQ(kinds[kOfxParamTypePushButton], 2);
  EXPECT_EQ(kinds.size(), 5u) << "a kind outside the five is described";
  for (ofxtest::ParamObject* p : valueParams()) {
    if (p->type == kOfxParamTypeDouble) {
      EXPECT_EQ(p->props.getString(kOfxParamPropDoubleType), kOfxParamDoubleTypePlain) << p->name;
    }
  }
}

TEST(CatalogueCounts, RangesDisplayRangesAndDefaults) {
  using Key = std::tuple<std::string, double, double>;
  const std::map<Key, int> expected = {
      {{kOfxParamTypeDouble, 0, 1}, 282},    {{kOfxParamTypeDouble, 0, 360}, 152},
      {{kOfxParamTypeDouble, -1, 1}, 25},    {{kOfxParamTypeDouble, -0.5, 0.5}, 12},
      {{kOfxParamTypeDouble, 0, 10}, 7},     {{kOfxParamTypeInteger, 0, 2}, 22},
      {{kOfxParamTypeInteger, 0, 10}, 14},   {{kOfxParamTypeInteger, 3000, 14000}, 2},
      {{kOfxParamTypeInteger, 0, 4}, 1},     {{kOfxParamTypeInteger, 0, 5}, 1},
      {{kOfxParamTypeInteger, 0, 11}, 1},    {{kOfxParamTypeInteger, 1, 5}, 1},
  };
  std::map<Key, int> seen;
  int numeric = 0;
  for (ofxtest::ParamObject* p : valueParams()) {
    if (!isNumeric(*p)) continue;
    ++numeric;
    const double lo = p->props.getDouble(kOfxParamPropMin), hi = p->props.getDouble(kOfxParamPropMax);
    ++seen[Key{p->type, lo, hi}];
    EXPECT_EQ(p->props.getDouble(kOfxParamPropDisplayMin), lo) << p->name;
    EXPECT_EQ(p->props.getDouble(kOfxParamPropDisplayMax), hi) << p->name;
    const double def = p->props.getDouble(kOfxParamPropDefault);
    EXPECT_TRUE(lo <= def && def <= hi) << p->name << " default " << def << " outside " << lo << ".." << hi;
  }
  EXPECT_EQ(numeric, 520);
  EXPECT_EQ(seen, expected);
  // Stored as they are: the one ceiling whose range reaches below zero among
  // its companions, and the one Int range that does not start at 0.
  EXPECT_EQ(param("CameraHighlightsCeiling").props.getDouble(kOfxParamPropMin), -1.0);
  EXPECT_EQ(param("CameraShadowsCeiling").props.getDouble(kOfxParamPropMin), 0.0);
  EXPECT_EQ(param("Agitate").props.getInt(kOfxParamPropMin), 1);
  EXPECT_EQ(param("Agitate").props.getInt(kOfxParamPropDefault), 3);
}

TEST(CatalogueDisplay, DigitsAndIncrementsOnTheDocumentedParametersOnly) {
  // The host's defaults are 2 digits and an increment of 1.
  auto digits = namesWhere([](const ofxtest::ParamObject& p) {
    return p.type == kOfxParamTypeDouble && p.props.getInt(kOfxParamPropDigits) != 2;
  });
  EXPECT_EQ(asSet(digits), (std::set<std::string>{"Exposure", "NegTintGtoM", "NegTintRtoC", "SaturationMagenta",
                                                  "BrewCurveMidtoneRed", "PrintTintGtoM", "PrintTintRtoC"}));
  for (const std::string& n : digits) EXPECT_EQ(param(n).props.getInt(kOfxParamPropDigits), 5) << n;

  auto fine = namesWhere([](const ofxtest::ParamObject& p) {
    return p.type == kOfxParamTypeDouble && p.props.getDouble(kOfxParamPropIncrement) == 0.001;
  });
  EXPECT_EQ(asSet(fine),
            (std::set<std::string>{"Exposure", "HalationBreadth", "HalationSaturation", "HalationCyanRed",
                                   "HalationMagentaGreen", "HalationYellowBlue", "HalationBlendR", "HalationBlendG",
                                   "HalationBlendB", "NegTintGtoM", "NegTintRtoC", "SaturationMagenta", "BrewDmaxBlue",
                                   "PrintTintGtoM", "PrintTintRtoC", "PrintSaturation", "PrintBlend",
                                   "PrintBleachRed"}));

  // Every degree-valued print parameter, and nothing else, steps by 0.1.
  auto tenth = namesWhere([](const ofxtest::ParamObject& p) {
    return p.type == kOfxParamTypeDouble && p.props.getDouble(kOfxParamPropIncrement) == 0.1;
  });
  EXPECT_EQ(tenth.size(), 56u);
  const std::regex printDegrees(
      "Print(Saturation|Hue|Chroma|Vibrance)Custom(Hue|Width)|"
      "PrintRefine(Two|Three|Four|Five|Six|Seven)(Sat|Hue|Chr|Vib)(Hue|Width)");
  for (const std::string& n : tenth) EXPECT_TRUE(std::regex_match(n, printDegrees)) << n;

  auto other = namesWhere([](const ofxtest::ParamObject& p) {
    const double inc = p.props.getDouble(kOfxParamPropIncrement);
    return p.type == kOfxParamTypeDouble && inc != 1.0 && inc != 0.1 && inc != 0.001;
  });
  EXPECT_TRUE(other.empty()) << other.front();
}

TEST(CatalogueDisplay, OnlyTheInternalFlagStopsAnimatingAndReRendering) {
  auto stillOrSilent = namesWhere([](const ofxtest::ParamObject& p) {
    return p.type != kOfxParamTypePushButton &&
           (p.props.getInt(kOfxParamPropAnimates) != 1 || p.props.getInt(kOfxParamPropEvaluateOnChange) != 1);
  });
  EXPECT_EQ(stillOrSilent, std::vector<std::string>{"SrcClipChanged"});
  EXPECT_EQ(param("SrcClipChanged").props.getInt(kOfxParamPropAnimates), 0);
  EXPECT_EQ(param("SrcClipChanged").props.getInt(kOfxParamPropEvaluateOnChange), 0);
  for (const char* n : {"HalationBypass", "PrintDisplayBypass", "PrintBlend"})
    EXPECT_EQ(param(n).props.getInt(kOfxParamPropAnimates), 1) << n;
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
  // Unlabelled parameters show their name, the host's default.
  const ofxtest::ParamObject& flag = param("SrcClipChanged");
  EXPECT_EQ(flag.props.getString(kOfxPropLabel), "SrcClipChanged");
  EXPECT_EQ(flag.props.getString(kOfxParamPropHint), "");

  std::set<std::string> labels;
  int labelled = 0;
  for (ofxtest::ParamObject* p : valueParams()) {
    if (p->name == "SrcClipChanged") continue;
    ++labelled;
    labels.insert(p->props.getString(kOfxPropLabel));
    EXPECT_FALSE(p->props.getString(kOfxParamPropHint).empty()) << p->name;
  }
  EXPECT_EQ(labelled, 533);
  EXPECT_EQ(labels.size(), 147u);

  std::map<std::string, int> uses;
  for (ofxtest::ParamObject* p : valueParams()) ++uses[p->props.getString(kOfxPropLabel)];
  EXPECT_EQ(uses["Range"], 50);  // 8 + 22 + 20 over the family, slot and print runs
  EXPECT_EQ(uses["Level"], 50);
  EXPECT_EQ(uses["Saturation Center"], 17);  // eleven negative and six print slots
  EXPECT_EQ(uses["Recover Roll-off"], 4);
}
