// Kernel launches of the CPU build: CUDA_LAUNCH expands to cudasim::launch,
// which checks the configuration like the CUDA runtime, records the launch
// and runs every thread of the grid on the host before it returns (one
// default stream: each kernel sees the whole result of the one before).
#pragma once

#include <cuda_runtime_api.h>

#include <tuple>
#include <type_traits>
#include <utility>

#define CUDASIM_API __attribute__((visibility("default")))

// Built-in index variables, per host thread; the launcher sets them before
// each simulated thread runs.
extern CUDASIM_API thread_local uint3 threadIdx;
extern CUDASIM_API thread_local uint3 blockIdx;
extern CUDASIM_API thread_local uint3 blockDim;
extern CUDASIM_API thread_local uint3 gridDim;

namespace cudasim {
namespace detail {

using ThreadBody = void (*)(void* context);

// Checks and records the launch, then runs body once per thread unless the
// configuration is refused or a failure is injected.
CUDASIM_API void run_grid(const char* name, const void* kernel, dim3 grid, dim3 block,
                          ThreadBody body, void* context);
CUDASIM_API bool register_cooperative(const void* kernel);
CUDASIM_API void syncthreads();
// Notes a kernel pointer argument that lies outside every live allocation.
CUDASIM_API void check_kernel_pointer(const char* name, int index, const void* pointer);

template <typename T>
inline void check_argument(const char* name, int index, const T& value) {
  if constexpr (std::is_pointer<T>::value) check_kernel_pointer(name, index, value);
}

}  // namespace detail

template <typename... Params, typename... Args>
void launch(const char* name, void (*kernel)(Params...), dim3 grid, dim3 block, Args&&... args) {
  static_assert(sizeof...(Params) == sizeof...(Args), "kernel launched with the wrong argument count");
  // Arguments are converted to the parameter types at the launch, as the
  // runtime copies them into the parameter buffer.
  using Frame = std::tuple<void (*)(Params...), std::decay_t<Params>...>;
  Frame frame(kernel, static_cast<std::decay_t<Params>>(std::forward<Args>(args))...);
  int index = 0;
  std::apply([&](auto&, const auto&... values) { (detail::check_argument(name, index++, values), ...); },
             frame);
  detail::run_grid(name, reinterpret_cast<const void*>(kernel), grid, block,
                   [](void* context) {
                     Frame& f = *static_cast<Frame*>(context);
                     std::apply([](auto fn, auto... values) { fn(values...); }, f);
                   },
                   &frame);
}

}  // namespace cudasim
