#include "sampler/moves/OneAtATimeScores.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "io/Failure.h"
#include "io/Text.h"
#include "sampler/ClusterStats.h"

namespace {
// Statistics of at most this many values are scored afresh rather than looked up.
const int kMemoFreeStats = 128;
}  // namespace

OneAtATimeScores::Visit OneAtATimeScores::Sweep::visit(int* candidate, int i, int k) {
  return Visit(*scores_, incremental_, candidate, i, k);
}

double OneAtATimeScores::Visit::next() {
  const int j = j_++;
  candidate_[i_] = j;
  if (!incremental_) return scores_->scorer_->getTotalLik(candidate_, k_);
  scores_->candidate_ = candidate_;
  return scores_->candidateTotal(i_, j, k_);
}

double OneAtATimeScores::Visit::estimateAll(double* approx) {
  if (!incremental_ || j_ != 0)
    failRun(scores_->scorer_->log(), Failure::Internal,
            "OneAtATimeScores: estimates asked of a visit that cannot give them");
  j_ = k_;
  scores_->candidate_ = candidate_;
  return scores_->estimateAll(i_, k_, approx);
}

double OneAtATimeScores::Visit::exact(int j) { return scores_->wholeTotal(i_, j, k_); }

void OneAtATimeScores::Visit::moved(int from, int to, int emptied, int lastLabel) {
  if (!incremental_) return;
  // The move's two clusters were scored as candidates: all of them must have been.
  if (!done())
    failRun(scores_->scorer_->log(), Failure::Internal,
            "OneAtATimeScores: a move reported before its visit scored every candidate");
  scores_->observationMoved(i_, from, to, emptied, lastLabel);
}

OneAtATimeScores::Sweep OneAtATimeScores::start(Scorer& scorer, const ChainState& state) {
  scorer_ = &scorer;
  state_ = &state;
  const bool incremental = scorer.scoresPerCluster();
  if (!incremental) return Sweep(*this, false, false);
  columnMode_ = scorer.columns() != nullptr;
  if (columnMode_) {
    // Candidates are combined over columns, not summed over clusters: nothing to estimate.
    columns_.start(scorer, state);
    return Sweep(*this, true, false);
  }
  const int kold = state.kold;
  const int n = state.n;
  const std::vector<int>& zold = state.zold;
  const FitnessZType criterion = scorer.criterion();
  const ScoreCache& cache = scorer.memo(criterion);
  kind_ = scorer.statsKind();
  statsSize_ = scorer.widthOf(kind_);
  // Small statistics score a candidate faster than a memo lookup, which mostly misses
  // (a cache miss of its own) since one-at-a-time candidates rarely recur.
  memoCandidates_ = !(kind_ == StatsKind::Moments ||
                      (kind_ == StatsKind::Counts && statsSize_ <= kMemoFreeStats));
  if (kind_ == StatsKind::Counts) countStats(curStats_);
  if (kind_ == StatsKind::Moments) countStats(curMoments_);
  curKey_.assign(kold + 1, ClusterKey());
  curFit_.resize(kold + 1);
  for (int i = 0; i < n; i++) curKey_[zold[i]] ^= cache.key(i);
  for (int m = 0; m < kold; m++)
    curFit_[m] = scorer.cachedScore(zold.data(), m, curKey_[m], criterion);
  // Label kold is empty in zold; its score is the model's score of an empty label.
  curFit_[kold] = scorer.cachedScore(zold.data(), kold, ClusterKey(), criterion);
  candidateSizes_.resize(kold + 1);
  resetSweepCache(kold);
  if (aloneScorer_ != &scorer || static_cast<int>(alone_.size()) != n) {
    aloneScorer_ = &scorer;
    alone_.assign(n, 0.0);
    aloneKnown_.assign(n, 0);
  }
  const bool estimates =
      kind_ != StatsKind::Moments &&
      (criterion != INTEGRATED || std::isfinite(scorer.prior().logPriorMagnitude(n, n + 1)));
  return Sweep(*this, true, estimates);
}

template <class V>
void OneAtATimeScores::countStats(std::vector<V>& cur) const {
  const ChainState& state = *state_;
  cur.assign(static_cast<size_t>(state.kold + 1) * statsSize_, V());
  for (int i = 0; i < state.n; i++)
    clusterstats::add(scorer_->model(), i,
                      cur.data() + static_cast<size_t>(state.zold[i]) * statsSize_, +1);
}

