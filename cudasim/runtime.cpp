// The CUDA runtime functions the project calls, with the toolkit's own C
// signatures, so that host code compiled once links either the real runtime
// or this stand-in. Device memory is host memory with guard zones.
#include "cudasim/cudasim_state.h"
#include "cudasim/kept.h"
#include "cudasim/memory_pools.h"

#include <cuda.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <sstream>
#include <thread>
#include <type_traits>

namespace cudasim {
namespace detail {

State& state() {
  static State* s = kept(new State);  // never destroyed: threads may still run at exit
  return *s;
}

namespace {

constexpr uint32_t kSentinelBits = 0x7FC0DEADu;
constexpr size_t kGuardBytes = 256;
constexpr unsigned char kGuardByte = 0xA5;

struct Allocation {
  unsigned char* block;  // guard, payload, guard
  size_t size;
  bool stream_ordered;   // from a pool (cudaMallocAsync too): freeing it does not synchronise
  int device;            // current when allocated
  cudaMemPool_t pool;    // what it came from; null for cudaMalloc
  // The latest use in stream order: the stream (legacy: null) and the
  // sequence number of that work there; none yet for cudaMalloc memory.
  bool used = false;
  cudaStream_t last_stream = nullptr;
  uint64_t last_sequence = 0;
};

// Blocks whose stream-ordered free is queued: freed when the stream gets
// there (or by reset()).
std::set<unsigned char*>& pending_frees() {
  static auto* s = kept(new std::set<unsigned char*>);
  return *s;
}

bool findings_fatal = true;

// Keyed by the payload address.
std::map<uintptr_t, Allocation>& allocations() {
  static auto* m = kept(new std::map<uintptr_t, Allocation>);
  return *m;
}

// Released bases, so that a second free is told apart from a pointer that
// never was an allocation; the oldest are forgotten beyond the log limit
// (a very late second free then counts as an invalid free).
struct FreedMemory {
  std::map<uintptr_t, uint64_t> when;              // base -> sequence number of its latest free
  std::deque<std::pair<uintptr_t, uint64_t>> order;
  uint64_t next = 0;

  void remember(uintptr_t base, size_t limit) {
    when[base] = next;
    order.emplace_back(base, next++);
    while (order.size() > limit) {
      auto it = when.find(order.front().first);
      if (it != when.end() && it->second == order.front().second) when.erase(it);
      order.pop_front();
    }
  }
  void forget(uintptr_t base) { when.erase(base); }
  bool contains(uintptr_t base) const { return when.count(base) != 0; }
  void clear() { *this = FreedMemory{}; }
};
FreedMemory& freed() {
  static auto* f = kept(new FreedMemory);
  return *f;
}

AllocationStats& stats() {
  static auto* s = kept(new AllocationStats);
  return *s;
}

// The size of `d`'s memory: its totalGlobalMem, capped by
// CUDASIM_DEVICE_MEMORY_MB (MiB, read once per process) when that is set,
// so a whole process, a host that loads the test bundle included, runs on a
// small card.
size_t device_memory_size(const Device& d) {
  static const size_t capped = [] {
    const char* text = std::getenv("CUDASIM_DEVICE_MEMORY_MB");
    if (!text || !*text) return SIZE_MAX;
    char* end = nullptr;
    const double mb = std::strtod(text, &end);
    if (*end != '\0' || !(mb >= 0.0) || mb >= double(SIZE_MAX >> 20)) {
      std::fprintf(stderr, "cudasim: CUDASIM_DEVICE_MEMORY_MB=%s is not a size in MiB\n", text);
      std::abort();
    }
    return size_t(mb * double(size_t(1) << 20));
  }();
  return d.totalGlobalMem < capped ? d.totalGlobalMem : capped;
}

std::deque<std::string>& violation_list() {
  static auto* v = kept(new std::deque<std::string>);
  return *v;
}

// Caller holds the state mutex.
void add_violation(std::string text) {
  size_t dropped = 0;
  push_bounded(violation_list(), std::move(text), state().log_limit, dropped);
}

thread_local cudaError_t tls_last_error = cudaSuccess;
// The runtime's device of this thread (cudaSetDevice), and the driver's
// current context, which the runtime's calls use when there is one.
thread_local int tls_device = 0;
thread_local CUcontext tls_context = nullptr;

// A context: each device's primary one (what the runtime binds), and those a
// test makes as a host would. Never destroyed, so a handle stays valid.
struct Context {
  int device;
};
std::map<CUcontext, Context>& contexts() {
  static auto* m = kept(new std::map<CUcontext, Context>);
  return *m;
}
std::map<int, CUcontext>& primary_contexts() {
  static auto* m = kept(new std::map<int, CUcontext>);
  return *m;
}
CUcontext new_context(int device) {
  CUcontext c = reinterpret_cast<CUcontext>(kept(new char));
  contexts()[c] = Context{device};
  return c;
}
// Caller holds the state mutex.
CUcontext primary_context(int device) {
  auto it = primary_contexts().find(device);
  if (it != primary_contexts().end()) return it->second;
  return primary_contexts()[device] = new_context(device);
}

}  // namespace

int current_device() {
  if (!tls_context) return tls_device;
  std::lock_guard<std::mutex> lock(state().mutex);
  auto it = contexts().find(tls_context);
  return it == contexts().end() ? tls_device : it->second.device;
}

namespace {

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

constexpr int kNoDevice = -1;

bool is_synchronisation(const char* function) {
  return std::strcmp(function, "cudaStreamSynchronize") == 0 || std::strcmp(function, "cudaDeviceSynchronize") == 0;
}

// A call that needs a context, on a thread with none current, makes the
// primary context of the thread's runtime device current, and leaves it so,
// as the runtime does when it initialises (the host's thread gets a context
// it never asked for).
void bind_primary_context_if_none(bool needs_context) {
  if (!needs_context || tls_context) return;
  std::lock_guard<std::mutex> lock(state().mutex);
  if (tls_device >= 0 && size_t(tls_device) < state().devices.size()) tls_context = primary_context(tls_device);
}

// Runs and forgets the first hook set for `function`, outside the lock.
void run_hook(const char* function) {
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    auto& hooks = state().hooks;
    for (auto it = hooks.begin(); it != hooks.end(); ++it)
      if (it->first == function) {
        hook = std::move(it->second);
        hooks.erase(it);
        break;
      }
  }
  if (hook) hook();
}

// Logs the call, applies injected failures and records the result as the
// thread's last error. `device` is the device the call works on (kNoDevice:
// the thread's own state); unless the call needs no context (a property
// query), it fails with the device's sticky error once the device is lost,
// and an injected sticky error loses the device. A body taking the Call
// fills in what the call did.
template <typename F>
cudaError_t api_call_on(int device, bool needs_context, const char* function, const std::string& arguments,
                        F&& body) {
  run_hook(function);
  Call call;
  call.function = function;
  call.arguments = arguments;
  call.device = device;
  // cudaSetDevice binds the context of the device it names itself.
  bind_primary_context_if_none(needs_context && device >= 0 && std::strcmp(function, "cudaSetDevice") != 0);
  cudaError_t result = injected_failure(function);
  if (result != cudaSuccess && device >= 0) note_fault(device, result, is_synchronisation(function));
  if (result == cudaSuccess && needs_context && device >= 0) result = lost_error(device);
  if (result == cudaSuccess) {
    if constexpr (std::is_invocable<F, Call&>::value)
      result = body(call);
    else
      result = body();
  }
  call.result = result;
  if (result != cudaSuccess) call.sync_allocs = call.host_waits = 0;
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    State& s = state();
    push_bounded(s.calls, std::move(call), s.log_limit, s.dropped_calls);
  }
  if (result != cudaSuccess) set_last_error(result);
  return result;
}

// A call on the thread's current device.
template <typename F>
cudaError_t api_call(const char* function, const std::string& arguments, F&& body) {
  return api_call_on(current_device(), true, function, arguments, std::forward<F>(body));
}

// A call on a stream's device.
template <typename F>
cudaError_t stream_call(cudaStream_t stream, const char* function, const std::string& arguments, F&& body) {
  return api_call_on(stream_device(stream), true, function, arguments, std::forward<F>(body));
}

}  // namespace

