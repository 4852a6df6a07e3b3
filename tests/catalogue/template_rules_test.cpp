// The colour families and refine slots are hundreds of parameters made by a
// few naming rules. These tests rebuild the names from the rules and check
// what every member must share: order, neutral defaults, ranges and the
// slot word or family text in its hint.
#include <string>
#include <vector>

#include "catalogue_host.h"

using namespace cataloguetest;

namespace {

const std::vector<std::string> kSlotWords = {"Two", "Three", "Four", "Five", "Six", "Seven",
                                             "Eight", "Nine", "Ten", "Eleven", "Twelve"};
const std::vector<std::string> kQualities = {"Sat", "Hue", "Chr", "Vib"};
const std::vector<std::string> kColours = {"Red", "Magenta", "Blue", "Cyan", "Green", "Yellow"};

struct Family {
  std::string word, shortWord, colourText;
};
const std::vector<Family> kFamilies = {
    {"Saturation", "Sat", "Saturation compresssion or expansion. To Bypass, set to Default : 0.5"},
    {"Hue", "Hue", "Hue angle. To Bypass, set to Default : 0.5"},
    {"Chroma", "Chr", "Chroma compresssion or expansion. To Bypass, set to Default : 0.5"},
    {"Vibrance", "Vib", "Vibrance compresssion or expansion. To Bypass, set to Default : 0.5"},
};

std::vector<std::string> slotMembers(const std::string& stem, bool withZoneSelector) {
  std::vector<std::string> out;
  for (const std::string& q : kQualities)
    for (const char* m : {"Hue", "Width", "Strength"}) out.push_back(stem + q + m);
  if (withZoneSelector) out.push_back(stem + "Zone");
  for (const char* z : {"ZoneLowRange", "ZoneLow", "ZoneHighRange", "ZoneHigh"}) out.push_back(stem + z);
  return out;
}

std::vector<std::string> familyMembers(const std::string& stem, const std::string& zoneStem, bool withSelector) {
  std::vector<std::string> out;
  for (const std::string& c : kColours) out.push_back(stem + c);
  for (const char* m : {"Strength", "CustomHue", "CustomWidth", "CustomStrength"}) out.push_back(stem + m);
  if (withSelector) out.push_back(zoneStem + "Zone");
  for (const char* z : {"ZoneLowRange", "ZoneLow", "ZoneHighRange", "ZoneHigh"}) out.push_back(zoneStem + z);
  return out;
}

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::vector<std::string> pageChildren() {
  return describedIn(kOfxImageEffectContextGeneral).paramSet.params.front()->props.getStrings(kOfxParamPropPageChild);
}

// The run of page children starting at `first`, as long as `expected`.
std::vector<std::string> runFrom(const std::string& first, std::size_t length) {
  const auto children = pageChildren();
  for (std::size_t i = 0; i < children.size(); ++i)
    if (children[i] == first) {
      const std::size_t end = std::min(children.size(), i + length);
      return {children.begin() + std::ptrdiff_t(i), children.begin() + std::ptrdiff_t(end)};
    }
  return {};
}

}  // namespace

TEST(CatalogueTemplates, FamiliesAndSlotsRunInTheirDocumentedOrder) {
  std::vector<std::string> negative = {"ColorCorrection"};
  for (const Family& f : kFamilies) {
    auto m = familyMembers(f.word, f.shortWord, true);
    negative.insert(negative.end(), m.begin(), m.end());
  }
  negative.push_back("ColorRefine");
  for (std::size_t s = 0; s < kSlotWords.size(); ++s) {
    auto m = slotMembers("Refine" + kSlotWords[s], true);
    negative.insert(negative.end(), m.begin(), m.end());
  }
  EXPECT_EQ(runFrom("ColorCorrection", negative.size()), negative);

  std::vector<std::string> print;
  for (const Family& f : kFamilies) {
    auto m = familyMembers("Print" + f.word, "Print" + f.shortWord, false);
    print.insert(print.end(), m.begin(), m.end());
  }
  for (std::size_t s = 0; s < 6; ++s) print.push_back("PrintRefine" + kSlotWords[s]);
  for (std::size_t s = 0; s < 6; ++s) print.push_back("PrintRefine" + kSlotWords[s] + "Zone");
  for (std::size_t s = 0; s < 6; ++s) {
    auto m = slotMembers("PrintRefine" + kSlotWords[s], false);
    print.insert(print.end(), m.begin(), m.end());
  }
  EXPECT_EQ(print.size(), 164u);
  EXPECT_EQ(runFrom("PrintSaturationRed", print.size()), print);
}

