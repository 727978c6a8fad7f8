#include "sampler/PartitionSampler.h"
#include "stats/RandomPlus.h"
#include "io/U.h"

void PartitionSampler::oneAtATime() {
  U::copyArray(zold.data(), znew.data(), n);
  // Candidates differ from zold in two clusters at most: score them from zold's clusters.
  const bool incremental = scoresPerCluster();
  if (incremental) refreshCurrentScores(true);
  zoldLine_ = U::arrayLine(zold.data(), n);
  for (int i = 0; i < n; i++) {
    const bool singleton = clusterSizes0[zold[i]] == 1;
    // With a fixed number of clusters a singleton never moves.
    if (!infmix && singleton) continue;
    // An open-k singleton already has "stay alone" as its own label: no extra label.
    const int k = (infmix && !singleton) ? kold + 1 : kold;
    for (int j = 0; j < k; j++) {
      znew[i] = j;
      logMean_[j] = incremental ? candidateTotal(i, j, k) : getTotalLik(znew.data(), k);
    }
    logFile.write(zoldLine_.data(), static_cast<std::streamsize>(zoldLine_.size()));
    U::printArray(logMean_.data(), k, logFile, true);
    const int d = RandomPlus::drawGeneralizedBern(logMean_.data(), k);
    znew[i] = d;
    if (d != zold[i]) {
      const int from = zold[i];
      const int lastLabel = kold - 1;
      int emptied = -1;
      acceptanceCntOA += 1.0;
      if (!infmix) {
        accept(0);
      } else if (d == kold) {
        accept(+1);
      } else if (singleton) {
        emptied = from;
        relabelAfterMerge(znew.data(), kold, from);
        accept(-1);
      } else {
        accept(0);
      }
      if (incremental) {
        moveInStats(i, from, d, emptied, lastLabel);
        refreshCurrentScores(false);
      }
      zoldLine_ = U::arrayLine(zold.data(), n);
    }
    traceit(logMean_[d]);
  }
}

void PartitionSampler::relabelAfterMerge(int* z, int k, int emptyComponent) const {
  if (emptyComponent == k - 1) return;
  for (int i = 0; i < n; i++)
    if (z[i] == k - 1) z[i] = emptyComponent;
}
