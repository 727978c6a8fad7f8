#include "sampler/Scorer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "io/Failure.h"
#include "io/Text.h"
#include "stats/Arrays.h"
#include "stats/MathPlus.h"

namespace {
// Labels the model sees for the two groups of a restricted split; every other observation
// carries kOutside, which no cluster score selects.
const int kGroup0 = 1000;
const int kGroup1 = 2000;
const int kOutside = -1;
// Statistics of at most this many values are scored afresh rather than looked up.
const int kMemoFreeStats = 128;
// Entries (observations x labels) of the one-at-a-time scores kept from sweep to sweep.
const size_t kSweepCacheBudget = size_t{1} << 22;
}  // namespace

Scorer::Scorer(Observable& model, FitnessZType criterion, int k, double logalpha,
               ScoringMode mode, std::ostream& logFile)
    : ob_(&model),
      fitnessZType_(criterion),
      mode_(mode),
      n_(model.n),
      infmix_(k <= 0),
      piPrior_(static_cast<short>(k > 0 ? k : 1)),
      logalpha_(logalpha),
      logFile_(logFile),
      sizes_(model.n + 2),
      keys_(model.n + 2),
      fitCache_(model.n),
      classiCache_(model.n) {
  model.scoring = mode;
  // The Dirichlet-process normaliser depends on n and alpha only.
  const double alpha = std::exp(logalpha);
  for (int i = 1; i <= n_; i++) dpNormaliser_ += std::log(alpha + i - 1);
  // Integers up to n + k cover every argument of both partition priors.
  const int largest = n_ + (k > 0 ? k : 0) + 1;
  lgammaInt_.resize(largest + 1);
  for (int s = 0; s <= largest; s++) lgammaInt_[s] = MathPlus::mylgamma(s);
  piPriorLbeta_ = MathPlus::lbeta(piPrior_.alpha.data(), piPrior_.dimension, true);
}

double Scorer::partitionLogPrior(const int* sizes, int k) const {
  if (!infmix_) {
    if (k != piPrior_.dimension)
      failRun(logFile_, Failure::Internal,
              "PartitionSampler::getTotalLik(). number of clusters " + Text::n2s(k) +
                  " differs from the fixed k " + Text::n2s(piPrior_.dimension));
    if (mode_ == ScoringMode::Reference) return piPrior_.logIntegratedLik(sizes);
    // piPrior.logIntegratedLik with every parameter 1: 1 + size is a whole number, so the
    // log-gammas come from the table; sums run in the same order as there.
    double out = 0, alphaSum = 0;
    for (int j = 0; j < k; j++) {
      const double posterior = 1.0 + sizes[j];
      out += lgammaInt_[1 + sizes[j]];
      alphaSum += posterior;
    }
    return (out - MathPlus::mylgamma(alphaSum)) - piPriorLbeta_;
  }
  int nonEmpty = 0;
  double lgammaSum = 0;
  for (int j = 0; j < k; j++) {
    if (sizes[j] != 0) nonEmpty++;
    lgammaSum += lgammaInt_[sizes[j]];
  }
  return nonEmpty * logalpha_ + lgammaSum - dpNormaliser_;
}

namespace {

// The model's two kinds of additive statistics behind one set of names.
void addOf(const Observable& m, int i, int* s, int sign) { m.addToStats(i, s, sign); }
void addOf(const Observable& m, int i, double* s, int sign) { m.addToMoments(i, s, sign); }
double scoreOf(const Observable& m, const int* s, int members) { return m.scoreStats(s, members); }
double scoreOf(const Observable& m, const double* s, int members) {
  return m.scoreMoments(s, members);
}

}  // namespace

bool Scorer::scoresPerCluster() const {
  return mode_ != ScoringMode::Reference &&
         (fitnessZType_ == INTEGRATED || fitnessZType_ == CLASSIFICATION);
}

Scorer::StatsKind Scorer::modelStatsKind() const {
  if (mode_ == ScoringMode::Reference) return StatsKind::None;
  if (ob_->momentsSize() > 0) return StatsKind::Moments;
  if (ob_->statsSize() > 0) return StatsKind::Counts;
  return StatsKind::None;
}

