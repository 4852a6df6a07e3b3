// Where one render's device work goes. Each render queues its work on a
// stream of its own, so renders that the host starts on several threads
// overlap on the device, and takes every buffer in stream order from its
// device's memory pool, so that no allocation or free waits for the device.
// The render stays synchronous to its caller: it waits once, at the end.
#pragma once

// The runtime's API only: host sources of both builds include this.
#include <cuda_runtime_api.h>

#include <cstddef>
#include <optional>

struct DeviceWork {
  cudaStream_t stream = nullptr;
  // Null on a device without memory pools: plain cudaMalloc and cudaFree.
  cudaMemPool_t pool = nullptr;

  // `count` floats in stream order; on failure p is null and the error returned.
  cudaError_t allocate(float*& p, size_t count) const;
  // Frees p in stream order (null is fine) and nulls it. Should the
  // stream-ordered free fail, p is freed after the stream's work instead;
  // the failure stays the thread's last error.
  void release(float*& p) const;
};

// The memory pool every render on `device` allocates from: one per device,
// made on first use after each load of the bundle and shared by all
// instances and render threads. Between frames it keeps up to
// kDevicePoolKeptBytes of freed memory for the next frame and gives the
// rest back to the device when a render ends.
constexpr size_t kDevicePoolKeptBytes = size_t(1) << 30;

// The memory pool of `device` (the current device), held: an unload
// meanwhile destroys it only once every hold has gone, so a frame that
// holds it across its attempts never trims a destroyed pool nor makes one
// that outlives the unload. Null on a device without memory pools.
class DevicePoolHold {
 public:
  explicit DevicePoolHold(int device);
  ~DevicePoolHold();
  DevicePoolHold(const DevicePoolHold&) = delete;
  DevicePoolHold& operator=(const DevicePoolHold&) = delete;

  cudaMemPool_t pool() const { return pool_; }

 private:
  int device_;
  cudaMemPool_t pool_;
};

// The stream and the pool of one render on `device` (the current device):
// the pool held for the stream alone, or one the frame holds across its
// attempts (which outlives the stream). finish(), or else the destructor,
// waits for the stream's work, destroys the stream and lets go of a pool it
// holds, so a render leaves nothing queued, on every path.
class RenderStream {
 public:
  explicit RenderStream(int device);
  explicit RenderStream(const DevicePoolHold& pool);
  ~RenderStream() { finish(); }
  RenderStream(const RenderStream&) = delete;
  RenderStream& operator=(const RenderStream&) = delete;

  bool ready() const { return work_.stream != nullptr; }
  // Why the stream could not be made.
  cudaError_t error() const { return created_; }
  const DeviceWork& work() const { return work_; }
  // Waits for all the work queued and ends the stream; the first error of
  // any of that work.
  cudaError_t finish();

 private:
  void create_stream();

  std::optional<DevicePoolHold> own_pool_;
  DeviceWork work_;
  cudaError_t created_ = cudaSuccess;
};

// Gives all memory the pools keep back to the device (the host asks for it
// when it purges caches).
void release_cached_device_memory();

// Trims and destroys every pool made since the bundle was loaded (the host
// unloads it): a pool nothing refers to any more would keep its memory
// reserved for the process. A pool that renders still use goes when the
// last of them ends. The next render makes its device's pool afresh.
void destroy_device_pools();
