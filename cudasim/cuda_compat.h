// The one header every kernel source includes. Under nvcc it is the real CUDA
// runtime; under g++ the kernels compile as ordinary C++ against the CPU
// stand-in (libcudasim), so every road of the pipeline runs on machines
// without a GPU.
#pragma once

#if defined(__CUDACC__)

#include <cuda_runtime.h>

// Every launch of the project goes through this one macro.
#define CUDA_LAUNCH(kernel, grid, block, ...) kernel<<<(grid), (block)>>>(__VA_ARGS__)

// Kernels that rely on __syncthreads are marked for the CPU build, where their
// blocks run with cooperative threads; the device build needs nothing.
#define CUDASIM_COOPERATIVE_KERNEL(kernel)

#else  // CPU build

// The toolkit's runtime header gives the types (cudaError_t, dim3,
// cudaDeviceProp, ...) and defines the qualifiers as empty for a host
// compiler; libcudasim implements the runtime functions it declares.
#include <cuda_runtime_api.h>

#include <math.h>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "cudasim/cudasim_launch.h"

// Shared memory belongs to one block. The threads of a cooperative block run
// as fibers on one host thread and a host thread runs one block at a time, so
// per-host-thread storage is exactly per-block storage.
#undef __shared__
#define __shared__ static thread_local

#define CUDA_LAUNCH(kernel, grid, block, ...) \
  ::cudasim::launch(#kernel, kernel, dim3(grid), dim3(block), ##__VA_ARGS__)

#define CUDASIM_COOPERATIVE_KERNEL(kernel)                                      \
  static const bool cudasim_cooperative_##kernel##_registered =                 \
      ::cudasim::detail::register_cooperative(reinterpret_cast<const void*>(&kernel))

inline void __syncthreads() { ::cudasim::detail::syncthreads(); }

// Single-precision device intrinsics that <cmath> lacks on the host. The
// intrinsics map to their exactly rounded counterparts.
inline float __saturatef(float x) { return x >= 1.0f ? 1.0f : (x > 0.0f ? x : 0.0f); }
inline float rsqrtf(float x) { return 1.0f / sqrtf(x); }
inline float rcbrtf(float x) { return 1.0f / cbrtf(x); }
inline float __expf(float x) { return expf(x); }
inline float __exp10f(float x) { return powf(10.0f, x); }
inline float __logf(float x) { return logf(x); }
inline float __log2f(float x) { return log2f(x); }
inline float __log10f(float x) { return log10f(x); }
inline float __powf(float x, float y) { return powf(x, y); }
inline float __sinf(float x) { return sinf(x); }
inline float __cosf(float x) { return cosf(x); }
inline float __tanf(float x) { return tanf(x); }
inline float __fdividef(float x, float y) { return x / y; }
inline float __frcp_rn(float x) { return 1.0f / x; }
inline float __fsqrt_rn(float x) { return sqrtf(x); }
inline float __fadd_rn(float x, float y) { return x + y; }
inline float __fsub_rn(float x, float y) { return x - y; }
inline float __fmul_rn(float x, float y) { return x * y; }
inline float __fdiv_rn(float x, float y) { return x / y; }
inline float __fmaf_rn(float x, float y, float z) { return fmaf(x, y, z); }
inline double __dadd_rn(double x, double y) { return x + y; }
inline double __dmul_rn(double x, double y) { return x * y; }
inline float __int_as_float(int i) { float f; std::memcpy(&f, &i, sizeof f); return f; }
inline int __float_as_int(float f) { int i; std::memcpy(&i, &f, sizeof i); return i; }
inline float __uint_as_float(unsigned u) { float f; std::memcpy(&f, &u, sizeof f); return f; }
inline unsigned __float_as_uint(float f) { unsigned u; std::memcpy(&u, &f, sizeof u); return u; }
inline int __float2int_rn(float x) { return static_cast<int>(nearbyintf(x)); }
inline int __float2int_rz(float x) { return static_cast<int>(x); }
inline int __float2int_rd(float x) { return static_cast<int>(floorf(x)); }
inline int __float2int_ru(float x) { return static_cast<int>(ceilf(x)); }
inline float __int2float_rn(int i) { return static_cast<float>(i); }
inline float norm3df(float a, float b, float c) { return sqrtf(a * a + b * b + c * c); }
inline float rnorm3df(float a, float b, float c) { return 1.0f / norm3df(a, b, c); }
inline float sinpif(float x) { return static_cast<float>(std::sin(3.14159265358979323846 * x)); }
inline float cospif(float x) { return static_cast<float>(std::cos(3.14159265358979323846 * x)); }

// Device min/max overloads.
inline int min(int a, int b) { return a < b ? a : b; }
inline int max(int a, int b) { return a > b ? a : b; }
inline unsigned min(unsigned a, unsigned b) { return a < b ? a : b; }
inline unsigned max(unsigned a, unsigned b) { return a > b ? a : b; }
inline float min(float a, float b) { return fminf(a, b); }
inline float max(float a, float b) { return fmaxf(a, b); }

template <typename T>
inline T __ldg(const T* p) { return *p; }

// Atomics: blocks run concurrently on several host threads.
inline float atomicAdd(float* address, float value) {
  float old;
  __atomic_load(address, &old, __ATOMIC_RELAXED);
  float desired;
  do {
    desired = old + value;
  } while (!__atomic_compare_exchange(address, &old, &desired, false, __ATOMIC_SEQ_CST,
                                      __ATOMIC_RELAXED));
  return old;
}
inline int atomicAdd(int* address, int value) { return __atomic_fetch_add(address, value, __ATOMIC_SEQ_CST); }
inline unsigned atomicAdd(unsigned* address, unsigned value) {
  return __atomic_fetch_add(address, value, __ATOMIC_SEQ_CST);
}
inline int atomicMax(int* address, int value) {
  int old = __atomic_load_n(address, __ATOMIC_RELAXED);
  while (old < value && !__atomic_compare_exchange_n(address, &old, value, false, __ATOMIC_SEQ_CST,
                                                     __ATOMIC_RELAXED)) {
  }
  return old;
}
inline int atomicMin(int* address, int value) {
  int old = __atomic_load_n(address, __ATOMIC_RELAXED);
  while (old > value && !__atomic_compare_exchange_n(address, &old, value, false, __ATOMIC_SEQ_CST,
                                                     __ATOMIC_RELAXED)) {
  }
  return old;
}

#endif  // __CUDACC__
