// Real-valued rows in clusters that are multivariate normal with unknown mean and full
// covariance under the conjugate normal-inverse-Wishart prior, integrated out: a cluster's
// score is the closed-form log marginal likelihood of its members. The prior's defaults come
// from the whole data set and one prior number c that scales the prior scale matrix.
#pragma once
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "models/RealRows.h"

struct MvnData : RealData {
  // Prior (rows are stored less mu0, so the prior mean is 0 in the stored coordinates).
  std::vector<double> mu0;   // per column, in the data's units
  double kappa0 = 0.01;      // prior sample size of the mean
  double nu0 = 0;            // prior degrees of freedom, d + 2
  std::vector<double> psi0;  // prior scale matrix, d x d row-major
  double logDetPsi0 = 0;
  std::vector<double> sizeTerm;  // per cluster size m = 0..n: every term but the scale's

  // Reads the matrix (at least 2 rows, some spread) and c from priorStream (a positive
  // finite number); writes the hyperparameters to the log. Violations end the run.
  MvnData(const std::string& dataFileName, std::istream& priorStream, std::ostream& logFile,
          double scale);
};

class mvn final : public RealRows {
 public:
  mvn(const std::string& dataFileName, std::istream& priorStream, std::ostream& _logFile,
      double _scale);
  // A model on data read before, with scratch of its own.
  mvn(std::shared_ptr<const MvnData> data, double _scale);

  std::unique_ptr<Observable> copyForChain() const override;
  const MvnData& shared() const { return *data_; }

  double getClusterFit(const int* z, int j) const override;

  // Fast mode: per cluster the sums of the (centred) rows and of their outer products, the
  // upper triangle packed row by row: d + d(d+1)/2 values.
  int momentsSize() const override;
  void addToMoments(int i, double* moments, int sign) const override;
  double scoreMoments(const double* moments, int members) const override;

  // The log marginal likelihood of members rows from the posterior scale matrix psiN (d x d,
  // row-major, overwritten by its Cholesky factor); -inf when it is not positive definite.
  double scoreFromPosteriorScale(double* psiN, int members) const;

 private:
  double scoreList(const int* list, int members) const override;

  std::shared_ptr<const MvnData> data_;
  const MvnData& p_;  // *data_: the prior
};
