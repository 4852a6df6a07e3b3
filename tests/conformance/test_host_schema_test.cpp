// The in-memory test host gives each object exactly the properties the
// OpenFX standard lists for it, of the standard's type and dimension. The
// standard's headers carry that listing as data (@propset and @propdef
// blocks); this test reads them as text, so the project's own headers stay
// the only OpenFX declarations compiled in.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/host/ofx_test_host.h"

using namespace ofxtest;

namespace {

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r*"), e = s.find_last_not_of(" \t\r");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

struct Definition {
  std::string type;  // int, bool, double, string, enum, pointer, or a list "[int, double]"
  std::string dimension;  // a number, or N
};

struct Standard {
  std::map<std::string, Definition> definitions;  // by property string
  std::map<std::string, std::vector<std::string>> sets, setParts;  // @propset, @propsetdef
  std::set<std::string> optional;  // "set/name" marked host_optional

  explicit Standard(const std::string& includeDir) {
    for (const char* header : {"ofxCore.h", "ofxImageEffect.h", "ofxParam.h"}) {
      std::ifstream in(includeDir + "/" + header);
      std::stringstream text;
      text << in.rdbuf();
      read(text.str());
    }
  }

  // A set's names, its @propsetdef parts spelled out.
  std::vector<std::string> set(const std::string& name) const {
    std::vector<std::string> out;
    for (const std::string& item : sets.count(name) ? sets.at(name) : setParts.at(name)) {
      const bool ref = item.size() > 4 && item.compare(item.size() - 4, 4, "_REF") == 0;
      for (const std::string& part : ref ? set(item.substr(0, item.size() - 4)) : std::vector<std::string>{item})
        out.push_back(part);
    }
    return out;
  }

 private:
  void read(const std::string& text) {
    for (std::size_t at = text.find("/**"); at != std::string::npos; at = text.find("/**", at + 3)) {
      const std::size_t end = text.find("*/", at);
      std::istringstream block(text.substr(at + 3, end - at - 3));
      std::string line, setName;
      bool propdef = false, listing = false;
      Definition d;
      while (std::getline(block, line)) {
        const std::string t = trim(line);
        if (t.rfind("@propdef", 0) == 0) propdef = true;
        if (t.rfind("@propset", 0) == 0) {
          std::istringstream words(t);
          std::string tag;
          words >> tag >> setName;
          listing = tag == "@propsetdef";  // its items follow at once
          (listing ? setParts : sets)[setName];
        }
        if (propdef && t.rfind("type:", 0) == 0) d.type = trim(t.substr(5));
        if (propdef && t.rfind("dimension:", 0) == 0) d.dimension = trim(t.substr(10));
        if (t == "props:") listing = true;
        if (listing && t.rfind("- ", 0) == 0) {
          const std::string item = t.substr(2), name = trim(item.substr(0, item.find('|')));
          (sets.count(setName) ? sets : setParts)[setName].push_back(name);
          if (item.find("host_optional=true") != std::string::npos) optional.insert(setName + "/" + name);
        }
      }
      if (!propdef) continue;
      // The definition belongs to the #define that follows the comment.
      const std::size_t def = text.find("#define", end), open = text.find('"', def), close = text.find('"', open + 1);
      if (def != std::string::npos && open < text.find('\n', def)) definitions[text.substr(open + 1, close - open - 1)] = d;
    }
  }
};

// The strings of every name ofx/ declares: what the test host can know of.
std::set<std::string> declaredStrings() {
  std::set<std::string> out;
  auto add = [&](auto v) {
    if constexpr (std::is_convertible_v<decltype(v), const char*>) out.insert(v);
  };
#define KALTHORNE_OFX_NAME(n) add(n);
#define KALTHORNE_OFX_MISSING(n)
#define KALTHORNE_OFX_STRUCT(s)
#include "ofx_declared_names.inc"
#undef KALTHORNE_OFX_NAME
#undef KALTHORNE_OFX_MISSING
#undef KALTHORNE_OFX_STRUCT
  return out;
}

// The standard's type words for each of ours; a list "[int, double]" is a
// type that depends on the parameter.
bool typeAgrees(PropertySet::Type ours, const std::string& theirs) {
  static const std::vector<std::vector<std::string>> words = {{"int", "bool"}, {"double"}, {"string", "enum"}, {"pointer"}};
  for (const std::string& w : words[std::size_t(ours)])
    if (theirs == w || (theirs.front() == '[' && theirs.find(w) != std::string::npos)) return true;
  return false;
}

struct Case {
  ObjectKind kind;
  std::string paramType;
  std::vector<std::string> standardSets;  // one @propset, or @propsetdef parts
  std::set<std::string> extensions;       // ours, beyond the listing
};

}  // namespace

