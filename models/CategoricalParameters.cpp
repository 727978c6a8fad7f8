// HDBern's and HDGBern's cluster parameters: per cluster and column W outcome probabilities.
// The column prior is a mixture of Dirichlets, so their posterior given the column's counts
// y is the mixture of Dirichlet(alpha_d + y) with weights proportional to
// w_d DirMult(y | alpha_d): the component is drawn first, then the probabilities, as
// normalised gammas on the log scale (a tiny probability keeps its digits instead of
// becoming 0). The weights need not sum to 1: they enter only through their ratios.
#include <cmath>
#include <vector>

#include "models/ClusterParameters.h"
#include "models/HDBern.h"
#include "stats/MathPlus.h"
#include "stats/RandomPlus.h"
#include "stats/rvgs.h"

namespace {

template <int W>
class CategoricalParameters final : public ClusterParameters {
 public:
  explicit CategoricalParameters(const CategoricalData<W>& data)
      : data_(data), T_(data.T), prior_(data.muPrior) {
    const int K = prior_.mixtureOrder;
    logWeight_.resize(K);
    lgammaSum_.resize(K);
    for (int d = 0; d < K; d++) {
      logWeight_[d] = std::log(prior_.mixtureCoef[d]);
      double sum = 0, terms = 0;
      for (int v = 0; v < W; v++) {
        sum += prior_.alpha[d][v];
        terms += MathPlus::mylgamma(prior_.alpha[d][v]);
      }
      lgammaSum_[d] = MathPlus::mylgamma(sum) - terms;
    }
    component_.resize(K);
  }

  int width() const override { return W; }

  void addColumns(int from, int to, const int* z, int k, double* stats) const override {
    const size_t block = static_cast<size_t>(k) * W;
    for (int i = 0; i < data_.n; i++) {
      const auto* row = data_.sequence[i];
      double* cell = stats + z[i] * W;
      for (int t = from; t < to; t++)
        if (!isMissing(row[t])) cell[t * block + static_cast<int>(row[t])] += 1.0;
    }
  }

  void resize(int k) override { logTheta_.resize(static_cast<size_t>(k) * T_ * W); }

  void draw(int c, const double* stats, int k) override {
    double* table = logTheta_.data() + static_cast<size_t>(c) * T_ * W;
    const int K = prior_.mixtureOrder;
    double y[W], logGamma[W];
    for (int t = 0; t < T_; t++) {
      const double* count = stats + (static_cast<size_t>(t) * k + c) * W;
      double total = 0;
      for (int v = 0; v < W; v++) {
        y[v] = count[v];
        total += y[v];
      }
      int d = 0;
      if (K > 1) {
        // log w_d DirMult(y | alpha_d), the multinomial coefficient common to all.
        for (int e = 0; e < K; e++) {
          double sum = 0, terms = 0;
          for (int v = 0; v < W; v++) {
            sum += prior_.alpha[e][v];
            terms += MathPlus::mylgamma(prior_.alpha[e][v] + y[v]);
          }
          component_[e] = logWeight_[e] + lgammaSum_[e] + terms - MathPlus::mylgamma(sum + total);
        }
        d = RandomPlus::drawGeneralizedBern(component_.data(), K);
      }
      for (int v = 0; v < W; v++) logGamma[v] = rGamma(prior_.alpha[d][v] + y[v], true);
      const double norm = MathPlus::logSumExp(logGamma, W);
      for (int v = 0; v < W; v++) table[t * W + v] = logGamma[v] - norm;
    }
  }

  void logDensities(int i, const int* labels, int count, double* out) const override {
    const auto* row = data_.sequence[i];
    const size_t stride = static_cast<size_t>(T_) * W;
    if (data_.missing > 0) {
      for (int j = 0; j < count; j++) {
        const double* table = logTheta_.data() + labels[j] * stride;
        double sum = 0;
        for (int t = 0; t < T_; t++)
          if (!isMissing(row[t])) sum += table[t * W + static_cast<int>(row[t])];
        out[j] = sum;
      }
      return;
    }
    for (int j = 0; j < count; j++) {
      const double* table = logTheta_.data() + labels[j] * stride;
      double sum = 0;
      for (int t = 0; t < T_; t++) sum += table[t * W + static_cast<int>(row[t])];
      out[j] = sum;
    }
  }

 private:
  const CategoricalData<W>& data_;
  const int T_;
  const MixtureDirichletRV& prior_;
  std::vector<double> logWeight_;  // per component: log w_d
  std::vector<double> lgammaSum_;  // per component: lgamma(sum alpha_d) - sum lgamma(alpha_dv)
  std::vector<double> component_;  // scratch: the components' log posterior weights
  std::vector<double> logTheta_;   // k x T x W: the drawn log probabilities
};

template <int W>
std::unique_ptr<ClusterParameters> make(const CategoricalColumns<W>& model) {
  const CategoricalData<W>& data = model.shared();
  if (data.levels || data.profile || data.muPrior.dimension != W) return nullptr;
  return std::make_unique<CategoricalParameters<W>>(data);
}

}  // namespace

std::unique_ptr<ClusterParameters> makeCategoricalParameters(const Observable& model) {
  if (auto binary = dynamic_cast<const HDBern*>(&model)) return make(*binary);
  if (auto categorical = dynamic_cast<const HDGBern*>(&model)) return make(*categorical);
  return nullptr;
}
