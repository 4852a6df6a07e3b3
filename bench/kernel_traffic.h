// Device memory traffic and memory round trips of the pipeline's kernel
// launches, from a model of each kernel's access pattern (kernel_traffic.cpp).
#pragma once

#include <string>
#include <vector>

#include "cudasim/cudasim_control.h"

namespace bench {

struct KernelWork {
  double elements = 0;     // work items the launch's arguments give it: pixels, or elements of a plane
  double bytes = 0;        // bytes read and written, in whole 32-byte sectors
  double walk = 0;         // rows (or columns) each thread walks one after another; 0: none
  // The walk's trips are tiles whose rows are a block's threads, one a
  // thread (a row pass): a block short of rows runs each on the edge path.
  bool tile_rows = false;
};

// False when the launch's kernel has no access model yet.
bool kernel_work(const cudasim::Launch& launch, KernelWork& work);

// The models that contradict themselves (one line each; empty when all are sound).
std::vector<std::string> model_faults();

}  // namespace bench
