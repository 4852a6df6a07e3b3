#include "cudasim/memory_pools.h"

#include "cudasim/kept.h"

#include <map>

namespace cudasim {
namespace detail {
namespace {

struct Block {
  size_t size;
  cudaStream_t stream;  // where it was freed (stream key)
  bool ran;             // its free has run: any stream may reuse it, a trim may release it
};

struct Pool {
  int device = 0;
  bool is_default = false;
  bool destroyed = false;
  uint64_t release_threshold = 0;
  size_t used = 0;                      // its live allocations
  std::map<uint64_t, Block> blocks;     // what it keeps, by id

  size_t kept() const {
    size_t bytes = 0;
    for (const auto& b : blocks) bytes += b.second.size;
    return bytes;
  }
  size_t reserved() const { return used + kept(); }
};

// Handles are addresses only the stand-in hands out, never freed, so a stale
// handle never names a later pool.
std::map<cudaMemPool_t, Pool>& pools() {
  static auto* m = kept(new std::map<cudaMemPool_t, Pool>);
  return *m;
}
std::map<int, cudaMemPool_t>& default_pools() {
  static auto* m = kept(new std::map<int, cudaMemPool_t>);
  return *m;
}
std::map<int, size_t>& reserved_bytes() {
  static auto* m = kept(new std::map<int, size_t>);
  return *m;
}
uint64_t next_block = 0;
size_t created_count = 0, destroyed_count = 0;

Pool* any_pool(cudaMemPool_t handle) {
  auto it = pools().find(handle);
  return it == pools().end() ? nullptr : &it->second;
}

Pool* live_pool(cudaMemPool_t handle) {
  Pool* p = any_pool(handle);
  return p && !p->destroyed ? p : nullptr;
}

void release_block(Pool& p, std::map<uint64_t, Block>::iterator it) {
  device_reserved(p.device) -= it->second.size;
  p.blocks.erase(it);
}

// What has run goes back, as long as the pool keeps at least `keep` bytes.
void release_down_to(Pool& p, size_t keep) {
  size_t reserved = p.reserved();
  for (auto it = p.blocks.begin(); it != p.blocks.end() && reserved > keep;) {
    const size_t size = it->second.size;
    if (!it->second.ran || reserved - size < keep) {
      ++it;
      continue;
    }
    reserved -= size;
    release_block(p, it++);
  }
}

cudaMemPool_t new_handle() { return reinterpret_cast<cudaMemPool_t>(kept(new char)); }

}  // namespace

size_t& device_reserved(int device) { return reserved_bytes()[device]; }

bool pool_usable(cudaMemPool_t pool) { return live_pool(pool) != nullptr; }

int pool_device(cudaMemPool_t pool, int otherwise) {
  const Pool* p = any_pool(pool);
  return p ? p->device : otherwise;
}

cudaMemPool_t default_pool(int device) {
  cudaMemPool_t& handle = default_pools()[device];
  if (!handle) {
    handle = new_handle();
    Pool& p = pools()[handle];
    p.device = device;
    p.is_default = true;
  }
  return handle;
}

cudaMemPool_t create_pool(int device) {
  const cudaMemPool_t handle = new_handle();
  pools()[handle].device = device;
  ++created_count;
  return handle;
}

bool destroy_pool(cudaMemPool_t pool) {
  Pool* p = live_pool(pool);
  if (!p || p->is_default) return false;
  p->destroyed = true;
  ++destroyed_count;
  release_down_to(*p, 0);
  return true;
}

bool pool_take(cudaMemPool_t pool, size_t size, cudaStream_t stream, size_t device_size) {
  Pool* p = live_pool(pool);
  if (!p) return false;
  auto best = p->blocks.end();
  for (auto it = p->blocks.begin(); it != p->blocks.end(); ++it) {
    const Block& b = it->second;
    if ((b.ran || b.stream == stream) && b.size >= size && (best == p->blocks.end() || b.size < best->second.size))
      best = it;
  }
  if (best != p->blocks.end()) {
    // Taken from what the pool keeps: the device's account does not change.
    if (best->second.size == size)
      p->blocks.erase(best);
    else
      best->second.size -= size;
  } else {
    size_t& reserved = device_reserved(p->device);
    if (size > device_size || reserved > device_size - size) return false;
    reserved += size;
  }
  p->used += size;
  return true;
}

uint64_t pool_give(cudaMemPool_t pool, size_t size, cudaStream_t stream, bool ran) {
  Pool* p = any_pool(pool);
  const uint64_t id = next_block++;
  if (!p) return id;
  p->used -= size;
  p->blocks[id] = Block{size, stream, ran};
  if (ran && p->destroyed) release_block(*p, p->blocks.find(id));
  return id;
}

void pool_free_ran(cudaMemPool_t pool, uint64_t id) {
  Pool* p = any_pool(pool);
  if (!p) return;
  auto it = p->blocks.find(id);
  if (it == p->blocks.end()) return;  // reused whole in its stream meanwhile
  it->second.ran = true;
  if (p->destroyed) release_block(*p, it);
}

void trim_pool(cudaMemPool_t pool, size_t keep) {
  if (Pool* p = live_pool(pool)) release_down_to(*p, keep);
}

void release_beyond_thresholds(int device) {
  for (auto& entry : pools()) {
    Pool& p = entry.second;
    if (p.device == device && !p.destroyed && p.reserved() > p.release_threshold)
      release_down_to(p, size_t(p.release_threshold));
  }
}

uint64_t& pool_release_threshold(cudaMemPool_t pool) { return any_pool(pool)->release_threshold; }
size_t pool_reserved(cudaMemPool_t pool) { return any_pool(pool)->reserved(); }
size_t pool_used(cudaMemPool_t pool) { return any_pool(pool)->used; }

PoolCounts pool_counts() {
  PoolCounts c;
  c.created = created_count;
  c.destroyed = destroyed_count;
  for (const auto& entry : pools()) {
    const Pool& p = entry.second;
    c.live += !p.is_default && !p.destroyed;
    c.kept_bytes += p.kept();
  }
  return c;
}

void forget_pools() {
  for (auto it = pools().begin(); it != pools().end();) {
    if (it->second.is_default) {
      it = pools().erase(it);
      continue;
    }
    it->second.used = 0;
    it->second.blocks.clear();
    ++it;
  }
  default_pools().clear();
  reserved_bytes().clear();
  created_count = destroyed_count = 0;
}

}  // namespace detail
}  // namespace cudasim
