// The read-only side of the categorical models (HDBern, HDGBern): the matrix of small
// integers, how many of its cells are missing, and the column prior with the tables that
// score it. Read once per process; every chain's model shares it.
#pragma once
#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "io/Matrix.h"
#include "models/ColumnProfilePrior.h"
#include "stats/DirichletScorer.h"
#include "stats/MixtureDirichletRV.h"

// The prior that ends with the word "levels": per column a symmetric Dirichlet spread over
// the levels that occur in that column only.
template <int W>
class LevelsPrior {
 public:
  // Counts each column's levels and tabulates the log-gamma terms; writes its line to log.
  LevelsPrior(double pseudoCount, const Matrix<uint8_t>& sequence, int n, int T,
              std::ostream& log);
  // Column t's log marginal for its W counts.
  double columnFit(const int* count, int t) const;

 private:
  double totalTerm(int levels, int total) const;

  int n_;
  double pseudoCount_;             // the Dirichlet parameter
  std::vector<int> levelsSeen_;    // T: levels seen per column
  std::vector<double> countTerm_;  // n + 1: lgamma(a + c) - lgamma(a)
  std::vector<int> totalRow_;      // W + 1: row of totalTerm_ per level count, or -1
  std::vector<double> totalTerm_;  // rows of n + 1: lgamma(L a) - lgamma(L a + m)
};

template <int W>
struct CategoricalData {
  // "HDBern" or "HDGBern", as messages name the model.
  static const char* modelName() { return W == 2 ? "HDBern" : "HDGBern"; }

  int n = 0;
  int T = 0;
  Matrix<uint8_t> sequence;  // n rows of T values 0..W-1, or kMissingByte
  long missing = 0;      // cells read as NA
  MixtureDirichletRV muPrior;  // a column's W outcome probabilities, as read
  std::shared_ptr<const DirichletTables> muTables;  // muPrior, counts up to n
  std::unique_ptr<const LevelsPrior<W>> levels;     // null unless the prior says "levels"
  // Null unless the prior says "shared": then each column's profile centres the prior.
  std::unique_ptr<const ColumnProfilePrior> profile;

  // Reads the prior text (it must have W categories, and may end with the word "levels"),
  // then the matrix; a value outside 0..W-1 ends the run with a line naming its row and
  // column. Messages go to standard output and logFile.
  CategoricalData(const std::string& dataFileName, std::istream& priorStream,
                  std::ostream& logFile);
};

extern template class LevelsPrior<2>;
extern template class LevelsPrior<20>;
extern template struct CategoricalData<2>;
extern template struct CategoricalData<20>;
