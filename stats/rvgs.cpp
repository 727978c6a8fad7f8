#include "stats/rvgs.h"

#include <cmath>
#include <limits>

mersenne _rng;

namespace {
// Constant-initialised, so reading it needs no guard on the hot path.
thread_local mersenne* currentGenerator = &_rng;
}  // namespace

UseGenerator::UseGenerator(mersenne& generator) : previous_(currentGenerator) {
  currentGenerator = &generator;
}

UseGenerator::~UseGenerator() { currentGenerator = previous_; }

uint32_t streamSeed(uint32_t seed, uint32_t stream) {
  // splitmix64 finaliser of both numbers: every bit of each moves the result.
  uint64_t x = (static_cast<uint64_t>(seed) << 32 | stream) + 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  x ^= x >> 31;
  return static_cast<uint32_t>(x ^ (x >> 32));
}

namespace {
const int N = 624;
const int M = 397;
const uint32_t MATRIX_A = 0x9908B0DFu;
const uint32_t UPPER_MASK = 0x80000000u;
const uint32_t LOWER_MASK = 0x7FFFFFFFu;
}  // namespace

void mersenne::initialize(uint32_t seed) {
  for (int j = 0; j < 51; j++) seed = 69069u * seed + 1u;
  for (int i = 0; i < N; i++) {
    seed = 69069u * seed + 1u;
    mt[i] = seed;
  }
  mti = N;
}

double mersenne::MT_genrand() {
  static const uint32_t mag01[2] = {0x0u, MATRIX_A};
  uint32_t y;
  if (mti >= N) {
    if (mti == N + 1) initialize(4357);
    int kk;
    for (kk = 0; kk < N - M; kk++) {
      y = (mt[kk] & UPPER_MASK) | (mt[kk + 1] & LOWER_MASK);
      mt[kk] = mt[kk + M] ^ (y >> 1) ^ mag01[y & 0x1u];
    }
    for (; kk < N - 1; kk++) {
      y = (mt[kk] & UPPER_MASK) | (mt[kk + 1] & LOWER_MASK);
      mt[kk] = mt[kk + (M - N)] ^ (y >> 1) ^ mag01[y & 0x1u];
    }
    y = (mt[N - 1] & UPPER_MASK) | (mt[0] & LOWER_MASK);
    mt[N - 1] = mt[M - 1] ^ (y >> 1) ^ mag01[y & 0x1u];
    mti = 0;
  }
  y = mt[mti++];
  y ^= (y >> 11);
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= (y >> 18);
  return static_cast<double>(y) * 2.3283064365386963e-10;
}

double mersenne::fixup(double x) {
  const double i2_32m1 = 2.328306437080797e-10;  // 1 / (2^32 - 1)
  if (x <= 0.0) return 0.5 * i2_32m1;
  if (1.0 - x <= 0.0) return 1.0 - 0.5 * i2_32m1;
  return x;
}

extern "C" double myunif_rand() { return currentGenerator->runif(); }

double rExponential(double m) { return -m * std::log(1.0 - myunif_rand()); }

int rUniform(int a, int b) {
  return a + static_cast<int>(myunif_rand() * (b - a + 1));
}

double rNormal(double m, double s) {
  const double p0 = 0.322232431088, q0 = 0.099348462606;
  const double p1 = 1.0, q1 = 0.588581570495;
  const double p2 = 0.342242088547, q2 = 0.531103462366;
  const double p3 = 0.0204231210245, q3 = 0.10353775285;
  const double p4 = 0.0000453642210148, q4 = 0.0038560700634;
  double u = myunif_rand();
  double t = u < 0.5 ? std::sqrt(-2.0 * std::log(u)) : std::sqrt(-2.0 * std::log(1.0 - u));
  double p = p0 + t * (p1 + t * (p2 + t * (p3 + t * p4)));
  double q = q0 + t * (q1 + t * (q2 + t * (q3 + t * q4)));
  double z = u < 0.5 ? p / q - t : t - p / q;
  return m + s * z;
}

double rGamma(double dAl, bool give_log) {
  const double e = 2.718281828459046;
  if (dAl <= 0.0) return -std::numeric_limits<double>::infinity();
  // A NaN shape fails every acceptance test below and would retry forever.
  if (std::isnan(dAl)) return dAl;
  if (dAl == 1.0) {
    double x = rExponential(1.0);
    return give_log ? std::log(x) : x;
  }
  if (dAl < 1.0) {
    // Ahrens-Dieter GS
    double b = (dAl + e) / e;
    for (;;) {
      double u1 = myunif_rand();
      double u2 = myunif_rand();
      if (u1 > 1.0 / b) {
        double x = -std::log(b * (1.0 - u1) / dAl);
        if (std::pow(x, dAl - 1.0) > u2) return give_log ? std::log(x) : x;
      } else {
        double lx = std::log(b * u1) * (1.0 / dAl);
        double x = std::exp(lx);
        if (std::exp(-x) > u2) return give_log ? lx : x;
      }
    }
  }
  // Cheng-Feast, parallelogram variant above 2.5
  double a = dAl - 1.0;
  double c2 = (dAl - 1.0 / (6.0 * dAl)) / a;
  double c3 = 2.0 / a;
  double c4 = c3 + 2.0;
  double c5 = 1.0 / std::sqrt(dAl);
  for (;;) {
    double u1 = myunif_rand();
    double u2 = myunif_rand();
    if (dAl > 2.5) u1 = u2 + c5 * (1.0 - 1.86 * u1);
    if (u1 <= 0.0 || u1 >= 1.0) continue;
    double w = c2 * u2 / u1;
    if (c3 * u1 + w + 1.0 / w <= c4 || c3 * std::log(u1) - std::log(w) + w < 1.0)
      return give_log ? std::log(a * w) : a * w;
  }
}
