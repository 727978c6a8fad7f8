#include "stats/DirichletScorer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "stats/MathPlus.h"

DirichletTables::DirichletTables(const MixtureDirichletRV& prior, int maxCount, long budget)
    : DirichletTables(prior.dimension, prior.mixtureOrder, prior.alpha[0],
                      prior.mixtureCoef.data(), true, maxCount, budget) {}

namespace {
const double kOne = 1.0;
}  // namespace

DirichletTables::DirichletTables(const DirichletRV& prior, int maxCount, long budget)
    : DirichletTables(prior.dimension, 1, prior.alpha.data(), &kOne, false, maxCount, budget) {}

DirichletTables::DirichletTables(int dimension, int components, const double* alpha,
                                 const double* weights, bool mixture, int maxCount,
                                 long budget) {
  D_ = dimension;
  K_ = components;
  mixture_ = mixture;
  // Category-major layouts: the K components' values for one category and count are
  // adjacent, so the components' sums advance together.
  alpha_.resize(static_cast<size_t>(D_) * K_);
  for (int d = 0; d < K_; d++)
    for (int m = 0; m < D_; m++) alpha_[static_cast<size_t>(m) * K_ + d] = alpha[d * D_ + m];
  weights_.assign(weights, weights + K_);
  logWeight0_ = std::log(weights_[0]);
  priorLbeta_.resize(K_);
  for (int d = 0; d < K_; d++) priorLbeta_[d] = MathPlus::lbeta(alpha + d * D_, D_, true);

  const long cells = static_cast<long>(D_) * K_;
  tableLimit_ = static_cast<int>(std::min<long>(maxCount + 1L, budget / cells));
  table_.resize(cells * tableLimit_);
  for (int m = 0; m < D_; m++)
    for (int c = 0; c < tableLimit_; c++)
      for (int d = 0; d < K_; d++)
        table_[(static_cast<size_t>(m) * tableLimit_ + c) * K_ + d] =
            MathPlus::mylgamma(alpha_[static_cast<size_t>(m) * K_ + d] + c);

  const long memoBudget = std::min(budget, kMemoBudget);
  memoLimit_ = static_cast<int>(std::min<long>(maxCount + 1L, memoBudget / (2L * K_ * kWays)));
}

ZeroDoubles::ZeroDoubles(size_t size)
    : values_(static_cast<double*>(std::calloc(std::max<size_t>(size, 1), sizeof(double)))),
      size_(size) {
  if (!values_) throw std::bad_alloc();
}

void ZeroDoubles::Free::operator()(double* p) const { std::free(p); }

DirichletScorer::DirichletScorer(std::shared_ptr<const DirichletTables> tables)
    : tables_(std::move(tables)),
      memoKey_(static_cast<size_t>(tables_->memoLimit_) * tables_->K_ * kWays),
      memoValue_(memoKey_.size()) {
  const int K = tables_->K_;
  out_.assign(K, 0.0);
  alphaSum_.assign(K, 0.0);
  components_.assign(K, 0.0);
}

void DirichletScorer::reset(const MixtureDirichletRV& prior, int maxCount, long budget) {
  *this = DirichletScorer(std::make_shared<const DirichletTables>(prior, maxCount, budget));
}

void DirichletScorer::reset(const DirichletRV& prior, int maxCount, long budget) {
  *this = DirichletScorer(std::make_shared<const DirichletTables>(prior, maxCount, budget));
}

size_t DirichletScorer::scratchSize() const {
  return memoKey_.size() + memoValue_.size() + out_.size() + alphaSum_.size() +
         components_.size();
}

double DirichletScorer::lgammaOfSum(int d, int total, double alphaSum) const {
  if (static_cast<unsigned>(total) >= static_cast<unsigned>(tables_->memoLimit_))
    return MathPlus::mylgamma(alphaSum);
  // Sums of different count vectors with one total can round apart, mostly in the last bits:
  // those pick one of kWays entries.
  std::uint64_t bits;
  std::memcpy(&bits, &alphaSum, sizeof bits);
  const size_t slot = (static_cast<size_t>(total) * tables_->K_ + d) * kWays + (bits & (kWays - 1));
  // == compares values: an unused slot (key 0, value 0) matches only a sum of 0 or -0.0,
  // harmlessly, as mylgamma gives 0 for both.
  if (memoKey_[slot] != alphaSum) {
    memoKey_[slot] = alphaSum;
    memoValue_[slot] = MathPlus::mylgamma(alphaSum);
  }
  return memoValue_[slot];
}

namespace {

// The sums of lbeta over alpha_d + y for the B components d0..d0+B-1, each with the terms and
// in the order of MathPlus::lbeta; the B independent sums are merely interleaved, in
// registers. Tabulated says every count of y is below limit. Layouts as in DirichletScorer.
template <int B, bool tabulated>
void sumComponents(const int* y, int D, int K, int d0, int limit, const double* alpha,
                   const double* table, double* out, double* alphaSum) {
  double o[B] = {};
  double s[B] = {};
  for (int m = 0; m < D; m++) {
    const int c = y[m];
    const double* a = alpha + static_cast<size_t>(m) * K + d0;
    if (tabulated || c < limit) {
      const double* lgammas = table + (static_cast<size_t>(m) * limit + c) * K + d0;
      for (int b = 0; b < B; b++) {
        o[b] += lgammas[b];
        s[b] += a[b] + c;
      }
    } else {
      for (int b = 0; b < B; b++) {
        const double posterior = a[b] + c;
        o[b] += MathPlus::mylgamma(posterior);
        s[b] += posterior;
      }
    }
  }
  for (int b = 0; b < B; b++) {
    out[d0 + b] = o[b];
    alphaSum[d0 + b] = s[b];
  }
}

template <bool tabulated>
void sumAllComponents(const int* y, int D, int K, int limit, const double* alpha,
                      const double* table, double* out, double* alphaSum) {
  int d0 = 0;
  for (; d0 + 4 <= K; d0 += 4)
    sumComponents<4, tabulated>(y, D, K, d0, limit, alpha, table, out, alphaSum);
  if (d0 + 2 <= K) {
    sumComponents<2, tabulated>(y, D, K, d0, limit, alpha, table, out, alphaSum);
    d0 += 2;
  }
  if (d0 < K) sumComponents<1, tabulated>(y, D, K, d0, limit, alpha, table, out, alphaSum);
}

}  // namespace

double DirichletScorer::logIntegratedLik(const int* y) const {
  const DirichletTables& t = *tables_;
  const int K = t.K_;
  const int D = t.D_;
  double* out = out_.data();
  double* alphaSum = alphaSum_.data();
  int total = 0;
  for (int m = 0; m < D; m++) total += y[m];
  // Counts are not negative, so none exceeds the total.
  if (total < t.tableLimit_)
    sumAllComponents<true>(y, D, K, t.tableLimit_, t.alpha_.data(), t.table_.data(), out,
                           alphaSum);
  else
    sumAllComponents<false>(y, D, K, t.tableLimit_, t.alpha_.data(), t.table_.data(), out,
                            alphaSum);
  for (int d = 0; d < K; d++) {
    const double lbetaPosterior = out[d] - lgammaOfSum(d, total, alphaSum[d]);
    components_[d] = lbetaPosterior - t.priorLbeta_[d];
  }
  if (!t.mixture_) return components_[0];
  if (K == 1) return components_[0] + t.logWeight0_;
  return MathPlus::logSumExp(components_.data(), K, t.weights_.data());
}