// Additive statistics serve the integrated score only.
Scorer::StatsKind Scorer::statsKind() const {
  return fitnessZType_ == INTEGRATED ? modelStatsKind() : StatsKind::None;
}

int Scorer::widthOf(StatsKind kind) const {
  return kind == StatsKind::Moments ? ob_->momentsSize()
         : kind == StatsKind::Counts ? ob_->statsSize()
                                     : 0;
}

bool Scorer::sameScore(double a, double b) const {
  if (mode_ != ScoringMode::Fast) return std::memcmp(&a, &b, sizeof a) == 0;
  return a == b || std::fabs(a - b) <= 1e-9 * (1.0 + std::fabs(b));
}

double Scorer::cachedScore(const int* z, int j, const ClusterKey& key, FitnessZType type) const {
  ScoreCache& cache = type == INTEGRATED ? fitCache_ : classiCache_;
  double value;
  if (cache.find(key, value)) {
#ifndef NDEBUG
    // Debug builds check the memo against a fresh score now and then.
    if (++cacheHits_ % 61 == 0) {
      double fresh =
          type == INTEGRATED ? ob_->getClusterFit(z, j) : ob_->getClassificationLik(z, j);
      if (!sameScore(value, fresh))
        failRun(logFile_, Failure::Internal,
                "PartitionSampler: internal error: memoised cluster score " + Text::n2s(value) +
                    " differs from a fresh one " + Text::n2s(fresh));
    }
#endif
    return value;
  }
  value = type == INTEGRATED ? ob_->getClusterFit(z, j) : ob_->getClassificationLik(z, j);
  cache.store(key, value);
  return value;
}

double Scorer::getClusterFit(const int* z, int j) const {
  if (mode_ == ScoringMode::Reference) return ob_->getClusterFit(z, j);
  ClusterKey key;
  for (int i = 0; i < n_; i++)
    if (z[i] == j) key ^= fitCache_.key(i);
  return cachedScore(z, j, key, INTEGRATED);
}

double Scorer::getTotalLik(const int* z, int k) const {
  if (!refusal_.empty()) failRun(logFile_, Failure::ModelOperation, refusal_);
  if (static_cast<int>(sizes_.size()) < k) {
    sizes_.resize(k);
    keys_.resize(k);
  }
  if (fitnessZType_ == MIXTURE) return ob_->getMixtureLik(z, k);
  const bool integrated = fitnessZType_ == INTEGRATED;
  double lik = 0;
  if (mode_ == ScoringMode::Reference) {
    for (int j = 0; j < k; j++)
      lik += integrated ? ob_->getClusterFit(z, j) : ob_->getClassificationLik(z, j);
    if (integrated) Arrays::table(z, n_, sizes_.data(), k);
  } else {
    // One pass collects every cluster's member key and size.
    const ScoreCache& cache = integrated ? fitCache_ : classiCache_;
    for (int j = 0; j < k; j++) {
      keys_[j] = ClusterKey();
      sizes_[j] = 0;
    }
    for (int i = 0; i < n_; i++) {
      keys_[z[i]] ^= cache.key(i);
      sizes_[z[i]]++;
    }
    for (int j = 0; j < k; j++) lik += cachedScore(z, j, keys_[j], fitnessZType_);
  }
  return integrated ? lik + partitionLogPrior(sizes_.data(), k) : lik;
}

double Scorer::freshScore(const int* list, int members) const {
  if (static_cast<int>(restrictedZ_.size()) != n_) restrictedZ_.assign(n_, kOutside);
  for (int m = 0; m < members; m++) restrictedZ_[list[m]] = kGroup0;
  const double fresh = ob_->getClusterFit(restrictedZ_.data(), kGroup0);
  for (int m = 0; m < members; m++) restrictedZ_[list[m]] = kOutside;
  return fresh;
}

template <class V>
double Scorer::listedFromStats(std::vector<V>& scratch, int width, const int* list,
                               int members) const {
  scratch.assign(width, V());
  for (int m = 0; m < members; m++) addOf(*ob_, list[m], scratch.data(), +1);
  return scoreOf(*ob_, scratch.data(), members);
}

