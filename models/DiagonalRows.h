// Real-valued rows whose models treat the columns apart (kmeans2, mclust2): per cluster and
// column the sum and the sum of squares are all they need, in the exact mode as averages
// over a member list, in the fast mode as running moments about the column averages. A
// missing cell (NA) is left out of its column's sums, so each column also keeps a count.
#pragma once
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "models/RealRows.h"

struct DiagonalData : RealData {
  std::vector<double> center;  // column averages, the origin of the fast moments

  // Reads the matrix (NA cells accepted); warns on standard error when the columns' spreads
  // differ by more than a factor 100 (unless the model scales each column by itself).
  DiagonalData(const std::string& dataFileName, std::ostream& logFile, double scale,
               bool warnSpreads = true);
};

class DiagonalRows : public RealRows {
 public:
  // Fast mode: per cluster the sums of (x - center) and of its squares, T each, so that
  // centred sums keep their precision for clusters far from the origin.
  // With missing cells a third block of T holds each column's count of seen values.
  int momentsSize() const override {
    return scoring == ScoringMode::Fast ? (missing_ > 0 ? 3 * T : 2 * T) : 0;
  }
  void addToMoments(int i, double* moments, int sign) const override;

 protected:
  // Sizes the workspace: the moments and the three column vectors.
  DiagonalRows(std::shared_ptr<const DiagonalData> shared, double _scale);
  // The averages of the exact scores, each a sum over the listed members (ascending)
  // divided by their count, as the plain getMean computes them; mean2 (if not null) gets
  // the averages of squares.
  void listMeans(const int* list, int members, double* mean, double* mean2) const;

 private:
  const std::vector<double>& center_;  // the shared data's
};

// With missing cells: per column the count, sum and sum of squares of the listed members'
// seen values, each T long.
void listColumnSums(const Matrix<double>& data, int T, const int* list, int members,
                    double* count, double* sum, double* sum2);
