#include "pipeline/device_work.h"

#include "pipeline/cuda_context_guard.h"
#include "pipeline/lost_devices.h"

#include <cstdint>
#include <mutex>
#include <optional>

namespace {

// A pool a device, in static storage: nothing on the heap, so a bundle the
// host unloads leaves nothing behind, and nothing destroyed at exit, when
// renders may still run. Ordinals past the table get plain allocations.
constexpr int kPoolDevices = 1024;
struct PoolSlot {
  cudaMemPool_t pool;
  int renders;    // render streams taking from it now
  bool unloaded;  // the bundle was unloaded while they did: the last of them destroys it
};
std::mutex pools_mutex;
PoolSlot pools[kPoolDevices];

// Caller holds pools_mutex. Trimmed first, so that its memory goes back
// should the destruction fail; a lost device answers neither call.
void destroy_pool(int device) {
  PoolSlot& slot = pools[device];
  if (!is_cuda_device_lost(device)) {
    cudaMemPoolTrimTo(slot.pool, 0);
    cudaMemPoolDestroy(slot.pool);
  }
  slot = PoolSlot{};
}

// The device's pool, made on first use; `take`: for a render stream, which
// lets go of it when it ends.
cudaMemPool_t find_pool(int device, bool take) {
  int supported = 0;
  if (cudaDeviceGetAttribute(&supported, cudaDevAttrMemoryPoolsSupported, device) != cudaSuccess || !supported)
    return nullptr;
  if (device < 0 || device >= kPoolDevices) return nullptr;
  std::lock_guard<std::mutex> lock(pools_mutex);
  PoolSlot& slot = pools[device];
  if (!slot.pool) {
    cudaMemPoolProps props{};
    props.allocType = cudaMemAllocationTypePinned;
    props.handleTypes = cudaMemHandleTypeNone;
    props.location.type = cudaMemLocationTypeDevice;
    props.location.id = device;
    cudaMemPool_t pool = nullptr;
    if (cudaMemPoolCreate(&pool, &props) != cudaSuccess) return nullptr;
    uint64_t kept = kDevicePoolKeptBytes;
    cudaMemPoolSetAttribute(pool, cudaMemPoolAttrReleaseThreshold, &kept);
    slot.pool = pool;
  }
  if (take) ++slot.renders;
  return slot.pool;
}

void let_go_of_pool(int device) {
  std::lock_guard<std::mutex> lock(pools_mutex);
  PoolSlot& slot = pools[device];
  if (--slot.renders == 0 && slot.unloaded) destroy_pool(device);
}

}  // namespace

cudaError_t DeviceWork::allocate(float*& p, size_t count) const {
  void* raw = nullptr;
  const size_t bytes = count * sizeof(float);
  const cudaError_t e = pool ? cudaMallocFromPoolAsync(&raw, bytes, pool, stream) : cudaMalloc(&raw, bytes);
  p = e == cudaSuccess ? static_cast<float*>(raw) : nullptr;
  return e;
}

void DeviceWork::release(float*& p) const {
  if (!p) return;
  if (!pool || cudaFreeAsync(p, stream) != cudaSuccess) {
    if (pool) cudaStreamSynchronize(stream);  // nothing may still use it
    cudaFree(p);
  }
  p = nullptr;
}

DevicePoolHold::DevicePoolHold(int device) : device_(device), pool_(find_pool(device, true)) {}

RenderStream::RenderStream(int device) : own_pool_(std::in_place, device) {
  work_.pool = own_pool_->pool();
  create_stream();
}

RenderStream::RenderStream(const DevicePoolHold& pool) {
  work_.pool = pool.pool();
  create_stream();
}

void RenderStream::create_stream() {
  cudaStream_t s = nullptr;
  // Non-blocking: the render does not wait for work other code queues on
  // the legacy default stream.
  created_ = cudaStreamCreateWithFlags(&s, cudaStreamNonBlocking);
  if (created_ == cudaSuccess) work_.stream = s;
}

cudaError_t RenderStream::finish() {
  cudaError_t e = cudaErrorInvalidResourceHandle;
  if (work_.stream) {
    e = cudaStreamSynchronize(work_.stream);
    cudaStreamDestroy(work_.stream);
    work_.stream = nullptr;
  }
  // After the stream's frees have run.
  work_.pool = nullptr;
  own_pool_.reset();
  return e;
}

DevicePoolHold::~DevicePoolHold() {
  if (pool_) let_go_of_pool(device_);
}

void release_cached_device_memory() {
  std::lock_guard<std::mutex> lock(pools_mutex);
  for (int device = 0; device < kPoolDevices; ++device)
    if (pools[device].pool && !is_cuda_device_lost(device)) cudaMemPoolTrimTo(pools[device].pool, 0);
}

void destroy_device_pools() {
  std::lock_guard<std::mutex> lock(pools_mutex);
  // The pool calls may leave a context current on the host's thread; it
  // gets its own back. A bundle that made no pool makes no CUDA call here.
  std::optional<CudaContextGuard> keep_host_context;
  for (int device = 0; device < kPoolDevices; ++device) {
    PoolSlot& slot = pools[device];
    if (!slot.pool) continue;
    if (slot.renders > 0) {
      slot.unloaded = true;
      continue;
    }
    if (!keep_host_context) keep_host_context.emplace();
    destroy_pool(device);
  }
}
