// Ordered scores: a matrix of whole numbers 0..19, one row per observation, each column's
// values read as levels low_t..high_t of an order. Within a cluster, column t's value less
// low_t is binomial over 0..N_t (N_t = high_t - low_t) with its own probability p, and p has
// a Beta(a, b) prior, integrated out: neighbouring levels share evidence, where categorical
// profiles (HDGBern) give each of ten levels its own probability and split clusters apart.
// A missing cell (NA) is left out of its column; a column of one level adds nothing.
#pragma once
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "io/Matrix.h"
#include "models/Observable.h"

struct OrdinalData {
  static constexpr int W = 20;  // values 0..W-1, the categorical models' range
  int n = 0;
  int T = 0;
  Matrix<uint8_t> sequence;  // n rows of T values 0..W-1, or kMissingByte
  long missing = 0;      // cells read as NA
  double a = 1, b = 1;   // the Beta prior of each cluster's p
  std::vector<int> low, span;  // per column: lowest value seen and N_t (0: one level)
  // Per column, W entries: log C(N_t, v - low_t) for each value v seen in the column.
  std::vector<double> logChoose;
  double logBetaPrior = 0;  // log B(a, b)

  // Reads "a b" (two positive finite numbers) from priorStream, then the matrix; a value
  // outside 0..W-1 ends the run with a line naming its row and column. Writes the prior and
  // the columns' ranges to logFile.
  OrdinalData(const std::string& dataFileName, std::istream& priorStream, std::ostream& logFile);
};

class ordinal final : public Observable {
 public:
  ordinal(const std::string& dataFileName, std::istream& priorStream, std::ostream& logFile,
          double _scale);
  // A model on data read before, with scratch of its own.
  ordinal(std::shared_ptr<const OrdinalData> data, double _scale);

  std::unique_ptr<Observable> copyForChain() const override;
  const OrdinalData& shared() const { return *data_; }
  size_t workspaceBytes() const override;

  double getClusterFit(const int* z, int j) const override;
  // Additive statistics: per column the count of each value (T x W ints).
  int statsSize() const override;
  void addToStats(int i, int* stats, int sign) const override;
  double scoreStats(const int* stats, int members) const override;
  int columnStatsSize() const override { return T * OrdinalData::W; }
  void columnTerms(const int* stats, int members, double* terms) const override;
  // Mean absolute difference over the columns seen in both rows, each column's in units of
  // its range N_t (a column of one level counts 0).
  double pairwiseDistance(int i1, int i2) const override;
  double pairwiseDistance(int i1, int i2, int length, const int* positions) const override;

  // Column t's log marginal likelihood from its W value counts (scale not applied).
  double columnFit(const int* count, int t) const;

 private:
  std::shared_ptr<const OrdinalData> data_;
  const OrdinalData& d_;           // *data_
  mutable std::vector<int> count_;  // T x W: a cluster's counts
};
