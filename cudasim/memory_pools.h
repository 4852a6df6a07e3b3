// Device memory as the runtime books it: what each device has handed out
// (plain allocations and the memory every pool reserves), and the memory
// pools, the default one of each device and those made with
// cudaMemPoolCreate.
//
// A pool keeps the memory freed into it, as the toolkit documents: it counts
// against the device's free memory (cudaMemGetInfo) until it goes back, which
// happens only on cudaMemPoolTrimTo, on a stream or device synchronisation
// beyond the pool's release threshold, or when the pool is destroyed. Freed
// memory is kept as the blocks freed (what an allocation split off stays a
// block of its own): a later allocation from the same pool reuses the
// smallest block that holds it, and no two blocks are joined, since the
// runtime promises no remapping of what a pool keeps. A block may serve any
// stream once its free has run, and before that only the stream it was freed
// on (the pool's reuse across streams before the free completes, by
// dependencies it inserts, is the runtime's option, not a promise). Memory
// whose free has not run is never released.
//
// Every function here is called with the state mutex held.
#pragma once

#include "cudasim/cudasim_state.h"

#include <cstddef>
#include <cstdint>

namespace cudasim {
namespace detail {

// Bytes `device` has handed out: live plain allocations and what its pools
// reserve (their live allocations and the blocks they keep).
size_t& device_reserved(int device);

// A live pool (default or created and not destroyed), else null.
bool pool_usable(cudaMemPool_t pool);
int pool_device(cudaMemPool_t pool, int otherwise);
// The default pool of `device`, made on first use.
cudaMemPool_t default_pool(int device);
cudaMemPool_t create_pool(int device);
// False for a default pool or one that is not live. The blocks it keeps go
// back at once; memory still allocated from it, or whose free has not run,
// goes back when it is freed and the free runs.
bool destroy_pool(cudaMemPool_t pool);

// An allocation of `size` from a live pool on `stream`: a block the pool
// keeps that the stream may reuse, else new memory of the pool's device,
// which must have room for it (`device_size`). False when it has none.
bool pool_take(cudaMemPool_t pool, size_t size, cudaStream_t stream, size_t device_size);
// An allocation of `size` freed into its pool on `stream`; `ran`: the free
// has run (a synchronous free). The id of the block it became.
uint64_t pool_give(cudaMemPool_t pool, size_t size, cudaStream_t stream, bool ran);
// The free of block `id` has run in its stream.
void pool_free_ran(cudaMemPool_t pool, uint64_t id);

// Gives blocks whose free has run back to the device while the pool holds
// more than `keep` bytes, never leaving it less (cudaMemPoolTrimTo).
void trim_pool(cudaMemPool_t pool, size_t keep);
// After a synchronisation on `device`: each of its pools holding more than
// its release threshold gives back what it can down to the threshold.
void release_beyond_thresholds(int device);

uint64_t& pool_release_threshold(cudaMemPool_t pool);
size_t pool_reserved(cudaMemPool_t pool);
size_t pool_used(cudaMemPool_t pool);

struct PoolCounts {
  size_t created = 0, destroyed = 0;  // since forget_pools()
  size_t live = 0;                    // created and not destroyed, whenever made
  size_t kept_bytes = 0;              // kept by every pool, destroyed ones included
};
PoolCounts pool_counts();

// reset(): every pool holds nothing; the default pools are forgotten (a
// device gets a new one); created pools stay valid, with their attributes,
// as a library keeps their handles for the life of the process.
void forget_pools();

}  // namespace detail
}  // namespace cudasim
