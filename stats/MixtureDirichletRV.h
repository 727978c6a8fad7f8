// A weighted mixture of K Dirichlet distributions over D categories, the prior of a column's
// category probabilities. Read from the prior text "K D w_1 a_11..a_1D ... w_K a_K1..a_KD";
// the weights are used as read (not normalised). logIntegratedLik allocates nothing.
#pragma once
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "io/Matrix.h"

class MixtureDirichletRV {
 public:
  int dimension = 0;                // D
  int mixtureOrder = 0;             // K
  Matrix<double> alpha;             // K rows of D parameters
  std::vector<double> mixtureCoef;  // K weights

  // Reads the prior text. A malformed text (a number missing or not a number, K or D not
  // positive) ends the run with one line "Bad prior text: ..." on logFile.
  explicit MixtureDirichletRV(std::istream& priorStream, std::ostream& logFile);
  explicit MixtureDirichletRV(std::istream& priorStream);  // messages to standard output
  // Reads the prior text from a file; an unreadable file ends the run.
  explicit MixtureDirichletRV(const std::string& aaPriorFileName);
  // Copy and assignment make independent copies of any shape (the members are values).

  void readFromPriorStream(std::istream& source, std::ostream& logFile);
  // Sets the shape; values are left zero.
  void allocateMemory(int _dimension, int _mixtureOrder);
  void dispose();
  // Copies weights and parameters of an object of the same shape.
  void copy(const MixtureDirichletRV& rv);

  // log sum_d w_d * DirMult(y | alpha_d), y holding D counts.
  double logIntegratedLik(const int* y) const;
  double logDensity(const double* input, bool logInput) const;
  // Picks a component by the weights (one uniform unless K = 1), then draws from it.
  void draw(double* mu, bool Log) const;
  // Posterior given counts under prior (same shape); returns the marginal likelihood (not
  // logged) and leaves the weights normalised.
  double setWithCountsPrior(const int* counts, const MixtureDirichletRV& prior);
  // w_0 + sum_d sum_m (-1)^m alpha_dm: one number summarising every parameter.
  double getSignature() const;
  void show(std::ostream& out) const;
  // Writes the log density at the centre of the simplex to standard output.
  void sanityCheck() const;

 private:
  mutable std::vector<double> posterior_;   // D values, scratch of logIntegratedLik
  mutable std::vector<double> components_;  // K values, scratch of logIntegratedLik
};
