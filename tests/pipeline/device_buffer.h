// Small helpers for tests that launch kernels on the stand-in.
#pragma once

#include <vector>

#include "cudasim/cuda_compat.h"

// A device array of floats, freed at scope end; starts as the NaN sentinel.
class DeviceFloats {
 public:
  explicit DeviceFloats(size_t count) : count_(count) { cudaMalloc(reinterpret_cast<void**>(&p_), count * sizeof(float)); }
  explicit DeviceFloats(const std::vector<float>& host) : DeviceFloats(host.size()) {
    cudaMemcpy(p_, host.data(), host.size() * sizeof(float), cudaMemcpyHostToDevice);
  }
  ~DeviceFloats() { cudaFree(p_); }
  DeviceFloats(const DeviceFloats&) = delete;
  DeviceFloats& operator=(const DeviceFloats&) = delete;

  float* get() const { return p_; }
  std::vector<float> download() const {
    std::vector<float> host(count_);
    cudaMemcpy(host.data(), p_, count_ * sizeof(float), cudaMemcpyDeviceToHost);
    return host;
  }

 private:
  float* p_ = nullptr;
  size_t count_;
};
