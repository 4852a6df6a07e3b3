// The device's memory pool as renders use it: what it keeps between frames
// goes back before a render concludes that its frame cannot fit, on the
// host's purge, and with the pool itself when the host unloads the bundle,
// even while a render still takes from it.
#include <gtest/gtest.h>

#include <vector>

#include "cudasim/cudasim_control.h"
#include "entry_harness.h"
#include "pipeline/device_work.h"

namespace {

// The bundle's pools of earlier tests go, then the stand-in starts afresh.
void start_without_pools() {
  destroy_device_pools();
  cudasim::reset();
}

size_t held_bytes() {
  size_t free_bytes = 0, total = 0;
  EXPECT_EQ(cudaMemGetInfo(&free_bytes, &total), cudaSuccess);
  return total - free_bytes;
}

// A frame whose buffers are larger than every block the pool keeps from a
// smaller frame, on a device with room for it but not for it and those
// blocks: set up by rendering the small frame there, so that the large
// frame's first attempt runs short and, with no other render holding memory,
// it hands back what the pool keeps and renders alone.
struct ShortDevice {
  TextureOptionsStruct small = plain_options(16, 16, 3), large = plain_options(32, 32, 3);
  std::vector<float> small_src = test_frame(16, 16, 3, 7), large_src = test_frame(32, 32, 3, 8);
  std::vector<float> small_out = std::vector<float>(small_src.size()), large_out = std::vector<float>(large_src.size());
  std::vector<float> expected = std::vector<float>(large_src.size());
  size_t large_bytes = 0, small_kept = 0;

  void set_up() {
    start_without_pools();
    ASSERT_TRUE(texture_pitch_compress_expand(large_src.data(), expected.data(), large));
    large_bytes = cudasim::allocation_stats().peak_live_bytes;
    start_without_pools();
    ASSERT_TRUE(texture_pitch_compress_expand(small_src.data(), small_out.data(), small));
    small_kept = cudasim::allocation_stats().kept_bytes;
    ASSERT_GT(small_kept, 0u);
    start_without_pools();
    cudasim::Device device;
    device.totalGlobalMem = large_bytes + small_kept / 2;
    cudasim::set_devices({device});
    ASSERT_TRUE(texture_pitch_compress_expand(small_src.data(), small_out.data(), small));
    EXPECT_EQ(held_bytes(), small_kept);
    cudasim::clear_call_log();
  }
};

TEST(DevicePools, AFrameThatFitsOnlyOnceThePoolsKeptMemoryGoesBackRendersAlone) {
  ShortDevice d;
  ASSERT_NO_FATAL_FAILURE(d.set_up());
  ASSERT_TRUE(texture_pitch_compress_expand(d.large_src.data(), d.large_out.data(), d.large));
  EXPECT_EQ(texture_pitch_compress_expand_failure(), kFrameNotFailed);
  EXPECT_EQ(d.large_out, d.expected);
  int short_of_memory = 0, trims = 0;
  for (const auto& c : cudasim::call_log()) {
    short_of_memory += c.function == "cudaMallocFromPoolAsync" && c.result == cudaErrorMemoryAllocation;
    trims += c.function == "cudaMemPoolTrimTo";
  }
  EXPECT_EQ(short_of_memory, 1) << "the first attempt did not run short";
  EXPECT_EQ(trims, 1);

  // The host's purge gives back what the pool kept of the large frame.
  EXPECT_EQ(held_bytes(), cudasim::allocation_stats().kept_bytes);
  EXPECT_GE(held_bytes(), d.large_bytes);
  release_cached_device_memory();
  EXPECT_EQ(held_bytes(), 0u);
  EXPECT_EQ(cudasim::allocation_stats().live_pools, 1u);
}

// The host unloads the bundle just as such a frame hands back what the pool
// keeps before it tries alone: the frame trims the pool it holds, renders,
// and the pool goes when the frame ends. Every pool made is destroyed and
// nothing stays kept.
TEST(DevicePools, AnUnloadAsAFrameTriesAloneLeavesNoPoolBehind) {
  ShortDevice d;
  ASSERT_NO_FATAL_FAILURE(d.set_up());
  const size_t made_before = cudasim::allocation_stats().pools_created;
  bool unloaded = false;
  cudasim::before_next_call("cudaMemPoolTrimTo", [&] {
    destroy_device_pools();
    unloaded = true;
  });
  ASSERT_TRUE(texture_pitch_compress_expand(d.large_src.data(), d.large_out.data(), d.large));
  ASSERT_TRUE(unloaded) << "the frame did not try alone";
  EXPECT_EQ(d.large_out, d.expected);
  const cudasim::AllocationStats s = cudasim::allocation_stats();
  EXPECT_EQ(s.pools_created, made_before) << "the frame made a pool after the unload";
  EXPECT_EQ(std::vector<size_t>({s.pools_destroyed, s.live_pools, s.kept_bytes}),
            std::vector<size_t>({s.pools_created, 0, 0}));
  for (const auto& c : cudasim::call_log()) {
    if (c.function == "cudaMemPoolTrimTo") {
      EXPECT_EQ(c.result, cudaSuccess) << "a destroyed pool was trimmed";
    }
  }
  EXPECT_EQ(held_bytes(), 0u);
}

// The host should never unload while a render runs; should it, the pool the
// render takes from stays until the render ends and then goes, and the next
// render makes one afresh.
TEST(DevicePools, AnUnloadDuringARenderDestroysItsPoolWhenTheRenderEnds) {
  start_without_pools();
  {
    RenderStream render(0);
    ASSERT_TRUE(render.ready());
    ASSERT_NE(render.work().pool, nullptr);
    float* p = nullptr;
    ASSERT_EQ(render.work().allocate(p, 1024), cudaSuccess);
    render.work().release(p);
    destroy_device_pools();
    EXPECT_EQ(cudasim::allocation_stats().live_pools, 1u);
    ASSERT_EQ(render.work().allocate(p, 2048), cudaSuccess);
    render.work().release(p);
    EXPECT_EQ(render.finish(), cudaSuccess);
    const cudasim::AllocationStats s = cudasim::allocation_stats();
    EXPECT_EQ(std::vector<size_t>({s.pools_created, s.pools_destroyed, s.live_pools, s.kept_bytes}),
              std::vector<size_t>({1, 1, 0, 0}));
    EXPECT_EQ(held_bytes(), 0u);
  }
  std::vector<float> src = test_frame(8, 8, 4), out(src.size());
  ASSERT_TRUE(texture_pitch_compress_expand(src.data(), out.data(), plain_options(8, 8, 4)));
  EXPECT_EQ(cudasim::allocation_stats().pools_created, 2u);
  destroy_device_pools();
  const cudasim::AllocationStats s = cudasim::allocation_stats();
  EXPECT_EQ(std::vector<size_t>({s.pools_destroyed, s.live_pools, s.kept_bytes}), std::vector<size_t>({2, 0, 0}));
}

}  // namespace