TEST(CatalogueTemplates, EveryFamilyAndSlotStartsNeutral) {
  auto check = [](const std::string& name) {
    const ofxtest::ParamObject& p = param(name);
    const double def = p.props.getDouble(kOfxParamPropDefault);
    const double hi = p.props.getDouble(kOfxParamPropMax);
    SCOPED_TRACE(name);
    EXPECT_EQ(p.props.getDouble(kOfxParamPropMin), 0.0);
    if (endsWith(name, "Zone")) {
      EXPECT_EQ(p.type, kOfxParamTypeInteger);
      EXPECT_EQ(def, 0.0);
      EXPECT_EQ(hi, 2.0);
    } else if (endsWith(name, "CustomHue") || (endsWith(name, "Hue") && name.find("Refine") != std::string::npos)) {
      EXPECT_EQ(def, 180.0);
      EXPECT_EQ(hi, 360.0);
    } else if (endsWith(name, "Width")) {
      EXPECT_EQ(def, 60.0);
      EXPECT_EQ(hi, 360.0);
    } else {
      EXPECT_EQ(p.type, kOfxParamTypeDouble);
      EXPECT_EQ(def, 0.5);
      EXPECT_EQ(hi, 1.0);
    }
  };
  int checked = 0;
  for (const Family& f : kFamilies) {
    for (const std::string& n : familyMembers(f.word, f.shortWord, true)) check(n), ++checked;
    for (const std::string& n : familyMembers("Print" + f.word, "Print" + f.shortWord, false)) check(n), ++checked;
  }
  for (std::size_t s = 0; s < kSlotWords.size(); ++s) {
    for (const std::string& n : slotMembers("Refine" + kSlotWords[s], true)) check(n), ++checked;
    if (s < 6) {
      for (const std::string& n : slotMembers("PrintRefine" + kSlotWords[s], false)) check(n), ++checked;
      check("PrintRefine" + kSlotWords[s] + "Zone"), ++checked;
      EXPECT_EQ(param("PrintRefine" + kSlotWords[s]).props.getInt(kOfxParamPropDefault), 1);
      EXPECT_EQ(param("PrintRefine" + kSlotWords[s]).props.getInt(kOfxParamPropMax), 10);
    }
  }
  EXPECT_EQ(checked, 60 + 56 + 187 + 96 + 6);
  EXPECT_EQ(param("ColorCorrection").props.getInt(kOfxParamPropMax), 4);
  EXPECT_EQ(param("ColorRefine").props.getInt(kOfxParamPropMax), 11);
}

TEST(CatalogueTemplates, HintsCarryTheirFamilyTextOrSlotWord) {
  for (const Family& f : kFamilies)
    for (const std::string& c : kColours)
      for (const std::string& stem : {f.word, "Print" + f.word}) {
        EXPECT_EQ(param(stem + c).props.getString(kOfxPropLabel), c);
        EXPECT_EQ(param(stem + c).props.getString(kOfxParamPropHint), c + " " + f.colourText) << stem + c;
      }

  for (std::size_t s = 0; s < kSlotWords.size(); ++s) {
    const std::string& w = kSlotWords[s];
    std::vector<std::string> stems = {"Refine" + w};
    if (s < 6) stems.push_back("PrintRefine" + w);
    for (const std::string& stem : stems) {
      const auto members = slotMembers(stem, false);
      for (std::size_t i = 0; i < 12; ++i)
        EXPECT_EQ(param(members[i]).props.getString(kOfxParamPropHint).rfind("Custom-" + w + " ", 0), 0u)
            << members[i];
      // The zone hints are the same in every slot.
      EXPECT_EQ(param(members[12]).props.getString(kOfxParamPropHint),
                "Low Intensity Inclusion Range - Darkest(0) to Lightest(1). Default : 0.5");
    }
    EXPECT_EQ(param("Refine" + w + "Zone").props.getString(kOfxPropLabel), "BrewRefine" + w + "ZoneLabel");
    EXPECT_EQ(param("Refine" + w + "Zone").props.getString(kOfxParamPropHint), "BrewRefine" + w + "ZoneHint");
  }
}
