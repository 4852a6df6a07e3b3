// How the device library sums: every thread adds its own run of consecutive
// items one after another, then the partial sums of the threads meet in a
// pairwise tree, and the initial value comes last. Summing a large plane
// from the first item to the last instead drifts from the device's result
// as the plane grows; every reduction of the stand-in (Thrust's, the
// library's own) sums here.
#pragma once

#include <cstddef>
#include <vector>

namespace cudasim {

// Items one thread adds before the tree.
constexpr size_t kReduceRun = 16;

// op(init, sum of first[0 .. count)), the sum taken as described above.
template <typename InputIt, typename T, typename BinaryOp>
T device_reduce(InputIt first, size_t count, T init, BinaryOp op) {
  if (count == 0) return init;
  std::vector<T> partial((count + kReduceRun - 1) / kReduceRun);
  for (size_t t = 0; t < partial.size(); ++t) {
    const size_t begin = t * kReduceRun;
    const size_t end = begin + kReduceRun < count ? begin + kReduceRun : count;
    T run = first[begin];
    for (size_t i = begin + 1; i < end; ++i) run = op(run, first[i]);
    partial[t] = run;
  }
  // Neighbours pair up level by level; an odd one out goes up unchanged.
  for (size_t n = partial.size(); n > 1; n = (n + 1) / 2) {
    for (size_t i = 0; 2 * i + 1 < n; ++i) partial[i] = op(partial[2 * i], partial[2 * i + 1]);
    if (n % 2) partial[n / 2] = partial[n - 1];
  }
  return op(init, partial[0]);
}

}  // namespace cudasim