int stream_device(cudaStream_t stream) {
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    auto it = state().streams.find(stream);
    if (it != state().streams.end()) return it->second.device;
  }
  return current_device();
}

// The faults the toolkit's documentation of the error codes (driver_types.h)
// says leave the process's CUDA state unusable until it is relaunched, and
// an uncorrectable ECC error. Kept apart from the pipeline's own list on
// purpose: a code wrong in one is caught by the tests of the other.
bool is_sticky(cudaError_t error, bool synchronisation) {
  switch (error) {
    case cudaErrorIllegalAddress:
    case cudaErrorLaunchFailure:
    case cudaErrorIllegalInstruction:
    case cudaErrorMisalignedAddress:
    case cudaErrorHardwareStackError:
    case cudaErrorInvalidPc:
    case cudaErrorECCUncorrectable:
    case cudaErrorContained:
    case cudaErrorLaunchTimeout:
    case cudaErrorAssert:
    case cudaErrorInvalidAddressSpace:
    case cudaErrorTensorMemoryLeak:
    case cudaErrorMpsClientTerminated:
    case cudaErrorExternalDevice: return true;
    case cudaErrorUnknown: return synchronisation;
    default: return false;
  }
}

void note_fault(int device, cudaError_t error, bool synchronisation) {
  if (device < 0 || !is_sticky(error, synchronisation)) return;
  std::lock_guard<std::mutex> lock(state().mutex);
  state().lost.emplace(device, error);
}

cudaError_t lost_error(int device) {
  std::lock_guard<std::mutex> lock(state().mutex);
  auto it = state().lost.find(device);
  return it == state().lost.end() ? cudaSuccess : it->second;
}

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
  add_violation(text);
}

void strict_finding(const std::string& text) {
  bool fatal;
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    ++stats().strict_findings;
    add_violation(text);
    fatal = findings_fatal;
  }
  if (fatal) {
    std::fprintf(stderr, "cudasim: %s\n", text.c_str());
    std::abort();
  }
}

void track_use(const char* what, const void* pointer, cudaStream_t stream) {
  const cudaStream_t key = stream_key(stream);
  const int device = current_device();
  const uint64_t sequence = next_sequence(key);
  std::string finding;
  cudaStream_t before = nullptr;
  uint64_t before_sequence = 0;
  bool check_order = false;
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    auto& m = allocations();
    const uintptr_t u = reinterpret_cast<uintptr_t>(pointer);
    auto it = m.upper_bound(u);
    if (it == m.begin()) return;
    --it;
    if (u - it->first >= it->second.size) return;  // not device memory: the range checks report it
    Allocation& a = it->second;
    if (a.device != device)
      finding = std::string(what) + ": memory of device " + std::to_string(a.device) + " used while device " +
                std::to_string(device) + " is current";
    if (a.used && a.last_stream != key) {
      check_order = true;
      before = a.last_stream;
      before_sequence = a.last_sequence;
    }
    a.used = true;
    a.last_stream = key;
    a.last_sequence = sequence;
  }
  if (!finding.empty()) strict_finding(finding);
  if (!check_order) return;
  // The legacy default stream and a blocking stream order each other;
  // otherwise the earlier stream's work must have been waited for.
  const bool legacy_and_blocking =
      (before == nullptr && stream_blocking(key)) || (key == nullptr && stream_blocking(before));
  if (legacy_and_blocking || completed(before, before_sequence)) return;
  strict_finding(std::string(what) + ": memory at " + pointer_text(pointer) + " used on stream " + pointer_text(key) +
                 " while its use on stream " + pointer_text(before) + " is not waited for");
}

