// The colour families and refine slots are hundreds of parameters made by a
// few naming rules. These tests rebuild the names from the rules and check
// what every member must share: order, neutral defaults, ranges and the
// slot word or family text in its hint.
#include <string>
#include <vector>

#include "catalogue_host.h"

using namespace cataloguetest;

namespace {

using Names = std::vector<std::string>;

const Names kSlotWords = {"Two", "Three", "Four", "Five", "Six", "Seven", "Eight", "Nine", "Ten", "Eleven", "Twelve"};
const Names kColours = {"Red", "Magenta", "Blue", "Cyan", "Green", "Yellow"};

struct Family {
  std::string word, shortWord, colourText;
};
const std::vector<Family> kFamilies = {
    {"Saturation", "Sat", "Saturation compresssion or expansion. To Bypass, set to Default : 0.5"},
    {"Hue", "Hue", "Hue angle. To Bypass, set to Default : 0.5"},
    {"Chroma", "Chr", "Chroma compresssion or expansion. To Bypass, set to Default : 0.5"},
    {"Vibrance", "Vib", "Vibrance compresssion or expansion. To Bypass, set to Default : 0.5"},
};

void append(Names& out, const Names& more) { out.insert(out.end(), more.begin(), more.end()); }

Names zoneDoubles(const std::string& stem) {
  return {stem + "ZoneLowRange", stem + "ZoneLow", stem + "ZoneHighRange", stem + "ZoneHigh"};
}

Names familyMembers(const std::string& stem, const std::string& zoneStem, bool withSelector) {
  Names out;
  for (const std::string& c : kColours) out.push_back(stem + c);
  for (const char* m : {"Strength", "CustomHue", "CustomWidth", "CustomStrength"}) out.push_back(stem + m);
  if (withSelector) out.push_back(zoneStem + "Zone");
  append(out, zoneDoubles(zoneStem));
  return out;
}

Names slotMembers(const std::string& stem, bool withZoneSelector) {
  Names out;
  for (const char* q : {"Sat", "Hue", "Chr", "Vib"})
    for (const char* m : {"Hue", "Width", "Strength"}) out.push_back(stem + q + m);
  if (withZoneSelector) out.push_back(stem + "Zone");
  append(out, zoneDoubles(stem));
  return out;
}

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

Names negativeRun() {
  Names out = {"ColorCorrection"};
  for (const Family& f : kFamilies) append(out, familyMembers(f.word, f.shortWord, true));
  out.push_back("ColorRefine");
  for (const std::string& w : kSlotWords) append(out, slotMembers("Refine" + w, true));
  return out;
}

Names printRun() {
  Names out;
  for (const Family& f : kFamilies) append(out, familyMembers("Print" + f.word, "Print" + f.shortWord, false));
  for (int s = 0; s < 6; ++s) out.push_back("PrintRefine" + kSlotWords[s]);
  for (int s = 0; s < 6; ++s) out.push_back("PrintRefine" + kSlotWords[s] + "Zone");
  for (int s = 0; s < 6; ++s) append(out, slotMembers("PrintRefine" + kSlotWords[s], false));
  return out;
}

}  // namespace

TEST(CatalogueTemplates, FamiliesAndSlotsRunInTheirDocumentedOrder) {
  const Names children = pageChildren();
  ASSERT_EQ(children.size(), 534u);
  const Names negative = negativeRun(), print = printRun();
  ASSERT_EQ(negative.size(), 61u + 188u);
  ASSERT_EQ(print.size(), 164u);
  EXPECT_EQ(Names(children.begin() + 30, children.begin() + 30 + 249), negative);
  EXPECT_EQ(Names(children.begin() + 352, children.begin() + 352 + 164), print);
}

TEST(CatalogueTemplates, MembersStartNeutralWithTheirFamilyOrSlotTexts) {
  Names all = negativeRun();
  append(all, printRun());
  struct Neutral { std::string type; double def, hi; };
  for (const std::string& name : all) {
    SCOPED_TRACE(name);
    const ofxtest::ParamObject& p = param(name);
    const double hi = p.props.getDouble(kOfxParamPropMax);
    const bool refineHue = endsWith(name, "Hue") && name.find("Refine") != std::string::npos;
    const Neutral n =
        name == "ColorCorrection" || name == "ColorRefine" ? Neutral{p.type, 0, hi}
        : name.rfind("PrintRefine", 0) == 0 && p.type == kOfxParamTypeInteger && !endsWith(name, "Zone")
            ? Neutral{kOfxParamTypeInteger, 1, 10}  // each print slot selector starts on
        : endsWith(name, "Zone")                        ? Neutral{kOfxParamTypeInteger, 0, 2}
        : endsWith(name, "CustomHue") || refineHue      ? Neutral{kOfxParamTypeDouble, 180, 360}
        : endsWith(name, "Width")                       ? Neutral{kOfxParamTypeDouble, 60, 360}
                                                        : Neutral{kOfxParamTypeDouble, 0.5, 1};
    EXPECT_EQ(p.type, n.type);
    EXPECT_EQ(p.props.getDouble(kOfxParamPropMin), 0.0);
    EXPECT_EQ(defaultOf(name), n.def);
    EXPECT_EQ(hi, n.hi);
  }

  for (const Family& f : kFamilies)
    for (const std::string& c : kColours)
      for (const std::string& stem : {f.word, "Print" + f.word}) {
        EXPECT_EQ(label(stem + c), c);
        EXPECT_EQ(hint(stem + c), c + " " + f.colourText) << stem + c;
      }

  for (std::size_t s = 0; s < kSlotWords.size(); ++s) {
    const std::string& w = kSlotWords[s];
    Names stems = {"Refine" + w};
    if (s < 6) stems.push_back("PrintRefine" + w);
    for (const std::string& stem : stems) {
      const Names members = slotMembers(stem, false);
      for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(hint(members[i]).rfind("Custom-" + w + " ", 0), 0u) << members[i];
      EXPECT_EQ(hint(members[12]), "Low Intensity Inclusion Range - Darkest(0) to Lightest(1). Default : 0.5");
    }
    EXPECT_EQ(label("Refine" + w + "Zone"), "BrewRefine" + w + "ZoneLabel");
    EXPECT_EQ(hint("Refine" + w + "Zone"), "BrewRefine" + w + "ZoneHint");
  }
}
