// The project's OpenFX C headers state the same facts as the OpenFX
// standard: every name they declare has the standard's string or value, and
// every struct the host and the bundle exchange has the standard's members,
// types, offsets and size. Names the standard lacks are listed here as the
// host extensions they are.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "ofx_facts.h"

using namespace ofxfacts;

namespace {

// Declared by ofx/ but not by the standard: host extensions of Natron.
const std::set<std::string> kExtensions = {"kNatronOfxHostIsNatron", "kOfxParamPropLayoutHint"};

std::string describe(const NamedValue& v) {
  if (!v.declared) return "(not declared)";
  return v.isString ? "\"" + v.text + "\"" : std::to_string(v.number);
}

}  // namespace

TEST(OfxDeclarations, EveryNameHasTheStandardsValue) {
  const Facts mine = ours::facts(), theirs = standard::facts();
  ASSERT_EQ(mine.names.size(), theirs.names.size());
  ASSERT_GT(mine.names.size(), 200u) << "the name list was not generated from ofx/";
  std::set<std::string> extensionsSeen;
  for (std::size_t i = 0; i < mine.names.size(); ++i) {
    const NamedValue &a = mine.names[i], &b = theirs.names[i];
    ASSERT_EQ(a.name, b.name);
    EXPECT_TRUE(a.declared) << a.name;
    if (kExtensions.count(a.name)) {
      extensionsSeen.insert(a.name);
      EXPECT_FALSE(b.declared) << a.name << " is now part of the standard: drop it from the extensions";
      continue;
    }
    ASSERT_TRUE(b.declared) << a.name << " is not an OpenFX name; a host answers it as unknown";
    EXPECT_EQ(a.isString, b.isString) << a.name;
    EXPECT_EQ(describe(a), describe(b)) << a.name;
  }
  EXPECT_EQ(extensionsSeen, kExtensions) << "an extension is no longer declared: drop it from the list";
}

TEST(OfxDeclarations, StructsAndTypesHaveTheStandardsLayout) {
  const Facts mine = ours::facts(), theirs = standard::facts();
  ASSERT_EQ(mine.layouts.size(), theirs.layouts.size());
  for (std::size_t i = 0; i < mine.layouts.size(); ++i) {
    const Layout &a = mine.layouts[i], &b = theirs.layouts[i];
    SCOPED_TRACE(a.name);
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(a.size, b.size);
    EXPECT_EQ(a.alignment, b.alignment);
    ASSERT_EQ(a.members.size(), b.members.size());
    for (std::size_t m = 0; m < a.members.size(); ++m) {
      SCOPED_TRACE(a.members[m].name);
      EXPECT_EQ(a.members[m].offset, b.members[m].offset);
      EXPECT_EQ(a.members[m].size, b.members[m].size);
      EXPECT_EQ(a.members[m].type, b.members[m].type);
    }
    // The members listed cover the whole struct: the last one ends at the end.
    if (!a.members.empty()) {
      EXPECT_LE(a.size - (a.members.back().offset + a.members.back().size), a.alignment - 1)
          << "a member after " << a.members.back().name << " is not compared";
    }
  }
  // Every struct ofx/ declares is compared.
  for (const std::string& s : mine.structs)
    EXPECT_TRUE(std::any_of(mine.layouts.begin(), mine.layouts.end(),
                            [&](const Layout& l) { return l.name == s && l.type.empty(); }))
        << s << " is declared in ofx/ but missing from ofx_layouts.h";
}
