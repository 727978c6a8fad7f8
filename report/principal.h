// Principal components of a real matrix for the report's scatter plot: the covariance of the
// columns and its two leading eigenvectors, by Jacobi rotations (every eigenpair to full
// precision however close the eigenvalues lie) up to kJacobiColumns columns, whose cost grows
// with the cube of the columns, and by subspace (power) iteration on two vectors above.
#pragma once
#include <vector>

#include "io/Matrix.h"

namespace report {

// Eigenvalues (descending) and unit eigenvectors (vectors[j * d + i]: component i of the j-th)
// of the symmetric d x d matrix a (row-major).
void symmetricEigen(std::vector<double> a, int d, std::vector<double>& values,
                    std::vector<double>& vectors);

const int kJacobiColumns = 60;

// The two leading eigenpairs of the symmetric d x d matrix a by subspace iteration (values
// descending, vectors[j * d + i] as above).
void leadingEigen(const std::vector<double>& a, int d, std::vector<double>& values,
                  std::vector<double>& vectors);

// The products the covariance may take (n d^2 / 2 for every row).
const double kCovarianceWork = 4e8;

struct Components {
  bool jacobi = true;               // false: subspace iteration
  int rowStep = 1;                  // the covariance from one row in every rowStep
  std::vector<double> axis[2];      // unit vectors over the columns; sign: largest part positive
  bool standardised = false;        // the columns divided by their standard deviations first
  double variance[2] = {0, 0};      // the variance along each
  double totalVariance = 0;         // the trace of the covariance
  std::vector<double> score[2];     // each row's coordinate on each, centred
};

// The first two components of the column covariance (n - 1). A missing cell counts as its
// column's mean of the seen cells (adding nothing to the covariance). d >= 2. Every row gets
// its scores; the covariance of a wide, long matrix comes from an evenly spaced subset.
// With standardise, each column with a spread is divided by its standard deviation first (the
// correlation matrix's components).
Components principalComponents(const Matrix<double>& data, double work = kCovarianceWork,
                               bool standardise = false);

// The rule the report and R's plot share: standardise when the columns' standard deviations
// (over their seen cells; constant columns left out) differ by more than kSpreadRatio times,
// as columns in different units do (depth in km beside magnitudes).
constexpr double kSpreadRatio = 10;
bool spreadsDiffer(const Matrix<double>& data);

}  // namespace report
