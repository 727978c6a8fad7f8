// Real-valued rows, one per observation. kmeans2 scores a cluster by its within-cluster sum
// of squares, negated and times scale.
#pragma once
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "models/DiagonalRows.h"

class kmeans2 final : public DiagonalRows {
 public:
  kmeans2(const std::string& dataFileName, std::ostream& _logFile, double _scale);
  // A model on data read before, with scratch of its own.
  kmeans2(std::shared_ptr<const DiagonalData> data, double _scale);

  std::unique_ptr<Observable> copyForChain() const override;
  const DiagonalData& shared() const { return *data_; }

  // mean[t]: average of column t over cluster j (left 0 when empty); returns the count.
  int getMean(const int* z, short int j, double* mean) const;

  // The fast version unless the model's scoring mode asks for the reference.
  double getClusterFit(const int* z, int j) const override;
  // The plain scoring, kept as the reference of the fast one, which gives the same double.
  double clusterFitReference(const int* z, int j) const;
  double clusterFitFast(const int* z, int j) const;
  double scoreMoments(const double* moments, int members) const override;

 private:
  double scoreList(const int* list, int members) const override;

  std::shared_ptr<const DiagonalData> data_;
};
