// Index draws, Dirichlet vectors and sampling without replacement, all from myunif_rand.
#pragma once

struct RandomPlus {
  // Dirichlet(alpha) vector in out, or its element-wise log when Log.
  static void rdirichlet(const double* alpha, short categories, double* out, bool Log);
  // Index d with probability mean[d]; draws nothing when dimension is 1.
  static int rGeneralizedBern(const double* mean, int dimension);
  // Index j with probability proportional to exp(logMean0[j]); -inf cells are never chosen.
  static int drawGeneralizedBern(const double* logMean0, int numCells);
  // As above; logProb receives the normalised log probability of the chosen index.
  static int drawGeneralizedBern(const double* logMean0, int numCells, double& logProb);
  // The draw of drawGeneralizedBern given its uniform u (numCells > 1); draws nothing.
  static int drawGeneralizedBernAt(const double* logMean0, int numCells, double u);
  // The index drawGeneralizedBernAt(exact, numCells, u) returns, found from approximations
  // each within maxError of the exact log weights; -1 when they cannot tell it (u close to
  // a boundary, or a weight not finite). Lets a caller score candidates exactly only when
  // needed.
  static int drawGeneralizedBernBounded(const double* approx, int numCells, double maxError,
                                        double u);
  // k distinct indices of 0..n-1 (1..n unless zeroBased) into y; k uniforms.
  template <class T>
  static void SampleWithoutReplacement(int n, int k, T* y, bool zeroBased);
};
