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
  static const std::map<std::string, std::vector<Row>> table = [] {
    std::map<std::string, std::vector<Row>> t;
    std::ifstream in(COLOUR_REFERENCE_CSV);
    std::string line, field;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream fields(line);
      std::string row_kind;
      Row r;
      std::getline(fields, row_kind, ',');
      std::getline(fields, r.key, ',');
      while (std::getline(fields, field, ',')) r.values.push_back(std::strtod(field.c_str(), nullptr));
      t[row_kind].push_back(std::move(r));
    }
    return t;
  }();
  static const std::vector<Row> none;
  const auto it = table.find(kind);
  return it == table.end() ? none : it->second;
}

}  // namespace colour_reference