TEST(TestHostSchema, EveryObjectHasTheStandardsPropertiesAndNoOthers) {
  const Standard standard(KALTHORNE_OPENFX_INCLUDE_DIR);
  ASSERT_GT(standard.definitions.size(), 100u) << "the standard's property definitions were not found";
  const std::set<std::string> declared = declaredStrings();
  const std::vector<Case> cases = {
      // The host listing leaves out the pixel depths that the property's own
      // definition gives hosts.
      {ObjectKind::Host, "", {"ImageEffectHost"}, {kOfxImageEffectPropSupportedPixelDepths}},
      {ObjectKind::EffectDescriptor, "", {"EffectDescriptor"}, {}},
      {ObjectKind::EffectInstance, "", {"EffectInstance"}, {}},
      {ObjectKind::ClipDescriptor, "", {"ClipDescriptor"}, {}},
      {ObjectKind::ClipInstance, "", {"ClipInstance"}, {}},
      {ObjectKind::Image, "", {"Image"}, {}},
      {ObjectKind::ParamSet, "", {"ParameterSet"}, {}},
      {ObjectKind::ParamDescriptor, kOfxParamTypeDouble, {"ParamDouble1D"}, {}},
      {ObjectKind::ParamDescriptor, kOfxParamTypeChoice, {"ParamsChoice"}, {}},
      {ObjectKind::ParamDescriptor, kOfxParamTypePage, {"ParamsPage"}, {}},
      {ObjectKind::ParamDescriptor, kOfxParamTypeGroup, {"ParamsGroup"}, {}},
      // Kinds the standard lists no set of: made of its shared parts.
      {ObjectKind::ParamDescriptor, kOfxParamTypeInteger,
       {"ParamsCommon", "ParamsAllButGroupPage", "ParamsValue", "ParamsNumeric"}, {}},
      {ObjectKind::ParamDescriptor, kOfxParamTypeBoolean, {"ParamsCommon", "ParamsAllButGroupPage", "ParamsValue"}, {}},
      {ObjectKind::ParamDescriptor, kOfxParamTypePushButton, {"ParamsCommon", "ParamsAllButGroupPage"}, {}},
  };
  for (const Case& c : cases) {
    const std::string where = c.standardSets.front() + (c.paramType.empty() ? "" : " " + c.paramType);
    SCOPED_TRACE(where);
    std::set<std::string> listed;
    for (const std::string& s : c.standardSets)
      for (const std::string& name : standard.set(s)) listed.insert(name);
    ASSERT_GT(listed.size(), 0u);
    std::set<std::string> ours;
    for (const PropertyDef& d : propertySchema(c.kind, c.paramType)) {
      ours.insert(d.name);
      EXPECT_TRUE(listed.count(d.name) || c.extensions.count(d.name)) << d.name << " is not the standard's here";
      auto def = standard.definitions.find(d.name);
      ASSERT_NE(def, standard.definitions.end()) << d.name;
      EXPECT_TRUE(typeAgrees(d.type, def->second.type)) << d.name << " is " << def->second.type;
      if (def->second.dimension == "N") {
        EXPECT_TRUE(d.dimension == 0 || def->second.type.front() == '[') << d.name << " has any count";
      } else {
        EXPECT_EQ(std::to_string(d.dimension), def->second.dimension) << d.name;
      }
    }
    for (const std::string& name : listed) {
      const bool required = declared.count(name) && !standard.optional.count(c.standardSets.front() + "/" + name);
      EXPECT_TRUE(!required || ours.count(name)) << name << " is the standard's here but missing";
    }
  }
}
