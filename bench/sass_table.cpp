#include "sass_table.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace bench {

namespace {

bool to_int(const std::string& text, int& value) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') return false;
  value = int(v);
  return true;
}

bool to_double(const std::string& text, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0';
}

// "step:instructions:waits,..." or "-" (no loops).
bool parse_loops(const std::string& text, std::vector<LoopCounts>& loops) {
  loops.clear();
  if (text == "-") return true;
  std::stringstream list(text);
  std::string item;
  while (std::getline(list, item, ',')) {
    LoopCounts loop;
    const size_t a = item.find(':'), b = item.find(':', a == std::string::npos ? a : a + 1);
    if (a == std::string::npos || b == std::string::npos || !to_int(item.substr(0, a), loop.step) ||
        !to_double(item.substr(a + 1, b - a - 1), loop.instructions) || !to_double(item.substr(b + 1), loop.waits) ||
        loop.step < 0)
      return false;
    loops.push_back(loop);
  }
  return !loops.empty();
}

}  // namespace

bool SassTable::add_line(const std::string& line) {
  std::stringstream fields(line);
  std::string field, kernel, arch;
  KernelCode code;
  bool have_loops = false, have_registers = false;
  while (fields >> field) {
    const size_t eq = field.find('=');
    if (eq == std::string::npos) return false;
    const std::string key = field.substr(0, eq), value = field.substr(eq + 1);
    bool ok = true;
    if (key == "kernel") kernel = value;
    else if (key == "arch") arch = value;
    else if (key == "registers") ok = have_registers = to_int(value, code.registers);
    else if (key == "shared") ok = to_int(value, code.shared);
    else if (key == "threads") ok = to_int(value, code.threads);
    else if (key == "fixed_instructions") ok = to_double(value, code.fixed_instructions);
    else if (key == "fixed_waits") ok = to_double(value, code.fixed_waits);
    else if (key == "loops") ok = have_loops = parse_loops(value, code.loops);
    else if (key == "error") code.error = value.empty() ? "unreadable" : value;
    if (!ok) return false;
  }
  if (kernel.empty() || arch.empty() || (code.error.empty() && (!have_loops || !have_registers))) return false;
  kernels_[arch][kernel] = code;
  return true;
}

bool SassTable::load(const std::string& path, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    if (!add_line(line)) {
      error = path + ":" + std::to_string(number) + ": does not parse";
      return false;
    }
  }
  return true;
}

const KernelCode* SassTable::find(const std::string& arch, const std::string& kernel) const {
  const auto a = kernels_.find(arch);
  if (a == kernels_.end()) return nullptr;
  const auto k = a->second.find(kernel);
  return k == a->second.end() ? nullptr : &k->second;
}

const SassTable* build_sass_table(std::string& reason) {
#if defined(KALTHORNE_SASS_TABLE)
  static std::string load_error;
  static const SassTable* table = [] {
    static SassTable t;
    return t.load(KALTHORNE_SASS_TABLE, load_error) ? &t : nullptr;
  }();
  if (!table) reason = load_error;
  return table;
#else
  reason = KALTHORNE_SASS_ABSENT;
  return nullptr;
#endif
}

}  // namespace bench
