// Devices lost for the rest of the process. After a fault that poisons a
// device's context (an illegal address, a kernel that failed, ...), no CUDA
// call on that device can succeed until the process ends, and resetting the
// device would pull the context from under the host, which shares it. Such a
// device is remembered for every instance: its frames pass through without
// touching CUDA.
#pragma once

#include <cuda_runtime_api.h>

// Whether `error` poisons the context for good. An unknown error counts when
// a synchronisation reports it (the device's work failed in an unknown way).
bool is_context_fault(cudaError_t error, bool from_synchronisation);

// The ordinals the table holds, from 0. A device past them, or a negative
// ordinal, is never marked: its frames fail one by one.
constexpr int kLostDeviceOrdinals = 1024;

void mark_cuda_device_lost(int device);
bool is_cuda_device_lost(int device);
