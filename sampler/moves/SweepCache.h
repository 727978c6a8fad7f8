// The one-at-a-time scores of observation i added to (or taken out of) label m, kept from
// visit to visit and sweep to sweep while the cluster stays as it was: each entry is stamped
// with its label's version, which changes with the label's member key.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sampler/ScoreCache.h"

class SweepCache {
 public:
  // Sizes the cache for n observations and labels 0..kold (room for some new ones) at the
  // start of a sweep whose current member keys are keys; keeps the kept scores when keep is
  // set and the width still fits. Caches nothing when the entries would pass the budget.
  void reset(int n, int kold, bool keep, const std::vector<ClusterKey>& keys);
  // Label's member key may have changed: entries of another key go stale.
  void noteChanged(int label, const ClusterKey& key);
  // The entry of label m for observation i added (sign +1) or taken out (sign -1), or null
  // when label m is beyond the cache; fresh tells whether it holds the current score.
  struct Entry {
    double* value;
    uint64_t* stamp;
    uint64_t version;
    bool fresh() const { return *stamp == version; }
    void store(double score) const {
      *value = score;
      *stamp = version;
    }
  };
  bool find(int m, int i, int sign, Entry& entry);

 private:
  int width_ = 0;  // labels per observation, or 0
  std::vector<double> plusValue_, minusValue_;
  std::vector<uint64_t> plusStamp_, minusStamp_, version_;
  std::vector<ClusterKey> versionKey_;  // the member key each label's version belongs to
  uint64_t versionCounter_ = 0;
};
