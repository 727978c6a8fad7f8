// Dirichlet distribution over D categories. Its central operation, logIntegratedLik, is the
// log Dirichlet-multinomial probability of a count vector (without the multinomial
// coefficient); it allocates nothing.
#pragma once
#include <vector>

class DirichletRV {
 public:
  short dimension = 0;
  std::vector<double> alpha;

  explicit DirichletRV(short _dimension);                // every alpha 1
  DirichletRV(short _dimension, double _alpha);          // every alpha _alpha
  DirichletRV(short _dimension, const double* _alpha);   // copies D values

  void set(short _dimension, const double* _alpha);
  void set(short _dimension, double _alpha);
  // alpha[i] = prior.alpha[i] + counts[i]
  void setWithCountsPrior(const int* counts, const DirichletRV& prior);
  void draw(double* mu, bool Log) const;
  double logDensity(const double* input, bool logInput) const;
  double logIntegratedLik(const int* y) const;
  void show() const;

 private:
  mutable std::vector<double> posterior_;  // scratch of logIntegratedLik
};
