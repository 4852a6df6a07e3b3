// What the bench takes from the product bundle's machine code: per kernel and
// architecture, its resources and the instructions and memory round trips of
// its loops, as tools/sass_counts.py derives them (the table it writes into
// the build tree; the script's comment defines every count).
#pragma once

#include <map>
#include <string>
#include <vector>

namespace bench {

// One loop at a kernel's top level: a trip advances its counter by `step`
// (rows, or columns, of the thread's walk); step 0: one item a trip.
struct LoopCounts {
  int step = 0;
  double instructions = 0;  // a trip's, its inner loops included
  double waits = 0;         // memory round trips a trip waits one after another
};

struct KernelCode {
  int registers = 0;  // a thread's
  int shared = 0;     // a block's static shared memory, bytes
  int threads = 0;    // the block it was compiled for; 0: no bounds
  double fixed_instructions = 0;
  double fixed_waits = 0;
  std::vector<LoopCounts> loops;
  std::string error;  // why the counts could not be derived; empty when they were
};

class SassTable {
 public:
  // Reads the table; false with `error` set when it cannot be read or a line
  // does not parse.
  bool load(const std::string& path, std::string& error);
  // Adds one line of the table; false when it does not parse.
  bool add_line(const std::string& line);
  // The kernel's counts on `arch` ("sm_75"), or null when the table has none.
  const KernelCode* find(const std::string& arch, const std::string& kernel) const;

 private:
  std::map<std::string, std::map<std::string, KernelCode>> kernels_;
};

// The build's table, read once. Null when this build has none (no product
// bundle: no nvcc, or the bundle built without sm_75 and sm_89), with
// `reason` saying why.
const SassTable* build_sass_table(std::string& reason);

}  // namespace bench
