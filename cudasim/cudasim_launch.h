// Kernel launches of the CPU build: CUDA_LAUNCH and CUDA_LAUNCH_STREAM expand
// to cudasim::launch_on, which checks the configuration and the stream like
// the CUDA runtime, records the launch with its arguments and queues the grid
// on its stream; the grid runs, blocks and threads in a shuffled order, when
// the host next waits for that stream.
#pragma once

#include <cuda_runtime_api.h>

#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#define CUDASIM_API __attribute__((visibility("default")))

// Built-in index variables, per host thread; the launcher sets them before
// each simulated thread runs.
extern CUDASIM_API thread_local uint3 threadIdx;
extern CUDASIM_API thread_local uint3 blockIdx;
extern CUDASIM_API thread_local uint3 blockDim;
extern CUDASIM_API thread_local uint3 gridDim;

namespace cudasim {

// One argument of a recorded launch (cudasim::launch_trace()).
struct CUDASIM_API LaunchArgument {
  bool is_pointer = false;
  bool is_number = false;  // an integer, floating-point or bool argument; structures are neither
  const void* pointer = nullptr;
  double number = 0.0;
  // The value as the parameter buffer holds it, and where it may start there.
  std::vector<unsigned char> bytes;
  size_t alignment = 1;
};

namespace detail {

using ThreadBody = void (*)(void* context);

// Checks and records the launch, then queues the grid on the stream (body
// runs once per thread, on `context`, which the queue keeps alive) unless
// the configuration or the stream is refused or a failure is injected.
CUDASIM_API void run_grid(const char* name, const void* kernel, dim3 grid, dim3 block, size_t shared,
                          cudaStream_t stream, std::vector<LaunchArgument>&& arguments, ThreadBody body,
                          std::shared_ptr<void> context);
CUDASIM_API bool register_cooperative(const void* kernel);
CUDASIM_API void syncthreads();
// Notes a kernel pointer argument that lies outside every live allocation.
CUDASIM_API void check_kernel_pointer(const char* name, int index, const void* pointer);

// A device library's call that the stand-in runs on the host (a Thrust
// algorithm): logged like a runtime call, with its injected failures, its
// stream checked, the `bytes` it reads at `data` checked against the live
// allocations, and what it costs the device's schedule.
CUDASIM_API cudaError_t library_call(const char* function, const std::string& arguments, const void* data,
                                     size_t bytes, cudaStream_t stream, int sync_allocs, int host_waits);

template <typename T>
inline void check_argument(const char* name, int index, const T& value, std::vector<LaunchArgument>& list) {
  LaunchArgument a;
  if constexpr (std::is_pointer<T>::value) {
    check_kernel_pointer(name, index, value);
    a.is_pointer = true;
    a.pointer = value;
  } else if constexpr (std::is_arithmetic<T>::value) {
    a.is_number = true;
    a.number = double(value);
  }
  const unsigned char* raw = reinterpret_cast<const unsigned char*>(&value);
  a.bytes.assign(raw, raw + sizeof(T));
  a.alignment = alignof(T);
  list.push_back(a);
}

}  // namespace detail

template <typename... Params, typename... Args>
void launch_on(const char* name, void (*kernel)(Params...), dim3 grid, dim3 block, size_t shared,
               cudaStream_t stream, Args&&... args) {
  static_assert(sizeof...(Params) == sizeof...(Args), "kernel launched with the wrong argument count");
  // Arguments are converted to the parameter types at the launch, as the
  // runtime copies them into the parameter buffer.
  using Frame = std::tuple<void (*)(Params...), std::decay_t<Params>...>;
  auto frame = std::make_shared<Frame>(kernel, static_cast<std::decay_t<Params>>(std::forward<Args>(args))...);
  std::vector<LaunchArgument> arguments;
  int index = 0;
  std::apply([&](auto&, const auto&... values) { (detail::check_argument(name, index++, values, arguments), ...); },
             *frame);
  detail::run_grid(name, reinterpret_cast<const void*>(kernel), grid, block, shared, stream, std::move(arguments),
                   [](void* context) {
                     Frame& f = *static_cast<Frame*>(context);
                     std::apply([](auto fn, auto... values) { fn(values...); }, f);
                   },
                   std::move(frame));
}

template <typename... Params, typename... Args>
void launch(const char* name, void (*kernel)(Params...), dim3 grid, dim3 block, Args&&... args) {
  launch_on(name, kernel, grid, block, 0, nullptr, std::forward<Args>(args)...);
}

}  // namespace cudasim
