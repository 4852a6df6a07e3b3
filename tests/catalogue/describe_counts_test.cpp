// What the host learns about the parameter set as a whole: kinds, ranges
// and labels, checked against the counts the effect is documented with. The
// parameters one by one are held to the documented tables in reference_test.
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "catalogue_host.h"

using namespace cataloguetest;

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
