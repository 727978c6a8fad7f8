// The base of the real-valued models (kmeans2, mclust2): the data matrix read from a
// whitespace-separated file, the log stream, Euclidean distances, and the per-cluster
// averages of the fast scores.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "io/Matrix.h"
#include "models/Observable.h"

// Owns the data matrix and the log stream of the real-valued models; Euclidean distances.
class RealRows : public Observable {
 public:
  Matrix<double> data;  // n rows of T values
  std::ostream& logFile;
  std::vector<double> center;  // column averages, the origin of the fast moments

  RealRows(const std::string& dataFileName, std::ostream& _logFile, double _scale);

  double pairwiseDistance(int i1, int i2) const override;
  // Over the dimension columns listed in positions.
  double pairwiseDistance(int i1, int i2, int dimension, const int* positions) const override;

  // Exact mode: members listed in ascending order are scored without a pass over all rows.
  bool scoresMemberLists() const override { return scoring == ScoringMode::Exact; }
  double scoreMembers(const int* sorted, int members) const override;
  // Fast mode: per cluster the sums of (x - center) and of its squares, T each, so that
  // centred sums keep their precision for clusters far from the origin.
  int momentsSize() const override { return scoring == ScoringMode::Fast ? 2 * T : 0; }
  void addToMoments(int i, double* moments, int sign) const override;
  // getClusterFit of the fast mode: the moments of label j summed afresh, then scored.
  double momentsFit(const int* z, int j) const;

 protected:
  // Lists the members of label in list (n places), ascending; returns their count.
  int listMembers(const int* z, short label, int* list) const;
  // The averages of the fast scores, each a sum over the listed members (ascending) divided
  // by their count, as the plain getMean computes them; mean2 (if not null) gets the
  // averages of squares.
  void listMeans(const int* list, int members, double* mean, double* mean2) const;
  // The exact score of the listed members (ascending): the fast path of getClusterFit.
  virtual double scoreList(const int* list, int members) const = 0;

  mutable std::vector<double> moments_;  // 2T, scratch of momentsFit
};
