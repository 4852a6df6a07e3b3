#include "pipeline/lost_devices.h"

#include <atomic>

namespace {

// A flag a device, in static storage: nothing on the heap, so a bundle the
// host unloads leaves nothing behind, and nothing destroyed at exit, when
// renders may still run.
constexpr int kDevices = kLostDeviceOrdinals;
std::atomic<bool> lost[kDevices];

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
  if (device >= 0 && device < kDevices) lost[device].store(true);
}

bool is_cuda_device_lost(int device) { return device >= 0 && device < kDevices && lost[device].load(); }
