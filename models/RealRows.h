// The base of the real-valued models (kmeans2, mclust2): the data matrix read from a
// whitespace-separated file, the log stream, Euclidean distances, and the per-cluster
// averages of the fast scores.
#pragma once
#include <ostream>
#include <string>

#include "io/Matrix.h"
#include "models/Observable.h"

// Owns the data matrix and the log stream of the real-valued models; Euclidean distances.
class RealRows : public Observable {
 public:
  Matrix<double> data;  // n rows of T values
  std::ostream& logFile;

  RealRows(const std::string& dataFileName, std::ostream& _logFile, double _scale);

  double pairwiseDistance(int i1, int i2) const override;
  // Over the dimension columns listed in positions.
  double pairwiseDistance(int i1, int i2, int dimension, const int* positions) const override;

 protected:
  // The averages of the fast scores, each a sum over the members in ascending order divided
  // by their count, as the plain getMean computes them; mean2 (if not null) gets the averages
  // of squares. Lists the members in list (n places); returns their count.
  int fastMeans(const int* z, short label, int* list, double* mean, double* mean2) const;
};