template <class V>
void OneAtATimeScores::moveStats(std::vector<V>& cur, int i, int from, int to, int emptied,
                                 int lastLabel) const {
  const Observable& model = scorer_->model();
  const size_t S = static_cast<size_t>(statsSize_);
  if (cur.size() < (static_cast<size_t>(to) + 2) * S) cur.resize((to + 2) * S, V());
  clusterstats::add(model, i, cur.data() + from * S, -1);
  clusterstats::add(model, i, cur.data() + to * S, +1);
  if (emptied >= 0 && emptied != lastLabel) {
    // The highest label took the emptied one.
    std::copy(cur.begin() + lastLabel * S, cur.begin() + (lastLabel + 1) * S,
              cur.begin() + emptied * S);
    std::fill(cur.begin() + lastLabel * S, cur.begin() + (lastLabel + 1) * S, V());
  } else if (emptied >= 0) {
    std::fill(cur.begin() + emptied * S, cur.begin() + (emptied + 1) * S, V());
  }
}

void OneAtATimeScores::observationMoved(int i, int from, int to, int emptied, int lastLabel) {
  if (columnMode_) return columns_.moved(i, from, to, emptied, lastLabel);
  const ChainState& state = *state_;
  if (kind_ == StatsKind::Counts) moveStats(curStats_, i, from, to, emptied, lastLabel);
  if (kind_ == StatsKind::Moments) moveStats(curMoments_, i, from, to, emptied, lastLabel);
  const ScoreCache& cache = scorer_->memo(scorer_->criterion());
  const ClusterKey& ki = cache.key(i);
  const int kold = state.kold;  // after the move
  const double emptyFit = curFit_.back();
  if (static_cast<int>(curKey_.size()) < to + 1) {
    curKey_.resize(to + 1);
    curFit_.resize(to + 1);
  }
  curKey_[from] ^= ki;
  curKey_[to] ^= ki;
  // The two changed clusters were scored as this move's candidate.
  curFit_[from] = fitMinus_;
  curFit_[to] = fitPlus_[to];
  if (emptied >= 0 && emptied != lastLabel) {
    curKey_[emptied] = curKey_[lastLabel];
    curFit_[emptied] = curFit_[lastLabel];
  }
  // Label kold stays the empty one.
  curKey_.resize(kold + 1);
  curFit_.resize(kold + 1);
  curKey_[kold] = ClusterKey();
  curFit_[kold] = emptyFit;
  candidateSizes_.resize(kold + 1);
  for (int label : {from, to, emptied, lastLabel, kold})
    if (label >= 0 && label <= kold) sweepCache_.noteChanged(label, curKey_[label]);
#ifndef NDEBUG
  std::vector<ClusterKey> fresh(kold + 1);
  for (int o = 0; o < state.n; o++) fresh[state.zold[o]] ^= cache.key(o);
  if (!(fresh == curKey_))
    failRun(scorer_->log(), Failure::Internal,
            "PartitionSampler: internal error: cluster keys out of step");
  if (kind_ == StatsKind::Counts) {
    std::vector<int> counted;
    countStats(counted);
    counted.resize(curStats_.size(), 0);
    if (counted != curStats_)
      failRun(scorer_->log(), Failure::Internal,
              "PartitionSampler: internal error: cluster statistics out of step");
  }
  if (kind_ == StatsKind::Moments) checkMoments();
#endif
}

#ifndef NDEBUG
void OneAtATimeScores::checkMoments() const {
  // Running sums may drift from sums taken afresh by rounding only: at most 1e-9 of the
  // count plus the block's absolute values (whose sums of squares bound its sums; the
  // layout is the model's).
  const ChainState& state = *state_;
  std::vector<double> fresh;
  countStats(fresh);
  for (int c = 0; c < state.kold; c++) {
    const double* a = curMoments_.data() + static_cast<size_t>(c) * statsSize_;
    const double* b = fresh.data() + static_cast<size_t>(c) * statsSize_;
    double magnitude = state.clusterSizes0[c];
    for (int v = 0; v < statsSize_; v++) magnitude += std::fabs(b[v]);
    for (int v = 0; v < statsSize_; v++)
      if (std::fabs(a[v] - b[v]) > 1e-9 * magnitude)
        failRun(scorer_->log(), Failure::Internal,
                "PartitionSampler: internal error: cluster moments drifted from fresh sums");
  }
}
#endif

template <class V>
double OneAtATimeScores::changedFromStats(const std::vector<V>& cur, std::vector<V>& scratch,
                                          int m, int i, int sign, int members) const {
  // One statistics update instead of a pass over the data.
  const V* stats = cur.data() + static_cast<size_t>(m) * statsSize_;
  scratch.assign(stats, stats + statsSize_);
  clusterstats::add(scorer_->model(), i, scratch.data(), sign);
  return clusterstats::score(scorer_->model(), scratch.data(), members);
}

