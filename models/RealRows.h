// The base of the real-valued models: the data matrix read from a whitespace-separated file
// (each column far from 0 against its spread shifted to its mean), Euclidean distances,
// member lists, and the fast mode's score from a model's own moments. The matrix and what
// the models derive from it are read-only and shared (RealData and its extensions); a model
// adds its chain's scratch (Workspace).
#pragma once
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "io/Matrix.h"
#include "models/Observable.h"

struct RealData {
  int n = 0;
  int T = 0;
  Matrix<double> data;         // n rows of T values, less origin per column
  std::vector<double> origin;  // per column: what was taken from every value (0: nothing)
  std::vector<double> columnSd;  // the columns' standard deviations as read (n - 1)
  long missing = 0;            // cells read as NA
  double farApart = 0;         // the diagonal of the box of the seen values (missing only)

  // acceptsMissing: NA cells are read (as NaN) and counted in missing; otherwise refused.
  // scale bounds the sums of squares (see the .cpp).
  RealData(const std::string& dataFileName, std::ostream& logFile, double scale,
           bool acceptsMissing);
};

// What layout a model's moments have (diagonal, a full scatter matrix, ...) is the model's:
// this base only asks for momentsSize(), addToMoments and scoreMoments.
class RealRows : public Observable {
 public:
  const Matrix<double>& data;         // the shared data's
  const std::vector<double>& origin;  // the shared data's

  // -S: every column is centred and divided by its standard deviation as soon as it is
  // read (a constant column only centred), and the log says so. The run sets it before it
  // builds the model.
  static bool standardiseColumns;

  double pairwiseDistance(int i1, int i2) const override;
  // Over the dimension columns listed in positions.
  double pairwiseDistance(int i1, int i2, int dimension, const int* positions) const override;

  // Exact mode: members listed in ascending order are scored without a pass over all rows.
  bool scoresMemberLists() const override { return scoring == ScoringMode::Exact; }
  double scoreMembers(const int* sorted, int members) const override;
  // getClusterFit of the fast mode: the moments of label j summed afresh, then scored.
  double momentsFit(const int* z, int j) const;
  size_t workspaceBytes() const override;

 protected:
  // A chain's scratch; each model sizes the parts it uses when built.
  struct Workspace {
    std::vector<int> members;     // n: a member list
    std::vector<double> moments;  // the fast mode's moments of momentsFit
    std::vector<double> mean;     // T: averages (or sums) per column
    std::vector<double> mean2;    // T: averages (or sums) of squares per column
    std::vector<double> count;    // T: seen values per column (missing cells)
    std::vector<double> matrix;   // T x T (mvn's posterior scale)
  };

  RealRows(std::shared_ptr<const RealData> shared, double _scale);
  const RealData& rows() const { return *shared_; }
  // Lists the members of label in list (n places), ascending; returns their count.
  int listMembers(const int* z, short label, int* list) const;
  // The exact score of the listed members (ascending): the fast path of getClusterFit.
  virtual double scoreList(const int* list, int members) const = 0;

  std::shared_ptr<const RealData> shared_;
  const long missing_;  // the shared data's
  mutable Workspace work_;

 private:
  // Euclidean distance over the columns seen in both rows, scaled up to all of them.
  double sharedDistance(int i1, int i2, int dimension, const int* positions) const;
};
