// Runs a grid on the host. Blocks are shared out to a few host threads; a
// block runs its threads one after the other, except for kernels marked
// cooperative (they call __syncthreads), whose threads run as fibers on the
// block's host thread and meet at each barrier.
#include "cudasim/cudasim_state.h"
#include "cudasim/kept.h"

#include <sys/mman.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

// AddressSanitizer must be told about every stack switch, and a reused fiber
// stack must lose the poison its last frames left behind.
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#define CUDASIM_START_SWITCH(save, bottom, size) __sanitizer_start_switch_fiber(save, bottom, size)
#define CUDASIM_FINISH_SWITCH(save, bottom, size) __sanitizer_finish_switch_fiber(save, bottom, size)
#define CUDASIM_UNPOISON(p, size) ASAN_UNPOISON_MEMORY_REGION(p, size)
#else
#define CUDASIM_START_SWITCH(save, bottom, size) ((void)(save), (void)(bottom), (void)(size))
#define CUDASIM_FINISH_SWITCH(save, bottom, size) ((void)(save), (void)(bottom), (void)(size))
#define CUDASIM_UNPOISON(p, size) ((void)(p), (void)(size))
#endif

// ThreadSanitizer keeps a context per fiber and must be switched to the
// fiber about to run just before each stack switch; a switch orders what
// one simulated thread did before the barrier before what the next does.
// The entry of a fiber is left uninstrumented: it never returns, and a
// reused context would otherwise gain one call frame per block.
#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#define CUDASIM_FIBER_ENTRY __attribute__((no_sanitize_thread))
#define CUDASIM_TSAN_CURRENT() __tsan_get_current_fiber()
#define CUDASIM_TSAN_CREATE() __tsan_create_fiber(0)
#define CUDASIM_TSAN_DESTROY(fiber) __tsan_destroy_fiber(fiber)
#define CUDASIM_TSAN_SWITCH(fiber) __tsan_switch_to_fiber(fiber, 0)
#else
#define CUDASIM_FIBER_ENTRY
#define CUDASIM_TSAN_CURRENT() nullptr
#define CUDASIM_TSAN_CREATE() nullptr
#define CUDASIM_TSAN_DESTROY(fiber) ((void)(fiber))
#define CUDASIM_TSAN_SWITCH(fiber) ((void)(fiber))
#endif

CUDASIM_API thread_local uint3 threadIdx;
CUDASIM_API thread_local uint3 blockIdx;
CUDASIM_API thread_local uint3 blockDim;
CUDASIM_API thread_local uint3 gridDim;

// Minimal x86-64 System V context switch: saves the callee-saved registers and
// the floating-point control words on the current stack, stores the stack
// pointer in *from and continues on `to`. ucontext would cost a signal-mask
// system call per switch, several per simulated thread.
extern "C" void cudasim_switch_stack(void** from, void* to);
extern "C" void cudasim_fiber_start();
asm(R"(
  .text
  .globl cudasim_switch_stack
  .type cudasim_switch_stack, @function
cudasim_switch_stack:
  pushq %rbp
  pushq %rbx
  pushq %r12
  pushq %r13
  pushq %r14
  pushq %r15
  subq $8, %rsp
  stmxcsr (%rsp)
  fnstcw 4(%rsp)
  movq %rsp, (%rdi)
  movq %rsi, %rsp
  ldmxcsr (%rsp)
  fldcw 4(%rsp)
  addq $8, %rsp
  popq %r15
  popq %r14
  popq %r13
  popq %r12
  popq %rbx
  popq %rbp
  ret
  .size cudasim_switch_stack, .-cudasim_switch_stack

  .globl cudasim_fiber_start
  .type cudasim_fiber_start, @function
cudasim_fiber_start:
  movq %r12, %rdi
  callq *%r13
  ud2
  .size cudasim_fiber_start, .-cudasim_fiber_start
)");

