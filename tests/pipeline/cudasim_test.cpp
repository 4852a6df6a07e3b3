// The CUDA stand-in behaves like the runtime where the pipeline (and every
// test's leak and bounds checks) depends on it. The barrier is exercised by
// the transpose, failure injection by the entry's failure tests.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "cudasim/cudasim_control.h"
#include "device_buffer.h"

namespace {

__constant__ float kScale[2] = {2.0f, 3.0f};

__global__ void scale_kernel(float* data, int n, float offset) {
  int i = blockIdx.x * blockDim.x + threadIdx.x;
  if (i < n) data[i] = data[i] * kScale[1] + offset;
}

class Cudasim : public ::testing::Test {
 protected:
  void SetUp() override { cudasim::reset(); }
  void TearDown() override { cudasim::reset(); }
};

TEST_F(Cudasim, ImpossibleConfigurationsAreSkippedAndReported) {
  DeviceFloats d(std::vector<float>(4, 1.0f));
  const dim3 bad[][2] = {{dim3(1), dim3(1025)}, {dim3(1), dim3(64, 32)}, {dim3(0), dim3(32)},
                         {dim3(1, 0), dim3(32)}, {dim3(1), dim3(1, 1, 65)}, {dim3(1, 65536), dim3(32)}};
  for (const auto& c : bad) {
    CUDA_LAUNCH(scale_kernel, c[0], c[1], d.get(), 4, 1.0f);
    EXPECT_EQ(cudaGetLastError(), cudaErrorInvalidConfiguration);
    EXPECT_EQ(cudaGetLastError(), cudaSuccess);  // not sticky
  }
  EXPECT_EQ(d.download(), std::vector<float>(4, 1.0f));  // none of them ran
  CUDA_LAUNCH(scale_kernel, 1, 1024, d.get(), 4, 1.0f);
  EXPECT_EQ(cudaGetLastError(), cudaSuccess);
  EXPECT_EQ(d.download(), std::vector<float>(4, 4.0f));  // constant table read: 1 * 3 + 1
  EXPECT_TRUE(cudasim::launch_trace().back().ran);
}

TEST_F(Cudasim, RegistryCatchesLeaksDoubleFreesOverrunsAndStrayPointers) {
  float* d = nullptr;
  ASSERT_EQ(cudaMalloc(reinterpret_cast<void**>(&d), 10 * sizeof(float)), cudaSuccess);
  float fresh[10], host[11] = {};
  cudaMemcpy(fresh, d, sizeof fresh, cudaMemcpyDeviceToHost);
  for (float v : fresh) EXPECT_TRUE(std::isnan(v) && cudasim::is_nan_sentinel(v));
  EXPECT_TRUE(cudasim::is_device_range(d + 9, sizeof(float)));
  EXPECT_FALSE(cudasim::is_device_range(d + 9, 2 * sizeof(float)));
  EXPECT_EQ(cudaMemcpy(d, host, sizeof host, cudaMemcpyHostToDevice), cudaErrorInvalidValue);
  CUDA_LAUNCH(scale_kernel, 1, 32, host, 11, 0.0f);  // host pointer handed to a kernel
  EXPECT_EQ(cudasim::allocation_stats().bad_pointers, 2u);
  d[10] = 1.0f;  // a write past the end, as a faulty kernel would do
  EXPECT_EQ(cudasim::check_guards(), 1u);
  EXPECT_EQ(cudasim::allocation_stats().live, 1u);
  EXPECT_EQ(cudaFree(d), cudaSuccess);
  EXPECT_EQ(cudaFree(d), cudaErrorInvalidValue);
  EXPECT_EQ(cudaFree(host), cudaErrorInvalidValue);
  const auto s = cudasim::allocation_stats();
  EXPECT_EQ(s.live, 0u);
  EXPECT_EQ(s.frees, 1u);
  EXPECT_EQ(s.double_frees, 1u);
  EXPECT_EQ(s.invalid_frees, 1u);
  EXPECT_EQ(s.guard_overruns, 1u);
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
