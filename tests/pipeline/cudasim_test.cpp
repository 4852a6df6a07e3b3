// The CUDA stand-in behaves like the runtime where the pipeline (and every
// test's leak and bounds checks) depends on it. The barrier is exercised by
// the transpose, failure injection by the entry's failure tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

#include <pthread.h>
#include <sys/mman.h>

#include <thrust/device_ptr.h>
#include <thrust/functional.h>

#include "cudasim/cudasim_control.h"
#include "cudasim/device_reduce.h"
#include "cudasim/thrust_compat.h"
#include "device_buffer.h"
#include "documented_errors.h"
#include "tests/host/fresh_process.h"

namespace {

__constant__ float kScale[2] = {2.0f, 3.0f};

__global__ void scale_kernel(float* data, int n, float offset) {
  int i = blockIdx.x * blockDim.x + threadIdx.x;
  if (i < n) data[i] = data[i] * kScale[1] + offset;
}

// Each block reverses its part of `data` through shared memory.
__global__ void reverse_in_block(float* data) {
  __shared__ float tile[1024];
  const unsigned i = threadIdx.x, n = blockDim.x;
  const size_t base = size_t(blockIdx.x) * n;
  tile[i] = data[base + i];
  __syncthreads();
  data[base + i] = tile[n - 1 - i];
}
CUDASIM_COOPERATIVE_KERNEL(reverse_in_block);

// Fiber stacks the process has mapped: writable mappings of a stack's 60 KiB
// above its guard page, each a mapping of its own (/proc/self/maps).
long fiber_stacks_mapped() {
  std::ifstream maps("/proc/self/maps");
  long stacks = 0;
  for (std::string line; std::getline(maps, line);) {
    unsigned long start = 0, end = 0;
    char perms[5] = {};
    if (std::sscanf(line.c_str(), "%lx-%lx %4s", &start, &end, perms) == 3 && end - start == 60 * 1024 &&
        std::string(perms) == "rw-p")
      ++stacks;
  }
  return stacks;
}

// ThreadSanitizer's runtime maps memory of its own as the process runs: a
// process out of mappings stops it before anything else.
#if defined(__SANITIZE_THREAD__)
constexpr bool kRuntimeNeedsMappings = true;
#elif defined(__has_feature)
constexpr bool kRuntimeNeedsMappings = __has_feature(thread_sanitizer);
#else
constexpr bool kRuntimeNeedsMappings = false;
#endif

// Maps single pages, each a mapping of its own, until the system refuses
// one, then gives `left` of them back.
void use_up_mappings(size_t left) {
  std::vector<void*> pages;
  for (;;) {
    void* p = mmap(nullptr, 4096, pages.size() % 2 ? PROT_READ : PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) break;
    pages.push_back(p);
  }
  for (size_t i = 0; i < left && i < pages.size(); ++i) munmap(pages[pages.size() / 2 + i], 4096);
}

// Runs reverse_in_block over blocks of `threads` on the calling host
// thread, whose fiber stacks are its own; true when every block came out
// reversed.
bool reverse_blocks(unsigned threads) {
  std::vector<float> host(4 * threads);
  for (size_t i = 0; i < host.size(); ++i) host[i] = float(i);
  DeviceFloats d(host);
  CUDA_LAUNCH(reverse_in_block, 4, threads, d.get());
  const std::vector<float> out = d.download();
  bool reversed = true;
  for (size_t i = 0; i < out.size(); ++i) reversed = reversed && out[i] == host[i - i % threads + threads - 1 - i % threads];
  return reversed;
}

bool reverse_on_new_thread(unsigned threads) {
  bool reversed = false;
  std::thread([&] { reversed = reverse_blocks(threads); }).join();
  return reversed;
}

// `count` host threads living at once each reverse warp-sized blocks, one
// after the other (the default stream's work runs on the thread that waits
// for it), so each maps fiber stacks of its own; then they all end.
void reverse_on_threads_at_once(int count) {
  std::vector<std::thread> threads;
  std::atomic<int> ran{0};
  for (int t = 0; t < count; ++t)
    threads.emplace_back([&, t] {
      while (ran < t) std::this_thread::yield();
      EXPECT_TRUE(reverse_blocks(32));
      for (++ran; ran < count;) std::this_thread::yield();
    });
  for (auto& t : threads) t.join();
}

class Cudasim : public ::testing::Test {
 protected:
  void SetUp() override { cudasim::reset(); }
  void TearDown() override { cudasim::reset(); }
};

// Past the device's limits (a block of more than 1,024 threads or 1024 x
// 1024 x 64, a grid of more than 2^31 - 1 x 65,535 x 65,535 blocks, more than
// the 48 KiB of shared memory a block may have) a launch fails with the
// error the toolkit documents, and nothing runs.
TEST_F(Cudasim, ImpossibleConfigurationsAreSkippedAndReported) {
  {
    DeviceFloats d(std::vector<float>(4, 1.0f));
    const struct {
      dim3 grid, block;
      size_t shared;
    } bad[] = {{dim3(1), dim3(1025), 0},         {dim3(1), dim3(64, 32), 0},         {dim3(0), dim3(32), 0},
               {dim3(1, 0), dim3(32), 0},        {dim3(1), dim3(1, 1, 65), 0},       {dim3(1), dim3(1, 1025), 0},
               {dim3(1, 65536), dim3(32), 0},    {dim3(1, 1, 65536), dim3(32), 0},   {dim3(2147483648u), dim3(32), 0},
               {dim3(1), dim3(32), 48 * 1024 + 1}};
    for (const auto& c : bad) {
      CUDA_LAUNCH_STREAM(scale_kernel, c.grid, c.block, c.shared, nullptr, d.get(), 4, 1.0f);
      EXPECT_EQ(cudaGetLastError(), cudaErrorInvalidConfiguration);
      EXPECT_EQ(cudaGetLastError(), cudaSuccess);  // not sticky
    }
    EXPECT_EQ(d.download(), std::vector<float>(4, 1.0f));  // none of them ran
    CUDA_LAUNCH(scale_kernel, 1, 1024, d.get(), 4, 1.0f);
    EXPECT_EQ(cudaGetLastError(), cudaSuccess);
    EXPECT_EQ(d.download(), std::vector<float>(4, 4.0f));  // constant table read: 1 * 3 + 1
    EXPECT_TRUE(cudasim::launch_trace().back().ran);
  }
  // The largest grid the device takes is launched (and dropped before it runs).
  CUDA_LAUNCH(scale_kernel, dim3(2147483647u, 65535, 65535), 32, nullptr, 0, 1.0f);
  EXPECT_EQ(cudaGetLastError(), cudaSuccess);
  EXPECT_TRUE(cudasim::launch_trace().back().ran);
  cudasim::reset();
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
  const auto s = cudasim::allocation_stats();  // live, frees, double frees, invalid frees, overruns:
  EXPECT_EQ(std::vector<size_t>({s.live, s.frees, s.double_frees, s.invalid_frees, s.guard_overruns}),
            std::vector<size_t>({0, 1, 1, 1, 1}));
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

// Stream-ordered memory is checked like cudaMalloc's; what synchronises the
// device is booked per call, and a stream used after its end is refused.
TEST_F(Cudasim, StreamOrderedMemoryIsCheckedAndBookedLikeTheRuntime) {
  cudaStream_t s = nullptr;
  ASSERT_EQ(cudaStreamCreateWithFlags(&s, cudaStreamNonBlocking), cudaSuccess);
  float *a = nullptr, *b = nullptr;
  ASSERT_EQ(cudaMallocAsync(reinterpret_cast<void**>(&a), 8 * sizeof(float), s), cudaSuccess);
  ASSERT_EQ(cudaMalloc(reinterpret_cast<void**>(&b), 8 * sizeof(float)), cudaSuccess);
  EXPECT_TRUE(cudasim::is_nan_sentinel(a[7]));
  EXPECT_EQ(cudasim::allocation_stats().peak_live_bytes, 16 * sizeof(float));
  CUDA_LAUNCH_STREAM(scale_kernel, 1, 32, 0, s, a, 8, 1.0f);
  EXPECT_EQ(cudaGetLastError(), cudaSuccess);
  EXPECT_EQ(cudaMemsetAsync(b, 0, 9 * sizeof(float), s), cudaErrorInvalidValue);
  a[8] = 0.0f;  // past the end
  EXPECT_EQ(cudaFreeAsync(a, s), cudaSuccess);
  EXPECT_EQ(cudaFreeAsync(a, s), cudaErrorInvalidValue);
  cudasim::fail_call("cudaMallocAsync", 1, cudaErrorMemoryAllocation);
  EXPECT_EQ(cudaMallocAsync(reinterpret_cast<void**>(&a), 4, s), cudaErrorMemoryAllocation);
  EXPECT_EQ(cudaFree(b), cudaSuccess);
  EXPECT_EQ(cudaStreamDestroy(s), cudaSuccess);
  EXPECT_EQ(cudaMemcpyAsync(&b, &a, 1, cudaMemcpyHostToHost, s), cudaErrorInvalidResourceHandle);
  CUDA_LAUNCH_STREAM(scale_kernel, 1, 32, 0, s, nullptr, 0, 1.0f);
  EXPECT_EQ(cudaGetLastError(), cudaErrorInvalidResourceHandle);
  EXPECT_EQ(cudaStreamDestroy(cudaStreamPerThread), cudaErrorInvalidResourceHandle);

  const auto st = cudasim::allocation_stats();
  EXPECT_EQ(st.live + st.live_streams, 0u);
  EXPECT_EQ(st.guard_overruns + st.double_frees + st.bad_pointers, 3u);  // overrun, second free, memset
  EXPECT_EQ(st.bad_streams, 3u);
  int sync_allocs = 0, waits = 0;
  for (const auto& c : cudasim::call_log()) {
    sync_allocs += c.sync_allocs;
    waits += c.host_waits;
  }
  EXPECT_EQ(sync_allocs, 2);  // cudaMalloc and its cudaFree; the stream-ordered pair is free of charge
  EXPECT_EQ(waits, 1);        // the cudaFree
  EXPECT_FALSE(cudasim::launch_trace().back().ran);
}

// A hook set for a function runs once, on the thread of that function's
// next call, before the call does anything (its own calls are logged first)
// and outside the stand-in's lock (it may call the runtime); reset() forgets
// hooks not yet run.
TEST_F(Cudasim, AHookRunsOnceBeforeTheNextCallOfItsFunction) {
  int runs = 0;
  std::thread::id ran_on;
  cudasim::before_next_call("cudaMemGetInfo", [&] {
    ++runs;
    ran_on = std::this_thread::get_id();
    int count = 0;
    EXPECT_EQ(cudaGetDeviceCount(&count), cudaSuccess);
  });
  cudasim::clear_call_log();
  size_t free_bytes = 0, total = 0;
  std::thread([&] {
    EXPECT_EQ(cudaMemGetInfo(&free_bytes, &total), cudaSuccess);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(ran_on, std::this_thread::get_id());
  }).join();
  EXPECT_EQ(cudaMemGetInfo(&free_bytes, &total), cudaSuccess);
  EXPECT_EQ(runs, 1);
  std::vector<std::string> calls;
  for (const auto& c : cudasim::call_log()) calls.push_back(c.function);
  EXPECT_EQ(calls, (std::vector<std::string>{"cudaGetDeviceCount", "cudaMemGetInfo", "cudaMemGetInfo"}));
  cudasim::before_next_call("cudaMemGetInfo", [&] { ++runs; });
  cudasim::reset();
  EXPECT_EQ(cudaMemGetInfo(&free_bytes, &total), cudaSuccess);
  EXPECT_EQ(runs, 1);
}

// CUDASIM_DEVICE_MEMORY_MB sizes every device of the process: allocations of
// every kind past it fail as on a full GPU, cudaMemGetInfo reports the size
// and what is free, and each device's memory is its own.
TEST_F(Cudasim, DeviceMemorySizeFromTheEnvironment) {
  EXPECT_TRUE(ofxtest::runInFreshProcess([] {
    cudasim::reset();
    cudasim::set_devices({cudasim::Device{}, cudasim::Device{}});
    constexpr size_t MiB = size_t(1) << 20;
    size_t free_bytes = 0, total = 0;
    auto expectFree = [&](size_t expected) {
      ASSERT_EQ(cudaMemGetInfo(&free_bytes, &total), cudaSuccess);
      EXPECT_EQ(total, 3 * MiB);
      EXPECT_EQ(free_bytes, expected);
    };
    expectFree(3 * MiB);
    cudaStream_t s = nullptr;
    ASSERT_EQ(cudaStreamCreateWithFlags(&s, cudaStreamNonBlocking), cudaSuccess);
    cudaMemPool_t pool = nullptr;
    ASSERT_EQ(cudaDeviceGetDefaultMemPool(&pool, 0), cudaSuccess);
    void *a = nullptr, *b = nullptr, *c = nullptr;
    ASSERT_EQ(cudaMalloc(&a, 2 * MiB), cudaSuccess);
    expectFree(MiB);
    EXPECT_EQ(cudaMalloc(&b, MiB + 1), cudaErrorMemoryAllocation);
    EXPECT_EQ(cudaMallocAsync(&b, MiB + 1, s), cudaErrorMemoryAllocation);
    EXPECT_EQ(cudaMallocFromPoolAsync(&b, MiB + 1, pool, s), cudaErrorMemoryAllocation);
    EXPECT_EQ(cudaGetLastError(), cudaErrorMemoryAllocation);
    ASSERT_EQ(cudaMallocFromPoolAsync(&b, MiB, pool, s), cudaSuccess);
    expectFree(0);

    ASSERT_EQ(cudaSetDevice(1), cudaSuccess);
    expectFree(3 * MiB);
    ASSERT_EQ(cudaMalloc(&c, 3 * MiB), cudaSuccess);
    expectFree(0);
    EXPECT_EQ(cudaFree(c), cudaSuccess);

    ASSERT_EQ(cudaSetDevice(0), cudaSuccess);
    EXPECT_EQ(cudaFreeAsync(b, s), cudaSuccess);
    EXPECT_EQ(cudaFree(a), cudaSuccess);
    EXPECT_EQ(cudaStreamDestroy(s), cudaSuccess);
    expectFree(2 * MiB);  // the default pool keeps b until the host synchronises
    EXPECT_EQ(cudaDeviceSynchronize(), cudaSuccess);
    expectFree(3 * MiB);
  }, {{"CUDASIM_DEVICE_MEMORY_MB", "3"}}));
}

// A pool keeps the memory freed into it, counted against its device, for its
// own later allocations: a block serves one no larger, at once on the stream
// it was freed on, and on any stream once its free has run; blocks are never
// joined. Past the release threshold what has run goes back when the host
// synchronises, and a trim gives back what has run; destroying the pool gives
// back what it keeps at once and what is still allocated once freed. The
// default pool (cudaMallocAsync) keeps nothing past a synchronisation.
TEST_F(Cudasim, PoolsKeepWhatIsFreedIntoThemAsTheRuntimeDocuments) {
  constexpr size_t MiB = size_t(1) << 20;
  cudasim::Device small;
  small.totalGlobalMem = 16 * MiB;
  cudasim::set_devices({small});
  // The device's memory in use, in MiB, as cudaMemGetInfo tells it.
  const auto held = [] {
    size_t free_bytes = 0, total = 0;
    EXPECT_EQ(cudaMemGetInfo(&free_bytes, &total), cudaSuccess);
    return (total - free_bytes) / MiB;
  };
  cudaMemPoolProps props{};
  props.allocType = cudaMemAllocationTypePinned;
  props.location.type = cudaMemLocationTypeDevice;
  props.location.id = 0;
  cudaMemPool_t pool = nullptr;
  ASSERT_EQ(cudaMemPoolCreate(&pool, &props), cudaSuccess);
  uint64_t threshold = 3 * MiB;
  ASSERT_EQ(cudaMemPoolSetAttribute(pool, cudaMemPoolAttrReleaseThreshold, &threshold), cudaSuccess);
  cudaStream_t s = nullptr, t = nullptr;
  ASSERT_EQ(cudaStreamCreateWithFlags(&s, cudaStreamNonBlocking), cudaSuccess);
  ASSERT_EQ(cudaStreamCreateWithFlags(&t, cudaStreamNonBlocking), cudaSuccess);
  const auto take = [&](size_t mib, cudaStream_t stream) {
    void* p = nullptr;
    EXPECT_EQ(cudaMallocFromPoolAsync(&p, mib * MiB, pool, stream), cudaSuccess);
    return p;
  };

  void* a = take(2, s);
  void* b = take(3, s);
  ASSERT_EQ(cudaFreeAsync(a, s), cudaSuccess);
  ASSERT_EQ(cudaFreeAsync(b, s), cudaSuccess);
  EXPECT_EQ(held(), 5u);
  EXPECT_EQ(cudasim::allocation_stats().kept_bytes, 5 * MiB);
  void* c = take(3, t);  // s's frees have not run: new memory
  EXPECT_EQ(held(), 8u);
  void* d = take(2, s);  // a's block, after a's free in s's order
  EXPECT_EQ(held(), 8u);
  ASSERT_EQ(cudaFreeAsync(c, t), cudaSuccess);
  ASSERT_EQ(cudaFreeAsync(d, s), cudaSuccess);
  ASSERT_EQ(cudaStreamSynchronize(t), cudaSuccess);  // c's block goes; s's blocks have not run
  EXPECT_EQ(held(), 5u);
  ASSERT_EQ(cudaMemPoolTrimTo(pool, 0), cudaSuccess);
  EXPECT_EQ(held(), 5u);
  ASSERT_EQ(cudaStreamSynchronize(s), cudaSuccess);  // down to the threshold: d's block goes
  EXPECT_EQ(held(), 3u);
  void* e = take(4, t);  // no block holds it
  EXPECT_EQ(held(), 7u);
  void* f = take(1, t);  // b's block, split
  EXPECT_EQ(held(), 7u);
  uint64_t reserved = 0, used = 0;
  ASSERT_EQ(cudaMemPoolGetAttribute(pool, cudaMemPoolAttrReservedMemCurrent, &reserved), cudaSuccess);
  ASSERT_EQ(cudaMemPoolGetAttribute(pool, cudaMemPoolAttrUsedMemCurrent, &used), cudaSuccess);
  EXPECT_EQ(reserved, 7 * MiB);
  EXPECT_EQ(used, 5 * MiB);

  ASSERT_EQ(cudaMemPoolDestroy(pool), cudaSuccess);
  EXPECT_EQ(held(), 5u);  // the rest of b's block
  void* g = nullptr;
  EXPECT_EQ(cudaMallocFromPoolAsync(&g, MiB, pool, t), cudaErrorInvalidValue);
  EXPECT_EQ(cudaMemPoolTrimTo(pool, 0), cudaErrorInvalidValue);
  EXPECT_EQ(cudaMemPoolDestroy(pool), cudaErrorInvalidValue);
  ASSERT_EQ(cudaFreeAsync(e, t), cudaSuccess);
  ASSERT_EQ(cudaFreeAsync(f, t), cudaSuccess);
  EXPECT_EQ(held(), 5u);
  ASSERT_EQ(cudaStreamDestroy(t), cudaSuccess);  // its frees run
  EXPECT_EQ(held(), 0u);
  cudasim::AllocationStats st = cudasim::allocation_stats();
  EXPECT_EQ(std::vector<size_t>({st.pools_created, st.pools_destroyed, st.live_pools, st.kept_bytes}),
            std::vector<size_t>({1, 1, 0, 0}));

  cudaMemPool_t default_pool = nullptr;
  ASSERT_EQ(cudaDeviceGetDefaultMemPool(&default_pool, 0), cudaSuccess);
  EXPECT_EQ(cudaMemPoolDestroy(default_pool), cudaErrorInvalidValue);
  ASSERT_EQ(cudaMallocAsync(&g, 2 * MiB, s), cudaSuccess);
  ASSERT_EQ(cudaFreeAsync(g, s), cudaSuccess);
  ASSERT_EQ(cudaStreamDestroy(s), cudaSuccess);
  EXPECT_EQ(held(), 2u);
  ASSERT_EQ(cudaDeviceSynchronize(), cudaSuccess);
  EXPECT_EQ(held(), 0u);
}

// A cooperative block runs its threads on fiber stacks mapped for as many
// threads as it has. Each stack lies above a guard page, which splits the
// mapping into two: a host thread running warp-sized blocks costs the
// process 64 of its limited mappings (vm.max_map_count), not thousands, so
// a host's many render threads fit; and of the stacks of threads that
// ended, the process keeps sixteen threads' worth. A block of 1,024 threads
// gets its stacks too.
TEST_F(Cudasim, CooperativeBlocksTakeStacksForTheirOwnThreads) {
  EXPECT_TRUE(ofxtest::runInFreshProcess([] {
    EXPECT_TRUE(reverse_on_new_thread(32));
    EXPECT_LE(fiber_stacks_mapped(), 32);  // fewer where a neighbour's mapping joined the top one
    reverse_on_threads_at_once(24);
    EXPECT_LE(fiber_stacks_mapped(), 16 * 32);
    EXPECT_TRUE(reverse_on_new_thread(1024));
  }));
}

// Short of mappings, a host thread that needs fiber stacks gets those of
// the regions other threads left spare.
TEST_F(Cudasim, FiberStacksTakeTheSpareRegionsMappingsWhenShort) {
  if (kRuntimeNeedsMappings) GTEST_SKIP() << "the sanitizer's runtime cannot run out of mappings";
  EXPECT_TRUE(ofxtest::runInFreshProcess([] {
    reverse_on_threads_at_once(3);
    use_up_mappings(16);
    EXPECT_TRUE(reverse_on_new_thread(64));
  }));
}

// A launch spread over worker threads runs all its blocks when the system
// starts none of the workers: the blocks go to the threads that started.
TEST_F(Cudasim, ALaunchCompletesWhenWorkerThreadsCannotStart) {
  EXPECT_TRUE(ofxtest::runInFreshProcess([] {
    cudasim::set_worker_threads(4);
    constexpr int kBlocks = 64, kThreads = 256, n = kBlocks * kThreads;
    DeviceFloats d(std::vector<float>(n, 1.0f));
    // Threads whose stack no address space holds.
    pthread_attr_t unstartable, usual;
    ASSERT_EQ(pthread_getattr_default_np(&usual), 0);
    ASSERT_EQ(pthread_attr_init(&unstartable), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&unstartable, size_t(1) << 46), 0);
    ASSERT_EQ(pthread_setattr_default_np(&unstartable), 0);
    EXPECT_THROW(std::thread([] {}).join(), std::system_error);
    CUDA_LAUNCH(scale_kernel, kBlocks, kThreads, d.get(), n, 1.0f);
    const std::vector<float> out = d.download();
    ASSERT_EQ(pthread_setattr_default_np(&usual), 0);
    EXPECT_EQ(out, std::vector<float>(n, 4.0f));
    EXPECT_EQ(cudaGetLastError(), cudaSuccess);
  }));
}

// A reduction through the policies sums as the device does, reads only
// device memory, and takes and gives back its temporaries as the device
// would; a failure throws as Thrust does and leaks nothing.
TEST_F(Cudasim, ThrustReductionOnBothKindsOfTemporaries) {
  std::vector<float> host(5000);
  for (size_t i = 0; i < host.size(); ++i) host[i] = 1.0f / float(i + 1);
  const float sequential = cudasim::device_reduce(host.data(), host.size(), 0.0f, thrust::plus<float>());
  DeviceFloats d(host);
  const thrust::device_ptr<const float> first(d.get());
  const auto sum = [&](auto policy) { return thrust::reduce(policy, first, first + 5000, 0.0f, thrust::plus<float>()); };
  cudasim::clear_call_log();
  EXPECT_EQ(sum(thrust_compat::policy()), sequential);
  // A host thread with a stream of its own works on it (the strict checks).
  cudaStream_t s = nullptr;
  cudaStreamCreate(&s);
  thrust_compat::StreamTemporaries temporaries{s};
  EXPECT_EQ(sum(thrust_compat::policy(temporaries, s)), sequential);
  const auto log = cudasim::call_log();
  EXPECT_EQ(log[0].sync_allocs + log[0].host_waits, 4);
  std::vector<std::string> names;
  for (const auto& c : log) names.push_back(c.function);
  EXPECT_EQ(names, (std::vector<std::string>{"thrust::reduce", "cudaStreamCreate", "cudaMallocAsync", "thrust::reduce",
                                             "cudaMemcpyAsync", "cudaStreamSynchronize", "cudaFreeAsync"}));

  cudasim::fail_call("cudaMallocAsync", 1, cudaErrorMemoryAllocation);
  EXPECT_THROW(sum(thrust_compat::policy(temporaries, s)), std::bad_alloc);
  cudasim::fail_call("thrust::reduce", 1, cudaErrorLaunchOutOfResources, 2);
  EXPECT_THROW(sum(thrust_compat::policy()), std::runtime_error);
  EXPECT_THROW(sum(thrust_compat::policy(temporaries, s)), std::runtime_error);
  const thrust::device_ptr<const float> outside(host.data());
  EXPECT_THROW(thrust::reduce(thrust_compat::policy(), outside, outside + 2, 0.0f, thrust::plus<float>()),
               std::runtime_error);
  cudaStreamDestroy(s);
  EXPECT_EQ(cudasim::allocation_stats().live, 1u);  // d only
  EXPECT_EQ(cudasim::allocation_stats().bad_pointers, 1u);
}

// The lower-level reduction first names the bytes of temporaries it needs,
// then sums like Thrust's into device memory without waiting; a failure or
// an input outside the device is its result, and the sum stays unwritten.
TEST_F(Cudasim, CubReductionSumsLikeThrustAndReportsFailuresByResult) {
  std::vector<float> host(5000);
  for (size_t i = 0; i < host.size(); ++i) host[i] = 1.0f / float(i + 1);
  DeviceFloats d(host);
  const thrust::device_ptr<const float> first(d.get());
  const float expected = thrust::reduce(thrust_compat::policy(), first, first + 5000, 0.0f, thrust::plus<float>());
  size_t bytes = 0;
  ASSERT_EQ(cub::DeviceReduce::Reduce(nullptr, bytes, first, (float*)nullptr, 5000, thrust::plus<float>(), 0.0f),
            cudaSuccess);
  EXPECT_GT(bytes, 0u);
  DeviceFloats scratch(std::vector<float>(1 + bytes / sizeof(float), -1.0f));
  const auto reduce = [&](thrust::device_ptr<const float> in, int count) {
    return cub::DeviceReduce::Reduce(scratch.get() + 1, bytes, in, scratch.get(), count, thrust::plus<float>(), 0.0f);
  };
  cudasim::clear_call_log();
  EXPECT_EQ(reduce(first, 5000), cudaSuccess);
  const auto log = cudasim::call_log();
  EXPECT_EQ(scratch.download()[0], expected);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].function, "cub::DeviceReduce::Reduce");
  EXPECT_EQ(log[0].bytes, 5000 * sizeof(float));
  EXPECT_EQ(log[0].sync_allocs + log[0].host_waits, 0);

  const float marker = -1.0f;
  cudaMemcpy(scratch.get(), &marker, sizeof marker, cudaMemcpyHostToDevice);
  cudasim::fail_call("cub::DeviceReduce::Reduce", 1, cudaErrorLaunchOutOfResources);
  EXPECT_EQ(reduce(first, 5000), cudaErrorLaunchOutOfResources);
  EXPECT_EQ(reduce(thrust::device_ptr<const float>(host.data()), 2), cudaErrorInvalidValue);
  EXPECT_EQ(scratch.download()[0], -1.0f);
  EXPECT_EQ(cudasim::allocation_stats().bad_pointers, 1u);
  cudaGetLastError();
}

