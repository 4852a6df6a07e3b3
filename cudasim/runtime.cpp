// The CUDA runtime functions the project calls, with the toolkit's own C
// signatures, so that host code compiled once links either the real runtime
// or this stand-in. Device memory is host memory with guard zones.
#include "cudasim/cudasim_state.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <thread>

namespace cudasim {
namespace detail {

State& state() {
  static State* s = new State;  // never destroyed: threads may still run at exit
  return *s;
}

namespace {

constexpr uint32_t kSentinelBits = 0x7FC0DEADu;
constexpr size_t kGuardBytes = 256;
constexpr unsigned char kGuardByte = 0xA5;

struct Allocation {
  unsigned char* block;  // guard, payload, guard
  size_t size;
};

// Keyed by the payload address; `freed` remembers released bases so a second
// cudaFree is told apart from a pointer that never was an allocation.
std::map<uintptr_t, Allocation>& allocations() {
  static auto* m = new std::map<uintptr_t, Allocation>;
  return *m;
}
std::set<uintptr_t>& freed() {
  static auto* s = new std::set<uintptr_t>;
  return *s;
}
AllocationStats& stats() {
  static auto* s = new AllocationStats;
  return *s;
}
std::vector<std::string>& violation_list() {
  static auto* v = new std::vector<std::string>;
  return *v;
}

thread_local cudaError_t tls_last_error = cudaSuccess;
thread_local int tls_device = 0;

bool guards_intact(const Allocation& a) {
  const unsigned char* tail = a.block + kGuardBytes + a.size;
  for (size_t i = 0; i < kGuardBytes; ++i)
    if (a.block[i] != kGuardByte || tail[i] != kGuardByte) return false;
  return true;
}

// Caller holds the state mutex.
const Allocation* find_locked(const void* p, size_t bytes) {
  auto& m = allocations();
  uintptr_t u = reinterpret_cast<uintptr_t>(p);
  auto it = m.upper_bound(u);
  if (it == m.begin()) return nullptr;
  --it;
  if (u < it->first || bytes > it->second.size || u - it->first > it->second.size - bytes) return nullptr;
  return &it->second;
}

std::string pointer_text(const void* p) {
  std::ostringstream s;
  s << p;
  return s.str();
}

// Logs the call, applies injected failures and records the result as the
// thread's last error.
template <typename F>
cudaError_t api_call(const char* function, const std::string& arguments, F&& body,
                     const void* const* pointer = nullptr, const void* source = nullptr) {
  cudaError_t result = injected_failure(function);
  if (result == cudaSuccess) result = body();
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().calls.push_back(Call{function, arguments, result, pointer ? *pointer : nullptr, source});
  }
  if (result != cudaSuccess) set_last_error(result);
  return result;
}

}  // namespace

cudaError_t injected_failure(const std::string& function) {
  std::lock_guard<std::mutex> lock(state().mutex);
  cudaError_t result = cudaSuccess;
  for (auto& f : state().failures) {
    if (f.function != function) continue;
    long n = ++f.seen;
    if (n >= f.first && (f.last < 0 || n <= f.last) && result == cudaSuccess) result = f.error;
  }
  return result;
}

void note_violation(const std::string& text) {
  std::lock_guard<std::mutex> lock(state().mutex);
  ++stats().bad_pointers;
  violation_list().push_back(text);
}

// As in the runtime, the latest error wins until cudaGetLastError reads it.
void set_last_error(cudaError_t error) { tls_last_error = error; }

void check_kernel_pointer(const char* name, int index, const void* pointer) {
  // A null argument is legal as long as the kernel leaves it alone; on the
  // host a dereference would fault at once.
  if (!pointer) return;
  bool ok;
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    ok = find_locked(pointer, 1) != nullptr;
  }
  if (!ok)
    note_violation(std::string(name) + ": argument " + std::to_string(index) + " (" + pointer_text(pointer) +
                   ") is outside every device allocation");
}

}  // namespace detail

using namespace detail;

void set_devices(const std::vector<Device>& list) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().devices = list;
}

std::vector<Device> devices() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return state().devices;
}

std::vector<Call> call_log() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return state().calls;
}

void clear_call_log() {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().calls.clear();
}

std::vector<Launch> launch_trace() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return state().launches;
}

void clear_launch_trace() {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().launches.clear();
}

void fail_call(const std::string& function, int nth, cudaError_t error, int count) {
  std::lock_guard<std::mutex> lock(state().mutex);
  long first = nth < 1 ? 1 : nth;
  state().failures.push_back({function, first, count < 0 ? -1 : first + count - 1, 0, error});
}

void clear_failures() {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().failures.clear();
}

AllocationStats allocation_stats() {
  std::lock_guard<std::mutex> lock(state().mutex);
  AllocationStats s = stats();
  s.live = allocations().size();
  s.live_bytes = 0;
  for (auto& a : allocations()) s.live_bytes += a.second.size;
  return s;
}

std::vector<std::string> violations() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return violation_list();
}

bool is_device_range(const void* p, size_t bytes) {
  std::lock_guard<std::mutex> lock(state().mutex);
  return find_locked(p, bytes ? bytes : 1) != nullptr;
}

