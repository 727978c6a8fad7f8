#include "models/ColumnProfilePrior.h"

#include <cmath>
#include <limits>

#include "stats/MathPlus.h"

ColumnProfilePrior::ColumnProfilePrior(const MixtureDirichletRV& concentrations,
                                       const std::vector<int>& counts, int T, int W,
                                       std::ostream& log)
    : T_(T), W_(W), K_(concentrations.mixtureOrder) {
  for (int k = 0; k < K_; k++) {
    double s = 0;
    for (int w = 0; w < concentrations.dimension; w++) s += concentrations.alpha[k][w];
    concentration_.push_back(s);
    lgammaConcentration_.push_back(MathPlus::mylgamma(s));
    logWeight_.push_back(std::log(concentrations.mixtureCoef[k]));
  }
  const size_t cells = static_cast<size_t>(T) * W * K_;
  alpha_.assign(cells, 0.0);
  lgammaAlpha_.assign(cells, 0.0);
  informative_.assign(T, 0);
  int informative = 0;
  for (int t = 0; t < T; t++) {
    const int* row = counts.data() + static_cast<size_t>(t) * W;
    long total = 0;
    int seen = 0;
    for (int w = 0; w < W; w++) {
      total += row[w];
      seen += row[w] > 0;
    }
    informative_[t] = seen >= 2;
    informative += seen >= 2;
    if (seen < 2) continue;
    for (int w = 0; w < W; w++) {
      if (row[w] == 0) continue;
      const double share = static_cast<double>(row[w]) / total;
      for (int k = 0; k < K_; k++) {
        const size_t at = (static_cast<size_t>(t) * W + w) * K_ + k;
        alpha_[at] = concentration_[k] * share;
        lgammaAlpha_[at] = MathPlus::mylgamma(alpha_[at]);
      }
    }
  }
  log << "Prior around the column profiles (shared): per column a mixture of Dirichlets with "
         "mean the column's frequencies over all rows, concentrations";
  for (int k = 0; k < K_; k++) log << ' ' << concentration_[k];
  log << "; " << informative << " of " << T << " columns show two or more values\n";
}

double ColumnProfilePrior::columnFit(const int* count, int t) const {
  if (!informative_[t]) return 0;
  int total = 0;
  for (int w = 0; w < W_; w++) total += count[w];
  if (total == 0) return 0;
  // Log-sum-exp over the components kept as a running maximum and sum: no scratch.
  double top = -std::numeric_limits<double>::infinity(), sum = 0;
  const size_t base = static_cast<size_t>(t) * W_ * K_;
  for (int k = 0; k < K_; k++) {
    double term = logWeight_[k] + lgammaConcentration_[k] -
                  MathPlus::mylgamma(concentration_[k] + total);
    for (int w = 0; w < W_; w++) {
      const int c = count[w];
      if (c == 0) continue;
      const size_t at = base + static_cast<size_t>(w) * K_ + k;
      term += MathPlus::mylgamma(alpha_[at] + c) - lgammaAlpha_[at];
    }
    if (term > top) {
      sum = sum * std::exp(top - term) + 1.0;
      top = term;
    } else {
      sum += std::exp(term - top);
    }
  }
  return top + std::log(sum);
}

std::vector<int> columnCounts(const Matrix<uint8_t>& sequence, int n, int T, int W) {
  std::vector<int> counts(static_cast<size_t>(T) * W, 0);
  for (int i = 0; i < n; i++)
    for (int t = 0; t < T; t++) {
      const int code = sequence[i][t];
      if (code >= 0 && code < W) counts[static_cast<size_t>(t) * W + code]++;
    }
  return counts;
}