// Long runs stay flat: every log keeps its newest entries up to the limit
// and counts what it dropped; a recent double free is still one.
TEST_F(Cudasim, LogsAndFreedAddressesStayBounded) {
  cudasim::set_log_limit(16);
  std::vector<float*> blocks(40);
  for (int round = 0; round < 50; ++round) {
    for (auto& p : blocks) cudaMalloc(reinterpret_cast<void**>(&p), 4);
    for (auto* p : blocks) cudaFree(p);
    CUDA_LAUNCH(scale_kernel, 1, 1, blocks[0], 0, 0.0f);  // a freed pointer: a violation each round
  }
  EXPECT_EQ(cudaFree(blocks.back()), cudaErrorInvalidValue);
  const cudasim::LogSizes l = cudasim::log_sizes();
  EXPECT_EQ(l.calls, 16u);
  EXPECT_EQ(l.dropped_calls, 50u * 80u + 1u - 16u);
  EXPECT_EQ(l.launches, 16u);
  EXPECT_EQ(l.dropped_launches, 50u - 16u);
  EXPECT_LE(l.freed_addresses, 16u);
  EXPECT_EQ(l.violations, 16u);
  EXPECT_EQ(cudasim::allocation_stats().double_frees, 1u);
  EXPECT_EQ(cudasim::call_log().back().function, "cudaFree");
}

}  // namespace

