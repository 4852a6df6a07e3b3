// Thrust calls of the kernel sources, one source for both builds. A call
// names its execution policy through thrust_compat::policy(...):
//   policy()                    the default stream, Thrust's own temporaries
//                               (cudaMalloc and cudaFree on the device);
//   policy(stream)              a stream, Thrust's own temporaries;
//   policy(allocator, stream)   a stream, temporaries from `allocator`
//                               (char* allocate(std::ptrdiff_t),
//                               void deallocate(char*, size_t)), for example
//                               StreamTemporaries.
// Under nvcc these are Thrust's CUDA policies. On the stand-in the algorithm
// runs on Thrust's sequential host back end, and the policy makes what the
// device would do visible to the stand-in: the call is logged (and may be
// failed by injection), its input must lie in device memory, temporaries
// from an allocator are really taken and given back, and a result the host
// receives is copied out and waited for on the policy's stream. Only
// reduce is provided (summing as the device does, cudasim/device_reduce.h);
// add an algorithm here when a kernel source needs it.
//
// The lower-level library's cub::DeviceReduce::Reduce, which asks for no C++
// library beyond the language's runtime, is the toolkit's under nvcc; on the
// stand-in it sums with the same function (below).
#pragma once

#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>

#include <thrust/execution_policy.h>
#include <thrust/reduce.h>

#include "cudasim/cuda_compat.h"
#if !defined(__CUDACC__)
#include "cudasim/device_reduce.h"
#endif

namespace thrust_compat {

// Temporaries from the stream-ordered allocator, out of `pool` (or the
// device's current pool when null): with the pool keeping its memory (a
// release threshold) they are cached, and neither taking nor giving them
// back synchronises the device.
struct StreamTemporaries {
  using value_type = char;
  cudaStream_t stream = nullptr;
  cudaMemPool_t pool = nullptr;

  char* allocate(std::ptrdiff_t bytes) {
    void* p = nullptr;
    const cudaError_t e = pool ? cudaMallocFromPoolAsync(&p, size_t(bytes), pool, stream)
                               : cudaMallocAsync(&p, size_t(bytes), stream);
    if (e != cudaSuccess) throw std::bad_alloc();
    return static_cast<char*>(p);
  }
  void deallocate(char* p, size_t) { cudaFreeAsync(p, stream); }
};

#if defined(__CUDACC__)

// The product's host code under nvcc uses nothing of the C++ library (the
// bundle links one of its own), so it calls only device libraries that report
// by result (cub); an exception there is none of theirs.
inline cudaError_t caught_device_error() { return cudaErrorUnknown; }

inline auto policy() { return thrust::device; }
inline auto policy(cudaStream_t stream) { return thrust::cuda::par.on(stream); }
template <typename Allocator>
auto policy(Allocator& allocator, cudaStream_t stream) {
  return thrust::cuda::par(allocator).on(stream);
}

}  // namespace thrust_compat

#include <cub/device/device_reduce.cuh>

#else  // CPU build

}  // namespace thrust_compat

#include <iterator>
#include <thrust/system/cpp/execution_policy.h>
#include <thrust/system/cuda/error.h>
#include <thrust/system/system_error.h>