void OneAtATimeScores::resetSweepCache(int kold) {
  // A number of clusters that changes a little from sweep to sweep keeps the kept scores,
  // except under -x: scores from running sums would then differ in their last bits from a
  // recount, which earlier runs made whenever k changed.
  sweepCache_.reset(state_->n, kold, kind_ != StatsKind::Moments, curKey_);
}

double OneAtATimeScores::aloneScore(int m, int i, const ClusterKey& key) {
  if (!aloneKnown_[i]) {
    alone_[i] = scoreChangedCluster(m, i, +1, key);
    aloneKnown_[i] = 1;
  }
  return alone_[i];
}

double OneAtATimeScores::changedClusterScore(int m, int i, int sign, const ClusterKey& key) {
  if (sign > 0 && m >= state_->kold && kind_ != StatsKind::Moments)
    return aloneScore(m, i, key);
  // A cluster that has not changed since it was last met with i added or taken out gives
  // the same score: sweeps at rest find most candidates here, read in order of i.
  SweepCache::Entry entry;
  const bool cached = sweepCache_.find(m, i, sign, entry);
  if (cached && entry.fresh()) return *entry.value;
  const double fit = scoreChangedCluster(m, i, sign, key);
  if (cached) entry.store(fit);
  return fit;
}

double OneAtATimeScores::scoreChangedCluster(int m, int i, int sign, const ClusterKey& key) {
  const ChainState& state = *state_;
  const Scorer& scorer = *scorer_;
  const Observable& model = scorer.model();
  const bool lists = kind_ == StatsKind::None && scorer.criterion() == INTEGRATED &&
                     model.scoresMemberLists();
  if (kind_ == StatsKind::None && !lists)
    return scorer.cachedScore(candidate_, m, key, scorer.criterion());
  ScoreCache& memo = scorer.memo(INTEGRATED);
  double value;
  if (memoCandidates_ && memo.find(key, value)) return value;
  const int members = (m < state.kold ? state.clusterSizes0[m] : 0) + sign;
  if (kind_ == StatsKind::Counts) {
    value = changedFromStats(curStats_, statsScratch_, m, i, sign, members);
  } else if (kind_ == StatsKind::Moments) {
    value = changedFromStats(curMoments_, momentsScratch_, m, i, sign, members);
  } else {
    // The current members with i inserted or taken out, still ascending.
    listScratch_.clear();
    if (m < state.kold) {
      const std::vector<int>& cur = state.members[m];
      auto at = std::lower_bound(cur.begin(), cur.end(), i);
      listScratch_.insert(listScratch_.end(), cur.begin(), at);
      if (sign > 0) listScratch_.push_back(i);
      if (at != cur.end() && *at == i) ++at;
      listScratch_.insert(listScratch_.end(), at, cur.end());
    } else {
      listScratch_.push_back(i);
    }
    value = model.scoreMembers(listScratch_.data(), members);
  }
#ifndef NDEBUG
  const double fresh = model.getClusterFit(candidate_, m);
  if (!scorer.sameScore(value, fresh))
    failRun(scorer.log(), Failure::Internal,
            "PartitionSampler: internal error: cluster score from statistics " + Text::n2s(value) +
                " differs from a fresh one " + Text::n2s(fresh));
#endif
  if (memoCandidates_) memo.store(key, value);
  return value;
}

double OneAtATimeScores::candidateTotal(int i, int j, int k) {
  if (columnMode_) return columns_.total(i, j, k);
  if (kind_ == StatsKind::Moments) return candidateTotalFast(i, j, k);
  const int c = state_->zold[i];
  // Cluster c without i is the same for every j: scored once per observation.
  if (j != c) scoreCandidate(i, j, j == 0 || (j == 1 && c == 0));
  return wholeTotal(i, j, k);
}

void OneAtATimeScores::scoreCandidate(int i, int j, bool first) {
  // The candidate has i at j, so a model call scores exactly these two changed clusters.
  const int c = state_->zold[i];
  const ClusterKey& ki = scorer_->memo(scorer_->criterion()).key(i);
  if (first) fitMinus_ = changedClusterScore(c, i, -1, curKey_[c] ^ ki);
  const double fitPlus = changedClusterScore(j, i, +1, curKey_[j] ^ ki);
  if (static_cast<int>(fitPlus_.size()) <= j) fitPlus_.resize(j + 1);
  fitPlus_[j] = fitPlus;
}

