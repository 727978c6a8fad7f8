#include "models/RealRows.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "io/Console.h"
#include "io/Files.h"
#include "io/MatrixReader.h"
#include "io/Text.h"

RealRows::RealRows(const std::string& dataFileName, std::ostream& _logFile, double _scale)
    : logFile(_logFile) {
  MatrixReader::readData<double>(dataFileName, n, T, data, vout());
  scale = _scale;
  // A cluster's sum of squared deviations is at most 4 times the data's sum of squares, and
  // mclust2's rates at most 2.5 times: below this bound every score stays finite.
  const double bound = std::numeric_limits<double>::max() / (8 * std::max(scale, 1.0));
  double sumOfSquares = 0;
  for (int i = 0; i < n; i++)
    for (int t = 0; t < T; t++) {
      sumOfSquares += data[i][t] * data[i][t];
      if (!(sumOfSquares <= bound))
        Files::fail(logFile, "Bad data file " + dataFileName + ": row " + Text::n2s(i + 1) +
                             ", column " + Text::n2s(t + 1) + " holds " + Text::n2s(data[i][t]) +
                             ", so the sums of squares overflow (they must stay below " +
                             Text::n2s(bound) + ")");
    }
  center.assign(T, 0.0);
  for (int i = 0; i < n; i++)
    for (int t = 0; t < T; t++) center[t] += data[i][t];
  for (int t = 0; t < T; t++) center[t] /= n;
  moments_.assign(2 * static_cast<size_t>(T), 0.0);
}

double RealRows::scoreMembers(const int* sorted, int members) const {
  return scoreList(sorted, members);
}

void RealRows::addToMoments(int i, double* moments, int sign) const {
  const double* row = data[i];
  const int columns = T;
  for (int t = 0; t < columns; t++) {
    const double x = row[t] - center[t];
    moments[t] += sign * x;
    moments[columns + t] += sign * (x * x);
  }
}

double RealRows::momentsFit(const int* z, int j) const {
  std::fill(moments_.begin(), moments_.end(), 0.0);
  int members = 0;
  for (int i = 0; i < n; i++)
    if (z[i] == static_cast<short>(j)) {
      addToMoments(i, moments_.data(), +1);
      members++;
    }
  return scoreMoments(moments_.data(), members);
}

double RealRows::pairwiseDistance(int i1, int i2) const {
  double sum = 0;
  for (int t = 0; t < T; t++) {
    double d = data[i1][t] - data[i2][t];
    sum += d * d;
  }
  return std::sqrt(sum);
}

double RealRows::pairwiseDistance(int i1, int i2, int dimension, const int* positions) const {
  double sum = 0;
  for (int t = 0; t < dimension; t++) {
    double d = data[i1][positions[t]] - data[i2][positions[t]];
    sum += d * d;
  }
  return std::sqrt(sum);
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

int RealRows::listMembers(const int* z, short label, int* list) const {
  const int rows = n;
  int members = 0;
  for (int i = 0; i < rows; i++) {
    list[members] = i;
    members += z[i] == label;
  }
  return members;
}

void RealRows::listMeans(const int* list, int members, double* mean, double* mean2) const {
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
