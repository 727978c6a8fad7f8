// The one uniform source of the process and the variates built on it. Every random draw of a
// run goes through myunif_rand, so a run is reproduced exactly by its seed; the number of
// uniforms each variate consumes is part of its contract.
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

// Gamma(dAl, scale 1), or its log when give_log. Shape <= 0 gives -inf and a NaN shape NaN;
// neither draws anything.
double rGamma(double dAl, bool give_log);
double rNormal(double m, double s);  // mean, standard deviation; one uniform
double rExponential(double m);       // mean; one uniform
int rUniform(int a, int b);          // a..b inclusive; one uniform
