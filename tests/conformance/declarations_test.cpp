// The project's OpenFX C headers state the same facts as the OpenFX
// standard: every name they declare has the standard's string or value, and
// every struct the host and the bundle exchange has the standard's members,
// types, offsets and size. Names the standard lacks are listed here as the
// host extensions they are.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ofx_facts.h"

using namespace ofxfacts;

// Declared by ofx/ but not by the standard: host extensions of Natron.
const std::set<std::string> kExtensions = {"kNatronOfxHostIsNatron", "kOfxParamPropLayoutHint"};

TEST(OfxDeclarations, EveryNameHasTheStandardsValue) {
  const Facts mine = ours::facts(), theirs = standard::facts();
  ASSERT_GT(mine.names.size(), 200u) << "the name list was not generated from ofx/";
  for (const auto& name : kExtensions) EXPECT_TRUE(mine.names.count(name)) << name << " is no longer declared";
  for (const auto& [name, value] : mine.names) {
    const std::string& standard = theirs.names.at(name);
    EXPECT_FALSE(value.empty()) << name;
    if (kExtensions.count(name)) {
      EXPECT_EQ(standard, "") << name << " is now part of the standard: drop it from the extensions";
    } else {
      EXPECT_EQ(value, standard) << name << (standard.empty() ? " is not an OpenFX name; a host answers it as unknown" : "");
    }
  }
}

TEST(OfxDeclarations, StructsAndTypesHaveTheStandardsLayout) {
  const Facts mine = ours::facts(), theirs = standard::facts();
  ASSERT_EQ(mine.layouts.size(), theirs.layouts.size());
  for (std::size_t i = 0; i < mine.layouts.size(); ++i) EXPECT_EQ(mine.layouts[i], theirs.layouts[i]);
  EXPECT_EQ(mine.uncompared, std::vector<std::string>{}) << "structs of ofx/ that ofx_layouts.h does not cover";
}
