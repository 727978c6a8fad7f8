#include "models/CategoricalData.h"

#include <algorithm>

#include "io/Console.h"
#include "io/Files.h"
#include "io/MatrixReader.h"
#include "io/Text.h"
#include "stats/MathPlus.h"

template <int W>
LevelsPrior<W>::LevelsPrior(double pseudoCount, const Matrix<uint8_t>& sequence, int n, int T,
                            std::ostream& log)
    : n_(n), pseudoCount_(pseudoCount) {
  levelsSeen_.assign(T, 0);
  std::vector<char> seen(W);
  for (int t = 0; t < T; t++) {
    std::fill(seen.begin(), seen.end(), 0);
    for (int i = 0; i < n; i++)
      if (!isMissing(sequence[i][t])) seen[sequence[i][t]] = 1;
    for (int w = 0; w < W; w++) levelsSeen_[t] += seen[w];
  }
  const double a = pseudoCount_;
  countTerm_.resize(static_cast<size_t>(n) + 1);
  for (int c = 0; c <= n; c++) countTerm_[c] = MathPlus::mylgamma(a + c) - MathPlus::mylgamma(a);
  // One row of totals per level count that occurs, while the rows fit in 32 MB; beyond that
  // the totals are computed as needed, to the same bits.
  totalRow_.assign(W + 1, -1);
  int rows = 0;
  for (int t = 0; t < T; t++) {
    const int L = levelsSeen_[t];
    if (L >= 2 && totalRow_[L] < 0) totalRow_[L] = rows++;
  }
  if (static_cast<long>(rows) * (n + 1) > (1L << 22)) {
    std::fill(totalRow_.begin(), totalRow_.end(), -1);
    rows = 0;
  }
  totalTerm_.resize(static_cast<size_t>(rows) * (n + 1));
  for (int L = 2; L <= W; L++)
    if (totalRow_[L] >= 0) {
      double* row = &totalTerm_[static_cast<size_t>(totalRow_[L]) * (n + 1)];
      for (int m = 0; m <= n; m++)
        row[m] = MathPlus::mylgamma(L * a) - MathPlus::mylgamma(L * a + m);
    }
  int informative = 0;
  for (int t = 0; t < T; t++) informative += levelsSeen_[t] >= 2;
  log << "Prior by levels seen: per column a symmetric Dirichlet(" << a
      << ") over the levels that occur in it; " << informative << " of " << T
      << " columns have two or more\n";
}

template <int W>
double LevelsPrior<W>::totalTerm(int levels, int total) const {
  const int row = totalRow_[levels];
  if (row >= 0) return totalTerm_[static_cast<size_t>(row) * (n_ + 1) + total];
  const double a = pseudoCount_;
  return MathPlus::mylgamma(levels * a) - MathPlus::mylgamma(levels * a + total);
}

template <int W>
double LevelsPrior<W>::columnFit(const int* count, int t) const {
  const int levels = levelsSeen_[t];
  // One level seen: every cluster has it with probability 1.
  if (levels < 2) return 0;
  // Unseen levels count 0 in every cluster and add countTerm_[0] = 0.
  int total = 0;
  double fit = 0;
  for (int w = 0; w < W; w++) {
    total += count[w];
    fit += countTerm_[count[w]];
  }
  return fit + totalTerm(levels, total);
}

template <int W>
CategoricalData<W>::CategoricalData(const std::string& dataFileName, std::istream& priorStream,
                                    std::ostream& logFile)
    : muPrior(priorStream, logFile) {
  const std::string name = modelName();
  if (muPrior.dimension != W)
    Files::fail(logFile, "Bad prior text: " + name + " needs " + Text::n2s(W) +
                         " categories, not " + Text::n2s(muPrior.dimension));
  std::string marker;
  const bool hasMarker = static_cast<bool>(priorStream >> marker);
  const bool byLevels = hasMarker && marker == "levels";
  const bool shared = hasMarker && marker == ColumnProfilePrior::kMarker;
  MatrixReader::Outside outside;
  MatrixReader::readLevels(dataFileName, W, n, T, sequence, outside, vout(), &missing);
  if (outside.found)
    Files::fail(logFile, "Bad " + name + " data file " + dataFileName + ": row " +
                         Text::n2s(outside.row) + ", column " + Text::n2s(outside.column) +
                         " holds " + Text::n2s(outside.value) + ", outside 0.." + Text::n2s(W - 1));
  MatrixReader::noteMissing(logFile, missing, static_cast<long>(n) * T);
  muTables = std::make_shared<const DirichletTables>(muPrior, n);
  // The prior text is then the symmetric Dirichlet of the pseudo-count.
  if (byLevels)
    levels = std::make_unique<const LevelsPrior<W>>(muPrior.alpha[0][0], sequence, n, T, logFile);
  if (shared)
    profile = std::make_unique<const ColumnProfilePrior>(muPrior, columnCounts(sequence, n, T, W),
                                                         T, W, logFile);
}

template class LevelsPrior<2>;
template class LevelsPrior<20>;
template struct CategoricalData<2>;
template struct CategoricalData<20>;