void check_work_stream(const char* what, cudaStream_t stream) {
  const cudaStream_t key = stream_key(stream);
  const int device = current_device();
  const std::thread::id self = std::this_thread::get_id();
  bool own_streams = false, own = false;
  int stream_device = device;
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    for (const auto& s : state().streams) {
      if (s.first == key) stream_device = s.second.device;
      if (s.second.creator != self) continue;
      own_streams = true;
      own = own || s.first == key;
    }
  }
  if (stream_device != device)
    strict_finding(std::string(what) + ": stream " + pointer_text(key) + " of device " + std::to_string(stream_device) +
                   " used while device " + std::to_string(device) + " is current");
  if (own_streams && !own)
    strict_finding(std::string(what) + ": work on stream " + pointer_text(key) +
                   " from a host thread whose work goes on streams of its own");
}

// As in the runtime, the latest error wins until cudaGetLastError reads it.
void set_last_error(cudaError_t error) { tls_last_error = error; }

bool stream_usable(cudaStream_t stream, const char* function) {
  if (stream == nullptr || stream == cudaStreamLegacy || stream == cudaStreamPerThread) return true;
  std::lock_guard<std::mutex> lock(state().mutex);
  if (state().streams.count(stream)) return true;
  ++stats().bad_streams;
  add_violation(std::string(function) + ": stream " + pointer_text(stream) + " was never created or is destroyed");
  return false;
}

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

cudaError_t library_call(const char* function, const std::string& arguments, const void* data, size_t bytes,
                         cudaStream_t stream, int sync_allocs, int host_waits) {
  return stream_call(stream, function, arguments, [&](Call& call) {
    call.pointer = data;
    call.bytes = bytes;
    call.stream = stream;
    if (!stream_usable(stream, function)) return cudaErrorInvalidResourceHandle;
    if (bytes != 0 && !is_device_range(data, bytes)) {
      note_violation(std::string(function) + ": reads " + std::to_string(bytes) + " bytes outside the device allocations");
      return cudaErrorInvalidValue;
    }
    // The library's kernels run in stream order; the stand-in computes on
    // the host now, after the stream's work.
    check_work_stream(function, stream);
    if (bytes != 0) track_use(function, data, stream);
    enqueue(stream, [] {});
    synchronize_stream(stream);
    call.sync_allocs = sync_allocs;
    call.host_waits = host_waits;
    return cudaSuccess;
  });
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
  return std::vector<Call>(state().calls.begin(), state().calls.end());
}

void clear_call_log() {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().calls.clear();
  state().dropped_calls = 0;
}

std::vector<Launch> launch_trace() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return std::vector<Launch>(state().launches.begin(), state().launches.end());
}

void clear_launch_trace() {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().launches.clear();
  state().dropped_launches = 0;
}

void set_log_limit(size_t entries) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().log_limit = entries;
}

LogSizes log_sizes() {
  std::lock_guard<std::mutex> lock(state().mutex);
  const State& s = state();
  LogSizes l;
  l.calls = s.calls.size();
  l.launches = s.launches.size();
  l.violations = violation_list().size();
  l.freed_addresses = freed().when.size();
  l.dropped_calls = s.dropped_calls;
  l.dropped_launches = s.dropped_launches;
  return l;
}

void fail_call(const std::string& function, int nth, cudaError_t error, int count) {
  std::lock_guard<std::mutex> lock(state().mutex);
  long first = nth < 1 ? 1 : nth;
  state().failures.push_back({function, first, count < 0 ? -1 : first + count - 1, 0, error});
}

void before_next_call(const std::string& function, std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().hooks.emplace_back(function, std::move(hook));
}

void clear_failures() {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().failures.clear();
}

AllocationStats allocation_stats() {
  std::lock_guard<std::mutex> lock(state().mutex);
  AllocationStats s = stats();
  s.live = allocations().size();
  s.live_streams = state().streams.size();
  const PoolCounts pools = pool_counts();
  s.pools_created = pools.created;
  s.pools_destroyed = pools.destroyed;
  s.live_pools = pools.live;
  s.kept_bytes = pools.kept_bytes;
  return s;
}

void reset_peak() {
  std::lock_guard<std::mutex> lock(state().mutex);
  stats().peak_live_bytes = stats().live_bytes;
}

std::vector<std::string> violations() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return std::vector<std::string>(violation_list().begin(), violation_list().end());
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

void set_findings_fatal(bool fatal) {
  std::lock_guard<std::mutex> lock(state().mutex);
  findings_fatal = fatal;
}

void set_worker_threads(int count) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().worker_threads = count < 1 ? 1 : count;
}

