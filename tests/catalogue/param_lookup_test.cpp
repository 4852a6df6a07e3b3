// The lookup of a catalogue entry by the key the host stores a value under,
// against the documented catalogue (tests/reference): every documented name
// finds its own entry, and a name that is not documented finds none, however
// close it comes to one.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "params/param_catalogue.h"
#include "tests/reference/reference_tables.h"

namespace params = kalthorne::params;

namespace {

std::vector<std::string> documentedNames() {
  std::vector<std::string> names;
  for (const auto& p : reference::params()) names.push_back(p.name);
  return names;
}

// Names one edit away from `name`: a letter's case flipped, a character
// replaced, one added and one left out, each at the first, a middle and the
// last place; and the whole name in either case.
std::vector<std::string> nearMisses(const std::string& name) {
  std::vector<std::string> misses;
  const size_t n = name.size();
  for (const size_t at : {size_t(0), n / 2, n - 1}) {
    std::string s = name;
    const unsigned char c = static_cast<unsigned char>(s[at]);
    if (std::isalpha(c)) {
      s[at] = static_cast<char>(std::isupper(c) ? std::tolower(c) : std::toupper(c));
      misses.push_back(s);
    }
    s = name;
    s[at] = s[at] == 'x' ? 'y' : 'x';
    misses.push_back(s);
    misses.push_back(name.substr(0, at) + name.substr(at + 1));
  }
  for (const size_t at : {size_t(0), n / 2, n}) misses.push_back(name.substr(0, at) + "x" + name.substr(at));
  std::string lower = name, upper = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  misses.push_back(lower);
  misses.push_back(upper);
  misses.push_back(name + std::string(1, '\0'));  // a key is compared whole, not as a C string
  return misses;
}

}  // namespace

TEST(ParamLookup, EveryDocumentedNameFindsItsOwnEntry) {
  const std::vector<std::string> names = documentedNames();
  ASSERT_EQ(names.size(), size_t(params::kParamCount));
  for (int i = 0; i < params::kParamCount; ++i)
    EXPECT_EQ(params::findParamSpec(names[size_t(i)]), &params::kParamSpecs[i]) << names[size_t(i)];
}

TEST(ParamLookup, NamesNotDocumentedFindNothing) {
  const std::vector<std::string> names = documentedNames();
  const std::set<std::string> documented(names.begin(), names.end());
  ASSERT_EQ(documented.size(), names.size()) << "a name documented twice";
  for (const std::string_view name : {"", " ", "x", "Unknown", "~~~~", "\x7f", "AAAA"})
    EXPECT_EQ(params::findParamSpec(name), nullptr) << '"' << name << '"';
  size_t tried = 0;
  for (const std::string& name : names)
    for (const std::string& miss : nearMisses(name)) {
      if (documented.count(miss)) continue;  // another parameter's name
      ++tried;
      const params::ParamSpec* found = params::findParamSpec(miss);
      EXPECT_EQ(found, nullptr) << '"' << miss << "\" (from " << name << ") finds " << found->name;
    }
  EXPECT_GT(tried, names.size() * 10);
}
