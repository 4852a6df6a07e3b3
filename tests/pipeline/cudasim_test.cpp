// The CUDA stand-in behaves like the runtime where the pipeline depends on it:
// launch configuration checks, per-thread indices, barriers, memory
// registry, failure injection.
#include "cudasim/cuda_compat.h"
#include "cudasim/cudasim_control.h"

#include <gtest/gtest.h>

#include <algorithm>
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

__global__ void index_kernel(int* out, int width, int height) {
  int x = blockIdx.x * blockDim.x + threadIdx.x;
  int y = blockIdx.y * blockDim.y + threadIdx.y;
  if (x >= width || y >= height) return;
  out[y * width + x] = x * 1000 + y + 1;
}

// Block sum by tree reduction in shared memory: each of the eight halving
// steps reads what other threads wrote before the last barrier, so the sum is
// only right if every barrier holds.
__global__ void block_sum(const int* in, int* out, int n) {
  __shared__ int tile[256];
  int t = threadIdx.x;
  int i = blockIdx.x * blockDim.x + t;
  tile[t] = i < n ? in[i] : 0;
  __syncthreads();
  for (int half = 128; half > 0; half /= 2) {
    int mine = tile[t], other = t < half ? tile[t + half] : 0;
    __syncthreads();
    if (t < half) tile[t] = mine + other;
    __syncthreads();
  }
  if (i < n) out[i] = tile[0];
}
CUDASIM_COOPERATIVE_KERNEL(block_sum);

class Cudasim : public ::testing::Test {
 protected:
  void SetUp() override { cudasim::reset(); }
  void TearDown() override { cudasim::reset(); }
};

TEST_F(Cudasim, GridCoversOverhangingFrameAndSetsIndices) {
  const int w = 37, h = 23;
  int* d = nullptr;
  ASSERT_EQ(cudaMalloc(reinterpret_cast<void**>(&d), w * h * sizeof(int)), cudaSuccess);
  CUDA_LAUNCH(index_kernel, dim3(2, 1), dim3(32, 32), d, w, h);
  std::vector<int> host(w * h);
  ASSERT_EQ(cudaMemcpy(host.data(), d, host.size() * sizeof(int), cudaMemcpyDeviceToHost), cudaSuccess);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_EQ(host[y * w + x], x * 1000 + y + 1);
  EXPECT_EQ(cudaFree(d), cudaSuccess);
  auto trace = cudasim::launch_trace();
  ASSERT_EQ(trace.size(), 1u);
  EXPECT_EQ(trace[0].kernel, "index_kernel");
  EXPECT_EQ(trace[0].grid.x, 2u);
  EXPECT_EQ(trace[0].block.y, 32u);
  EXPECT_TRUE(trace[0].ran);
  EXPECT_TRUE(cudasim::violations().empty());
}

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
    EXPECT_EQ(cudaPeekAtLastError(), cudaErrorInvalidConfiguration);
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

TEST_F(Cudasim, BarrierSeparatesTheLoadsFromTheStoresOnEveryWorker) {
  const int n = 256 * 40 + 17;
  std::vector<int> host(n);
  for (int i = 0; i < n; ++i) host[i] = i;
  int *in = nullptr, *out = nullptr;
  cudaMalloc(reinterpret_cast<void**>(&in), n * sizeof(int));
  cudaMalloc(reinterpret_cast<void**>(&out), n * sizeof(int));
  cudaMemcpy(in, host.data(), n * sizeof(int), cudaMemcpyHostToDevice);
  CUDA_LAUNCH(block_sum, (n + 255) / 256, 256, in, out, n);
  std::vector<int> back(n);
  cudaMemcpy(back.data(), out, n * sizeof(int), cudaMemcpyDeviceToHost);
  for (int i = 0; i < n; ++i) {
    long base = i / 256 * 256, last = std::min<long>(base + 256, n) - 1;
    ASSERT_EQ(back[i], (base + last) * (last - base + 1) / 2) << i;  // sum of base..last
  }
  cudaFree(in);
  cudaFree(out);
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

TEST_F(Cudasim, DeviceTableIsScriptedAndCurrentDeviceIsPerThread) {
  cudasim::Device old_card;
  old_card.major = 5;
  old_card.minor = 2;
  cudasim::Device prohibited;
  prohibited.computeMode = cudaComputeModeProhibited;
  cudasim::set_devices({cudasim::Device{}, old_card, prohibited});
  int count = 0, value = 0, current = -1;
  EXPECT_EQ(cudaGetDeviceCount(&count), cudaSuccess);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(cudaDeviceGetAttribute(&value, cudaDevAttrComputeCapabilityMajor, 1), cudaSuccess);
  EXPECT_EQ(value, 5);
  EXPECT_EQ(cudaDeviceGetAttribute(&value, cudaDevAttrComputeMode, 2), cudaSuccess);
  EXPECT_EQ(value, int(cudaComputeModeProhibited));
  EXPECT_EQ(cudaSetDevice(2), cudaErrorDevicesUnavailable);
  EXPECT_EQ(cudaSetDevice(3), cudaErrorInvalidDevice);
  EXPECT_EQ(cudaSetDevice(1), cudaSuccess);
  std::thread([&] { cudaGetDevice(&current); }).join();
  EXPECT_EQ(current, 0);
  cudaGetDevice(&current);
  EXPECT_EQ(current, 1);
  cudasim::set_devices({});
  EXPECT_EQ(cudaGetDeviceCount(&count), cudaErrorNoDevice);
  EXPECT_EQ(count, 0);
}

}  // namespace
