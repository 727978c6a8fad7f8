#include "sampler/ColumnSelection.h"

#include <algorithm>
#include <cmath>

namespace {
const double kUnit = 4294967296.0;  // 2^32 quanta per nat
}  // namespace

ColumnSelection::ColumnSelection(const Observable& model, double p)
    : model_(&model), n_(model.n), T_(model.T), width_(model.columnStatsSize()) {
  setP(p);
  terms_.resize(T_);
  background_.assign(T_, 0);
  std::vector<int> all(static_cast<size_t>(width_), 0);
  for (int i = 0; i < n_; i++) model.addToStats(i, all.data(), +1);
  clusterTerms(all.data(), n_, background_.data());
}

void ColumnSelection::setP(double p) {
  p_ = p;
  logP_ = std::log(p);
  log1mP_ = std::log1p(-p);
}

int64_t ColumnSelection::quantize(double term) {
  return static_cast<int64_t>(std::llround(term * kUnit));
}

void ColumnSelection::clusterTerms(const int* stats, int members, int64_t* terms) const {
  model_->columnTerms(stats, members, terms_.data());
  for (int t = 0; t < T_; t++) terms[t] = quantize(terms_[t]);
}

void ColumnSelection::partitionSums(const int* z, int k, int64_t* sums) const {
  const size_t width = static_cast<size_t>(width_);
  if (sizes_.size() < static_cast<size_t>(k)) sizes_.resize(k);
  if (stats_.size() < width * k) stats_.resize(width * k);
  std::fill(stats_.begin(), stats_.begin() + width * k, 0);
  std::fill(sizes_.begin(), sizes_.begin() + k, 0);
  for (int i = 0; i < n_; i++) {
    model_->addToStats(i, stats_.data() + width * z[i], +1);
    sizes_[z[i]]++;
  }
  std::fill(sums, sums + T_, 0);
  for (int j = 0; j < k; j++) {
    if (sizes_[j] == 0) continue;
    model_->columnTerms(stats_.data() + width * j, sizes_[j], terms_.data());
    for (int t = 0; t < T_; t++) sums[t] += quantize(terms_[t]);
  }
}

double ColumnSelection::combine(const int64_t* sums) const {
  double total = 0;
  for (int t = 0; t < T_; t++) {
    const double a = static_cast<double>(sums[t]) / kUnit;
    const double b = static_cast<double>(background_[t]) / kUnit;
    // log(p e^a + (1 - p) e^b), the larger exponent factored out.
    if (a >= b)
      total += a + logP_ + std::log1p(std::exp(log1mP_ - logP_ + (b - a)));
    else
      total += b + log1mP_ + std::log1p(std::exp(logP_ - log1mP_ + (a - b)));
  }
  return total;
}

void ColumnSelection::relevance(const int64_t* sums, double* out) const {
  for (int t = 0; t < T_; t++) {
    const double a = static_cast<double>(sums[t]) / kUnit;
    const double b = static_cast<double>(background_[t]) / kUnit;
    out[t] = 1.0 / (1.0 + std::exp(log1mP_ - logP_ + (b - a)));
  }
}

double ColumnSelection::logLik(const int* z, int k) const {
  sums_.resize(T_);
  partitionSums(z, k, sums_.data());
  return combine(sums_.data());
}

double ColumnSelection::logLikChange(const int* zold, int kold, const int* znew, int knew) const {
  const double after = logLik(znew, knew);
  return after - logLik(zold, kold);
}