namespace cudasim {
namespace detail {
namespace {

constexpr size_t kFiberStack = 64 * 1024;
constexpr size_t kGuardPage = 4096;

struct Fiber {
  void* sp = nullptr;
  const void* stack_bottom = nullptr;  // above the guard page
  bool done = false;
  uint3 index{0, 0, 0};
};

constexpr size_t kMaxBlockThreads = 1024;

// Fiber stacks for the threads of a block, mapped once and handed from one
// host thread to the next: workers are started per launch, and mapping and
// faulting in stacks each time would dominate the run time. The lowest page
// of every stack traps an overflow instead of letting one simulated thread
// write over the next one's stack; each such guard splits the mapping, so a
// region of n stacks costs the process 2n of its mappings (at most 65,530
// by default, vm.max_map_count). A region therefore holds the stacks of the
// largest block its host thread ran (a power of two, a warp's at least, the
// cooperative kernels' blocks), not of the largest block there may be, and
// regions beyond a few spare ones are unmapped: a host's many render
// threads stay far from the limit.
struct StackRegion {
  unsigned char* base = nullptr;
  size_t stacks = 0;
  unsigned char* stack(size_t i) const { return base + i * kFiberStack; }
};

constexpr size_t kMinRegionStacks = 32;
constexpr size_t kSpareRegions = 16;

std::mutex region_mutex;
std::vector<StackRegion>& free_regions() {
  static auto* v = kept(new std::vector<StackRegion>);
  return *v;
}

[[noreturn]] void fail_stacks(const char* what, int error) {
  std::fprintf(stderr, "cudasim: cannot %s fiber stacks: %s\n", what, std::strerror(error));
  std::abort();
}

void unmap_region(const StackRegion& r) {
  if (munmap(r.base, r.stacks * kFiberStack) != 0) fail_stacks("unmap", errno);
}

// False, with the system's error, when it refuses the mapping or a guard.
bool map_region(size_t stacks, StackRegion& region, int& error) {
  void* p = mmap(nullptr, kFiberStack * stacks, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                 -1, 0);
  if (p == MAP_FAILED) {
    error = errno;
    return false;
  }
  region = StackRegion{static_cast<unsigned char*>(p), stacks};
  for (size_t i = 0; i < stacks; ++i) {
    if (mprotect(region.stack(i), kGuardPage, PROT_NONE) != 0) {
      error = errno;
      unmap_region(region);
      return false;
    }
  }
  return true;
}

StackRegion acquire_region(size_t threads) {
  size_t stacks = kMinRegionStacks;
  while (stacks < threads) stacks *= 2;
  {
    std::lock_guard<std::mutex> lock(region_mutex);
    auto& free = free_regions();
    auto best = free.end();
    for (auto it = free.begin(); it != free.end(); ++it)
      if (it->stacks >= threads && (best == free.end() || it->stacks < best->stacks)) best = it;
    if (best != free.end()) {
      const StackRegion r = *best;
      free.erase(best);
      return r;
    }
  }
  StackRegion region;
  int error = 0;
  if (map_region(stacks, region, error)) return region;
  // Short of mappings, the process gets the spare regions' back first.
  std::vector<StackRegion> spare;
  {
    std::lock_guard<std::mutex> lock(region_mutex);
    spare.swap(free_regions());
  }
  for (const StackRegion& r : spare) unmap_region(r);
  if (map_region(stacks, region, error)) return region;
  fail_stacks("map", error);
}

void release_region(const StackRegion& region) {
  {
    std::lock_guard<std::mutex> lock(region_mutex);
    if (free_regions().size() < kSpareRegions) {
      free_regions().push_back(region);
      return;
    }
  }
  unmap_region(region);
}

// One per host thread.
struct Cooperative {
  bool active = false;
  void* scheduler_sp = nullptr;
  int current = -1;
  std::vector<Fiber> fibers;
  StackRegion region;
  ThreadBody body = nullptr;
  void* context = nullptr;
  // The scheduler's stack, as the sanitizer reports it on each fiber entry.
  const void* scheduler_bottom = nullptr;
  size_t scheduler_size = 0;
  // ThreadSanitizer contexts: the scheduler's, and one per fiber slot, made
  // once per host thread and reused by every block it runs.
  void* tsan_scheduler = nullptr;
  std::vector<void*> tsan_fibers;

