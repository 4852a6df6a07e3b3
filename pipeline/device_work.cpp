#include "pipeline/device_work.h"

#include "pipeline/lost_devices.h"

#include <cstdint>
#include <mutex>

namespace {

// A pool a device, in static storage: nothing on the heap, so a bundle the
// host unloads leaves nothing behind, and nothing destroyed at exit, when
// renders may still run. Ordinals past the table get plain allocations.
constexpr int kPoolDevices = 1024;
std::mutex pools_mutex;
cudaMemPool_t pools[kPoolDevices];

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

RenderStream::RenderStream(int device) {
  work_.pool = device_pool(device);
  cudaStream_t s = nullptr;
  // Non-blocking: the render does not wait for work other code queues on
  // the legacy default stream.
  created_ = cudaStreamCreateWithFlags(&s, cudaStreamNonBlocking);
  if (created_ == cudaSuccess) work_.stream = s;
}

cudaError_t RenderStream::finish() {
  if (!work_.stream) return cudaErrorInvalidResourceHandle;
  const cudaError_t e = cudaStreamSynchronize(work_.stream);
  cudaStreamDestroy(work_.stream);
  work_.stream = nullptr;
  return e;
}

cudaMemPool_t device_pool(int device) {
  int supported = 0;
  if (cudaDeviceGetAttribute(&supported, cudaDevAttrMemoryPoolsSupported, device) != cudaSuccess || !supported)
    return nullptr;
  if (device < 0 || device >= kPoolDevices) return nullptr;
  std::lock_guard<std::mutex> lock(pools_mutex);
  if (pools[device]) return pools[device];
  cudaMemPoolProps props{};
  props.allocType = cudaMemAllocationTypePinned;
  props.handleTypes = cudaMemHandleTypeNone;
  props.location.type = cudaMemLocationTypeDevice;
  props.location.id = device;
  cudaMemPool_t pool = nullptr;
  if (cudaMemPoolCreate(&pool, &props) != cudaSuccess) return nullptr;
  uint64_t kept = kDevicePoolKeptBytes;
  cudaMemPoolSetAttribute(pool, cudaMemPoolAttrReleaseThreshold, &kept);
  pools[device] = pool;
  return pool;
}

void release_cached_device_memory() {
  std::lock_guard<std::mutex> lock(pools_mutex);
  for (int device = 0; device < kPoolDevices; ++device)
    if (pools[device] && !is_cuda_device_lost(device)) cudaMemPoolTrimTo(pools[device], 0);
}
