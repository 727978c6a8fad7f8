#include "models/DiagonalRows.h"

#include "io/Console.h"
#include "io/Text.h"

namespace {
// Columns whose standard deviations differ by more than this factor draw a warning.
const double kSpreadRatio = 100;

// One scale for every column lets the widest decide the clusters; said on standard error
// only, so that no file changes.
void warnOfSpreads(const std::vector<double>& columnSd) {
  if (RealRows::standardiseColumns) return;
  const int T = static_cast<int>(columnSd.size());
  int narrow = -1, wide = -1;
  for (int t = 0; t < T; t++) {
    if (!(columnSd[t] > 0)) continue;
    if (narrow < 0 || columnSd[t] < columnSd[narrow]) narrow = t;
    if (wide < 0 || columnSd[t] > columnSd[wide]) wide = t;
  }
  if (narrow < 0 || !(columnSd[wide] > kSpreadRatio * columnSd[narrow])) return;
  verr() << "warning: the columns' standard deviations differ by a factor of "
         << Text::n2s(columnSd[wide] / columnSd[narrow]) << " (column " << wide + 1 << ": "
         << Text::n2s(columnSd[wide]) << ", column " << narrow + 1 << ": "
         << Text::n2s(columnSd[narrow])
         << "); the widest columns decide the clusters: -S standardises them\n";
  verr().flush();
}

}  // namespace

DiagonalData::DiagonalData(const std::string& dataFileName, std::ostream& logFile, double scale,
                           bool warnSpreads)
    : RealData(dataFileName, logFile, scale, true) {
  center.assign(T, 0.0);
  if (missing > 0) {
    std::vector<double> count(T), sum2(T);
    std::vector<int> all(n);
    for (int i = 0; i < n; i++) all[i] = i;
    listColumnSums(data, T, all.data(), n, count.data(), center.data(), sum2.data());
    for (int t = 0; t < T; t++)
      if (count[t] > 0) center[t] /= count[t];
  } else {
    for (int i = 0; i < n; i++)
      for (int t = 0; t < T; t++) center[t] += data[i][t];
    for (int t = 0; t < T; t++) center[t] /= n;
  }
  if (warnSpreads) warnOfSpreads(columnSd);
}

DiagonalRows::DiagonalRows(std::shared_ptr<const DiagonalData> shared, double _scale)
    : RealRows(shared, _scale), center_(shared->center) {
  work_.moments.assign(3 * static_cast<size_t>(T), 0.0);
  work_.mean.assign(T, 0.0);
  work_.mean2.assign(T, 0.0);
  work_.count.assign(T, 0.0);
}

void listColumnSums(const Matrix<double>& data, int T, const int* list, int members,
                    double* count, double* sum, double* sum2) {
  const int columns = T;
  for (int t = 0; t < columns; t++) count[t] = sum[t] = sum2[t] = 0;
  for (int k = 0; k < members; k++) {
    const double* row = data[list[k]];
    for (int t = 0; t < columns; t++) {
      if (isMissing(row[t])) continue;
      count[t] += 1;
      sum[t] += row[t];
      sum2[t] += row[t] * row[t];
    }
  }
}

void DiagonalRows::addToMoments(int i, double* moments, int sign) const {
  const double* row = data[i];
  const double* center = center_.data();
  const int columns = T;
  if (missing_ > 0) {
    for (int t = 0; t < columns; t++) {
      if (isMissing(row[t])) continue;
      const double x = row[t] - center[t];
      moments[t] += sign * x;
      moments[columns + t] += sign * (x * x);
      moments[2 * columns + t] += sign;
    }
    return;
  }
  for (int t = 0; t < columns; t++) {
    const double x = row[t] - center[t];
    moments[t] += sign * x;
    moments[columns + t] += sign * (x * x);
  }
}

namespace {

// Sums of columns t0..t0+B-1 (and of their squares when squares) over the listed rows, in
// list order; the 2B sums stay in registers.
template <int B, bool squares>
void sumColumns(const Matrix<double>& data, const int* list, int members, int t0, double* sum,
                double* sum2) {
  double s[B] = {};
  double s2[B] = {};
  for (int k = 0; k < members; k++) {
    const double* row = data[list[k]] + t0;
    for (int b = 0; b < B; b++) {
      s[b] += row[b];
      if (squares) s2[b] += row[b] * row[b];
    }
  }
  for (int b = 0; b < B; b++) {
    sum[t0 + b] = s[b];
    if (squares) sum2[t0 + b] = s2[b];
  }
}

template <bool squares>
void sumAllColumns(const Matrix<double>& data, const int* list, int members, int columns,
                   double* sum, double* sum2) {
  int t0 = 0;
  for (; t0 + 4 <= columns; t0 += 4) sumColumns<4, squares>(data, list, members, t0, sum, sum2);
  for (; t0 < columns; t0++) sumColumns<1, squares>(data, list, members, t0, sum, sum2);
}

}  // namespace

void DiagonalRows::listMeans(const int* list, int members, double* mean, double* mean2) const {
  const int columns = T;
  if (mean2) {
    sumAllColumns<true>(data, list, members, columns, mean, mean2);
  } else {
    sumAllColumns<false>(data, list, members, columns, mean, mean2);
  }
  if (members > 0)
    for (int t = 0; t < columns; t++) {
      mean[t] /= members;
      if (mean2) mean2[t] /= members;
    }
}
