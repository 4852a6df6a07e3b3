// The CUDA stand-in behaves like the runtime where the pipeline depends on it:
// launch configuration checks, memory registry, failure injection, the
// current device per host thread. (The barrier is exercised by the transpose.)
#include "cudasim/cuda_compat.h"
#include "cudasim/cudasim_control.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

namespace {

__constant__ float kScale[2] = {2.0f, 3.0f};

__global__ void scale_kernel(float* data, int n, float offset) {
  int i = blockIdx.x * blockDim.x + threadIdx.x;
  if (i >= n) return;
  data[i] = data[i] * kScale[1] + offset;
}

class Cudasim : public ::testing::Test {
 protected:
  void SetUp() override { cudasim::reset(); }
  void TearDown() override { cudasim::reset(); }
};

TEST_F(Cudasim, ImpossibleConfigurationsAreSkippedAndReported) {
  float* d = nullptr;
  ASSERT_EQ(cudaMalloc(reinterpret_cast<void**>(&d), 4 * sizeof(float)), cudaSuccess);
  const float ones[4] = {1, 1, 1, 1};
  cudaMemcpy(d, ones, sizeof ones, cudaMemcpyHostToDevice);
  struct Case {
    dim3 grid, block;
  } bad[] = {{dim3(1), dim3(1025)}, {dim3(1), dim3(64, 32)}, {dim3(0), dim3(32)},
             {dim3(1, 0), dim3(32)}, {dim3(1), dim3(1, 1, 65)}, {dim3(1, 65536), dim3(32)}};
  for (const auto& c : bad) {
    CUDA_LAUNCH(scale_kernel, c.grid, c.block, d, 4, 1.0f);
    EXPECT_EQ(cudaGetLastError(), cudaErrorInvalidConfiguration);
    EXPECT_EQ(cudaGetLastError(), cudaSuccess);  // the error is not sticky
  }
  float back[4];
  cudaMemcpy(back, d, sizeof back, cudaMemcpyDeviceToHost);
  for (float v : back) EXPECT_EQ(v, 1.0f);  // none of them ran
  CUDA_LAUNCH(scale_kernel, 1, 1024, d, 4, 1.0f);
  EXPECT_EQ(cudaGetLastError(), cudaSuccess);
  cudaMemcpy(back, d, sizeof back, cudaMemcpyDeviceToHost);
  for (float v : back) EXPECT_EQ(v, 4.0f);  // constant table read: 1 * 3 + 1
  for (const auto& l : cudasim::launch_trace()) EXPECT_EQ(l.ran, l.block.x == 1024u && l.grid.x == 1u) ;
  cudaFree(d);
}

TEST_F(Cudasim, RegistryCatchesLeaksDoubleFreesOverrunsAndStrayPointers) {
  float* d = nullptr;
  ASSERT_EQ(cudaMalloc(reinterpret_cast<void**>(&d), 10 * sizeof(float)), cudaSuccess);
  float fresh[10];
  cudaMemcpy(fresh, d, sizeof fresh, cudaMemcpyDeviceToHost);
  for (float v : fresh) {
    EXPECT_TRUE(std::isnan(v));
    EXPECT_TRUE(cudasim::is_nan_sentinel(v));
  }
  EXPECT_TRUE(cudasim::is_device_range(d + 9, sizeof(float)));
  EXPECT_FALSE(cudasim::is_device_range(d + 9, 2 * sizeof(float)));
  EXPECT_EQ(cudasim::allocation_stats().live, 1u);

  float host[11] = {};
  EXPECT_EQ(cudaMemcpy(d, host, sizeof host, cudaMemcpyHostToDevice), cudaErrorInvalidValue);
  CUDA_LAUNCH(scale_kernel, 1, 32, host, 11, 0.0f);  // host pointer handed to a kernel
  EXPECT_EQ(cudasim::allocation_stats().bad_pointers, 2u);

  d[10] = 1.0f;  // a write past the end, as a faulty kernel would do
  EXPECT_EQ(cudasim::check_guards(), 1u);
  EXPECT_EQ(cudaFree(d), cudaSuccess);
  EXPECT_EQ(cudaFree(d), cudaErrorInvalidValue);
  EXPECT_EQ(cudaFree(host), cudaErrorInvalidValue);
  auto s = cudasim::allocation_stats();
  EXPECT_EQ(s.live, 0u);
  EXPECT_EQ(s.frees, 1u);
  EXPECT_EQ(s.double_frees, 1u);
  EXPECT_EQ(s.invalid_frees, 1u);
  EXPECT_EQ(s.guard_overruns, 1u);
}

TEST_F(Cudasim, InjectedFailuresHitTheNamedCallOnly) {
  cudasim::fail_call("cudaMalloc", 2, cudaErrorMemoryAllocation);
  cudasim::fail_call("scale_kernel", 1, cudaErrorLaunchFailure);
  void *a = nullptr, *b = nullptr, *c = nullptr;
  EXPECT_EQ(cudaMalloc(&a, 16), cudaSuccess);
  EXPECT_EQ(cudaMalloc(&b, 16), cudaErrorMemoryAllocation);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(cudaMalloc(&c, 16), cudaSuccess);
  EXPECT_EQ(cudaGetLastError(), cudaErrorMemoryAllocation);
  // The latest error is the one reported.
  EXPECT_EQ(cudaSetDevice(7), cudaErrorInvalidDevice);
  CUDA_LAUNCH(scale_kernel, 1, 32, static_cast<float*>(a), 4, 0.0f);
  EXPECT_EQ(cudaGetLastError(), cudaErrorLaunchFailure);
  EXPECT_FALSE(cudasim::launch_trace().back().ran);
  cudaFree(a);
  cudaFree(c);
  auto log = cudasim::call_log();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[1].function, "cudaMalloc");
  EXPECT_EQ(log[1].result, cudaErrorMemoryAllocation);
}

// Several renders may run at once: each host thread has its own current device.
TEST_F(Cudasim, CurrentDeviceIsPerThreadAndUnusableDevicesAreRefused) {
  cudasim::Device prohibited;
  prohibited.computeMode = cudaComputeModeProhibited;
  cudasim::set_devices({cudasim::Device{}, cudasim::Device{}, prohibited});
  int current = -1;
  EXPECT_EQ(cudaSetDevice(2), cudaErrorDevicesUnavailable);
  EXPECT_EQ(cudaSetDevice(3), cudaErrorInvalidDevice);
  EXPECT_EQ(cudaSetDevice(1), cudaSuccess);
  std::thread([&] { cudaGetDevice(&current); }).join();
  EXPECT_EQ(current, 0);
  cudaGetDevice(&current);
  EXPECT_EQ(current, 1);
}

}  // namespace