size_t check_guards() {
  std::lock_guard<std::mutex> lock(state().mutex);
  size_t n = 0;
  for (auto& a : allocations())
    if (!guards_intact(a.second)) ++n;
  return n;
}

float nan_sentinel() {
  float f;
  std::memcpy(&f, &kSentinelBits, sizeof f);
  return f;
}

bool is_nan_sentinel(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits == kSentinelBits;
}

void set_worker_threads(int count) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().worker_threads = count < 1 ? 1 : count;
}

void reset() {
  std::lock_guard<std::mutex> lock(state().mutex);
  State& s = state();
  s.devices = {Device{}};
  s.calls.clear();
  s.launches.clear();
  s.failures.clear();
  unsigned hw = std::thread::hardware_concurrency();
  s.worker_threads = hw == 0 ? 1 : (hw < 4 ? int(hw) : 4);
  for (auto& a : allocations()) std::free(a.second.block);
  allocations().clear();
  freed().clear();
  stats() = AllocationStats{};
  violation_list().clear();
  tls_last_error = cudaSuccess;
  tls_device = 0;
}

}  // namespace cudasim

using namespace cudasim;
using namespace cudasim::detail;

namespace {

int device_count() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return int(state().devices.size());
}

bool device_exists(int device, Device* out = nullptr) {
  std::lock_guard<std::mutex> lock(state().mutex);
  if (device < 0 || device >= int(state().devices.size())) return false;
  if (out) *out = state().devices[size_t(device)];
  return true;
}

int attribute_of(const Device& d, int attr) {
  auto it = d.attributes.find(attr);
  if (it != d.attributes.end()) return it->second;
  switch (attr) {
    case cudaDevAttrComputeCapabilityMajor: return d.major;
    case cudaDevAttrComputeCapabilityMinor: return d.minor;
    case cudaDevAttrComputeMode: return d.computeMode;
    case cudaDevAttrMultiProcessorCount: return 40;
    case cudaDevAttrMaxThreadsPerBlock: return 1024;
    case cudaDevAttrMaxBlockDimX: return 1024;
    case cudaDevAttrMaxBlockDimY: return 1024;
    case cudaDevAttrMaxBlockDimZ: return 64;
    case cudaDevAttrMaxGridDimX: return 2147483647;
    case cudaDevAttrMaxGridDimY: return 65535;
    case cudaDevAttrMaxGridDimZ: return 65535;
    case cudaDevAttrWarpSize: return 32;
    case cudaDevAttrMaxSharedMemoryPerBlock: return 49152;
    case cudaDevAttrTotalConstantMemory: return 65536;
    case cudaDevAttrMaxRegistersPerBlock: return 65536;
    case cudaDevAttrClockRate: return 1500000;
    case cudaDevAttrKernelExecTimeout: return 0;
    case cudaDevAttrIntegrated: return 0;
    case cudaDevAttrConcurrentKernels: return 1;
    case cudaDevAttrUnifiedAddressing: return 1;
    case cudaDevAttrMaxTexture1DWidth: return 131072;
    default: return 0;
  }
}

std::string args_text(std::initializer_list<std::string> parts) {
  std::string s;
  for (auto& p : parts) {
    if (!s.empty()) s += ", ";
    s += p;
  }
  return s;
}

}  // namespace

