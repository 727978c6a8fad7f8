// The base of the real-valued models: the data matrix read from a whitespace-separated file
// (each column far from 0 against its spread shifted to its mean), the log stream, Euclidean
// distances, member lists, and the fast mode's score from a model's own moments.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "io/Matrix.h"
#include "models/Observable.h"

// What layout a model's moments have (diagonal, a full scatter matrix, ...) is the model's:
// this base only asks for momentsSize(), addToMoments and scoreMoments.
class RealRows : public Observable {
 public:
  Matrix<double> data;         // n rows of T values, less origin per column
  std::vector<double> origin;  // per column: what was taken from every value (0: nothing)
  std::ostream& logFile;

  // acceptsMissing: NA cells are read (as NaN) and counted in missing_; otherwise refused.
  RealRows(const std::string& dataFileName, std::ostream& _logFile, double _scale,
           bool acceptsMissing = false);

  // -S: every column is centred and divided by its standard deviation as soon as it is
  // read (a constant column only centred), and the log says so. The run sets it before it
  // builds the model.
  static bool standardiseColumns;
  // The columns' standard deviations as read (n - 1 in the denominator).
  std::vector<double> columnSd;

  double pairwiseDistance(int i1, int i2) const override;
  // Over the dimension columns listed in positions.
  double pairwiseDistance(int i1, int i2, int dimension, const int* positions) const override;

  // Exact mode: members listed in ascending order are scored without a pass over all rows.
  bool scoresMemberLists() const override { return scoring == ScoringMode::Exact; }
  double scoreMembers(const int* sorted, int members) const override;
  // getClusterFit of the fast mode: the moments of label j summed afresh, then scored.
  double momentsFit(const int* z, int j) const;

 protected:
  // Lists the members of label in list (n places), ascending; returns their count.
  int listMembers(const int* z, short label, int* list) const;
  // The exact score of the listed members (ascending): the fast path of getClusterFit.
  virtual double scoreList(const int* list, int members) const = 0;

  mutable std::vector<double> moments_;  // momentsSize(), scratch of momentsFit
  long missing_ = 0;                     // cells read as NA
 private:
  double farApart_ = 0;  // the diagonal of the box of the seen values (missing_ only)
  // Euclidean distance over the columns seen in both rows, scaled up to all of them.
  double sharedDistance(int i1, int i2, int dimension, const int* positions) const;
};
