// What a set of OpenFX C headers states: the value of every name the
// project's own headers declare, and the layout of every struct and type
// the host and the bundle exchange. ofx_facts.cpp is compiled twice, once
// against the project's ofx/ (namespace ours) and once against the OpenFX
// standard (namespace standard), so the two can be compared entry by entry.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ofxfacts {

struct NamedValue {
  std::string name;
  bool declared = false;   // the headers define the name at all
  bool isString = false;   // a string literal, else an integer
  std::string text;        // the string
  long long number = 0;    // the integer
};

struct Member {
  std::string name;
  std::size_t offset = 0, size = 0;
  std::string type;  // the compiler's exact name of the member's type
};

struct Layout {
  std::string name;
  std::size_t size = 0, alignment = 0;
  std::string type;  // for typedefs: the exact type; empty for structs
  std::vector<Member> members;
};

struct Facts {
  std::vector<NamedValue> names;        // in the order of the project's headers
  std::vector<std::string> structs;     // structs the project's headers declare
  std::vector<Layout> layouts;          // KALTHORNE_OFX_LAYOUTS, in its order
};

namespace ours { Facts facts(); }
namespace standard { Facts facts(); }

}  // namespace ofxfacts
