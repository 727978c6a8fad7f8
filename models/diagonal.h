// Real-valued rows scored like mclust2 (per column a normal with a conjugate normal-gamma
// prior, integrated out), but with each column's prior set as if it were the only one: shape
// 3/2 and a rate from that column's own variance. mclust2's shape (T + 2) / 2 and shared rate
// grow sure of tight clusters as columns are added, so on wide data every row ends alone; here
// the prior's weight does not grow with T, and the model is unchanged by a column's scale.
#pragma once
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "models/DiagonalRows.h"

struct DiagonalNormalData : DiagonalData {
  double lambda = 0.01;  // prior precision multiplier of the mean
  double alpha = 1.5;    // prior shape of each column's precision
  // Per column: the prior rate, variance / (2 c^(2/T)); 0 for a column left out (constant,
  // or seen fewer than twice), which adds nothing to any score.
  std::vector<double> beta;
  std::vector<double> alphaLogBeta;  // per column alpha log(beta), 0 when left out
  int used = 0;                      // columns not left out
  // Per cluster size m = 0..n: one column's terms that do not depend on its values, and
  // used of them plus the sum of alphaLogBeta (the whole score but the posterior rates).
  std::vector<double> columnPart, sizeTerm;

  // Reads the matrix (at least 2 rows, some column with spread) and c from priorStream (a
  // positive finite number); writes the hyperparameters to the log. Violations end the run.
  DiagonalNormalData(const std::string& dataFileName, std::istream& priorStream,
                     std::ostream& logFile, double scale);
};

class diagonal final : public DiagonalRows {
 public:
  diagonal(const std::string& dataFileName, std::istream& priorStream, std::ostream& logFile,
           double _scale);
  // A model on data read before, with scratch of its own.
  diagonal(std::shared_ptr<const DiagonalNormalData> data, double _scale);

  std::unique_ptr<Observable> copyForChain() const override;
  const DiagonalNormalData& shared() const { return *data_; }

  // From the members' list (the reference and the exact mode alike), or the running moments.
  double getClusterFit(const int* z, int j) const override;
  double scoreMoments(const double* moments, int members) const override;

 private:
  double scoreList(const int* list, int members) const override;
  // Column t's term for m seen values whose squared deviations about their average sum to
  // within, their average lying d from the column's prior mean.
  double columnTerm(int t, double m, double within, double d) const;

  std::shared_ptr<const DiagonalNormalData> data_;
  const DiagonalNormalData& p_;  // *data_: the prior
};
