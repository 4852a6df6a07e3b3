// The developer diffusion's passes carry the per-pixel steps around its
// blurs: the first column pass loads the developer as code values, and the
// last row pass turns each blurred pixel back into developer.
#pragma once

#include "pipeline/film_develop.cuh"
#include "pipeline/texture_kernels.cuh"

namespace film {

// The samples of one column of the developer plane as code values (the
// column starts at `developer`, rows `step` floats apart).
struct DeveloperCodeSamples {
  const float* __restrict__ developer;
  size_t step;
  __host__ __device__ __forceinline__ float load(size_t row, int /*k*/) const { return developer[row * step]; }
  __host__ __device__ __forceinline__ static float sample(float loaded) { return developer_to_code(loaded); }
  static constexpr bool kConverted = true;
};

// The last row pass's epilogue: the developer at each finished pixel, from
// the developer there and band one's blur (`bandOne`, or with no band two
// the pass's own blur, null), and then its exchange with the reservoir. The
// diffused developer goes to `beforeExchange` (the pass's own scratch plane,
// whose pixel i the pass no longer needs), the exchanged one to the
// developer plane. That plane is read and written at the pixel being stored
// only, so every pixel still reads its own undiffused developer.
struct DiffusedDeveloperStore {
  float* __restrict__ developer;
  const float* __restrict__ bandOne;
  float* beforeExchange;
  float gain, retention, added;
  // The undiffused developer and band one's blur; without band two nothing
  // in its place (the pass's own blur is taken at the store). The compiler
  // tests bandOne once, ahead of the pass: no row's load waits behind a test.
  // A copy of the developer in its place would have to wait for that load
  // before the tile's own loads go out.
  struct Fetched {
    float developer, bandOne;
  };
  // The diffused developer, and the developer after the exchange.
  struct Finished {
    float diffused, exchanged;
  };
  __host__ __device__ __forceinline__ Fetched fetch(size_t i) const {
    return {developer[i], bandOne ? bandOne[i] : 0.0f};
  }
  __host__ __device__ __forceinline__ Finished finish(const float (&v)[1], const Fetched& f) const {
    const float diffused = diffused_developer(f.developer, bandOne ? f.bandOne : v[0], v[0], gain);
    return {diffused, exchanged_developer(diffused, retention, added)};
  }
  __host__ __device__ __forceinline__ void write(size_t i, float*, const Finished& d) const {
    beforeExchange[i] = d.diffused;
    developer[i] = d.exchanged;
  }
};

}  // namespace film
