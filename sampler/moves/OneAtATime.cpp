#include "sampler/moves/OneAtATime.h"

#include "io/Interrupt.h"
#include "io/Text.h"
#include "stats/Arrays.h"
#include "stats/RandomPlus.h"
#include "stats/rvgs.h"

OneAtATime::OneAtATime(int n, DebugLog debug)
    : Move(debug), znew_(n) {}

void OneAtATime::step(ChainState& state, Scorer& scorer) {
  const int n = state.n;
  const bool infmix = state.infmix;
  std::vector<int>& zold = state.zold;
  Arrays::copyArray(zold.data(), znew_.data(), n);
  // Candidates differ from zold in two clusters at most: score them from zold's clusters.
  const bool incremental = scorer.scoresPerCluster();
  if (incremental) state.listMembers();
  OneAtATimeScores::Sweep sweep = scores_.start(scorer, state);
  if (debug_.enabled) zoldLine_ = Text::arrayLine(zold.data(), n);
  for (int i = 0; i < n; i++) {
    // Here every accepted change has had its trace point.
    checkInterrupt();
    const bool singleton = state.clusterSizes0[zold[i]] == 1;
    // With a fixed number of clusters a singleton never moves.
    if (!infmix && singleton) continue;
    // An open-k singleton already has "stay alone" as its own label: no extra label.
    const int kold = state.kold;
    const int k = (infmix && !singleton) ? kold + 1 : kold;
    if (static_cast<int>(logMean_.size()) < k) {
      logMean_.resize(2 * static_cast<size_t>(k));
      target_.resize(2 * static_cast<size_t>(k));
    }
    OneAtATimeScores::Visit visit = sweep.visit(znew_.data(), i, k);
    int d;
    if (sweep.estimates() && !debug_.enabled && k > 1) {
      d = drawFromEstimates(visit, scorer, k);
    } else {
      for (int j = 0; j < k; j++) logMean_[j] = visit.next();
      if (debug_.enabled) {
        debug_.out.write(zoldLine_.data(), static_cast<std::streamsize>(zoldLine_.size()));
        Text::printArray(logMean_.data(), k, debug_.out, true);
      }
      for (int j = 0; j < k; j++) target_[j] = scorer.tempered(logMean_[j]);
      d = RandomPlus::drawGeneralizedBern(target_.data(), k);
    }
    znew_[i] = d;
    if (d != zold[i]) {
      const int from = zold[i];
      const int lastLabel = kold - 1;
      state.acceptanceCntOA += 1.0;
      if (incremental) {
        // Only the clusters involved change: no pass over all n.
        const int emptied = state.moveObservation(i, d);
        if (emptied >= 0)
          for (int m : state.members[emptied]) znew_[m] = emptied;
        visit.moved(from, d, emptied, lastLabel);
      } else if (!infmix) {
        state.accept(znew_, 0);
      } else if (d == kold) {
        state.accept(znew_, +1);
      } else if (singleton) {
        relabelAfterMerge(znew_.data(), n, kold, from);
        state.accept(znew_, -1);
      } else {
        state.accept(znew_, 0);
      }
      if (debug_.enabled) zoldLine_ = Text::arrayLine(zold.data(), n);
    }
    // A score of log 0 is not a value to count: the partition is scored afresh then.
    const double score = logMean_[d];
    state.trace(score != kLogZero ? score : scorer.getTotalLik(zold.data(), state.kold));
  }
}

// The draw from every candidate's exact total costs O(k) per candidate; estimates within a
// known bound decide it with the same uniform unless it falls within the bound of a
// boundary, and only the chosen candidate's total (traced) is added up exactly.
int OneAtATime::drawFromEstimates(OneAtATimeScores::Visit& visit, const Scorer& scorer, int k) {
  // Tempering scales the error by beta <= 1; its rounding is within the bound again.
  const double error = 2 * visit.estimateAll(logMean_.data());
  for (int j = 0; j < k; j++) target_[j] = scorer.tempered(logMean_[j]);
  const double u = myunif_rand();
  int d = RandomPlus::drawGeneralizedBernBounded(target_.data(), k, error, u);
  if (d >= 0) {
    logMean_[d] = visit.exact(d);
    return d;
  }
  for (int j = 0; j < k; j++) {
    logMean_[j] = visit.exact(j);
    target_[j] = scorer.tempered(logMean_[j]);
  }
  return RandomPlus::drawGeneralizedBernAt(target_.data(), k, u);
}

void OneAtATime::relabelAfterMerge(int* z, int n, int k, int emptyComponent) {
  if (emptyComponent == k - 1) return;
  for (int i = 0; i < n; i++)
    if (z[i] == k - 1) z[i] = emptyComponent;
}