namespace {

// A sticky error loses its device until reset(): every call that needs the
// device's context fails with it, cudaGetLastError cannot clear it, nothing
// launches there; the device's properties still answer, and another device
// is untouched. An unknown error is sticky when a synchronisation reports it.
TEST_F(Cudasim, StickyFaultsLoseTheirDeviceOnly) {
  cudasim::set_devices({cudasim::Device{}, cudasim::Device{}});
  float* d = nullptr;
  ASSERT_EQ(cudaMalloc(reinterpret_cast<void**>(&d), 4 * sizeof(float)), cudaSuccess);
  cudasim::fail_call("scale_kernel", 1, cudaErrorIllegalAddress);
  CUDA_LAUNCH(scale_kernel, 1, 32, d, 4, 1.0f);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(cudaGetLastError(), cudaErrorIllegalAddress);
  CUDA_LAUNCH(scale_kernel, 1, 32, d, 4, 1.0f);
  EXPECT_FALSE(cudasim::launch_trace().back().ran);
  cudaStream_t s = nullptr;
  float* p = nullptr;
  EXPECT_EQ(cudaStreamCreate(&s), cudaErrorIllegalAddress);
  EXPECT_EQ(cudaMalloc(reinterpret_cast<void**>(&p), 4), cudaErrorIllegalAddress);
  EXPECT_EQ(cudaDeviceSynchronize(), cudaErrorIllegalAddress);
  EXPECT_EQ(cudaSetDevice(0), cudaErrorIllegalAddress);
  int value = 0;
  EXPECT_EQ(cudaDeviceGetAttribute(&value, cudaDevAttrComputeCapabilityMajor, 0), cudaSuccess);

  EXPECT_EQ(cudaSetDevice(1), cudaSuccess);
  EXPECT_EQ(cudaGetLastError(), cudaErrorIllegalAddress);  // the thread's, left by the calls above
  EXPECT_EQ(cudaGetLastError(), cudaSuccess);
  {
    DeviceFloats other(std::vector<float>(4, 1.0f));
    CUDA_LAUNCH(scale_kernel, 1, 32, other.get(), 4, 1.0f);
    EXPECT_EQ(cudaGetLastError(), cudaSuccess);
    EXPECT_EQ(other.download(), std::vector<float>(4, 4.0f));
    cudasim::fail_call("cudaMemsetAsync", 1, cudaErrorUnknown);
    EXPECT_EQ(cudaMemsetAsync(other.get(), 0, 4, nullptr), cudaErrorUnknown);
  }
  EXPECT_EQ(cudaDeviceSynchronize(), cudaSuccess);  // not from a synchronisation
  cudasim::fail_call("cudaDeviceSynchronize", 1, cudaErrorUnknown);
  EXPECT_EQ(cudaDeviceSynchronize(), cudaErrorUnknown);
  EXPECT_EQ(cudaDeviceSynchronize(), cudaErrorUnknown);
  cudasim::reset();
  EXPECT_EQ(cudaDeviceSynchronize(), cudaSuccess);
}

// The stand-in's own list of sticky errors against the toolkit's
// documentation: each fault documented as leaving the process's CUDA state
// unusable sticks, no other error met by a kernel does.
TEST_F(Cudasim, TheFaultsTheToolkitDocumentsAsFatalStick) {
  const DocumentedErrors errors = documented_errors();
  ASSERT_GE(errors.fatal.size(), 13u);  // CUDA 13.0 documents 13
  for (const bool fatal : {true, false})
    for (const cudaError_t e : fatal ? errors.fatal : errors.other) {
      // An uncorrectable ECC error sticks beyond the toolkit's word.
      if (e == cudaSuccess || e == cudaErrorECCUncorrectable) continue;
      SCOPED_TRACE(::testing::Message() << "error " << int(e));
      cudasim::reset();
      DeviceFloats d(std::vector<float>(4, 1.0f));
      cudasim::fail_call("scale_kernel", 1, e);
      CUDA_LAUNCH(scale_kernel, 1, 32, d.get(), 4, 1.0f);
      EXPECT_EQ(cudaGetLastError(), e);
      EXPECT_EQ(cudaGetLastError(), fatal ? e : cudaSuccess);
      EXPECT_EQ(cudaDeviceSynchronize(), fatal ? e : cudaSuccess);
    }
  cudasim::reset();
}

}  // namespace

