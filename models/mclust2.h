// Real-valued rows scored, per dimension, by the marginal likelihood of a normal model with
// a conjugate normal-gamma prior whose hyperparameters come from the whole data set and one
// prior number c.
#pragma once
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "models/DiagonalRows.h"

struct Mclust2Data : DiagonalData {
  std::vector<double> mu0;  // prior mean per dimension: the overall averages (of data)
  double lambda = 0.01;     // prior precision multiplier of the mean
  double alpha = 0;         // prior shape of the precision, (T + 2) / 2
  double beta = 0;          // prior rate: summed variances / (2T c^(2/T))
  // Per cluster size m = 0..n, the part of each dimension's term that does not depend on the
  // dimension, summed in the reference's order.
  std::vector<double> sizeTerm;

  // Reads the matrix (at least 2 rows) and c from priorStream (a positive finite number);
  // writes the hyperparameters to the log. Violations end the run with one line.
  Mclust2Data(const std::string& dataFileName, std::istream& priorStream, std::ostream& logFile,
              double scale);
  // The first five of the six terms the reference adds per dimension, in its order.
  double sizePart(int members) const;
};

class mclust2 final : public DiagonalRows {
 public:
  mclust2(const std::string& dataFileName, std::istream& priorStream, std::ostream& _logFile,
          double _scale);
  // A model on data read before, with scratch of its own.
  mclust2(std::shared_ptr<const Mclust2Data> data, double _scale);

  std::unique_ptr<Observable> copyForChain() const override;
  const Mclust2Data& shared() const { return *data_; }

  // Averages and averages of squares per dimension over cluster j (0 when empty).
  int getMean(const int* z, short int j, double* mean, double* mean2) const;

  // The fast version unless the model's scoring mode asks for the reference.
  double getClusterFit(const int* z, int j) const override;
  // The plain scoring, kept as the reference of the fast one, which gives the same double.
  double clusterFitReference(const int* z, int j) const;
  double clusterFitFast(const int* z, int j) const;
  double scoreMoments(const double* moments, int members) const override;

 private:
  double scoreList(const int* list, int members) const override;
  // One dimension's term for m seen values whose squared deviations about their average sum
  // to within, their average lying d from mu0.
  double columnTerm(double m, double within, double d) const;
  double scoreListMissing(const int* list, int members) const;
  // Posterior rate of dimension t for a cluster of size members with the given averages.
  double betaNew(int t, int members, double mean, double mean2, double lambdaNew) const;

  std::shared_ptr<const Mclust2Data> data_;
  const Mclust2Data& p_;  // *data_: the prior
};