void reset() {
  drop_all_work();
  std::lock_guard<std::mutex> lock(state().mutex);
  State& s = state();
  s.devices = {Device{}};
  s.calls.clear();
  s.launches.clear();
  s.log_limit = kDefaultLogLimit;
  s.dropped_calls = s.dropped_launches = 0;
  s.failures.clear();
  s.hooks.clear();
  for (const auto& stream : s.streams) delete reinterpret_cast<char*>(stream.first);
  s.streams.clear();
  s.lost.clear();
  unsigned hw = std::thread::hardware_concurrency();
  s.worker_threads = hw == 0 ? 1 : (hw < 4 ? int(hw) : 4);
  for (auto& a : allocations()) std::free(a.second.block);
  allocations().clear();
  for (unsigned char* block : pending_frees()) std::free(block);
  pending_frees().clear();
  findings_fatal = true;
  freed().clear();
  forget_pools();
  stats() = AllocationStats{};
  violation_list().clear();
  tls_last_error = cudaSuccess;
  tls_device = 0;
  tls_context = nullptr;
  primary_contexts().clear();  // the handles stay valid; the devices get new ones
}

bool has_primary_context(int device) {
  std::lock_guard<std::mutex> lock(state().mutex);
  return primary_contexts().count(device) != 0;
}

void* create_context(int device) {
  std::lock_guard<std::mutex> lock(state().mutex);
  return new_context(device);
}

void* current_context() { return tls_context; }

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
    case cudaDevAttrMemoryPoolsSupported: return 1;
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

std::string stream_text(cudaStream_t stream) { return pointer_text(stream); }

// cudaMalloc (no pool) and the pools' allocations: host memory framed by
// guard zones and filled with the NaN sentinel, within the device's memory
// (the current one's, or the pool's), which a pool may already hold for it.
cudaError_t allocate(void** devPtr, size_t size, cudaMemPool_t pool, Call& call) {
  call.bytes = size;
  if (!devPtr) return cudaErrorInvalidValue;
  *devPtr = nullptr;
  if (device_count() == 0) return cudaErrorNoDevice;
  if (size == 0) return cudaSuccess;
  const bool stream_ordered = pool != nullptr;
  int device = current_device();
  if (stream_ordered) {
    std::lock_guard<std::mutex> lock(state().mutex);
    device = pool_device(pool, device);
  }
  // Stream-ordered memory exists from its stream's point on, a point that
  // another stream sees only after the host waited for it.
  const uint64_t sequence = stream_ordered ? enqueue(call.stream, [] {}) : 0;
  Device d;
  device_exists(device, &d);
  std::lock_guard<std::mutex> lock(state().mutex);
  AllocationStats& st = stats();
  const size_t total = device_memory_size(d);
  size_t& reserved = device_reserved(device);
  auto* block = static_cast<unsigned char*>(std::malloc(size + 2 * kGuardBytes));
  if (!block || (stream_ordered ? !pool_take(pool, size, stream_key(call.stream), total)
                                : size > total || reserved > total - size)) {
    std::free(block);
    return cudaErrorMemoryAllocation;
  }
  std::memset(block, kGuardByte, kGuardBytes);
  std::memset(block + kGuardBytes + size, kGuardByte, kGuardBytes);
  unsigned char* payload = block + kGuardBytes;
  size_t words = size / 4;
  for (size_t i = 0; i < words; ++i) std::memcpy(payload + 4 * i, &kSentinelBits, 4);
  std::memcpy(payload + 4 * words, &kSentinelBits, size - 4 * words);
  uintptr_t key = reinterpret_cast<uintptr_t>(payload);
  Allocation a{block, size, stream_ordered, device, pool};
  if (stream_ordered) {
    a.used = true;
    a.last_stream = stream_key(call.stream);
    a.last_sequence = sequence;
  }
  allocations()[key] = a;
  freed().forget(key);
  ++st.allocations;
  st.live_bytes += size;
  if (!stream_ordered) reserved += size;
  if (st.live_bytes > st.peak_live_bytes) st.peak_live_bytes = st.live_bytes;
  *devPtr = payload;
  call.pointer = payload;
  if (!stream_ordered) call.sync_allocs = 1;
  return cudaSuccess;
}

// cudaFree and cudaFreeAsync. Freeing cudaMalloc memory synchronises the
// device (the host waits for all queued work) and gives it back to the
// device; freeing stream-ordered memory does not: it goes back to its pool,
// as a block its stream may reuse at once and any stream once its stream
// gets there, when the guard zones are checked, after every kernel before
// it ran.
cudaError_t release(void* devPtr, const char* function, Call& call, cudaStream_t stream, bool in_stream_order) {
  call.pointer = devPtr;
  if (!devPtr) return cudaSuccess;
  if (in_stream_order) {
    check_work_stream(function, stream);
    track_use(function, devPtr, stream);
  } else {
    synchronize_all();
  }
  std::lock_guard<std::mutex> lock(state().mutex);
  uintptr_t key = reinterpret_cast<uintptr_t>(devPtr);
  auto it = allocations().find(key);
  if (it == allocations().end()) {
    if (freed().contains(key)) {
      ++stats().double_frees;
      add_violation(std::string(function) + ": " + pointer_text(devPtr) + " freed twice");
    } else {
      ++stats().invalid_frees;
      add_violation(std::string(function) + ": " + pointer_text(devPtr) + " is not an allocation");
    }
    return cudaErrorInvalidValue;
  }
  const Allocation a = it->second;
  call.bytes = a.size;
  if (!a.stream_ordered) call.sync_allocs = call.host_waits = 1;
  stats().live_bytes -= a.size;
  const uint64_t pool_block = a.pool ? pool_give(a.pool, a.size, stream_key(stream), !in_stream_order) : 0;
  if (!a.pool) device_reserved(a.device) -= a.size;
  allocations().erase(it);
  freed().remember(key, state().log_limit);
  ++stats().frees;
  const std::string where = std::string(function) + ": writes outside the allocation at " + pointer_text(devPtr);
  auto give_back = [a, where, pool_block] {
    std::lock_guard<std::mutex> lock(state().mutex);
    if (!pending_frees().erase(a.block)) return;  // reset() took it
    if (a.pool) pool_free_ran(a.pool, pool_block);
    if (!guards_intact(a)) {
      ++stats().guard_overruns;
      add_violation(where);
    }
    std::free(a.block);
  };
  pending_frees().insert(a.block);
  if (!in_stream_order) {
    state().mutex.unlock();
    give_back();
    state().mutex.lock();
    return cudaSuccess;
  }
  state().mutex.unlock();
  enqueue(stream, give_back);
  state().mutex.lock();
  return cudaSuccess;
}