double Scorer::scoreListed(const int* list, int members, bool sorted, const ClusterKey& key) const {
  double value;
  if (fitCache_.find(key, value)) return value;
  const StatsKind kind = modelStatsKind();
  if (kind == StatsKind::Counts) {
    value = listedFromStats(statsScratch_, widthOf(kind), list, members);
  } else if (kind == StatsKind::Moments) {
    value = listedFromStats(momentsScratch_, widthOf(kind), list, members);
  } else if (ob_->scoresMemberLists()) {
    if (sorted) {
      value = ob_->scoreMembers(list, members);
    } else {
      listScratch_.assign(list, list + members);
      std::sort(listScratch_.begin(), listScratch_.end());
      value = ob_->scoreMembers(listScratch_.data(), members);
    }
  } else {
    value = freshScore(list, members);
  }
#ifndef NDEBUG
  const double fresh = freshScore(list, members);
  if (!sameScore(value, fresh))
    failRun(logFile_, Failure::Internal,
            "PartitionSampler: internal error: cluster score from a member list " +
                Text::n2s(value) + " differs from a fresh one " + Text::n2s(fresh));
#endif
  fitCache_.store(key, value);
  return value;
}

double Scorer::getRestrictedIntLik(const std::vector<int>& members,
                                   const std::vector<int>& split) const {
  if (mode_ == ScoringMode::Reference) {
    // The scratch stays all kOutside between calls, so a call touches only its members.
    if (static_cast<int>(restrictedZ_.size()) != n_) restrictedZ_.assign(n_, kOutside);
    for (size_t m = 0; m < members.size(); m++) {
      if (split[m] == 0 || split[m] == 1)
        restrictedZ_[members[m]] = split[m] == 0 ? kGroup0 : kGroup1;
      else
        logFile_ << "PartitionSampler::getrestrictedIntLik(). something wrong with split." << '\n';
    }
    const double fit = getClusterFit(restrictedZ_.data(), kGroup0) +
                       getClusterFit(restrictedZ_.data(), kGroup1);
    for (int i : members) restrictedZ_[i] = kOutside;
    return fit;
  }
  // Member keys and lists of the two groups, without a pass over all n.
  ClusterKey key[2];
  groupLists_[0].clear();
  groupLists_[1].clear();
  bool sorted[2] = {true, true};
  for (size_t m = 0; m < members.size(); m++) {
    const int g = split[m];
    if (g != 0 && g != 1) {
      logFile_ << "PartitionSampler::getrestrictedIntLik(). something wrong with split." << '\n';
      continue;
    }
    key[g] ^= fitCache_.key(members[m]);
    std::vector<int>& list = groupLists_[g];
    if (!list.empty() && list.back() > members[m]) sorted[g] = false;
    list.push_back(members[m]);
  }
  double fit[2];
  for (int g = 0; g < 2; g++)
    fit[g] = scoreListed(groupLists_[g].data(), static_cast<int>(groupLists_[g].size()),
                         sorted[g], key[g]);
  return fit[0] + fit[1];
}

template <class V>
void Scorer::countStats(const ChainState& state, std::vector<V>& cur) const {
  cur.assign(static_cast<size_t>(state.kold + 1) * statsSize_, V());
  for (int i = 0; i < n_; i++)
    addOf(*ob_, i, cur.data() + static_cast<size_t>(state.zold[i]) * statsSize_, +1);
}

void Scorer::refreshCurrentScores(const ChainState& state) {
  const int kold = state.kold;
  const std::vector<int>& zold = state.zold;
  const ScoreCache& cache = fitnessZType_ == INTEGRATED ? fitCache_ : classiCache_;
  kind_ = statsKind();
  statsSize_ = widthOf(kind_);
  // Small statistics score a candidate faster than a memo lookup, which mostly misses
  // (a cache miss of its own) since one-at-a-time candidates rarely recur.
  memoCandidates_ = !(kind_ == StatsKind::Moments ||
                      (kind_ == StatsKind::Counts && statsSize_ <= kMemoFreeStats));
  if (kind_ == StatsKind::Counts) countStats(state, curStats_);
  if (kind_ == StatsKind::Moments) countStats(state, curMoments_);
  curKey_.assign(kold + 1, ClusterKey());
  curFit_.resize(kold + 1);
  for (int i = 0; i < n_; i++) curKey_[zold[i]] ^= cache.key(i);
  for (int m = 0; m < kold; m++)
    curFit_[m] = cachedScore(zold.data(), m, curKey_[m], fitnessZType_);
  // Label kold is empty in zold; its score is the model's score of an empty label.
  curFit_[kold] = cachedScore(zold.data(), kold, ClusterKey(), fitnessZType_);
  candidateSizes_.resize(kold + 1);
  resetSweepCache(kold);
}

