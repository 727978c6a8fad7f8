// The uniform source and the variates built on it. Every random draw of a run goes through
// myunif_rand, so a run is reproduced exactly by its seed; the number of uniforms each variate
// consumes is part of its contract. A thread draws from _rng unless a scope hands it another
// generator (the heated copies of a chain each own one, so threads never share a stream).
#pragma once
#include <cstdint>

// Mersenne twister (MT19937) with a linear-congruential seed scramble.
class mersenne {
 public:
  mersenne() : mti(625) {}
  void initialize(uint32_t seed);
  double MT_genrand();  // raw draw in [0, 1)
  static double fixup(double x);  // keeps a draw strictly inside (0, 1)
  double runif() { return fixup(MT_genrand()); }

 private:
  uint32_t mt[624];
  int mti;  // 624: block used up; 625: never seeded
};

extern mersenne _rng;

extern "C" double myunif_rand();

// While it lives, myunif_rand on this thread draws from the generator given; then the
// thread's earlier source comes back.
class UseGenerator {
 public:
  explicit UseGenerator(mersenne& generator);
  ~UseGenerator();
  UseGenerator(const UseGenerator&) = delete;
  UseGenerator& operator=(const UseGenerator&) = delete;

 private:
  mersenne* previous_;
};

// A seed for stream number stream of a run seeded with seed: distinct streams of one seed
// get unrelated seeds (stream 0 is not special; the run's own stream is _rng seeded with seed).
uint32_t streamSeed(uint32_t seed, uint32_t stream);

// Gamma(dAl, scale 1), or its log when give_log. Shape <= 0 gives -inf and a NaN shape NaN;
// neither draws anything.
double rGamma(double dAl, bool give_log);
double rNormal(double m, double s);  // mean, standard deviation; one uniform
double rExponential(double m);       // mean; one uniform
int rUniform(int a, int b);          // a..b inclusive; one uniform