// cudaMemcpy and cudaMemcpyAsync: both ranges checked for the copy kind.
// An asynchronous copy moves the data when its stream gets there: host data
// is taken at the call (pageable memory is staged then), and host memory it
// fills holds poison (the NaN sentinel) until then. A synchronous copy waits
// for the legacy default stream and the streams it waits for, then copies.
cudaError_t copy(void* dst, const void* src, size_t count, cudaMemcpyKind kind, const char* function, Call& call,
                 cudaStream_t stream, bool asynchronous) {
  call.pointer = dst;
  call.source = src;
  call.bytes = count;
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
    note_violation(std::string(function) + ": " + std::to_string(count) + " bytes of kind " +
                   std::to_string(int(kind)) + " outside the device allocations");
    return cudaErrorInvalidValue;
  }
  check_work_stream(function, stream);
  if (dst_device) track_use(function, dst, stream);
  if (src_device) track_use(function, src, stream);
  if (!asynchronous) {
    enqueue(nullptr, [dst, src, count] { std::memmove(dst, src, count); });
    synchronize_stream(nullptr);
    return cudaSuccess;
  }
  if (!src_device) {
    auto staged = std::make_shared<std::vector<unsigned char>>(static_cast<const unsigned char*>(src),
                                                               static_cast<const unsigned char*>(src) + count);
    enqueue(stream, [dst, staged] { std::memcpy(dst, staged->data(), staged->size()); });
    return cudaSuccess;
  }
  if (!dst_device) {
    auto* bytes = static_cast<unsigned char*>(dst);
    for (size_t i = 0; i < count; ++i) bytes[i] = reinterpret_cast<const unsigned char*>(&kSentinelBits)[i % 4];
  }
  enqueue(stream, [dst, src, count] { std::memmove(dst, src, count); });
  return cudaSuccess;
}

// A stream is a distinct address that only the stand-in hands out.
cudaError_t create_stream(cudaStream_t* pStream, unsigned flags, Call& call) {
  if (!pStream || (flags != cudaStreamDefault && flags != cudaStreamNonBlocking)) return cudaErrorInvalidValue;
  if (device_count() == 0) return cudaErrorNoDevice;
  *pStream = reinterpret_cast<cudaStream_t>(new char);
  call.stream = *pStream;
  const int device = current_device();
  std::lock_guard<std::mutex> lock(state().mutex);
  state().streams[*pStream] = State::Stream{device, flags == cudaStreamDefault, std::this_thread::get_id()};
  return cudaSuccess;
}

// A pool holding more than its release threshold gives the rest back when
// the host synchronises with the device's work, as the toolkit documents.
void release_after_synchronisation(int device) {
  std::lock_guard<std::mutex> lock(state().mutex);
  release_beyond_thresholds(device);
}

// The device a pool call works on: the pool's, or for a handle that names
// no pool, the current one.
int device_of_pool(cudaMemPool_t pool) {
  const int current = current_device();
  std::lock_guard<std::mutex> lock(state().mutex);
  return pool_device(pool, current);
}

// Of the pool attributes the stand-in sets only the release threshold (what
// a pool may keep past a synchronisation), and reads that and what the pool
// reserves and has in use.
cudaError_t pool_attribute(const char* function, cudaMemPool_t memPool, cudaMemPoolAttr attr, void* value, bool set) {
  return api_call_on(device_of_pool(memPool), true, function, std::to_string(int(attr)), [&] {
    std::lock_guard<std::mutex> lock(state().mutex);
    if (!pool_usable(memPool) || !value) return cudaErrorInvalidValue;
    uint64_t bytes = 0;
    switch (attr) {
      case cudaMemPoolAttrReleaseThreshold:
        if (set) {
          std::memcpy(&pool_release_threshold(memPool), value, sizeof(uint64_t));
          return cudaSuccess;
        }
        bytes = pool_release_threshold(memPool);
        break;
      case cudaMemPoolAttrReservedMemCurrent: bytes = pool_reserved(memPool); break;
      case cudaMemPoolAttrUsedMemCurrent: bytes = pool_used(memPool); break;
      default: return cudaErrorNotSupported;
    }
    if (set) return cudaErrorInvalidValue;  // read only
    std::memcpy(value, &bytes, sizeof bytes);
    return cudaSuccess;
  });
}

}  // namespace