template <class V>
void Scorer::moveStats(std::vector<V>& cur, int i, int from, int to, int emptied,
                       int lastLabel) const {
  const size_t S = static_cast<size_t>(statsSize_);
  if (cur.size() < (static_cast<size_t>(to) + 2) * S) cur.resize((to + 2) * S, V());
  addOf(*ob_, i, cur.data() + from * S, -1);
  addOf(*ob_, i, cur.data() + to * S, +1);
  if (emptied >= 0 && emptied != lastLabel) {
    // The highest label took the emptied one.
    std::copy(cur.begin() + lastLabel * S, cur.begin() + (lastLabel + 1) * S,
              cur.begin() + emptied * S);
    std::fill(cur.begin() + lastLabel * S, cur.begin() + (lastLabel + 1) * S, V());
  } else if (emptied >= 0) {
    std::fill(cur.begin() + emptied * S, cur.begin() + (emptied + 1) * S, V());
  }
}

void Scorer::observationMoved(const ChainState& state, int i, int from, int to, int emptied,
                              int lastLabel) {
  if (kind_ == StatsKind::Counts) moveStats(curStats_, i, from, to, emptied, lastLabel);
  if (kind_ == StatsKind::Moments) moveStats(curMoments_, i, from, to, emptied, lastLabel);
  const ScoreCache& cache = fitnessZType_ == INTEGRATED ? fitCache_ : classiCache_;
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
    if (label >= 0 && label <= kold) noteClusterChanged(label);
#ifndef NDEBUG
  std::vector<ClusterKey> fresh(kold + 1);
  for (int o = 0; o < n_; o++) fresh[state.zold[o]] ^= cache.key(o);
  if (!(fresh == curKey_))
    failRun(logFile_, Failure::Internal, "PartitionSampler: internal error: cluster keys out of step");
  if (kind_ == StatsKind::Counts) {
    std::vector<int> counted;
    countStats(state, counted);
    counted.resize(curStats_.size(), 0);
    if (counted != curStats_)
      failRun(logFile_, Failure::Internal,
              "PartitionSampler: internal error: cluster statistics out of step");
  }
  if (kind_ == StatsKind::Moments) checkMoments(state);
#endif
}

#ifndef NDEBUG
void Scorer::checkMoments(const ChainState& state) const {
  // Running sums may drift from sums taken afresh by rounding only: at most 1e-9 of the
  // count plus the sum of squares (which bounds the sum of absolute values).
  std::vector<double> fresh;
  countStats(state, fresh);
  const int T = statsSize_ / 2;
  for (int c = 0; c < state.kold; c++) {
    const double* a = curMoments_.data() + static_cast<size_t>(c) * statsSize_;
    const double* b = fresh.data() + static_cast<size_t>(c) * statsSize_;
    for (int t = 0; t < T; t++) {
      const double tolerance = 1e-9 * (state.clusterSizes0[c] + b[T + t]);
      if (std::fabs(a[t] - b[t]) > tolerance || std::fabs(a[T + t] - b[T + t]) > tolerance)
        failRun(logFile_, Failure::Internal,
                "PartitionSampler: internal error: cluster moments drifted from fresh sums");
    }
  }
}
#endif

template <class V>
double Scorer::changedFromStats(const std::vector<V>& cur, std::vector<V>& scratch, int m, int i,
                                int sign, int members) const {
  // One statistics update instead of a pass over the data.
  const V* stats = cur.data() + static_cast<size_t>(m) * statsSize_;
  scratch.assign(stats, stats + statsSize_);
  addOf(*ob_, i, scratch.data(), sign);
  return scoreOf(*ob_, scratch.data(), members);
}

