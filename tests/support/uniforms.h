// Helpers for tests of random draws: the reference stream after a seed, and the number of
// uniforms an operation takes from the process-wide generator.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "stats/rvgs.h"

// The first count uniforms after initialize(seed), from a generator of their own.
inline std::vector<double> referenceUniforms(int count, uint32_t seed = 2) {
  mersenne twin;
  twin.initialize(seed);
  std::vector<double> u(count);
  for (auto& x : u) x = twin.runif();
  return u;
}

// Seeds the process generator, runs op, and finds the next uniform in a second generator's
// stream from the same seed: its position is the number of uniforms op took (-1: not found).
inline int uniformsUsed(const std::function<void()>& op, uint32_t seed = 2) {
  _rng.initialize(seed);
  op();
  double next = myunif_rand();
  mersenne twin;
  twin.initialize(seed);
  for (int used = 0; used < 100000; used++)
    if (twin.runif() == next) return used;
  return -1;
}