namespace {

// Device-style sums: per-thread runs, then a pairwise tree, then the initial
// value. A frame's worth of values (4K, 8.3 million) stays within 1e-6 of
// the double-precision sum, where adding one after another drifts far off;
// the tree's shape shows on values that cancel.
TEST(DeviceReduce, SumsInRunsAndATreeAsTheDeviceDoes) {
  std::vector<float> values(size_t(3840) * 2160);
  std::mt19937 rng(83);
  std::uniform_real_distribution<float> uniform(0.0f, 1.0f);
  double exact = 0.0;
  for (float& v : values) exact += double(v = uniform(rng));
  const float tree = cudasim::device_reduce(values.data(), values.size(), 0.0f, std::plus<float>());
  EXPECT_LT(std::fabs(double(tree) - exact), 1e-6 * exact);

  // Run 0 is 1e8 + 1 (+ 14 zeros) = 1e8 in float, run 1 is -1e8 + 1 = -1e8,
  // run 2 holds 1: the tree gives (1e8 + -1e8) + 1 = 1, then the init 2.
  std::vector<float> cancel(3 * cudasim::kReduceRun, 0.0f);
  cancel[0] = 1e8f, cancel[1] = 1.0f, cancel[16] = -1e8f, cancel[17] = 1.0f, cancel[32] = 1.0f;
  EXPECT_EQ(cudasim::device_reduce(cancel.data(), cancel.size(), 2.0f, std::plus<float>()), 3.0f);
  EXPECT_EQ(cudasim::device_reduce(cancel.data(), 0, 2.0f, std::plus<float>()), 2.0f);
}

}  // namespace