void Scorer::noteClusterChanged(int label) {
  if (label >= static_cast<int>(versionKey_.size())) return;
  if (versionKey_[label] == curKey_[label]) return;
  versionKey_[label] = curKey_[label];
  version_[label] = ++versionCounter_;
}

void Scorer::resetSweepCache(int kold) {
  // Room for some new labels; labels beyond it are not cached.
  const int width = kold + 8;
  if (static_cast<size_t>(n_) * width > kSweepCacheBudget) {
    sweepWidth_ = 0;
    return;
  }
  if (width != sweepWidth_) {
    sweepWidth_ = width;
    plusValue_.assign(static_cast<size_t>(n_) * width, 0.0);
    plusStamp_.assign(static_cast<size_t>(n_) * width, 0);
    minusValue_.assign(n_, 0.0);
    minusStamp_.assign(n_, 0);
    version_.assign(width, 0);
    versionKey_.assign(width, ClusterKey());
    for (int m = 0; m < width; m++) version_[m] = ++versionCounter_;
  }
  for (int m = 0; m <= kold && m < width; m++) noteClusterChanged(m);
}

double Scorer::changedClusterScore(const ChainState& state, const int* candidate, int m, int i,
                                   int sign, const ClusterKey& key) {
  // A cluster that has not changed since it was last met with i added or taken out gives
  // the same score: sweeps at rest find most candidates here, read in order of i.
  double* value = nullptr;
  uint64_t* stamp = nullptr;
  if (m < sweepWidth_) {
    const size_t at = static_cast<size_t>(i) * sweepWidth_ + m;
    value = sign > 0 ? &plusValue_[at] : &minusValue_[i];
    stamp = sign > 0 ? &plusStamp_[at] : &minusStamp_[i];
    if (*stamp == version_[m]) return *value;
  }
  const double fit = scoreChangedCluster(state, candidate, m, i, sign, key);
  if (value) {
    *value = fit;
    *stamp = version_[m];
  }
  return fit;
}

double Scorer::scoreChangedCluster(const ChainState& state, const int* candidate, int m, int i,
                                   int sign, const ClusterKey& key) {
  const bool lists = kind_ == StatsKind::None && fitnessZType_ == INTEGRATED &&
                     ob_->scoresMemberLists();
  if (kind_ == StatsKind::None && !lists) return cachedScore(candidate, m, key, fitnessZType_);
  double value;
  if (memoCandidates_ && fitCache_.find(key, value)) return value;
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
    value = ob_->scoreMembers(listScratch_.data(), members);
  }
#ifndef NDEBUG
  const double fresh = ob_->getClusterFit(candidate, m);
  if (!sameScore(value, fresh))
    failRun(logFile_, Failure::Internal,
            "PartitionSampler: internal error: cluster score from statistics " + Text::n2s(value) +
                " differs from a fresh one " + Text::n2s(fresh));
#endif
  if (memoCandidates_) fitCache_.store(key, value);
  return value;
}

double Scorer::candidateTotal(const ChainState& state, const int* candidate, int i, int j,
                              int k) {
  const int c = state.zold[i];
  const int kold = state.kold;
  if (kind_ == StatsKind::Moments) return candidateTotalFast(state, candidate, i, j, k);
  double lik = 0;
  if (j == c) {
    for (int m = 0; m < k; m++) lik += curFit_[m];
    for (int m = 0; m < k; m++) candidateSizes_[m] = m < kold ? state.clusterSizes0[m] : 0;
  } else {
    const ScoreCache& cache = fitnessZType_ == INTEGRATED ? fitCache_ : classiCache_;
    const ClusterKey& ki = cache.key(i);
    // The candidate has i at j, so a model call scores exactly these two changed clusters.
    // Cluster c without i is the same for every j: scored once per observation.
    if (j == 0 || (j == 1 && c == 0))
      fitMinus_ = changedClusterScore(state, candidate, c, i, -1, curKey_[c] ^ ki);
    const double fitMinus = fitMinus_;
    const double fitPlus = changedClusterScore(state, candidate, j, i, +1, curKey_[j] ^ ki);
    if (static_cast<int>(fitPlus_.size()) < k) fitPlus_.resize(k);
    fitPlus_[j] = fitPlus;
    for (int m = 0; m < k; m++) lik += m == c ? fitMinus : m == j ? fitPlus : curFit_[m];
    for (int m = 0; m < k; m++) candidateSizes_[m] = m < kold ? state.clusterSizes0[m] : 0;
    candidateSizes_[c]--;
    candidateSizes_[j]++;
  }
  return fitnessZType_ == INTEGRATED ? lik + partitionLogPrior(candidateSizes_.data(), k) : lik;
}

