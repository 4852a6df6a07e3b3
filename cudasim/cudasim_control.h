// Test-facing control of the CPU stand-in for the CUDA runtime: the scripted
// device table, the call log, the launch trace, the allocation registry and
// failure injection. State is process-wide (libcudasim is a shared library,
// so a test and a dlopened test bundle see the same state); the current
// device and the last error are per host thread, as in the real runtime.
#pragma once

#include <cuda_runtime_api.h>

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cudasim/cudasim_launch.h"

namespace cudasim {

struct CUDASIM_API Device {
  int major = 7;
  int minor = 5;
  int computeMode = 0;  // cudaComputeModeDefault
  size_t totalGlobalMem = size_t(8) << 30;  // cudaMalloc fails beyond it
  // false: the device code holds no machine code for this device (a later
  // family), and cudaFuncGetAttributes answers cudaErrorNoKernelImageForDevice.
  bool hasCode = true;
  // Values returned by cudaDeviceGetAttribute, keyed by cudaDeviceAttr; they
  // override the ones derived from the fields above.
  std::map<int, int> attributes;
};

// The devices the runtime reports; the default is one device of capability 7.5.
CUDASIM_API void set_devices(const std::vector<Device>& devices);
CUDASIM_API std::vector<Device> devices();

struct CUDASIM_API Call {
  std::string function;  // e.g. "cudaSetDevice", or a device library's call ("cub::DeviceReduce::Reduce")
  std::string arguments; // e.g. "1"
  cudaError_t result = cudaSuccess;
  // The device the call works on: the thread's current one, the one it
  // names (cudaSetDevice, attribute queries, a context made current), or -1
  // for the thread's own state (cudaGetDevice, cuCtxGetCurrent) and the count.
  int device = -1;
  // cudaMalloc(Async): the allocation made; cudaFree(Async): the pointer
  // freed; cudaMemcpy(Async), cudaMemsetAsync: the destination (and
  // `source`); a library call: the data it reads.
  const void* pointer = nullptr;
  const void* source = nullptr;
  size_t bytes = 0;               // allocated, copied, set or read
  cudaStream_t stream = nullptr;  // asynchronous calls and library calls
  // What a successful call costs the device's schedule, as the runtime
  // documents it: allocations and frees that synchronise the whole device
  // (cudaMalloc, and freeing its memory), and the points where the host
  // waits for work queued on the device (a synchronising free, a copy into
  // host memory, a device or stream synchronisation, a library call that
  // returns a device result).
  int sync_allocs = 0;
  int host_waits = 0;
};
CUDASIM_API std::vector<Call> call_log();
CUDASIM_API void clear_call_log();

struct CUDASIM_API Launch {
  std::string kernel;
  dim3 grid;
  dim3 block;
  cudaStream_t stream = nullptr;
  std::vector<LaunchArgument> arguments;  // in parameter order
  bool ran = false;  // false when the configuration or the stream was refused or a failure injected
  int device = 0;    // current when launched
};
CUDASIM_API std::vector<Launch> launch_trace();
CUDASIM_API void clear_launch_trace();

// The call log, the launch trace, the list of violations and the memory of
// freed addresses keep at most `entries` items each (default 65536; reset()
// restores it); the oldest go first, and the dropped calls and launches are
// counted, so a long run stays flat while a frame's worth stays whole.
CUDASIM_API void set_log_limit(size_t entries);
struct CUDASIM_API LogSizes {
  size_t calls = 0, launches = 0, violations = 0, freed_addresses = 0;
  size_t dropped_calls = 0, dropped_launches = 0;  // since the last clear of their log
};
CUDASIM_API LogSizes log_sizes();

// Failure injection: counting from now, calls number nth .. nth+count-1
// (1-based) of `function` return `error` (count < 0: every call from nth on).
// `function` is a runtime function name ("cudaMalloc", "cudaMemcpy", ...),
// "launch" for any kernel launch, a kernel name, or a device library's call
// ("thrust::reduce", which then throws as the library does, or
// "cub::DeviceReduce::Reduce", which returns the error).
CUDASIM_API void fail_call(const std::string& function, int nth, cudaError_t error,
                           int count = 1);
CUDASIM_API void clear_failures();

// Runs `hook` once, at the start of the next call of the runtime function
// `function` on any thread, on that thread, before the call does anything
// and outside the stand-in's lock: a test's way to make something happen
// at an exact point of the code under test (the host unloading the bundle
// in the middle of a render, say).
CUDASIM_API void before_next_call(const std::string& function, std::function<void()> hook);

struct CUDASIM_API AllocationStats {
  size_t allocations = 0;   // successful cudaMalloc and cudaMallocAsync calls with a non-empty size
  size_t frees = 0;         // successful cudaFree and cudaFreeAsync calls of a live allocation
  size_t live = 0;          // allocations not yet freed
  size_t live_bytes = 0;
  size_t peak_live_bytes = 0; // since reset() or reset_peak()
  size_t double_frees = 0;  // a free of an allocation already freed
  size_t invalid_frees = 0; // a free of a pointer that never was an allocation base
  size_t guard_overruns = 0;// writes found before or after an allocation (checked at free)
  size_t bad_pointers = 0;  // kernel arguments, copies or library reads outside every live allocation
  size_t live_streams = 0;  // streams created and not destroyed
  size_t bad_streams = 0;   // uses of a stream handle never created or already destroyed
  size_t strict_findings = 0;  // misuses the strict checks found (set_findings_fatal)
  // Memory pools: cudaMemPoolCreate and cudaMemPoolDestroy calls that
  // succeeded, pools created and not destroyed (made before reset() too),
  // and the freed memory every pool keeps, which counts against its device
  // until it goes back (a trim, a synchronisation past the pool's release
  // threshold, the pool's destruction).
  size_t pools_created = 0;
  size_t pools_destroyed = 0;
  size_t live_pools = 0;
  size_t kept_bytes = 0;
};
CUDASIM_API AllocationStats allocation_stats();
// The peak of live device memory starts again from what is live now.
CUDASIM_API void reset_peak();
// Human-readable notes on each bad pointer and overrun since the last reset.
CUDASIM_API std::vector<std::string> violations();
// True when [p, p + bytes) lies inside one live allocation.
CUDASIM_API bool is_device_range(const void* p, size_t bytes = 1);
// Checks the guard zones of every live allocation now; returns the overruns found.
CUDASIM_API size_t check_guards();

// New device memory is filled with this quiet NaN so that output read from
// memory no kernel wrote is recognisable.
CUDASIM_API float nan_sentinel();
CUDASIM_API bool is_nan_sentinel(float value);

// The driver's contexts, as the guard code of a host sees them through the
// runtime's driver entry points (cuCtxGetCurrent, cuCtxSetCurrent): a context
// on `device` such as a host makes for itself (not the device's primary one,
// which cudaSetDevice binds), and the calling thread's current context (null
// until cudaSetDevice or cuCtxSetCurrent binds one).
CUDASIM_API void* create_context(int device);
CUDASIM_API void* current_context();
// Whether the device's primary context has been made since reset(): by
// cudaSetDevice, or by a runtime call on a thread with no context current
// (which then makes the primary context of the runtime's device current, as
// the runtime does). On a GPU it holds hundreds of MB of device memory.
CUDASIM_API bool has_primary_context(int device);

// The strict checks. Device work waits in its stream's queue until the host
// synchronises with that stream (a download queued on it leaves poison, the
// NaN sentinel, until then), and grids run their blocks and threads in a
// shuffled order, seeded by CUDASIM_SEED (default 20). A misuse stops the
// process with its text: memory used or freed on one stream while its use on
// another is not waited for (the legacy default stream and blocking streams
// order each other), a stream or memory of one device used while another is
// current, and work (a launch, copy, memset or library call) on a stream
// that is not the host thread's own while it has streams of its own (a
// render). With false, the findings are only counted (allocation_stats,
// violations) until reset().
CUDASIM_API void set_findings_fatal(bool fatal);

// Host threads that run the blocks of one grid (default: up to 4).
CUDASIM_API void set_worker_threads(int count);

// Back to the start state: one default device, empty logs and registry (live
// allocations are released, live streams destroyed, the default memory pools
// made anew, with release thresholds 0), no injected failures or hooks, the calling
// thread's current device 0, context and last error cleared, no primary
// context made yet (the old handles stay valid). Pools made with
// cudaMemPoolCreate stay valid with their attributes, holding no memory: a
// library keeps such handles for the life of the process.
CUDASIM_API void reset();

}  // namespace cudasim
