#include "pipeline/device_work.h"

#include "pipeline/lost_devices.h"

#include <cstdint>
#include <map>
#include <mutex>

namespace {

std::mutex pools_mutex;
std::map<int, cudaMemPool_t>& pools() {
  static auto* m = new std::map<int, cudaMemPool_t>;  // never destroyed: renders may run at exit
  return *m;
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
  std::lock_guard<std::mutex> lock(pools_mutex);
  auto it = pools().find(device);
  if (it != pools().end()) return it->second;
  cudaMemPoolProps props{};
  props.allocType = cudaMemAllocationTypePinned;
  props.handleTypes = cudaMemHandleTypeNone;
  props.location.type = cudaMemLocationTypeDevice;
  props.location.id = device;
  cudaMemPool_t pool = nullptr;
  if (cudaMemPoolCreate(&pool, &props) != cudaSuccess) return nullptr;
  uint64_t kept = kDevicePoolKeptBytes;
  cudaMemPoolSetAttribute(pool, cudaMemPoolAttrReleaseThreshold, &kept);
  pools()[device] = pool;
  return pool;
}

void release_cached_device_memory() {
  std::lock_guard<std::mutex> lock(pools_mutex);
  for (const auto& p : pools())
    if (!is_cuda_device_lost(p.first)) cudaMemPoolTrimTo(p.second, 0);
}