namespace thrust_compat {

// Thrust's own temporaries.
struct OwnTemporaries {};

template <typename Allocator>
struct Policy : thrust::cpp::execution_policy<Policy<Allocator>> {
  Allocator* allocator = nullptr;
  cudaStream_t stream = nullptr;
};

inline Policy<OwnTemporaries> policy(cudaStream_t stream = nullptr) {
  Policy<OwnTemporaries> p;
  p.stream = stream;
  return p;
}
template <typename Allocator>
Policy<Allocator> policy(Allocator& allocator, cudaStream_t stream) {
  Policy<Allocator> p;
  p.allocator = &allocator;
  p.stream = stream;
  return p;
}

// What Thrust throws when the device fails it: its system error, with the
// CUDA error as the code.
[[noreturn]] inline void throw_device_error(const char* what, cudaError_t error) {
  throw thrust::system_error(int(error), thrust::cuda_category(), what);
}

// The CUDA error of the exception being handled (call it in a catch block):
// a device library's own, so that a fault that poisons the context is known
// as such; cudaErrorUnknown for anything else.
inline cudaError_t caught_device_error() {
  try {
    throw;
  } catch (const thrust::system_error& e) {
    if (e.code().category() == thrust::cuda_category()) return cudaError_t(e.code().value());
  } catch (...) {
  }
  return cudaErrorUnknown;
}

// Found by Thrust's dispatch for the policies above. The sum is taken as
// the device sums (cudasim::device_reduce).
template <typename Allocator, typename InputIt, typename T, typename BinaryOp>
T reduce(Policy<Allocator>& p, InputIt first, InputIt last, T init, BinaryOp op) {
  const auto count = last - first;
  if (count <= 0) return init;  // no launch, no temporaries, as on the device
  const auto* items = thrust::raw_pointer_cast(&*first);
  const void* data = items;
  const size_t bytes = size_t(count) * sizeof(typename std::iterator_traits<InputIt>::value_type);
  const std::string arguments = std::to_string(count) + " elements";
  if constexpr (std::is_same<Allocator, OwnTemporaries>::value) {
    // On the device Thrust takes its temporaries with cudaMalloc and gives
    // them back with cudaFree, and waits for the result: two synchronising
    // allocations and two waits, booked here without being made.
    const cudaError_t e = cudasim::detail::library_call("thrust::reduce", arguments, data, bytes, p.stream, 2, 2);
    if (e != cudaSuccess) throw_device_error("thrust::reduce", e);
    return cudasim::device_reduce(items, size_t(count), init, op);
  } else {
    // The sum and one partial per tile of 4096 elements, as the CUDA back
    // end asks for.
    const size_t temporary_bytes = sizeof(T) * (1 + (size_t(count) + 4095) / 4096);
    char* temporary = p.allocator->allocate(std::ptrdiff_t(temporary_bytes));
    struct GiveBack {
      Allocator& a;
      char* p;
      size_t n;
      ~GiveBack() { a.deallocate(p, n); }
    } give_back{*p.allocator, temporary, temporary_bytes};
    const cudaError_t e = cudasim::detail::library_call("thrust::reduce", arguments, data, bytes, p.stream, 0, 0);
    if (e != cudaSuccess) throw_device_error("thrust::reduce", e);
    const T sum = cudasim::device_reduce(items, size_t(count), init, op);
    std::memcpy(temporary, &sum, sizeof(T));  // where the device leaves it
    T result;
    cudaError_t copied = cudaMemcpyAsync(&result, temporary, sizeof(T), cudaMemcpyDeviceToHost, p.stream);
    if (copied == cudaSuccess) copied = cudaStreamSynchronize(p.stream);
    if (copied != cudaSuccess) throw_device_error("thrust::reduce", copied);
    return result;
  }
}

}  // namespace thrust_compat

namespace cub {

// The device library's reduction as the kernel sources call it. Without
// temporaries it only says how many bytes of them it needs (one partial per
// tile of 4096 items); with them it is logged as a device library call
// (input checked to lie in device memory, failures injectable), writes the
// sum to `out` in device memory and, like the device, reports a failure by
// its result and does not wait.
struct DeviceReduce {
  template <typename InputIt, typename OutputIt, typename NumItems, typename BinaryOp, typename T>
  static cudaError_t Reduce(void* temporaries, size_t& temporary_bytes, InputIt in, OutputIt out, NumItems count,
                            BinaryOp op, T init, cudaStream_t stream = nullptr) {
    const size_t items = count > 0 ? size_t(count) : 0;
    if (!temporaries) {
      temporary_bytes = sizeof(T) * ((items + 4095) / 4096);
      return cudaSuccess;
    }
    const char* function = "cub::DeviceReduce::Reduce";
    cudasim::detail::check_kernel_pointer(function, 0, temporaries);
    cudasim::detail::check_kernel_pointer(function, 3, thrust::raw_pointer_cast(&*out));
    using Item = typename std::iterator_traits<InputIt>::value_type;
    const Item* data = items ? thrust::raw_pointer_cast(&*in) : nullptr;
    const size_t bytes = items * sizeof(Item);
    const cudaError_t e = cudasim::detail::library_call(function, std::to_string(items) + " elements", data, bytes,
                                                        stream, 0, 0);
    // library_call has run the stream's earlier work, so the sum is in order.
    if (e == cudaSuccess) *out = cudasim::device_reduce(data, items, init, op);
    return e;
  }
};

}  // namespace cub

#endif  // __CUDACC__
