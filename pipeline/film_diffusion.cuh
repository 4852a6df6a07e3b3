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
  __host__ __device__ __forceinline__ float operator()(size_t row, int /*k*/) const {
    return developer_to_code(developer[row * step]);
  }
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
  __host__ __device__ __forceinline__ void operator()(size_t i, const float (&v)[1]) const {
    const float diffused = diffused_developer(developer[i], bandOne ? bandOne[i] : v[0], v[0], gain);
    beforeExchange[i] = diffused;
    developer[i] = exchanged_developer(diffused, retention, added);
  }
};

}  // namespace film
