#include "sampler/moves/ColumnCandidates.h"

#include <algorithm>

int64_t* ColumnCandidates::termsOf(std::vector<int64_t>& blocks, int label) {
  const size_t need = (static_cast<size_t>(label) + 1) * T_;
  if (blocks.size() < need) blocks.resize(need, 0);
  return blocks.data() + static_cast<size_t>(label) * T_;
}

int* ColumnCandidates::statsOf(int label) {
  const size_t need = (static_cast<size_t>(label) + 1) * width_;
  if (stats_.size() < need) stats_.resize(need, 0);
  return stats_.data() + static_cast<size_t>(label) * width_;
}

void ColumnCandidates::start(const Scorer& scorer, const ChainState& state) {
  scorer_ = &scorer;
  state_ = &state;
  columns_ = scorer.columns();
  const Observable& model = columns_->model();
  T_ = columns_->columns();
  width_ = columns_->statsWidth();
  const int kold = state.kold;
  stats_.assign(static_cast<size_t>(kold + 1) * width_, 0);
  terms_.assign(static_cast<size_t>(kold + 1) * T_, 0);
  for (int i = 0; i < state.n; i++) model.addToStats(i, statsOf(state.zold[i]), +1);
  sums_.assign(T_, 0);
  for (int m = 0; m < kold; m++) {
    int64_t* terms = termsOf(terms_, m);
    columns_->clusterTerms(statsOf(m), state.clusterSizes0[m], terms);
    for (int t = 0; t < T_; t++) sums_[t] += terms[t];
  }
  lik_ = columns_->combine(sums_.data());
  minus_.assign(T_, 0);
  candidate_.assign(T_, 0);
  scratch_.assign(width_, 0);
  sizes_.resize(kold + 1);
}

void ColumnCandidates::changedTerms(int m, int i, int sign, int64_t* out) {
  const int* stats = statsOf(m);
  std::copy(stats, stats + width_, scratch_.begin());
  columns_->model().addToStats(i, scratch_.data(), sign);
  const int members = (m < state_->kold ? state_->clusterSizes0[m] : 0) + sign;
  columns_->clusterTerms(scratch_.data(), members, out);
}

double ColumnCandidates::total(int i, int j, int k) {
  const ChainState& state = *state_;
  const int c = state.zold[i];
  const int kold = state.kold;
  if (static_cast<int>(sizes_.size()) < k) sizes_.resize(k);
  // Room for every label first: no block pointer below moves.
  termsOf(terms_, k - 1);
  termsOf(plus_, k - 1);
  statsOf(k - 1);
  for (int m = 0; m < k; m++) sizes_[m] = m < kold ? state.clusterSizes0[m] : 0;
  if (j == c) return lik_ + scorer_->partitionLogPrior(sizes_.data(), k);
  sizes_[c]--;
  sizes_[j]++;
  // Cluster c without i is the same for every j: once per observation.
  if (j == 0 || (j == 1 && c == 0)) changedTerms(c, i, -1, minus_.data());
  int64_t* plus = termsOf(plus_, j);
  changedTerms(j, i, +1, plus);
  const int64_t* before = termsOf(terms_, c);
  const int64_t* joined = termsOf(terms_, j);
  for (int t = 0; t < T_; t++)
    candidate_[t] = sums_[t] - before[t] - joined[t] + minus_[t] + plus[t];
  return columns_->combine(candidate_.data()) + scorer_->partitionLogPrior(sizes_.data(), k);
}

void ColumnCandidates::moved(int i, int from, int to, int emptied, int lastLabel) {
  const Observable& model = columns_->model();
  const int top = std::max(from, to);
  termsOf(terms_, top);
  termsOf(plus_, top);
  statsOf(top);
  model.addToStats(i, statsOf(from), -1);
  model.addToStats(i, statsOf(to), +1);
  int64_t* fromTerms = termsOf(terms_, from);
  int64_t* toTerms = termsOf(terms_, to);
  const int64_t* plus = termsOf(plus_, to);
  for (int t = 0; t < T_; t++) {
    sums_[t] += (minus_[t] - fromTerms[t]) + (plus[t] - toTerms[t]);
    fromTerms[t] = minus_[t];
    toTerms[t] = plus[t];
  }
  if (emptied >= 0 && emptied != lastLabel) {
    // The highest label took the emptied one.
    std::copy(statsOf(lastLabel), statsOf(lastLabel) + width_, statsOf(emptied));
    std::fill(statsOf(lastLabel), statsOf(lastLabel) + width_, 0);
    int64_t* last = termsOf(terms_, lastLabel);
    std::copy(last, last + T_, termsOf(terms_, emptied));
    std::fill(last, last + T_, 0);
  }
  lik_ = columns_->combine(sums_.data());
}