double OneAtATimeScores::wholeTotal(int i, int j, int k) {
  const ChainState& state = *state_;
  const int c = state.zold[i];
  const int kold = state.kold;
  double lik = 0;
  if (j == c) {
    for (int m = 0; m < k; m++) lik += curFit_[m];
    for (int m = 0; m < k; m++) candidateSizes_[m] = m < kold ? state.clusterSizes0[m] : 0;
  } else {
    const double fitMinus = fitMinus_;
    const double fitPlus = fitPlus_[j];
    for (int m = 0; m < k; m++) lik += m == c ? fitMinus : m == j ? fitPlus : curFit_[m];
    for (int m = 0; m < k; m++) candidateSizes_[m] = m < kold ? state.clusterSizes0[m] : 0;
    candidateSizes_[c]--;
    candidateSizes_[j]++;
  }
  return scorer_->criterion() == INTEGRATED
             ? lik + scorer_->partitionLogPrior(candidateSizes_.data(), k)
             : lik;
}

// Each candidate's total as the current one's plus the changes of its two clusters and of
// the prior. The exact total adds k cluster scores and k prior terms in label order, so both
// lie within about k ulps of the magnitudes added of the true sum: the bound allows twice
// that.
double OneAtATimeScores::estimateAll(int i, int k, double* approx) {
  const ChainState& state = *state_;
  const int c = state.zold[i];
  const int kold = state.kold;
  const bool integrated = scorer_->criterion() == INTEGRATED;
  double lik = 0, magnitude = 0;
  for (int m = 0; m < k; m++) {
    lik += curFit_[m];
    magnitude += std::fabs(curFit_[m]);
  }
  double prior = 0;
  if (integrated) {
    for (int m = 0; m < k; m++) candidateSizes_[m] = m < kold ? state.clusterSizes0[m] : 0;
    prior = scorer_->partitionLogPrior(candidateSizes_.data(), k);
    magnitude += scorer_->prior().logPriorMagnitude(state.n, k);
  }
  bool first = true;
  for (int j = 0; j < k; j++) {
    if (j == c) continue;
    candidate_[i] = j;
    scoreCandidate(i, j, first);
    first = false;
  }
  auto size = [&](int m) { return m < kold ? state.clusterSizes0[m] : 0; };
  const double width = 2.0 * (k + 8) * std::numeric_limits<double>::epsilon();
  double error = 0;
  for (int j = 0; j < k; j++) {
    if (j == c) {
      approx[j] = lik + prior;
      error = std::max(error, width * (magnitude + std::fabs(approx[j])));
      continue;
    }
    const double ratio = integrated ? scorer_->prior().logMoveRatio(size(c), size(j), kold) : 0;
    approx[j] = (((lik - curFit_[c]) + fitMinus_) + (fitPlus_[j] - curFit_[j])) + (prior + ratio);
    const double added =
        magnitude + std::fabs(fitMinus_) + std::fabs(fitPlus_[j]) + std::fabs(ratio);
    error = std::max(error, width * (added + std::fabs(approx[j])));
  }
  return error;
}

// Fast mode: the candidate's total as the current one's (taken once per observation) plus
// the changes of its two clusters and of their prior terms, O(1) per candidate.
double OneAtATimeScores::candidateTotalFast(int i, int j, int k) {
  const ChainState& state = *state_;
  const int c = state.zold[i];
  const int kold = state.kold;
  auto size = [&](int m) { return m < kold ? state.clusterSizes0[m] : 0; };
  if (j == 0) {
    fitSum_ = 0;
    for (int m = 0; m < k; m++) {
      fitSum_ += curFit_[m];
      candidateSizes_[m] = size(m);
    }
    priorBase_ = scorer_->partitionLogPrior(candidateSizes_.data(), k);
  }
  if (j == c) return fitSum_ + priorBase_;
  const ClusterKey& ki = scorer_->memo(INTEGRATED).key(i);
  if (j == 0 || (j == 1 && c == 0)) fitMinus_ = changedClusterScore(c, i, -1, curKey_[c] ^ ki);
  const double fitPlus = changedClusterScore(j, i, +1, curKey_[j] ^ ki);
  if (static_cast<int>(fitPlus_.size()) < k) fitPlus_.resize(k);
  fitPlus_[j] = fitPlus;
  const double prior = scorer_->prior().logMoveRatio(size(c), size(j), kold);
  return (fitSum_ - curFit_[c] - curFit_[j] + fitMinus_ + fitPlus) + (priorBase_ + prior);
}
