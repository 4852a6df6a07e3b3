// The one header every kernel source includes. Under nvcc it is the real CUDA
// runtime; under g++ the kernels compile as ordinary C++ against the CPU
// stand-in (libcudasim), so every road of the pipeline runs on machines
// without a GPU.
#pragma once

#if defined(__CUDACC__)

#include <cuda_runtime.h>

// Every launch of the project goes through one of these two macros: the
// default stream, or a stream with an amount of dynamic shared memory.
#define CUDA_LAUNCH(kernel, grid, block, ...) kernel<<<(grid), (block)>>>(__VA_ARGS__)
#define CUDA_LAUNCH_STREAM(kernel, grid, block, shared, stream, ...) \
  kernel<<<(grid), (block), (shared), (stream)>>>(__VA_ARGS__)

// Kernels that rely on __syncthreads are marked for the CPU build, where their
// blocks run with cooperative threads; the device build needs nothing.
#define CUDASIM_COOPERATIVE_KERNEL(kernel)

#else  // CPU build

// The toolkit's runtime header gives the types (cudaError_t, dim3,
// cudaDeviceProp, ...) and defines the qualifiers as empty for a host
// compiler; libcudasim implements the runtime functions the project calls.
#include <cuda_runtime_api.h>

#include <math.h>
#include <cmath>
#include <cstdint>

#include "cudasim/cudasim_launch.h"

// Shared memory belongs to one block. The threads of a cooperative block run
// as fibers on one host thread and a host thread runs one block at a time, so
// per-host-thread storage is exactly per-block storage.
#undef __shared__
#define __shared__ static thread_local

#define CUDA_LAUNCH(kernel, grid, block, ...) \
  ::cudasim::launch(#kernel, kernel, dim3(grid), dim3(block), ##__VA_ARGS__)
#define CUDA_LAUNCH_STREAM(kernel, grid, block, shared, stream, ...) \
  ::cudasim::launch_on(#kernel, kernel, dim3(grid), dim3(block), size_t(shared), (stream), ##__VA_ARGS__)

#define CUDASIM_COOPERATIVE_KERNEL(kernel)                                      \
  static const bool cudasim_cooperative_##kernel##_registered =                 \
      ::cudasim::detail::register_cooperative(reinterpret_cast<const void*>(&kernel))

inline void __syncthreads() { ::cudasim::detail::syncthreads(); }

// Device functions that <cmath> lacks on the host, as the kernels use them.
inline float sinpif(float x) { return static_cast<float>(std::sin(3.14159265358979323846 * x)); }

// The device's single operations rounded to nearest, which its compiler never
// fuses into a multiply-add: here plain IEEE float operations (the CPU build
// compiles without contraction, so none of them fuses either; the build that
// rounds like the device contracts everything else, and the empty asm keeps
// these apart), and its fused multiply-add.
#if defined(KALTHORNE_DEVICE_ROUNDING)
inline float cudasim_rounded(float r) {
  __asm__("" : "+x"(r));
  return r;
}
#else
inline float cudasim_rounded(float r) { return r; }
#endif
inline float __fadd_rn(float a, float b) { return cudasim_rounded(a + b); }
inline float __fsub_rn(float a, float b) { return cudasim_rounded(a - b); }
inline float __fmul_rn(float a, float b) { return cudasim_rounded(a * b); }
inline float __fdiv_rn(float a, float b) { return cudasim_rounded(a / b); }
inline float __fmaf_rn(float a, float b, float c) { return std::fma(a, b, c); }

#endif  // __CUDACC__
