// Matrices of small integers, one row per observation: HDBern reads every value as an
// outcome 0..1, HDGBern as a category 0..19. Within a cluster each column has its own outcome
// probabilities; the integrated, classification and mixture criteria are all available, each
// multiplied by scale. Both are CategoricalColumns<W>, differing only in the width W.
// A cell may be missing (NA): it is left out of its column's counts, which integrates it out
// exactly, since the columns are independent within a cluster.
// The data and the prior's tables are shared (CategoricalData); a model adds its chain's
// workspace: the counters (CategoricalCounts), the mixture's tables (CategoricalMixture) and
// the prior's memo.
#pragma once
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "models/CategoricalCounts.h"
#include "models/CategoricalData.h"
#include "models/CategoricalMixture.h"
#include "models/Observable.h"
#include "stats/DirichletScorer.h"
#include "stats/MixtureDirichletRV.h"

template <int W>
class CategoricalColumns final : public Observable {
 public:
  using Data = CategoricalData<W>;

  // Reads the data and the prior (see CategoricalData).
  CategoricalColumns(const std::string& dataFileName, std::istream& priorStream,
                     std::ostream& logFile, double _scale);
  // A model on data read before, with scratch of its own.
  CategoricalColumns(std::shared_ptr<const Data> data, double _scale);

  std::unique_ptr<Observable> copyForChain() const override;
  const Data& shared() const { return *data_; }
  size_t workspaceBytes() const override;

  // count: T rows of W outcome counts of cluster j; returns the member count.
  int getCount(const int* z, int j, int* count) const;

  // Each criterion has a plain reference version and a fast one giving the same double bit for
  // bit; the reference scoring mode makes the criteria use the reference.
  double getClusterFit(const int* z, int j) const override;
  double getClassificationLik(const int* z, int j) const override;
  // A label below k without members has weight 0 and is left out.
  double getMixtureLik(const int* z, int k) const override;

  double clusterFitReference(const int* z, int j) const { return integrated(z, j, true); }
  double clusterFitFast(const int* z, int j) const { return integrated(z, j, false); }
  double classificationLikReference(const int* z, int j) const {
    return classification(z, j, true);
  }
  double classificationLikFast(const int* z, int j) const { return classification(z, j, false); }
  double mixtureLikReference(const int* z, int k) const;
  double mixtureLikFast(const int* z, int k) const;

  // Additive statistics for searches: the T x W outcome counts.
  int statsSize() const override;
  void addToStats(int i, int* stats, int sign) const override;
  double scoreStats(const int* stats, int members) const override;
  int columnStatsSize() const override { return T * W; }
  void columnTerms(const int* stats, int members, double* terms) const override;
  double pairwiseDistance(int i1, int i2) const override;
  double pairwiseDistance(int i1, int i2, int length, const int* positions) const override;

 private:
  // What a chain writes while it scores: a count table, the counters' and the mixture's
  // scratch, the prior tables' memo, and a copy of the prior for its plain evaluation
  // (whose scratch is the object's own).
  struct Workspace {
    explicit Workspace(const Data& data);
    std::vector<int> count;  // T x W
    CategoricalCounts<W> counts;
    CategoricalMixture<W> mixture;
    DirichletScorer muScorer;    // the shared tables, a memo of its own
    MixtureDirichletRV muPrior;  // the reference's evaluation
  };

  // Counts cluster j into the workspace, by the plain loop (reference) or the fast one.
  int countCluster(const int* z, int j, bool reference) const;
  double integrated(const int* z, int j, bool reference) const;
  double classification(const int* z, int j, bool reference) const;
  // The integrated score of the T count tables (scale applied): by the levels seen, or by
  // the prior (its plain evaluation when reference).
  double columnsFit(const int* count, bool reference) const;
  // Sum over the cells of c log(c / total), empty cells left out; total is each column's
  // count (the cluster size unless cells are missing).
  double classificationSum(const int* count) const;
  // Mismatches per column seen in both rows (positions null: every column).
  double sharedDistance(int i1, int i2, int length, const int* positions) const;

  std::shared_ptr<const Data> data_;
  const Matrix<uint8_t>& sequence_;  // data_'s
  mutable Workspace work_;
};

using HDBern = CategoricalColumns<2>;
using HDGBern = CategoricalColumns<20>;

extern template class CategoricalColumns<2>;
extern template class CategoricalColumns<20>;
