// Matrices of small integers, one row per observation: HDBern reads every value as an
// outcome 0..1, HDGBern as a category 0..19. Within a cluster each column has its own outcome
// probabilities; the integrated, classification and mixture criteria are all available, each
// multiplied by scale. Both are CategoricalColumns<W>, differing only in the width W.
#pragma once
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "PartitionSampler/Observable.h"
#include "U/Matrix.h"
#include "U/MixtureDirichletRV.h"

template <int W>
class CategoricalColumns : public Observable {
 public:
  Matrix<int> sequence;        // n rows of T values 0..W-1
  MixtureDirichletRV muPrior;  // prior of a column's W outcome probabilities
  std::ostream& logFile;

  // Reads the prior text (it must have W categories), then the matrix; a value outside
  // 0..W-1 ends the run with a line naming its row and column.
  CategoricalColumns(const std::string& modelName, const std::string& dataFileName,
                     std::istream& priorStream, std::ostream& _logFile, double _scale);

  // count: T rows of W outcome counts of cluster j; returns the member count.
  int getCount(const int* z, int j, int* count) const;

  double getClusterFit(const int* z, int j) const override;
  double getClassificationLik(const int* z, int j) const override;
  // A label below k without members has weight 0 and is left out.
  double getMixtureLik(const int* z, int k) const override;
  void writeComponentParam(const int*, int, std::ofstream&) const override {}
  double pairwiseDistance(int i1, int i2) const override;
  double pairwiseDistance(int i1, int i2, int length, const int* positions) const override;

 private:
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
