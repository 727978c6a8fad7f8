// Matrices of small integers, one row per observation: HDBern reads every value as an
// outcome 0..1, HDGBern as a category 0..19. Within a cluster each column has its own outcome
// probabilities; the integrated, classification and mixture criteria are all available, each
// multiplied by scale. Both are CategoricalColumns<W>, differing only in the width W.
// A cell may be missing (NA): it is left out of its column's counts, which integrates it out
// exactly, since the columns are independent within a cluster.
#pragma once
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "models/Observable.h"
#include "stats/DirichletScorer.h"
#include "io/Matrix.h"
#include "stats/MixtureDirichletRV.h"

template <int W>
class CategoricalColumns : public Observable {
 public:
  Matrix<int> sequence;        // n rows of T values 0..W-1, or kMissingInt
  MixtureDirichletRV muPrior;  // prior of a column's W outcome probabilities; the fast
                               // scoring copies it at construction
  std::ostream& logFile;

  // Reads the prior text (it must have W categories, and may end with the word "levels": each
  // column's symmetric Dirichlet then spreads over the levels seen in that column only), then
  // the matrix; a value outside 0..W-1 ends the run with a line naming its row and column.
  CategoricalColumns(const std::string& modelName, const std::string& dataFileName,
                     std::istream& priorStream, std::ostream& _logFile, double _scale);

  // count: T rows of W outcome counts of cluster j; returns the member count.
  int getCount(const int* z, int j, int* count) const;

  // Each criterion has a plain reference version and a fast one giving the same double bit for
  // bit; the reference scoring mode makes the criteria use the reference.
  double getClusterFit(const int* z, int j) const override;
  double getClassificationLik(const int* z, int j) const override;
  // A label below k without members has weight 0 and is left out.
  double getMixtureLik(const int* z, int k) const override;

  double clusterFitReference(const int* z, int j) const;
  double clusterFitFast(const int* z, int j) const;
  double classificationLikReference(const int* z, int j) const;
  double classificationLikFast(const int* z, int j) const;
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
  // getCount's result, faster: for W = 2 only the ones are counted, in registers.
  int countFast(const int* z, int j, int* count) const;
  // The integrated score of the T count tables (scale applied): by the levels seen, or by
  // the prior (its plain evaluation when reference).
  double columnsFit(const int* count, bool reference) const;
  // One column's log marginal under the symmetric Dirichlet over its seen levels.
  double levelsColumnFit(const int* count, int t) const;
  double levelsTotalTerm(int levels, int total) const;
  void setUpLevels();
  // Sum over the cells of c log(c / total), empty cells left out; total is the cluster size,
  // or each column's own count when cells are missing.
  double classificationSum(const int* count, int clusterSize) const;
  // The mixture likelihood when cells are missing: each row's seen cells only.
  double mixtureLikMissing(const int* z, int k) const;
  // Mismatches per column seen in both rows (positions null: every column).
  double sharedDistance(int i1, int i2, int length, const int* positions) const;
  // Fills clusterSizes_ and the first k tables of clusterCounts_.
  void countAll(const int* z, int k) const;

  DirichletScorer muScorer_;                // muPrior, counts up to n
  long missing_ = 0;                        // cells read as NA
  bool levels_ = false;                     // the prior spreads over the levels seen
  double pseudoCount_ = 1;                  // its Dirichlet parameter (levels_)
  std::vector<int> levelsSeen_;             // T: levels seen per column (levels_)
  std::vector<double> countTerm_;           // n + 1: lgamma(a + c) - lgamma(a)
  std::vector<int> totalRow_;               // W + 1: row of totalTerm_ per level count, or -1
  std::vector<double> totalTerm_;           // rows of n + 1: lgamma(L a) - lgamma(L a + m)
  mutable std::vector<int> ones_;           // T, scratch of countFast
  mutable std::vector<int> members_;        // n, scratch of countFast
  mutable std::vector<double> shares_;      // k tables of T x W: count / cluster size
  mutable std::vector<int> count_;          // T x W
  mutable std::vector<int> clusterCounts_;  // k tables of T x W; grows with the largest k
  mutable std::vector<int> clusterSizes_;   // k
};

class HDBern final : public CategoricalColumns<2> {
 public:
  HDBern(const std::string& dataFileName, std::istream& priorStream, std::ostream& _logFile,
         double _scale)
      : CategoricalColumns<2>("HDBern", dataFileName, priorStream, _logFile, _scale) {}
};

class HDGBern final : public CategoricalColumns<20> {
 public:
  HDGBern(const std::string& dataFileName, std::istream& priorStream, std::ostream& _logFile,
          double _scale)
      : CategoricalColumns<20>("HDGBern", dataFileName, priorStream, _logFile, _scale) {}
};

extern template class CategoricalColumns<2>;
extern template class CategoricalColumns<20>;
