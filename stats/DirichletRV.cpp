#include "stats/DirichletRV.h"

#include "io/Console.h"
#include "stats/MathPlus.h"
#include "stats/RandomPlus.h"
#include "io/Text.h"

DirichletRV::DirichletRV(short _dimension) { set(_dimension, 1.0); }
DirichletRV::DirichletRV(short _dimension, double _alpha) { set(_dimension, _alpha); }
DirichletRV::DirichletRV(short _dimension, const double* _alpha) { set(_dimension, _alpha); }

void DirichletRV::set(short _dimension, const double* _alpha) {
  dimension = _dimension;
  alpha.assign(_alpha, _alpha + _dimension);
  posterior_.assign(_dimension, 0.0);
}

void DirichletRV::set(short _dimension, double _alpha) {
  dimension = _dimension;
  alpha.assign(_dimension, _alpha);
  posterior_.assign(_dimension, 0.0);
}

void DirichletRV::setWithCountsPrior(const int* counts, const DirichletRV& prior) {
  for (int i = 0; i < dimension; i++) alpha[i] = prior.alpha[i] + counts[i];
}

void DirichletRV::draw(double* mu, bool Log) const {
  RandomPlus::rdirichlet(alpha.data(), dimension, mu, Log);
}

double DirichletRV::logDensity(const double* input, bool logInput) const {
  return logInput ? StatPlus::ddirichlet_log(input, alpha.data(), dimension, true)
                  : StatPlus::ddirichlet(input, alpha.data(), dimension, true);
}

double DirichletRV::logIntegratedLik(const int* y) const {
  for (int m = 0; m < dimension; m++) posterior_[m] = alpha[m] + y[m];
  return MathPlus::lbeta(posterior_.data(), dimension, true) -
         MathPlus::lbeta(alpha.data(), dimension, true);
}

void DirichletRV::show() const { Text::printArray<double>(alpha.data(), dimension, vout(), true); }
