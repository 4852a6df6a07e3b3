#include "pipeline/cuda_context_guard.h"

#include <cudaTypedefs.h>

namespace {

struct DriverContextCalls {
  PFN_cuCtxGetCurrent_v4000 get = nullptr;
  PFN_cuCtxSetCurrent_v4000 set = nullptr;
};

// Looked up once per process: both or neither.
const DriverContextCalls& driver_context_calls() {
  static const DriverContextCalls calls = [] {
    DriverContextCalls c;
    void* get = nullptr;
    void* set = nullptr;
    cudaDriverEntryPointQueryResult found_get = cudaDriverEntryPointSymbolNotFound;
    cudaDriverEntryPointQueryResult found_set = cudaDriverEntryPointSymbolNotFound;
    // Both have kept their signature since the driver API of CUDA 4.0.
    if (cudaGetDriverEntryPointByVersion("cuCtxGetCurrent", &get, 4000, cudaEnableDefault, &found_get) ==
            cudaSuccess &&
        cudaGetDriverEntryPointByVersion("cuCtxSetCurrent", &set, 4000, cudaEnableDefault, &found_set) ==
            cudaSuccess &&
        found_get == cudaDriverEntryPointSuccess && found_set == cudaDriverEntryPointSuccess && get && set) {
      c.get = reinterpret_cast<PFN_cuCtxGetCurrent_v4000>(get);
      c.set = reinterpret_cast<PFN_cuCtxSetCurrent_v4000>(set);
    }
    return c;
  }();
  return calls;
}

}  // namespace

CudaContextGuard::CudaContextGuard() {
  has_device_ = cudaGetDevice(&device_) == cudaSuccess;
  const DriverContextCalls& driver = driver_context_calls();
  CUcontext current = nullptr;
  if (driver.get && driver.get(&current) == CUDA_SUCCESS) {
    context_ = current;
    has_context_ = true;
  }
}

CudaContextGuard::~CudaContextGuard() {
  if (has_context_) {
    // The driver's context is the state the host shares with us; the
    // runtime's current device lives in this bundle's own copy of the
    // runtime. Setting the device back would make that device's primary
    // context (hundreds of MB) on a GPU the host may be using through a
    // context of its own, or none: the context alone comes back.
    const DriverContextCalls& driver = driver_context_calls();
    CUcontext current = nullptr;
    if (driver.get(&current) != CUDA_SUCCESS || current != static_cast<CUcontext>(context_))
      driver.set(static_cast<CUcontext>(context_));
    return;
  }
  int now = -1;
  if (has_device_ && (cudaGetDevice(&now) != cudaSuccess || now != device_)) cudaSetDevice(device_);
}
