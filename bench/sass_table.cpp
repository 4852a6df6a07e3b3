#include "sass_table.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <unistd.h>

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

// "step:instructions:waits:clocks,..." or "-" (no loops).
bool parse_loops(const std::string& text, std::vector<LoopCounts>& loops) {
  loops.clear();
  if (text == "-") return true;
  std::stringstream list(text);
  std::string item;
  while (std::getline(list, item, ',')) {
    std::stringstream fields(item);
    std::string step, instructions, waits, clocks, rest;
    LoopCounts loop;
    if (!std::getline(fields, step, ':') || !std::getline(fields, instructions, ':') ||
        !std::getline(fields, waits, ':') || !std::getline(fields, clocks, ':') || std::getline(fields, rest) ||
        !to_int(step, loop.step) || !to_double(instructions, loop.instructions) || !to_double(waits, loop.waits) ||
        !to_double(clocks, loop.clocks) || loop.step < 0)
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
    else if (key == "symbol") code.symbol = value;
    else if (key == "arch") arch = value;
    else if (key == "registers") ok = have_registers = to_int(value, code.registers);
    else if (key == "shared") ok = to_int(value, code.shared);
    else if (key == "threads") ok = to_int(value, code.threads);
    else if (key == "fixed_instructions") ok = to_double(value, code.fixed_instructions);
    else if (key == "fixed_waits") ok = to_double(value, code.fixed_waits);
    else if (key == "fixed_clocks") ok = to_double(value, code.fixed_clocks);
    else if (key == "loops") ok = have_loops = parse_loops(value, code.loops);
    else if (key == "edge_loops") ok = parse_loops(value, code.edge_loops) && code.edge_loops.size() > 0;
    else if (key == "error") code.error = value.empty() ? "unreadable" : value;
    if (!ok) return false;
  }
  if (kernel.empty() || arch.empty() || (code.error.empty() && (!have_loops || !have_registers))) return false;
  // The edge path walks the same loops.
  if (!code.edge_loops.empty()) {
    if (code.edge_loops.size() != code.loops.size()) return false;
    for (size_t i = 0; i < code.loops.size(); ++i)
      if (code.edge_loops[i].step != code.loops[i].step) return false;
  }
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

namespace {

// The request line of a launch: arch, symbol, parameters in hex.
std::string request_of(const LaunchPath& l) {
  static const char* hex = "0123456789abcdef";
  std::string line = l.arch + ' ' + l.code->symbol + ' ';
  for (unsigned char b : l.parameters) {
    line += hex[b >> 4];
    line += hex[b & 15];
  }
  return line;
}

// Runs the script on `requests`; their answers (the counts' fields) in order.
bool run_path_counts(const std::vector<std::string>& requests, std::vector<std::string>& answers,
                     std::string& error) {
#if defined(KALTHORNE_SASS_LAUNCHES_COMMAND)
  char dir_template[] = "/tmp/kalthorne_paths_XXXXXX";
  const char* dir = mkdtemp(dir_template);
  if (!dir) {
    error = "cannot make a scratch folder for the path counts";
    return false;
  }
  const std::string in_path = std::string(dir) + "/launches.txt", out_path = std::string(dir) + "/counts.txt",
                    log_path = std::string(dir) + "/log.txt";
  {
    std::ofstream out(in_path);
    for (size_t i = 0; i < requests.size(); ++i) out << i << ' ' << requests[i] << '\n';
  }
  const std::string command = std::string(KALTHORNE_SASS_LAUNCHES_COMMAND) + " --launches " + in_path +
                              " --output " + out_path + " >" + log_path + " 2>&1";
  const int status = std::system(command.c_str());
  std::ifstream in(out_path);
  std::string line;
  while (status == 0 && std::getline(in, line)) {
    const size_t space = line.find(' ');
    if (line.compare(0, 3, "id=") != 0 || space == std::string::npos ||
        std::to_string(answers.size()) != line.substr(3, space - 3)) {
      error = "the path counts do not parse: " + line;
      break;
    }
    answers.push_back(line.substr(space + 1));
  }
  if (error.empty() && answers.size() != requests.size()) {
    std::ifstream log(log_path);
    std::stringstream text;
    text << log.rdbuf();
    error = "tools/sass_counts.py --launches failed: " + text.str();
  }
  for (const std::string& path : {in_path, out_path, log_path}) std::remove(path.c_str());
  rmdir(dir);
  return error.empty();
#else
  (void)requests;
  (void)answers;
  error = "this build has no machine-code counts";
  return false;
#endif
}

}  // namespace

bool launch_path_counts(const std::vector<LaunchPath>& launches, std::vector<KernelCode>& counts,
                        std::string& error) {
  counts.clear();
  // Launches with the same parameters take the same path, on every road.
  static std::map<std::string, std::string> known;
  std::vector<std::string> lines, asked;
  for (const LaunchPath& l : launches) {
    lines.push_back(request_of(l));
    if (!known.count(lines.back()) && std::find(asked.begin(), asked.end(), lines.back()) == asked.end())
      asked.push_back(lines.back());
  }
  std::vector<std::string> answers;
  if (!asked.empty() && !run_path_counts(asked, answers, error)) return false;
  for (size_t i = 0; i < asked.size(); ++i) known[asked[i]] = answers[i];
  for (size_t i = 0; i < launches.size(); ++i) {
    SassTable one;
    const std::string& answer = known[lines[i]];
    if (!one.add_line("kernel=k arch=a registers=0 " + answer)) {
      error = "the path counts do not parse: " + answer;
      return false;
    }
    const KernelCode& path = *one.find("a", "k");
    if (!path.error.empty()) {
      error = "the path of " + launches[i].code->symbol + " on " + launches[i].arch + ": " + path.error;
      return false;
    }
    KernelCode code = *launches[i].code;
    code.fixed_instructions = path.fixed_instructions;
    code.fixed_waits = path.fixed_waits;
    code.fixed_clocks = path.fixed_clocks;
    code.loops = path.loops;
    code.edge_loops = path.edge_loops;
    counts.push_back(code);
  }
  return true;
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
