// The current CUDA context and device are per-thread driver state that the
// host, and every other CUDA plug-in in the process, share with us: code that
// selects a device for its own work gives the calling thread its previous
// state back on every exit, success, failure or exception alike.
#pragma once

// The runtime's API only: host sources of both builds include this.
#include <cuda_runtime_api.h>

// Saves the thread's current context (through the driver, reached by the
// runtime's driver entry-point query) when constructed, and restores it,
// and only it, when destroyed; where the driver's entry points cannot be
// had, the runtime's current device instead.
class CudaContextGuard {
 public:
  CudaContextGuard();
  ~CudaContextGuard();
  CudaContextGuard(const CudaContextGuard&) = delete;
  CudaContextGuard& operator=(const CudaContextGuard&) = delete;

 private:
  int device_ = 0;
  bool has_device_ = false;
  void* context_ = nullptr;  // CUcontext
  bool has_context_ = false;
};