namespace {

// The strict checks, each shown catching a misuse seeded here; findings are
// counted instead of stopping the process.
class StrictStandIn : public ::testing::Test {
 protected:
  void SetUp() override {
    cudasim::reset();
    cudasim::set_findings_fatal(false);
  }
  void TearDown() override { cudasim::reset(); }
  // Findings whose text holds `phrase`.
  static int findings(const std::string& phrase) {
    int n = 0;
    for (const auto& v : cudasim::violations()) n += v.find(phrase) != std::string::npos;
    return n;
  }
  static float* device_floats(size_t n, cudaStream_t s) {
    float* p = nullptr;
    EXPECT_EQ(cudaMallocAsync(reinterpret_cast<void**>(&p), n * sizeof(float), s), cudaSuccess);
    return p;
  }
};

const char kUnordered[] = "is not waited for";

TEST_F(StrictStandIn, MemoryUsedOrFreedOnAnotherStreamNeedsAnOrdering) {
  cudaStream_t s1 = nullptr, s2 = nullptr, blocking = nullptr;
  cudaStreamCreateWithFlags(&s1, cudaStreamNonBlocking);
  cudaStreamCreateWithFlags(&s2, cudaStreamNonBlocking);
  float* p = device_floats(64, s1);
  CUDA_LAUNCH_STREAM(scale_kernel, 1, 64, 0, s2, p, 64, 1.0f);  // allocated on s1, not waited for
  EXPECT_EQ(findings(kUnordered), 1);
  cudaFreeAsync(p, s1);  // freed on s1 while s2's use runs
  EXPECT_EQ(findings(kUnordered), 2);
  cudaStreamSynchronize(s2);  // the misuse's kernel runs before the free does

  float* q = device_floats(64, s1);
  cudaStreamSynchronize(s1);  // the host waited: ordered
  CUDA_LAUNCH_STREAM(scale_kernel, 1, 64, 0, s2, q, 64, 1.0f);
  cudaStreamSynchronize(s2);
  cudaFreeAsync(q, s1);
  EXPECT_EQ(findings(kUnordered), 2);

  // The legacy default stream and a blocking stream order each other.
  cudaStreamCreate(&blocking);
  float* r = device_floats(64, blocking);
  std::thread([&] { CUDA_LAUNCH(scale_kernel, 1, 64, r, 64, 1.0f); }).join();
  EXPECT_EQ(findings(kUnordered), 2);
  cudaFreeAsync(r, blocking);
  for (cudaStream_t s : {s1, s2, blocking}) cudaStreamDestroy(s);
  EXPECT_EQ(cudasim::allocation_stats().strict_findings, 2u);
}

TEST_F(StrictStandIn, StreamsAndMemoryBelongToTheirDevice) {
  cudasim::set_devices({cudasim::Device{}, cudasim::Device{}});
  cudaStream_t s = nullptr;
  cudaStreamCreateWithFlags(&s, cudaStreamNonBlocking);
  float* p = device_floats(32, s);
  cudaStreamSynchronize(s);
  cudaSetDevice(1);
  CUDA_LAUNCH_STREAM(scale_kernel, 1, 32, 0, s, nullptr, 0, 1.0f);  // device 0's stream
  EXPECT_EQ(findings("stream"), 1);
  EXPECT_EQ(findings("of device 0 used while device 1 is current"), 1);
  cudaStream_t s1 = nullptr;
  cudaStreamCreateWithFlags(&s1, cudaStreamNonBlocking);
  std::vector<float> host(32);
  cudaMemcpyAsync(host.data(), p, 32 * sizeof(float), cudaMemcpyDeviceToHost, s1);  // device 0's memory
  EXPECT_EQ(findings("memory of device 0 used while device 1 is current"), 1);
  cudaStreamDestroy(s1);
  cudaSetDevice(0);
  cudaFreeAsync(p, s);
  cudaStreamDestroy(s);
}

// Once hold_display_range ran on the legacy default stream, unordered with
// its frame on the render's own stream: work of a thread with streams of
// its own goes on one of them.
TEST_F(StrictStandIn, ARenderWorksOnItsOwnStreamOnly) {
  cudaStream_t render = nullptr;
  cudaStreamCreateWithFlags(&render, cudaStreamNonBlocking);
  float* frame = device_floats(32, render);
  CUDA_LAUNCH_STREAM(scale_kernel, 1, 32, 0, render, frame, 32, 1.0f);
  EXPECT_EQ(cudasim::allocation_stats().strict_findings, 0u);
  CUDA_LAUNCH(scale_kernel, 1, 32, frame, 32, 1.0f);
  EXPECT_EQ(findings("from a host thread whose work goes on streams of its own"), 1);
  EXPECT_EQ(findings(kUnordered), 1);  // and unordered with the frame
  cudaMemsetAsync(frame, 0, 4, cudaStreamPerThread);
  EXPECT_EQ(findings("from a host thread whose work goes on streams of its own"), 2);
  cudaFreeAsync(frame, render);
  cudaStreamDestroy(render);
}

// Work runs when the host waits for its stream: before that, device memory
// holds what it held and a download holds poison.
TEST_F(StrictStandIn, ResultsAppearOnlyOnceWaitedFor) {
  cudaStream_t s = nullptr;
  cudaStreamCreateWithFlags(&s, cudaStreamNonBlocking);
  float* p = device_floats(8, s);
  const std::vector<float> ones(8, 1.0f);
  std::vector<float> host(8, 7.0f);
  cudaMemcpyAsync(p, ones.data(), sizeof(float) * 8, cudaMemcpyHostToDevice, s);
  CUDA_LAUNCH_STREAM(scale_kernel, 1, 8, 0, s, p, 8, 1.0f);
  cudaMemcpyAsync(host.data(), p, sizeof(float) * 8, cudaMemcpyDeviceToHost, s);
  EXPECT_TRUE(cudasim::is_nan_sentinel(p[0]));     // nothing ran yet
  EXPECT_TRUE(cudasim::is_nan_sentinel(host[0]));  // an early read sees poison
  cudaStreamSynchronize(s);
  EXPECT_EQ(host, std::vector<float>(8, 4.0f));
  cudaFreeAsync(p, s);
  cudaStreamDestroy(s);
  EXPECT_EQ(cudasim::allocation_stats().strict_findings, 0u);
}

std::atomic<int> visit_counter{0};
__global__ void visit_order(int* order) {
  order[blockIdx.x * blockDim.x + threadIdx.x] = visit_counter++;
}

// Blocks and threads run in a shuffled order; kernels may not rely on any.
TEST_F(StrictStandIn, BlocksAndThreadsRunInAShuffledOrder) {
  cudasim::set_worker_threads(1);
  int* order = nullptr;
  cudaMalloc(reinterpret_cast<void**>(&order), 8 * 32 * sizeof(int));
  visit_counter = 0;
  CUDA_LAUNCH(visit_order, 8, 32, order);
  std::vector<int> seen(8 * 32);
  cudaMemcpy(seen.data(), order, seen.size() * sizeof(int), cudaMemcpyDeviceToHost);
  std::vector<int> sorted = seen, identity(seen.size());
  std::sort(sorted.begin(), sorted.end());
  for (size_t i = 0; i < identity.size(); ++i) identity[i] = int(i);
  EXPECT_EQ(sorted, identity);  // every thread once
  EXPECT_NE(seen, identity);
  EXPECT_NE(seen[0] / 32, 0) << "block 0 ran first";
  int in_order = 0;  // threads of a block run one after another here, but not by index
  for (int b = 0; b < 8; ++b) in_order += std::is_sorted(seen.begin() + 32 * b, seen.begin() + 32 * (b + 1));
  EXPECT_LT(in_order, 8);
  cudaFree(order);
}

void use_on_another_stream_unordered() {
  cudasim::reset();
  cudaStream_t s1 = nullptr, s2 = nullptr;
  cudaStreamCreateWithFlags(&s1, cudaStreamNonBlocking);
  cudaStreamCreateWithFlags(&s2, cudaStreamNonBlocking);
  float* p = nullptr;
  cudaMallocAsync(reinterpret_cast<void**>(&p), 64, s1);
  CUDA_LAUNCH_STREAM(scale_kernel, 1, 16, 0, s2, p, 16, 1.0f);
}

// By default a finding stops the process, so a suite run fails on it.
TEST(StrictStandInDeath, AFindingStopsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(use_on_another_stream_unordered(), "is not waited for");
}

// Fiber stacks the system refuses (here, the process is out of mappings)
// stop the process with the reason, rather than leaving fibers without the
// guard pages that trap an overflow.
TEST(StrictStandInDeath, FiberStacksTheSystemRefusesStopTheProcess) {
  if (kRuntimeNeedsMappings) GTEST_SKIP() << "the sanitizer's runtime cannot run out of mappings";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        cudasim::reset();
        DeviceFloats d(std::vector<float>(32, 1.0f));
        CUDA_LAUNCH(reverse_in_block, 1, 32, d.get());
        use_up_mappings(16);  // fewer than the guards of a warp's stacks need
        cudaDeviceSynchronize();
      },
      "cudasim: cannot map fiber stacks: ");
}

}  // namespace
