// The effect's documented tables, written down a second time as plain data
// (params.tsv, options.tsv, looks.tsv, presets.tsv beside this file) apart
// from the code's own tables, so that tests can hold the code to them. Rows
// are tab-separated; lines starting with '#' are comments; "\N" marks a text
// that is not set at all.
#pragma once

#include <cstdlib>
#include <fstream>
#include <algorithm>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace reference {

using Row = std::vector<std::string>;

inline std::vector<Row> readTable(const std::string& file, std::size_t columns) {
  std::ifstream in(std::string(KALTHORNE_REFERENCE_DIR) + "/" + file);
  if (!in) throw std::runtime_error("missing reference table " + file);
  std::vector<Row> rows;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    Row row{""};
    for (char c : line)
      if (c == '\t') row.emplace_back(); else row.back() += c;
    if (row.size() != columns) throw std::runtime_error(file + ": bad row " + line);
    rows.push_back(row);
  }
  return rows;
}

// The fields of one row that differ from the documented row, one line each:
// "  field: is "...", documented "..."".
struct Differences {
  std::string text;

  template <class T>
  void check(const std::string& field, const T& got, const T& documented) {
    if (got == documented) return;
    std::ostringstream s;
    s << "\n  " << field << ": is \"" << got << "\", documented \"" << documented << "\"";
    text += s.str();
  }
  // A text of several lines: the first line that differs.
  void lines(const std::string& field, const std::string& got, const std::string& documented) {
    const auto split = [](const std::string& t) {
      std::vector<std::string> out{""};
      for (char c : t)
        if (c == '\n') out.emplace_back(); else out.back() += c;
      return out;
    };
    const auto g = split(got), d = split(documented);
    for (std::size_t n = 0; n < std::max(g.size(), d.size()); ++n) {
      const std::string gl = n < g.size() ? g[n] : "(none)", dl = n < d.size() ? d[n] : "(none)";
      if (gl != dl) return check(field + " line " + std::to_string(n), gl, dl);
    }
  }
};

// A number as written in the tables; empty means not set.
inline double number(const std::string& s) { return std::strtod(s.c_str(), nullptr); }

struct Param {
  std::string name, kind, label, hint;  // label and hint "\N": not set
  double defaultValue = 0, low = 0, high = 0;
  bool ranged = false;  // Double and Int
  int digits = 0;         // 0: not set
  double increment = 0;   // 0: not set
  int animates = -1, evaluate = -1;  // -1: not set
  bool shown = false;
};

inline const std::vector<Param>& params() {
  static const std::vector<Param> all = [] {
    std::vector<Param> out;
    for (const Row& r : readTable("params.tsv", 12)) {
      Param p{r[0], r[1], r[2], r[3], number(r[4]), number(r[5]), number(r[6]), !r[5].empty()};
      p.digits = int(number(r[7]));
      p.increment = number(r[8]);
      p.animates = r[9].empty() ? -1 : int(number(r[9]));
      p.evaluate = r[10].empty() ? -1 : int(number(r[10]));
      p.shown = r[11] == "1";
      out.push_back(p);
    }
    return out;
  }();
  return all;
}

struct Option {
  std::string label, help;
};

// The options of a choice parameter, in index order.
inline const std::vector<Option>& options(const std::string& choice) {
  static const std::map<std::string, std::vector<Option>> all = [] {
    std::map<std::string, std::vector<Option>> out;
    for (const Row& r : readTable("options.tsv", 4)) {
      auto& list = out[r[0]];
      if (number(r[1]) != double(list.size())) throw std::runtime_error("options.tsv: " + r[0] + " out of order");
      list.push_back({r[2], r[3]});
    }
    return out;
  }();
  return all.at(choice);
}

struct LookLine {
  int number;
  std::string key, type;  // type: "int" or "float"
  double low, high;
  std::string sets;       // what the line sets, as documented
  std::string fallback;   // the fallback, as documented
  std::string prefix, tail;

  // The parameter the line writes its value to, as "`Name` := v" or
  // "`Name` := (v = 1)" at the start of `sets`; empty for a line with a rule.
  std::string target() const {
    if (sets.rfind('`', 0) != 0) return "";
    const std::size_t end = sets.find('`', 1);
    return sets.compare(end, 5, "` := ") == 0 ? sets.substr(1, end - 1) : "";
  }
  bool switchLine() const { return sets.find(":= (v = 1)") != std::string::npos; }
  bool readOnly() const { return sets.rfind("read only", 0) == 0; }
  // The fallback as a number when the table gives a fixed one.
  bool fixedFallback(double* value) const {
    char* end = nullptr;
    const double v = std::strtod(fallback.c_str(), &end);
    if (end == fallback.c_str()) return false;
    const std::string rest(end);
    if (rest == " (single precision)") *value = double(float(v));
    else if (rest.empty()) *value = v;
    else return false;
    return true;
  }
  std::string message() const { return prefix + key + tail; }
};

inline const std::vector<LookLine>& lookLines() {
  static const std::vector<LookLine> all = [] {
    std::vector<LookLine> out;
    for (const Row& r : readTable("looks.tsv", 9))
      out.push_back({int(number(r[0])), r[1], r[2], number(r[3]), number(r[4]), r[5], r[6], r[7], r[8]});
    if (out.size() != 372) throw std::runtime_error("looks.tsv: not 372 lines");
    return out;
  }();
  return all;
}

// Values a preset gives: source "camera" (a CameraStock choice with the
// print stock at Custom and the three negative selectors at 0), "print" (a
// PrintProfile choice) or "look-print" (a Look file's print stock line).
struct PresetValue {
  std::string parameter;
  double value;
};

// stock -> the values its preset gives, for one source.
inline std::map<int, std::vector<PresetValue>> presets(const std::string& source) {
  std::map<int, std::vector<PresetValue>> out;
  for (const Row& r : readTable("presets.tsv", 4)) {
    if (r[0] != source) continue;
    std::string list = r[1] + ",";
    for (std::size_t pos = 0, comma; (comma = list.find(',', pos)) != std::string::npos; pos = comma + 1) {
      const std::string item = list.substr(pos, comma - pos);
      const std::size_t dash = item.find('-');
      const int first = int(number(item)), last = dash == std::string::npos ? first : int(number(item.substr(dash + 1)));
      for (int stock = first; stock <= last; ++stock) out[stock].push_back({r[2], number(r[3])});
    }
  }
  return out;
}

}  // namespace reference