// Fast mode: the candidate's total as the current one's (taken once per observation) plus
// the changes of its two clusters and of their prior terms, O(1) per candidate.
double Scorer::candidateTotalFast(const ChainState& state, const int* candidate, int i, int j,
                                  int k) {
  const int c = state.zold[i];
  const int kold = state.kold;
  auto size = [&](int m) { return m < kold ? state.clusterSizes0[m] : 0; };
  if (j == 0) {
    fitSum_ = 0;
    for (int m = 0; m < k; m++) {
      fitSum_ += curFit_[m];
      candidateSizes_[m] = size(m);
    }
    priorBase_ = partitionLogPrior(candidateSizes_.data(), k);
  }
  if (j == c) return fitSum_ + priorBase_;
  const ClusterKey& ki = fitCache_.key(i);
  if (j == 0 || (j == 1 && c == 0))
    fitMinus_ = changedClusterScore(state, candidate, c, i, -1, curKey_[c] ^ ki);
  const double fitPlus = changedClusterScore(state, candidate, j, i, +1, curKey_[j] ^ ki);
  if (static_cast<int>(fitPlus_.size()) < k) fitPlus_.resize(k);
  fitPlus_[j] = fitPlus;
  const int sc = size(c), sj = size(j);
  double prior;
  if (infmix_) {
    const int nonEmpty = (sc > 1) - 1 + (sj == 0);
    prior = nonEmpty * logalpha_ + (lgammaInt_[sc - 1] - lgammaInt_[sc]) +
            (lgammaInt_[sj + 1] - lgammaInt_[sj]);
  } else {
    prior = (lgammaInt_[sc] - lgammaInt_[sc + 1]) + (lgammaInt_[sj + 2] - lgammaInt_[sj + 1]);
  }
  return (fitSum_ - curFit_[c] - curFit_[j] + fitMinus_ + fitPlus) + (priorBase_ + prior);
}

// ---------------------------------------------------------------------------------------
// Pieces of the tree neighbourhood

bool Scorer::scoresPieces() const {
  return statsKind() != StatsKind::None ||
         (fitnessZType_ == INTEGRATED && mode_ != ScoringMode::Reference &&
          ob_->scoresMemberLists());
}

template <class V>
void Scorer::setPieceStats(std::vector<V>& blocks, int width, int piece,
                           const std::vector<int>& list) const {
  const size_t need = static_cast<size_t>(pieceBase_ + 2) * width;
  if (blocks.size() < need) blocks.resize(need);
  V* block = blocks.data() + static_cast<size_t>(piece) * width;
  std::fill(block, block + width, V());
  for (int i : list) addOf(*ob_, i, block, +1);
}

void Scorer::setBasePieces(const int* z, int k) const {
  pieceBase_ = k;
  pieceKey_.assign(k + 2, ClusterKey());
  pieceSize_.assign(k + 2, 0);
  if (static_cast<int>(pieceMembers_.size()) < k + 2) pieceMembers_.resize(k + 2);
  for (std::vector<int>& list : pieceMembers_) list.clear();
  for (int i = 0; i < n_; i++) {
    pieceKey_[z[i]] ^= fitCache_.key(i);
    pieceMembers_[z[i]].push_back(i);
  }
  const StatsKind kind = statsKind();
  for (int j = 0; j < k; j++) {
    pieceSize_[j] = static_cast<int>(pieceMembers_[j].size());
    if (kind == StatsKind::Counts) setPieceStats(pieceStats_, widthOf(kind), j, pieceMembers_[j]);
    if (kind == StatsKind::Moments)
      setPieceStats(pieceMoments_, widthOf(kind), j, pieceMembers_[j]);
  }
}

