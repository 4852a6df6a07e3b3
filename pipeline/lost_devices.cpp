#include "pipeline/lost_devices.h"

#include <mutex>
#include <set>

namespace {

std::mutex lost_mutex;
std::set<int>& lost() {
  static auto* s = new std::set<int>;  // never destroyed: renders may run at exit
  return *s;
}

}  // namespace

// The errors the toolkit documents as leaving the process's CUDA state
// unusable until it is relaunched (driver_types.h), and an uncorrectable ECC
// error, after which the device's memory cannot be trusted.
bool is_context_fault(cudaError_t error, bool from_synchronisation) {
  switch (error) {
    case cudaErrorContained:
    case cudaErrorIllegalAddress:
    case cudaErrorLaunchTimeout:
    case cudaErrorAssert:
    case cudaErrorHardwareStackError:
    case cudaErrorIllegalInstruction:
    case cudaErrorMisalignedAddress:
    case cudaErrorInvalidAddressSpace:
    case cudaErrorInvalidPc:
    case cudaErrorLaunchFailure:
    case cudaErrorTensorMemoryLeak:
    case cudaErrorMpsClientTerminated:
    case cudaErrorExternalDevice:
    case cudaErrorECCUncorrectable: return true;
    case cudaErrorUnknown: return from_synchronisation;
    default: return false;
  }
}

void mark_cuda_device_lost(int device) {
  std::lock_guard<std::mutex> lock(lost_mutex);
  lost().insert(device);
}

bool is_cuda_device_lost(int device) {
  std::lock_guard<std::mutex> lock(lost_mutex);
  return lost().count(device) != 0;
}
