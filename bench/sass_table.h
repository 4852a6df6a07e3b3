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
  double clocks = 0;        // a trip's instructions as one warp issues them, in order, the round trips aside
};

struct KernelCode {
  std::string symbol;  // its name in the machine code
  int registers = 0;   // a thread's
  int shared = 0;     // a block's static shared memory, bytes
  int threads = 0;    // the block it was compiled for; 0: no bounds
  double fixed_instructions = 0;
  double fixed_waits = 0;
  double fixed_clocks = 0;
  std::vector<LoopCounts> loops;
  // The same loops as a trip short of a full batch runs them (a row pass's
  // edge tile), where that differs; empty where it does not.
  std::vector<LoopCounts> edge_loops;
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

// A launch whose own path through its kernel the bench asks for: the
// parameter buffer as the kernel reads it.
struct LaunchPath {
  std::string arch;
  const KernelCode* code = nullptr;  // the table's entry for the kernel
  std::vector<unsigned char> parameters;
};

// The counts of the path each launch's parameters leave through its
// kernel's branches (tools/sass_counts.py --launches: the branches that test
// settings alone take the launch's side; the rest stay an upper bound), each
// with the table's resources. False with `error` set when the script fails
// or a launch's counts cannot be derived.
bool launch_path_counts(const std::vector<LaunchPath>& launches, std::vector<KernelCode>& counts,
                        std::string& error);

// The build's table, read once. Null when this build has none (no product
// bundle: no nvcc, or the bundle built without sm_75 and sm_89), with
// `reason` saying why.
const SassTable* build_sass_table(std::string& reason);

}  // namespace bench
