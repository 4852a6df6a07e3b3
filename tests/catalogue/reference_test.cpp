// Every parameter, field by field, against the documented catalogue written
// down apart from the code (tests/reference): once as the catalogue table
// holds it and once as the host sees it after describe. A failure names the
// parameter, the field and both values.
#include <map>
#include <string>
#include <vector>

#include "catalogue_host.h"
#include "params/param_catalogue.h"
#include "tests/reference/reference_tables.h"

using namespace cataloguetest;
namespace params = kalthorne::params;

namespace {

const char* const kKindNames[] = {"Double", "Int", "Boolean", "Choice", "PushButton"};
const std::map<std::string, std::string> kHostTypes = {
    {"Double", kOfxParamTypeDouble},   {"Int", kOfxParamTypeInteger},       {"Boolean", kOfxParamTypeBoolean},
    {"Choice", kOfxParamTypeChoice},   {"PushButton", kOfxParamTypePushButton}};

using Fields = reference::Differences;

std::string text(const char* s) { return s ? s : "\\N"; }

// The hint a choice ends up with: its own, a blank line, one line per option.
std::string choiceHint(const std::string& own, const std::vector<reference::Option>& options) {
  std::string h = own + "\n";
  for (const auto& o : options) h += "\n" + o.label + ": " + o.help;
  return h;
}

}  // namespace

TEST(CatalogueReference, TheCatalogueTableHoldsTheDocumentedParameters) {
  const auto& documented = reference::params();
  ASSERT_EQ(documented.size(), std::size_t(params::kParamCount));
  for (int i = 0; i < params::kParamCount; ++i) {
    const params::ParamSpec& s = params::kParamSpecs[i];
    const reference::Param& d = documented[std::size_t(i)];
    const params::ParamAttributes& a = s.attributes;
    Fields f;
    f.check("name", std::string(s.name), d.name);
    f.check("kind", std::string(kKindNames[int(s.kind)]), d.kind);
    f.check("label", text(s.label), d.label);
    f.check("hint", text(s.hint), d.hint);
    f.check("default", s.defaultValue, d.defaultValue);
    f.check("low", s.low, d.low);
    f.check("high", s.high, d.high);
    f.check("digits", a.digits, d.digits);
    f.check("increment", a.increment, d.increment);
    f.check("animates", int(a.animates), d.animates);
    f.check("evaluate on change", int(a.evaluateOnChange), d.evaluate);
    f.check("shown", a.visible, d.shown);
    if (d.kind == "Choice") {
      const auto& options = reference::options(d.name);
      f.check("option count", a.optionCount, int(options.size()));
      for (int o = 0; o < a.optionCount && o < int(options.size()); ++o) {
        const std::string at = "option " + std::to_string(o);
        f.check(at + " label", std::string(a.options[o].label), options[std::size_t(o)].label);
        f.check(at + " help", std::string(a.options[o].help), options[std::size_t(o)].help);
      }
    }
    EXPECT_TRUE(f.text.empty()) << "parameter " << i << " " << d.name << f.text;
  }
}

// The host's view: what describe declared, the host's defaults where the
// effect sets nothing (2 digits, increment 1, animated, re-rendered, the
// name as label and no hint), the choice's options and its assembled hint.
TEST(CatalogueReference, TheDescribedEffectHoldsTheDocumentedParameters) {
  const auto& documented = reference::params();
  const std::vector<ofxtest::ParamObject*> described = valueParams();
  ASSERT_EQ(described.size(), documented.size());
  EXPECT_EQ(pageChildren().size(), documented.size());
  for (std::size_t i = 0; i < described.size(); ++i) {
    const ofxtest::PropertySet& p = described[i]->props;
    const reference::Param& d = documented[i];
    Fields f;
    f.check("name (page order)", described[i]->name, d.name);
    f.check("page child", i < pageChildren().size() ? pageChildren()[i] : std::string(), d.name);
    f.check("type", described[i]->type, kHostTypes.at(d.kind));
    f.check("label", p.getString(kOfxPropLabel), d.label == "\\N" ? d.name : d.label);
    const std::string hint = d.hint == "\\N" ? "" : d.hint;
    f.lines("hint", p.getString(kOfxParamPropHint), d.kind == "Choice" ? choiceHint(hint, reference::options(d.name)) : hint);
    f.check("enabled", p.getInt(kOfxParamPropEnabled), int(d.shown));
    f.check("secret", p.getInt(kOfxParamPropSecret), int(!d.shown));
    if (d.kind != "PushButton") {
      f.check("default", p.getDouble(kOfxParamPropDefault), d.defaultValue);
      f.check("animates", p.getInt(kOfxParamPropAnimates), d.animates < 0 ? 1 : d.animates);
      f.check("evaluate on change", p.getInt(kOfxParamPropEvaluateOnChange), d.evaluate < 0 ? 1 : d.evaluate);
    }
    if (d.ranged) {
      f.check("low", p.getDouble(kOfxParamPropMin), d.low);
      f.check("high", p.getDouble(kOfxParamPropMax), d.high);
      f.check("display low", p.getDouble(kOfxParamPropDisplayMin), d.low);
      f.check("display high", p.getDouble(kOfxParamPropDisplayMax), d.high);
    }
    if (d.kind == "Double") {
      f.check("digits", p.getInt(kOfxParamPropDigits), d.digits ? d.digits : 2);
      f.check("increment", p.getDouble(kOfxParamPropIncrement), d.increment ? d.increment : 1.0);
    }
    if (d.kind == "Choice") {
      const auto labels = p.getStrings(kOfxParamPropChoiceOption);
      const auto& options = reference::options(d.name);
      f.check("option count", labels.size(), options.size());
      for (std::size_t o = 0; o < labels.size() && o < options.size(); ++o)
        f.check("option " + std::to_string(o) + " label", labels[o], options[o].label);
    }
    EXPECT_TRUE(f.text.empty()) << "parameter " << i << " " << d.name << f.text;
  }
}
