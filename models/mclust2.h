// Real-valued rows scored, per dimension, by the marginal likelihood of a normal model with
// a conjugate normal-gamma prior whose hyperparameters come from the whole data set and one
// prior number c.
#pragma once
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "models/DiagonalRows.h"

class mclust2 final : public DiagonalRows {
 public:
  std::vector<double> mu0;  // prior mean per dimension: the overall averages (of data)
  double lambda = 0.01;     // prior precision multiplier of the mean
  double alpha = 0;         // prior shape of the precision, (T + 2) / 2
  double beta = 0;          // prior rate: summed variances / (2T c^(2/T))

  // Reads the matrix (at least 2 rows) and c from priorStream (a positive finite number);
  // writes the hyperparameters to the log. Violations end the run with one line.
  mclust2(const std::string& dataFileName, std::istream& priorStream, std::ostream& _logFile,
          double _scale);

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
  double sizeTerm(int members) const;
  // One dimension's term for m seen values whose squared deviations about their average sum
  // to within, their average lying d from mu0.
  double columnTerm(double m, double within, double d) const;
  double scoreListMissing(const int* list, int members) const;
  // Posterior rate of dimension t for a cluster of size members with the given averages.
  double betaNew(int t, int members, double mean, double mean2, double lambdaNew) const;

  // Per cluster size m = 0..n, the part of each dimension's term that does not depend on the
  // dimension, summed in the reference's order.
  std::vector<double> sizeTerm_;
  mutable std::vector<double> mean_;   // T
  mutable std::vector<double> mean2_;  // T
  mutable std::vector<double> count_;  // T, seen values per column (missing cells)
  mutable std::vector<int> members_;   // n, scratch of clusterFitFast
};