extern "C" {

cudaError_t CUDARTAPI cudaGetDeviceCount(int* count) {
  return api_call_on(kNoDevice, false, "cudaGetDeviceCount", "", [&] {
    if (!count) return cudaErrorInvalidValue;
    *count = device_count();
    return *count == 0 ? cudaErrorNoDevice : cudaSuccess;
  });
}

cudaError_t CUDARTAPI cudaGetDevice(int* device) {
  return api_call_on(kNoDevice, false, "cudaGetDevice", "", [&] {
    if (!device) return cudaErrorInvalidValue;
    if (device_count() == 0) return cudaErrorNoDevice;
    *device = current_device();
    return cudaSuccess;
  });
}

cudaError_t CUDARTAPI cudaSetDevice(int device) {
  return api_call_on(device, true, "cudaSetDevice", std::to_string(device), [&] {
    if (device_count() == 0) return cudaErrorNoDevice;
    if (!device_exists(device)) return cudaErrorInvalidDevice;
    Device d;
    device_exists(device, &d);
    if (attribute_of(d, cudaDevAttrComputeMode) == cudaComputeModeProhibited) return cudaErrorDevicesUnavailable;
    // The runtime binds the device's primary context to the thread.
    tls_device = device;
    std::lock_guard<std::mutex> lock(state().mutex);
    tls_context = primary_context(device);
    return cudaSuccess;
  });
}

cudaError_t CUDARTAPI cudaDeviceGetAttribute(int* value, enum cudaDeviceAttr attr, int device) {
  // Properties of the device: answered without its context.
  return api_call_on(device, false, "cudaDeviceGetAttribute",
                     args_text({std::to_string(int(attr)), std::to_string(device)}), [&] {
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
    device_exists(current_device(), &d);
    if (!d.hasCode) return cudaErrorNoKernelImageForDevice;
    *attr = cudaFuncAttributes{};
    attr->maxThreadsPerBlock = 1024;
    attr->binaryVersion = d.major * 10 + d.minor;
    return cudaSuccess;
  });
}

cudaError_t CUDARTAPI cudaMalloc(void** devPtr, size_t size) {
  return api_call("cudaMalloc", std::to_string(size), [&](Call& call) { return allocate(devPtr, size, nullptr, call); });
}

cudaError_t CUDARTAPI cudaFree(void* devPtr) {
  return api_call("cudaFree", pointer_text(devPtr),
                  [&](Call& call) { return release(devPtr, "cudaFree", call, nullptr, false); });
}

cudaError_t CUDARTAPI cudaMallocAsync(void** devPtr, size_t size, cudaStream_t hStream) {
  return stream_call(hStream, "cudaMallocAsync", args_text({std::to_string(size), stream_text(hStream)}), [&](Call& call) {
    call.stream = hStream;
    if (!stream_usable(hStream, "cudaMallocAsync")) return cudaErrorInvalidResourceHandle;
    // The device's current pool, which is its default one here.
    const int device = stream_device(hStream);
    cudaMemPool_t pool;
    {
      std::lock_guard<std::mutex> lock(state().mutex);
      pool = default_pool(device);
    }
    return allocate(devPtr, size, pool, call);
  });
}

cudaError_t CUDARTAPI cudaFreeAsync(void* devPtr, cudaStream_t hStream) {
  return stream_call(hStream, "cudaFreeAsync", args_text({pointer_text(devPtr), stream_text(hStream)}), [&](Call& call) {
    call.stream = hStream;
    if (!stream_usable(hStream, "cudaFreeAsync")) return cudaErrorInvalidResourceHandle;
    return release(devPtr, "cudaFreeAsync", call, hStream, true);
  });
}

cudaError_t CUDARTAPI cudaMemcpy(void* dst, const void* src, size_t count, enum cudaMemcpyKind kind) {
  return api_call("cudaMemcpy", args_text({std::to_string(count), std::to_string(int(kind))}), [&](Call& call) {
    const cudaError_t e = copy(dst, src, count, kind, "cudaMemcpy", call, nullptr, false);
    // A copy into host memory returns only when it, and everything queued
    // before it, is done. (A copy from pageable host memory returns once the
    // data is staged; it is not counted as a wait.)
    const bool into_host =
        kind == cudaMemcpyDeviceToHost || (kind == cudaMemcpyDefault && !is_device_range(dst, 1) && is_device_range(src, 1));
    if (e == cudaSuccess && count != 0 && into_host) call.host_waits = 1;
    return e;
  });
}

cudaError_t CUDARTAPI cudaMemcpyAsync(void* dst, const void* src, size_t count, enum cudaMemcpyKind kind,
                                      cudaStream_t stream) {
  return stream_call(stream, "cudaMemcpyAsync", args_text({std::to_string(count), std::to_string(int(kind)), stream_text(stream)}),
                  [&](Call& call) {
                    call.stream = stream;
                    if (!stream_usable(stream, "cudaMemcpyAsync")) return cudaErrorInvalidResourceHandle;
                    return copy(dst, src, count, kind, "cudaMemcpyAsync", call, stream, true);
                  });
}

cudaError_t CUDARTAPI cudaMemsetAsync(void* devPtr, int value, size_t count, cudaStream_t stream) {
  return stream_call(stream, "cudaMemsetAsync", args_text({std::to_string(value), std::to_string(count), stream_text(stream)}),
                  [&](Call& call) {
                    call.pointer = devPtr;
                    call.bytes = count;
                    call.stream = stream;
                    if (!stream_usable(stream, "cudaMemsetAsync")) return cudaErrorInvalidResourceHandle;
                    if (count == 0) return cudaSuccess;
                    if (!is_device_range(devPtr, count)) {
                      note_violation("cudaMemsetAsync: " + std::to_string(count) + " bytes outside the device allocations");
                      return cudaErrorInvalidValue;
                    }
                    check_work_stream("cudaMemsetAsync", stream);
                    track_use("cudaMemsetAsync", devPtr, stream);
                    enqueue(stream, [devPtr, value, count] { std::memset(devPtr, value, count); });
                    return cudaSuccess;
                  });
}

cudaError_t CUDARTAPI cudaMemGetInfo(size_t* free_bytes, size_t* total) {
  return api_call("cudaMemGetInfo", "", [&] {
    if (!free_bytes || !total) return cudaErrorInvalidValue;
    if (device_count() == 0) return cudaErrorNoDevice;
    const int device = current_device();
    Device d;
    if (!device_exists(device, &d)) return cudaErrorInvalidDevice;
    std::lock_guard<std::mutex> lock(state().mutex);
    *total = device_memory_size(d);
    const size_t reserved = device_reserved(device);
    *free_bytes = reserved < *total ? *total - reserved : 0;
    return cudaSuccess;
  });
}

cudaError_t CUDARTAPI cudaDeviceSynchronize(void) {
  return api_call("cudaDeviceSynchronize", "", [&](Call& call) {
    if (device_count() == 0) return cudaErrorNoDevice;
    synchronize_all();
    release_after_synchronisation(current_device());
    call.host_waits = 1;
    return cudaSuccess;
  });
}

cudaError_t CUDARTAPI cudaStreamCreateWithFlags(cudaStream_t* pStream, unsigned int flags) {
  return api_call("cudaStreamCreateWithFlags", std::to_string(flags),
                  [&](Call& call) { return create_stream(pStream, flags, call); });
}

cudaError_t CUDARTAPI cudaStreamCreate(cudaStream_t* pStream) {
  return api_call("cudaStreamCreate", "", [&](Call& call) { return create_stream(pStream, cudaStreamDefault, call); });
}

cudaError_t CUDARTAPI cudaStreamDestroy(cudaStream_t stream) {
  return stream_call(stream, "cudaStreamDestroy", stream_text(stream), [&](Call& call) {
    call.stream = stream;
    if (!stream_usable(stream, "cudaStreamDestroy")) return cudaErrorInvalidResourceHandle;
    // The stream's work still runs; nothing can wait for it any more.
    if (stream != nullptr && stream != cudaStreamLegacy && stream != cudaStreamPerThread) forget_stream(stream);
    std::lock_guard<std::mutex> lock(state().mutex);
    if (!state().streams.erase(stream)) {
      ++stats().bad_streams;
      add_violation("cudaStreamDestroy: the default stream cannot be destroyed");
      return cudaErrorInvalidResourceHandle;
    }
    delete reinterpret_cast<char*>(stream);
    return cudaSuccess;
  });
}

cudaError_t CUDARTAPI cudaStreamSynchronize(cudaStream_t stream) {
  return stream_call(stream, "cudaStreamSynchronize", stream_text(stream), [&](Call& call) {
    call.stream = stream;
    if (!stream_usable(stream, "cudaStreamSynchronize")) return cudaErrorInvalidResourceHandle;
    synchronize_stream(stream);
    release_after_synchronisation(stream_device(stream));
    call.host_waits = 1;
    return cudaSuccess;
  });
}

cudaError_t CUDARTAPI cudaDeviceGetDefaultMemPool(cudaMemPool_t* memPool, int device) {
  return api_call_on(device, false, "cudaDeviceGetDefaultMemPool", std::to_string(device), [&] {
    if (!memPool) return cudaErrorInvalidValue;
    if (device_count() == 0) return cudaErrorNoDevice;
    if (!device_exists(device)) return cudaErrorInvalidDevice;
    std::lock_guard<std::mutex> lock(state().mutex);
    *memPool = default_pool(device);
    return cudaSuccess;
  });
}

cudaError_t CUDARTAPI cudaMemPoolCreate(cudaMemPool_t* memPool, const struct cudaMemPoolProps* poolProps) {
  const int device = poolProps ? poolProps->location.id : current_device();
  return api_call_on(device, true, "cudaMemPoolCreate", "", [&] {
    if (!memPool || !poolProps || poolProps->allocType != cudaMemAllocationTypePinned ||
        poolProps->location.type != cudaMemLocationTypeDevice)
      return cudaErrorInvalidValue;
    if (device_count() == 0) return cudaErrorNoDevice;
    Device d;
    if (!device_exists(poolProps->location.id, &d)) return cudaErrorInvalidDevice;
    if (attribute_of(d, cudaDevAttrMemoryPoolsSupported) == 0) return cudaErrorNotSupported;
    std::lock_guard<std::mutex> lock(state().mutex);
    *memPool = create_pool(poolProps->location.id);
    return cudaSuccess;
  });
}

cudaError_t CUDARTAPI cudaMemPoolDestroy(cudaMemPool_t memPool) {
  return api_call_on(device_of_pool(memPool), true, "cudaMemPoolDestroy", pointer_text(memPool), [&] {
    std::lock_guard<std::mutex> lock(state().mutex);
    return destroy_pool(memPool) ? cudaSuccess : cudaErrorInvalidValue;
  });
}

cudaError_t CUDARTAPI cudaMallocFromPoolAsync(void** ptr, size_t size, cudaMemPool_t memPool, cudaStream_t stream) {
  return stream_call(stream, "cudaMallocFromPoolAsync", args_text({std::to_string(size), pointer_text(memPool), stream_text(stream)}),
                  [&](Call& call) {
                    call.stream = stream;
                    if (!stream_usable(stream, "cudaMallocFromPoolAsync")) return cudaErrorInvalidResourceHandle;
                    bool known;
                    {
                      std::lock_guard<std::mutex> lock(state().mutex);
                      known = pool_usable(memPool);
                    }
                    if (!known) return cudaErrorInvalidValue;
                    return allocate(ptr, size, memPool, call);
                  });
}

// Only memory whose free has run goes back: a free queued and not yet run
// counts as outstanding, as the toolkit allows.
cudaError_t CUDARTAPI cudaMemPoolTrimTo(cudaMemPool_t memPool, size_t minBytesToKeep) {
  return api_call_on(device_of_pool(memPool), true, "cudaMemPoolTrimTo", args_text({pointer_text(memPool), std::to_string(minBytesToKeep)}), [&] {
    std::lock_guard<std::mutex> lock(state().mutex);
    if (!pool_usable(memPool)) return cudaErrorInvalidValue;
    trim_pool(memPool, minBytesToKeep);
    return cudaSuccess;
  });
}

cudaError_t CUDARTAPI cudaMemPoolSetAttribute(cudaMemPool_t memPool, enum cudaMemPoolAttr attr, void* value) {
  return pool_attribute("cudaMemPoolSetAttribute", memPool, attr, value, true);
}

cudaError_t CUDARTAPI cudaMemPoolGetAttribute(cudaMemPool_t memPool, enum cudaMemPoolAttr attr, void* value) {
  return pool_attribute("cudaMemPoolGetAttribute", memPool, attr, value, false);
}

cudaError_t CUDARTAPI cudaGetLastError(void) {
  // A sticky error cannot be cleared.
  const cudaError_t lost = lost_error(current_device());
  if (lost != cudaSuccess) return lost;
  cudaError_t e = tls_last_error;
  tls_last_error = cudaSuccess;
  return e;
}

// The text of a code, for the device library's exceptions: the stand-in
// keeps no table of names (one source of truth: the toolkit's header).
const char* CUDARTAPI cudaGetErrorName(cudaError_t error) {
  static auto* names = kept(new std::map<int, std::string>);  // never destroyed: texts handed out stay valid
  std::lock_guard<std::mutex> lock(state().mutex);
  std::string& name = (*names)[int(error)];
  if (name.empty()) name = "cudaError " + std::to_string(int(error));
  return name.c_str();
}

const char* CUDARTAPI cudaGetErrorString(cudaError_t error) { return cudaGetErrorName(error); }

}  // extern "C"

