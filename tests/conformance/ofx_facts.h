// What a set of OpenFX C headers states, as lines of text: the value of
// every name the project's own headers declare, and the layout of every
// struct and type the host and the bundle exchange. ofx_facts.cpp is
// compiled twice, once against the project's ofx/ (namespace ours) and once
// against the OpenFX standard (namespace standard), so the two can be
// compared line by line.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace ofxfacts {

struct Facts {
  // By name: "\"string\"" or the integer; empty when these headers lack it.
  std::map<std::string, std::string> names;
  // "S: size N, alignment A", then "S.m: offset O, size Z, type T" for each
  // member, in the order of ofx_layouts.h; "T is <exact type>" for a typedef.
  std::vector<std::string> layouts;
  // Structs the project's headers declare that ofx_layouts.h leaves out, or
  // with members after the last one it lists.
  std::vector<std::string> uncompared;
};

namespace ours { Facts facts(); }
namespace standard { Facts facts(); }

}  // namespace ofxfacts
