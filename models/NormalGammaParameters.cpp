// mclust2's cluster parameters: per cluster and column a mean mu and a precision tau with
// the model's conjugate prior, tau ~ Gamma(shape alpha, rate beta) and
// mu | tau ~ Normal(mu0, 1 / (lambda tau)). Given the column's m seen values (average xbar,
// squared deviations SS) the posterior is the same family with lambda' = lambda + m,
// alpha' = alpha + m / 2, beta' = beta + SS / 2 + (lambda m / lambda') (xbar - mu0)^2 / 2
// and mean (lambda mu0 + m xbar) / lambda'; a column no member shows keeps the prior.
// The normal variate is Box-Muller's (two uniforms, exact), not rNormal's rational
// approximation.
#include <cmath>
#include <vector>

#include "models/ClusterParameters.h"
#include "models/mclust2.h"
#include "stats/rvgs.h"

namespace {

const double kTwoPi = 6.283185307179586;

double standardNormal() {
  const double u1 = myunif_rand();
  const double u2 = myunif_rand();
  return std::sqrt(-2.0 * std::log(u1)) * std::cos(kTwoPi * u2);
}

class NormalGammaParameters final : public ClusterParameters {
 public:
  NormalGammaParameters(const Mclust2Data& prior, const Matrix<double>& data)
      : prior_(prior), data_(data), n_(prior.n), T_(prior.T) {}

  // Per label and column: seen values, their running average and squared deviations
  // (Welford's update, row by row in order: the same doubles however many threads).
  int width() const override { return 3; }

  void addColumns(int from, int to, const int* z, int k, double* stats) const override {
    const size_t block = static_cast<size_t>(k) * 3;
    for (int i = 0; i < n_; i++) {
      const double* row = data_[i];
      for (int t = from; t < to; t++) {
        const double x = row[t];
        if (isMissing(x)) continue;
        double* s = stats + t * block + z[i] * 3;
        s[0] += 1.0;
        const double d = x - s[1];
        s[1] += d / s[0];
        s[2] += d * (x - s[1]);
      }
    }
  }

  void resize(int k) override { table_.resize(static_cast<size_t>(k) * T_ * 3); }

  void draw(int c, const double* stats, int k) override {
    double* table = table_.data() + static_cast<size_t>(c) * T_ * 3;
    for (int t = 0; t < T_; t++) {
      const double* s = stats + (static_cast<size_t>(t) * k + c) * 3;
      const double m = s[0];
      const double lambdaNew = prior_.lambda + m;
      const double alphaNew = prior_.alpha + m / 2.0;
      double betaNew = prior_.beta, mean = prior_.mu0[t];
      if (m > 0) {
        const double d = s[1] - prior_.mu0[t];
        betaNew += 0.5 * s[2] + 0.5 * (prior_.lambda * m / lambdaNew) * d * d;
        mean = (prior_.lambda * prior_.mu0[t] + m * s[1]) / lambdaNew;
      }
      const double logTau = rGamma(alphaNew, true) - std::log(betaNew);
      const double tau = std::exp(logTau);
      const double mu = mean + standardNormal() / std::sqrt(lambdaNew * tau);
      table[3 * t] = mu;
      table[3 * t + 1] = tau;
      table[3 * t + 2] = 0.5 * logTau - 0.5 * std::log(kTwoPi);
    }
  }

  void logDensities(int i, const int* labels, int count, double* out) const override {
    const double* row = data_[i];
    for (int j = 0; j < count; j++) {
      const double* table = table_.data() + static_cast<size_t>(labels[j]) * T_ * 3;
      double sum = 0;
      for (int t = 0; t < T_; t++) {
        if (isMissing(row[t])) continue;
        const double d = row[t] - table[3 * t];
        sum += table[3 * t + 2] - 0.5 * table[3 * t + 1] * d * d;
      }
      out[j] = sum;
    }
  }

 private:
  const Mclust2Data& prior_;
  const Matrix<double>& data_;
  const int n_, T_;
  std::vector<double> table_;  // k x T x (mu, tau, log of the density's constant)
};

}  // namespace

std::unique_ptr<ClusterParameters> makeNormalGammaParameters(const Observable& model) {
  if (auto normal = dynamic_cast<const mclust2*>(&model))
    return std::make_unique<NormalGammaParameters>(normal->shared(), normal->data);
  return nullptr;
}