// The driver's context calls that the runtime hands out by name. They are
// logged like runtime calls; a context call sets no runtime error.
namespace {

void log_driver_call(const char* function, const std::string& arguments, int device, CUresult result) {
  Call call;
  call.function = function;
  call.arguments = arguments;
  call.device = device;
  call.result = result == CUDA_SUCCESS ? cudaSuccess : cudaErrorInvalidValue;
  std::lock_guard<std::mutex> lock(state().mutex);
  State& s = state();
  push_bounded(s.calls, std::move(call), s.log_limit, s.dropped_calls);
}

CUresult CUDAAPI sim_cuCtxGetCurrent(CUcontext* pctx) {
  if (!pctx) return CUDA_ERROR_INVALID_VALUE;
  *pctx = tls_context;
  log_driver_call("cuCtxGetCurrent", "", -1, CUDA_SUCCESS);
  return CUDA_SUCCESS;
}

CUresult CUDAAPI sim_cuCtxSetCurrent(CUcontext ctx) {
  int device = -1;
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    auto it = contexts().find(ctx);
    if (ctx && it == contexts().end()) device = -2;
    else if (ctx) device = it->second.device;
  }
  if (device == -2) {
    log_driver_call("cuCtxSetCurrent", pointer_text(ctx), -1, CUDA_ERROR_INVALID_CONTEXT);
    return CUDA_ERROR_INVALID_CONTEXT;
  }
  tls_context = ctx;
  log_driver_call("cuCtxSetCurrent", pointer_text(ctx), device, CUDA_SUCCESS);
  return CUDA_SUCCESS;
}

}  // namespace