extern "C" {

cudaError_t CUDARTAPI cudaGetDeviceCount(int* count) {
  return api_call("cudaGetDeviceCount", "", [&] {
    if (!count) return cudaErrorInvalidValue;
    *count = device_count();
    return *count == 0 ? cudaErrorNoDevice : cudaSuccess;
  });
}

cudaError_t CUDARTAPI cudaGetDevice(int* device) {
  return api_call("cudaGetDevice", "", [&] {
    if (!device) return cudaErrorInvalidValue;
    if (device_count() == 0) return cudaErrorNoDevice;
    *device = tls_device;
    return cudaSuccess;
  });
}

cudaError_t CUDARTAPI cudaSetDevice(int device) {
  return api_call("cudaSetDevice", std::to_string(device), [&] {
    if (device_count() == 0) return cudaErrorNoDevice;
    if (!device_exists(device)) return cudaErrorInvalidDevice;
    Device d;
    device_exists(device, &d);
    if (attribute_of(d, cudaDevAttrComputeMode) == cudaComputeModeProhibited) return cudaErrorDevicesUnavailable;
    tls_device = device;
    return cudaSuccess;
  });
}

cudaError_t CUDARTAPI cudaDeviceGetAttribute(int* value, enum cudaDeviceAttr attr, int device) {
  return api_call("cudaDeviceGetAttribute", args_text({std::to_string(int(attr)), std::to_string(device)}), [&] {
    Device d;
    if (!value) return cudaErrorInvalidValue;
    if (device_count() == 0) return cudaErrorNoDevice;
    if (!device_exists(device, &d)) return cudaErrorInvalidDevice;
    *value = attribute_of(d, int(attr));
    return cudaSuccess;
  });
}

cudaError_t CUDARTAPI cudaFuncGetAttributes(struct cudaFuncAttributes* attr, const void* func) {
  return api_call("cudaFuncGetAttributes", pointer_text(func), [&] {
    Device d;
    if (!attr) return cudaErrorInvalidValue;
    if (device_count() == 0) return cudaErrorNoDevice;
    if (!func) return cudaErrorInvalidDeviceFunction;
    device_exists(tls_device, &d);
    if (!d.hasCode) return cudaErrorNoKernelImageForDevice;
    *attr = cudaFuncAttributes{};
    attr->maxThreadsPerBlock = 1024;
    attr->binaryVersion = d.major * 10 + d.minor;
    return cudaSuccess;
  });
}

cudaError_t CUDARTAPI cudaMalloc(void** devPtr, size_t size) {
  return api_call("cudaMalloc", std::to_string(size), [&] {
    if (!devPtr) return cudaErrorInvalidValue;
    *devPtr = nullptr;
    if (device_count() == 0) return cudaErrorNoDevice;
    if (size == 0) return cudaSuccess;
    Device d;
    device_exists(tls_device, &d);
    std::lock_guard<std::mutex> lock(state().mutex);
    size_t live = 0;
    for (auto& a : allocations()) live += a.second.size;
    if (size > d.totalGlobalMem || live > d.totalGlobalMem - size) return cudaErrorMemoryAllocation;
    auto* block = static_cast<unsigned char*>(std::malloc(size + 2 * kGuardBytes));
    if (!block) return cudaErrorMemoryAllocation;
    std::memset(block, kGuardByte, kGuardBytes);
    std::memset(block + kGuardBytes + size, kGuardByte, kGuardBytes);
    unsigned char* payload = block + kGuardBytes;
    size_t words = size / 4;
    for (size_t i = 0; i < words; ++i) std::memcpy(payload + 4 * i, &kSentinelBits, 4);
    std::memcpy(payload + 4 * words, &kSentinelBits, size - 4 * words);
    uintptr_t key = reinterpret_cast<uintptr_t>(payload);
    allocations()[key] = Allocation{block, size};
    freed().erase(key);
    ++stats().allocations;
    *devPtr = payload;
    return cudaSuccess;
  }, devPtr ? const_cast<const void* const*>(devPtr) : nullptr);
}

cudaError_t CUDARTAPI cudaFree(void* devPtr) {
  const void* freed_pointer = devPtr;
  return api_call("cudaFree", pointer_text(devPtr), [&] {
    if (!devPtr) return cudaSuccess;
    std::lock_guard<std::mutex> lock(state().mutex);
    uintptr_t key = reinterpret_cast<uintptr_t>(devPtr);
    auto it = allocations().find(key);
    if (it == allocations().end()) {
      if (freed().count(key)) {
        ++stats().double_frees;
        violation_list().push_back("cudaFree: " + pointer_text(devPtr) + " freed twice");
      } else {
        ++stats().invalid_frees;
        violation_list().push_back("cudaFree: " + pointer_text(devPtr) + " is not an allocation");
      }
      return cudaErrorInvalidValue;
    }
    if (!guards_intact(it->second)) {
      ++stats().guard_overruns;
      violation_list().push_back("cudaFree: writes outside the allocation at " + pointer_text(devPtr));
    }
    std::free(it->second.block);
    allocations().erase(it);
    freed().insert(key);
    ++stats().frees;
    return cudaSuccess;
  }, &freed_pointer);
}

cudaError_t CUDARTAPI cudaMemcpy(void* dst, const void* src, size_t count, enum cudaMemcpyKind kind) {
  const void* copy_destination = dst;
  return api_call("cudaMemcpy", args_text({std::to_string(count), std::to_string(int(kind))}), [&] {
    if (count == 0) return cudaSuccess;
    if (!dst || !src) return cudaErrorInvalidValue;
    bool dst_device = is_device_range(dst, count);
    bool src_device = is_device_range(src, count);
    bool ok = true;
    switch (kind) {
      case cudaMemcpyHostToDevice: ok = dst_device; break;
      case cudaMemcpyDeviceToHost: ok = src_device; break;
      case cudaMemcpyDeviceToDevice: ok = dst_device && src_device; break;
      case cudaMemcpyHostToHost: break;
      case cudaMemcpyDefault:
        // Unified addressing: a side that starts in device memory must stay in it.
        ok = (dst_device || !is_device_range(dst, 1)) && (src_device || !is_device_range(src, 1));
        break;
      default: return cudaErrorInvalidMemcpyDirection;
    }
    if (!ok) {
      note_violation("cudaMemcpy: " + std::to_string(count) + " bytes of kind " + std::to_string(int(kind)) +
                     " outside the device allocations");
      return cudaErrorInvalidValue;
    }
    std::memmove(dst, src, count);
    return cudaSuccess;
  }, &copy_destination, src);
}

cudaError_t CUDARTAPI cudaGetLastError(void) {
  cudaError_t e = tls_last_error;
  tls_last_error = cudaSuccess;
  return e;
}

}  // extern "C"