void Scorer::setSplitPieces(int j, const std::vector<int>& group) const {
  const int k = pieceBase_;
  const std::vector<int>& members = pieceMembers_[j];
  for (int piece : {k, k + 1}) {
    pieceKey_[piece] = ClusterKey();
    pieceMembers_[piece].clear();
  }
  for (size_t m = 0; m < members.size(); m++) {
    const int piece = group[m] == 1 ? k : k + 1;
    pieceKey_[piece] ^= fitCache_.key(members[m]);
    pieceMembers_[piece].push_back(members[m]);
  }
  pieceSize_[k] = static_cast<int>(pieceMembers_[k].size());
  pieceSize_[k + 1] = static_cast<int>(pieceMembers_[k + 1].size());
  const StatsKind kind = statsKind();
  if (kind == StatsKind::Counts) {
    // Counts are exact: the rest of the cluster is its counts less the group's.
    const int width = widthOf(kind);
    setPieceStats(pieceStats_, width, k, pieceMembers_[k]);
    const int* whole = pieceStats_.data() + static_cast<size_t>(j) * width;
    const int* one = pieceStats_.data() + static_cast<size_t>(k) * width;
    int* rest = pieceStats_.data() + static_cast<size_t>(k + 1) * width;
    for (int v = 0; v < width; v++) rest[v] = whole[v] - one[v];
  } else if (kind == StatsKind::Moments) {
    setPieceStats(pieceMoments_, widthOf(kind), k, pieceMembers_[k]);
    setPieceStats(pieceMoments_, widthOf(kind), k + 1, pieceMembers_[k + 1]);
  }
}

template <class V>
double Scorer::unionFromStats(const std::vector<V>& blocks, std::vector<V>& scratch, int width,
                              int a, int b, int members) const {
  const V* x = blocks.data() + static_cast<size_t>(a) * width;
  scratch.assign(x, x + width);
  if (b >= 0) {
    const V* y = blocks.data() + static_cast<size_t>(b) * width;
    for (int v = 0; v < width; v++) scratch[v] += y[v];
  }
  return scoreOf(*ob_, scratch.data(), members);
}

double Scorer::piecesTotal(const int* first, const int* second, int k) const {
  if (static_cast<int>(sizes_.size()) < k) sizes_.resize(k);
  const StatsKind kind = statsKind();
  double lik = 0;
  for (int label = 0; label < k; label++) {
    const int a = first[label], b = second[label];
    const ClusterKey key = b < 0 ? pieceKey_[a] : pieceKey_[a] ^ pieceKey_[b];
    const int members = pieceSize_[a] + (b < 0 ? 0 : pieceSize_[b]);
    sizes_[label] = members;
    double value;
    if (!fitCache_.find(key, value)) {
      if (kind == StatsKind::Counts) {
        value = unionFromStats(pieceStats_, statsScratch_, widthOf(kind), a, b, members);
      } else if (kind == StatsKind::Moments) {
        value = unionFromStats(pieceMoments_, momentsScratch_, widthOf(kind), a, b, members);
      } else {
        const std::vector<int>& x = pieceMembers_[a];
        listScratch_.resize(members);
        if (b < 0) {
          std::copy(x.begin(), x.end(), listScratch_.begin());
        } else {
          const std::vector<int>& y = pieceMembers_[b];
          std::merge(x.begin(), x.end(), y.begin(), y.end(), listScratch_.begin());
        }
        value = ob_->scoreMembers(listScratch_.data(), members);
      }
#ifndef NDEBUG
      listScratch_.assign(pieceMembers_[a].begin(), pieceMembers_[a].end());
      if (b >= 0) listScratch_.insert(listScratch_.end(), pieceMembers_[b].begin(), pieceMembers_[b].end());
      const double fresh = freshScore(listScratch_.data(), members);
      if (!sameScore(value, fresh))
        failRun(logFile_, Failure::Internal,
                "PartitionSampler: internal error: cluster score from pieces " + Text::n2s(value) +
                    " differs from a fresh one " + Text::n2s(fresh));
#endif
      fitCache_.store(key, value);
    }
    lik += value;
  }
  return lik + partitionLogPrior(sizes_.data(), k);
}