extern "C" cudaError_t CUDARTAPI cudaGetDriverEntryPointByVersion(const char* symbol, void** funcPtr,
                                                                  unsigned int cudaVersion, unsigned long long flags,
                                                                  cudaDriverEntryPointQueryResult* driverStatus) {
  return api_call_on(kNoDevice, false, "cudaGetDriverEntryPointByVersion",
                     args_text({symbol ? symbol : "", std::to_string(cudaVersion)}), [&] {
                    if (!symbol || !funcPtr) return cudaErrorInvalidValue;
                    const std::string name = symbol;
                    void* found = nullptr;
                    if (name == "cuCtxGetCurrent") found = reinterpret_cast<void*>(&sim_cuCtxGetCurrent);
                    if (name == "cuCtxSetCurrent") found = reinterpret_cast<void*>(&sim_cuCtxSetCurrent);
                    (void)flags;
                    *funcPtr = cudaVersion >= 4000 ? found : nullptr;
                    if (driverStatus)
                      *driverStatus = !found ? cudaDriverEntryPointSymbolNotFound
                                      : cudaVersion < 4000 ? cudaDriverEntryPointVersionNotSufficent
                                                           : cudaDriverEntryPointSuccess;
                    return cudaSuccess;
                  });
}

int cudasim::detail::device_attribute(int device, int attr) {
  Device d;
  return device_exists(device, &d) ? attribute_of(d, attr) : 0;
}