  ~Cooperative() {
    for (void* fiber : tsan_fibers) CUDASIM_TSAN_DESTROY(fiber);
    if (region.base) release_region(region);
  }
};

thread_local Cooperative tls_coop;

CUDASIM_FIBER_ENTRY void fiber_main(Cooperative* c) {
  CUDASIM_FINISH_SWITCH(nullptr, &c->scheduler_bottom, &c->scheduler_size);
  c->body(c->context);
  c->fibers[size_t(c->current)].done = true;
  void* dead;
  CUDASIM_START_SWITCH(nullptr, c->scheduler_bottom, c->scheduler_size);
  CUDASIM_TSAN_SWITCH(c->tsan_scheduler);
  cudasim_switch_stack(&dead, c->scheduler_sp);
  std::abort();  // never resumed
}

void* prepare_stack(unsigned char* stack, Cooperative* c) {
  // Frame popped by cudasim_switch_stack: control words, r15, r14, r13, r12,
  // rbx, rbp, return address; the fiber starts with a 16-byte aligned stack.
  auto* top = reinterpret_cast<uint64_t*>(stack + kFiberStack);
  top -= 2;  // alignment padding; the start address is "returned" to
  uint64_t* frame = top - 8;
  uint32_t csr;
  uint16_t cw;
  asm volatile("stmxcsr %0" : "=m"(csr));
  asm volatile("fnstcw %0" : "=m"(cw));
  frame[0] = uint64_t(csr) | (uint64_t(cw) << 32);
  frame[1] = 0;                                         // r15
  frame[2] = 0;                                         // r14
  frame[3] = reinterpret_cast<uint64_t>(&fiber_main);   // r13
  frame[4] = reinterpret_cast<uint64_t>(c);             // r12
  frame[5] = 0;                                         // rbx
  frame[6] = 0;                                         // rbp
  frame[7] = reinterpret_cast<uint64_t>(&cudasim_fiber_start);
  return frame;
}

// The seeded order in which a launch visits its blocks and a block its
// threads: i -> (a * i + c) mod n, with a coprime to n, a fresh pair for
// every block and launch. Kernels must not depend on any order.
struct Order {
  uint64_t n = 1, a = 1, c = 0;
  Order() = default;
  Order(uint64_t count, uint64_t seed) : n(count ? count : 1) {
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 0xD1B54A32D192ED03ull;
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    c = x % n;
    a = (x >> 17) % n;
    auto gcd = [](uint64_t p, uint64_t q) {
      while (q) {
        const uint64_t r = p % q;
        p = q;
        q = r;
      }
      return p;
    };
    if (a == 0) a = 1;
    while (gcd(a, n) != 1) a = a + 1 < n ? a + 1 : 1;
  }
  uint64_t operator()(uint64_t i) const { return (a % n * (i % n) + c) % n; }
};

uint3 thread_index(dim3 block, uint64_t k) {
  return uint3{unsigned(k % block.x), unsigned((k / block.x) % block.y), unsigned(k / (uint64_t(block.x) * block.y))};
}

void run_block_cooperative(dim3 block, ThreadBody body, void* context, uint64_t seed) {
  Cooperative& c = tls_coop;
  size_t n = size_t(block.x) * block.y * block.z;
  if (c.region.stacks < n) {
    if (c.region.base) release_region(c.region);
    c.region = acquire_region(n);
  }
  c.fibers.assign(n, Fiber{});
  c.tsan_scheduler = CUDASIM_TSAN_CURRENT();
  while (c.tsan_fibers.size() < n) c.tsan_fibers.push_back(CUDASIM_TSAN_CREATE());
  c.body = body;
  c.context = context;
  for (size_t i = 0; i < n; ++i) {
    c.fibers[i].index = thread_index(block, i);
    c.fibers[i].stack_bottom = c.region.stack(i) + kGuardPage;
    CUDASIM_UNPOISON(c.region.stack(i) + kGuardPage, kFiberStack - kGuardPage);
    c.fibers[i].sp = prepare_stack(c.region.stack(i), &c);
  }
  c.active = true;
  // Each round runs every live thread up to its next barrier or its end, in
  // an order of its own.
  size_t live = n;
  for (uint64_t round = 0; live > 0; ++round) {
    live = 0;
    const Order order(n, seed + round);
    for (size_t j = 0; j < n; ++j) {
      const size_t k = size_t(order(j));
      Fiber& f = c.fibers[k];
      if (f.done) continue;
      c.current = int(k);
      threadIdx = f.index;
      void* fake_stack = nullptr;
      CUDASIM_START_SWITCH(&fake_stack, f.stack_bottom, kFiberStack - kGuardPage);
      CUDASIM_TSAN_SWITCH(c.tsan_fibers[k]);
      cudasim_switch_stack(&c.scheduler_sp, f.sp);
      CUDASIM_FINISH_SWITCH(fake_stack, nullptr, nullptr);
      if (!f.done) ++live;
    }
  }
  c.active = false;
  c.current = -1;
}

void run_block(dim3 block, ThreadBody body, void* context, uint64_t seed) {
  const uint64_t n = uint64_t(block.x) * block.y * block.z;
  const Order order(n, seed);
  for (uint64_t j = 0; j < n; ++j) {
    threadIdx = thread_index(block, order(j));
    body(context);
  }
}

// A launch the device can never run, by its own limits: too many blocks
// along a grid dimension, too many threads in a block, or more dynamic
// shared memory than a block may have. The toolkit documents
// cudaErrorInvalidConfiguration for each (driver_types.h).
cudaError_t check_configuration(int device, dim3 grid, dim3 block, size_t shared) {
  const auto limit = [device](cudaDeviceAttr attr) { return uint64_t(unsigned(device_attribute(device, attr))); };
  if (grid.x == 0 || grid.y == 0 || grid.z == 0 || block.x == 0 || block.y == 0 || block.z == 0)
    return cudaErrorInvalidConfiguration;
  if (block.x > limit(cudaDevAttrMaxBlockDimX) || block.y > limit(cudaDevAttrMaxBlockDimY) ||
      block.z > limit(cudaDevAttrMaxBlockDimZ))
    return cudaErrorInvalidConfiguration;
  const uint64_t threads = uint64_t(block.x) * block.y * block.z;
  if (threads > limit(cudaDevAttrMaxThreadsPerBlock) || threads > kMaxBlockThreads)
    return cudaErrorInvalidConfiguration;
  if (grid.x > limit(cudaDevAttrMaxGridDimX) || grid.y > limit(cudaDevAttrMaxGridDimY) ||
      grid.z > limit(cudaDevAttrMaxGridDimZ))
    return cudaErrorInvalidConfiguration;
  if (shared > limit(cudaDevAttrMaxSharedMemoryPerBlock)) return cudaErrorInvalidConfiguration;
  return cudaSuccess;
}

}  // namespace

bool register_cooperative(const void* kernel) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().cooperative.insert(kernel);
  return true;
}

void syncthreads() {
  Cooperative& c = tls_coop;
  if (!c.active) {
    std::fprintf(stderr,
                 "cudasim: __syncthreads in a kernel not marked with CUDASIM_COOPERATIVE_KERNEL\n");
    std::abort();
  }
  Fiber& f = c.fibers[size_t(c.current)];
  void* fake_stack = nullptr;
  CUDASIM_START_SWITCH(&fake_stack, c.scheduler_bottom, c.scheduler_size);
  CUDASIM_TSAN_SWITCH(c.tsan_scheduler);
  cudasim_switch_stack(&f.sp, c.scheduler_sp);
  CUDASIM_FINISH_SWITCH(fake_stack, &c.scheduler_bottom, &c.scheduler_size);
}

namespace {

std::atomic<uint64_t> launch_count{0};

uint64_t base_seed() {
  static const uint64_t seed = [] {
    const char* text = std::getenv("CUDASIM_SEED");
    return text && *text ? std::strtoull(text, nullptr, 0) : uint64_t(20);
  }();
  return seed;
}

// Runs every block of the grid, on up to `workers` host threads.
void execute_grid(dim3 grid, dim3 block, ThreadBody body, void* context, bool cooperative, int workers,
                  uint64_t seed) {
  uint64_t blocks = uint64_t(grid.x) * grid.y * grid.z;
  uint64_t threads_per_block = uint64_t(block.x) * block.y * block.z;
  // Small grids are not worth a thread start.
  if (blocks * threads_per_block < 8192) workers = 1;
  if (uint64_t(workers) > blocks) workers = int(blocks);

  const Order order(blocks, seed);
  std::atomic<uint64_t> next{0};
  auto work = [&] {
    gridDim = uint3{grid.x, grid.y, grid.z};
    blockDim = uint3{block.x, block.y, block.z};
    for (uint64_t j = next++; j < blocks; j = next++) {
      const uint64_t b = order(j);
      blockIdx = uint3{unsigned(b % grid.x), unsigned((b / grid.x) % grid.y), unsigned(b / (uint64_t(grid.x) * grid.y))};
      const uint64_t block_seed = seed ^ (b * 0x94D049BB133111EBull);
      if (cooperative)
        run_block_cooperative(block, body, context, block_seed);
      else
        run_block(block, body, context, block_seed);
    }
  };
  if (workers <= 1) {
    work();
    return;
  }
  std::vector<std::thread> pool;
  pool.reserve(size_t(workers - 1));
  for (int i = 1; i < workers; ++i) {
    try {
      pool.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // the system has no thread to spare: the blocks go to those started
    }
  }
  work();
  for (auto& t : pool) t.join();
}

}  // namespace

void run_grid(const char* name, const void* kernel, dim3 grid, dim3 block, size_t shared, cudaStream_t stream,
              std::vector<LaunchArgument>&& arguments, ThreadBody body, std::shared_ptr<void> context) {
  const int device = current_device();
  cudaError_t error = check_configuration(device, grid, block, shared);
  if (error == cudaSuccess && shared != 0) {
    // Kernels here use static __shared__ arrays only; the stand-in has no
    // dynamic shared memory to hand out.
    std::fprintf(stderr, "cudasim: %s launched with %zu bytes of dynamic shared memory\n", name, shared);
    std::abort();
  }
  if (error == cudaSuccess && !stream_usable(stream, name)) error = cudaErrorInvalidResourceHandle;
  if (error == cudaSuccess) error = injected_failure("launch");
  if (error == cudaSuccess) error = injected_failure(name);
  // A kernel's fault (illegal address, ...) loses its device; on a lost
  // device nothing launches.
  note_fault(device, error, false);
  if (error == cudaSuccess) error = lost_error(device);
  if (error == cudaSuccess) {
    check_work_stream(name, stream);
    for (const LaunchArgument& a : arguments)
      if (a.is_pointer && a.pointer) track_use(name, a.pointer, stream);
  }
  bool cooperative;
  int workers;
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    State& s = state();
    push_bounded(s.launches, Launch{name, grid, block, stream, std::move(arguments), error == cudaSuccess, device},
                 s.log_limit, s.dropped_launches);
    cooperative = s.cooperative.count(kernel) != 0;
    workers = s.worker_threads;
  }
  if (error != cudaSuccess) {
    set_last_error(error);
    return;
  }
  const uint64_t seed = base_seed() * 0x2545F4914F6CDD1Dull + launch_count++;
  enqueue(stream, [=] { execute_grid(grid, block, body, context.get(), cooperative, workers, seed); });
}

}  // namespace detail
}  // namespace cudasim
