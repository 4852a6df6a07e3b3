// Reference values made with colour-science by tools/colour_reference.py,
// read at run time from data/colour_reference.csv (path set by CMake).
#pragma once

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace colour_reference {

struct Row {
  std::string key;             // option index or matrix name
  std::vector<double> values;  // the numbers after the key, in file order
};

// The rows of one kind ("curve", "matrix", "decode", "encode"), in file order;
// empty when the file is missing, which the tests report.
inline const std::vector<Row>& rows(const std::string& kind) {
  static std::map<std::string, std::vector<Row>> table = [] {
    std::map<std::string, std::vector<Row>> t;
    std::ifstream in(COLOUR_REFERENCE_CSV);
    for (std::string line, kind_field, field; std::getline(in, line);) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream fields(line);
      Row r;
      std::getline(fields, kind_field, ',');
      std::getline(fields, r.key, ',');
      while (std::getline(fields, field, ',')) r.values.push_back(std::strtod(field.c_str(), nullptr));
      t[kind_field].push_back(std::move(r));
    }
    return t;
  }();
  return table[kind];
}

}  // namespace colour_reference
