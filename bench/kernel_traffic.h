// Device memory traffic of the pipeline's kernel launches, from a model of
// each kernel's access pattern (kernel_traffic.cpp).
#pragma once

#include "cudasim/cudasim_control.h"

namespace bench {

struct KernelWork {
  double elements = 0;  // work items the launch's arguments give it: pixels, or elements of a plane
  double bytes = 0;     // bytes read and written, in whole 32-byte sectors
};

// False when the launch's kernel has no access model yet.
bool kernel_work(const cudasim::Launch& launch, KernelWork& work);

}  // namespace bench
