#include "models/RealRows.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "io/Console.h"
#include "io/Files.h"
#include "io/MatrixReader.h"
#include "io/Text.h"

namespace {

// A column whose mean is more than this many times its standard deviation is shifted by its
// mean before any moment is formed. Means of squares less squared means lose about
// 2 log10(|mean| / sd) of a double's 16 digits: up to this ratio at most 6, so scores stay good
// to about 1e-10 relative without a shift, and every column of ordinary data (the examples'
// ratios are below 8) keeps its doubles bit for bit; beyond it the shift keeps them all.
const double kShiftRatio = 1000;

// A column's seen values: their count, their mean and their squares about it (two passes, exact
// for a constant column).
struct ColumnSpread {
  int seen = 0;
  double mean = 0, squares = 0;
};

ColumnSpread spreadOf(const Matrix<double>& data, int n, int t) {
  ColumnSpread spread;
  for (int i = 0; i < n; i++)
    if (!isMissing(data[i][t])) {
      spread.mean += data[i][t];
      spread.seen++;
    }
  if (spread.seen == 0) return spread;
  spread.mean /= spread.seen;
  for (int i = 0; i < n; i++)
    if (!isMissing(data[i][t]))
      spread.squares += (data[i][t] - spread.mean) * (data[i][t] - spread.mean);
  return spread;
}

}  // namespace

bool RealRows::standardiseColumns = false;

RealData::RealData(const std::string& dataFileName, std::ostream& logFile, double scale,
                   bool acceptsMissing) {
  MatrixReader::readData<double>(dataFileName, n, T, data, vout(),
                                 acceptsMissing ? &missing : nullptr);
  MatrixReader::noteMissing(logFile, missing, static_cast<long>(n) * T);
  columnSd.assign(T, 0.0);
  origin.assign(T, 0.0);
  for (int t = 0; t < T; t++) {
    ColumnSpread spread = spreadOf(data, n, t);
    columnSd[t] = spread.seen > 1 ? std::sqrt(spread.squares / (spread.seen - 1)) : 0.0;
    if (RealRows::standardiseColumns) {
      // A missing cell stays NaN.
      const double divisor = columnSd[t] > 0 ? columnSd[t] : 1.0;
      for (int i = 0; i < n; i++) data[i][t] = (data[i][t] - spread.mean) / divisor;
      spread = spreadOf(data, n, t);
    }
    // A constant column (squares 0) away from 0 is shifted too, so its spread is exactly 0.
    if (spread.seen > 0 &&
        spread.mean * spread.mean > kShiftRatio * kShiftRatio * (spread.squares / spread.seen))
      origin[t] = spread.mean;
  }
  if (RealRows::standardiseColumns)
    logFile << "Columns standardised (-S): each centred at its mean and divided by its "
               "standard deviation (a constant column only centred)\n";
  // A cluster's sum of squared deviations is at most 4 times the data's sum of squares, and
  // mclust2's rates at most 2.5 times: below this bound every score stays finite.
  const double bound = std::numeric_limits<double>::max() / (8 * std::max(scale, 1.0));
  double sumOfSquares = 0;
  for (int i = 0; i < n; i++)
    for (int t = 0; t < T; t++) {
      const double x = data[i][t] - origin[t];
      if (isMissing(x)) continue;
      sumOfSquares += x * x;
      if (!(sumOfSquares <= bound))
        Files::fail(logFile, "Bad data file " + dataFileName + ": row " + Text::n2s(i + 1) +
                             ", column " + Text::n2s(t + 1) + " holds " + Text::n2s(data[i][t]) +
                             ", so the sums of squares overflow (they must stay below " +
                             Text::n2s(bound) + ")");
      data[i][t] = x;
    }
  if (missing > 0) {
    for (int t = 0; t < T; t++) {
      double low = 0, high = 0;
      bool any = false;
      for (int i = 0; i < n; i++) {
        const double x = data[i][t];
        if (isMissing(x)) continue;
        low = any ? std::min(low, x) : x;
        high = any ? std::max(high, x) : x;
        any = true;
      }
      farApart += (high - low) * (high - low);
    }
    farApart = std::sqrt(farApart);
  }
}

RealRows::RealRows(std::shared_ptr<const RealData> shared, double _scale)
    : data(shared->data),
      origin(shared->origin),
      shared_(std::move(shared)),
      missing_(shared_->missing) {
  n = shared_->n;
  T = shared_->T;
  scale = _scale;
  work_.members.assign(n, 0);
}

size_t RealRows::workspaceBytes() const {
  const Workspace& w = work_;
  return sizeof(*this) + sizeof(int) * w.members.capacity() +
         sizeof(double) * (w.moments.capacity() + w.mean.capacity() + w.mean2.capacity() +
                           w.count.capacity() + w.matrix.capacity());
}

double RealRows::scoreMembers(const int* sorted, int members) const {
  return scoreList(sorted, members);
}

double RealRows::momentsFit(const int* z, int j) const {
  const size_t size = static_cast<size_t>(momentsSize());
  std::vector<double>& moments = work_.moments;
  if (moments.size() < size) moments.resize(size);
  std::fill(moments.begin(), moments.begin() + size, 0.0);
  int members = 0;
  for (int i = 0; i < n; i++)
    if (z[i] == static_cast<short>(j)) {
      addToMoments(i, moments.data(), +1);
      members++;
    }
  return scoreMoments(moments.data(), members);
}

double RealRows::sharedDistance(int i1, int i2, int dimension, const int* positions) const {
  double sum = 0;
  int shared = 0;
  for (int s = 0; s < dimension; s++) {
    const int t = positions ? positions[s] : s;
    const double d = data[i1][t] - data[i2][t];
    if (isMissing(d)) continue;
    sum += d * d;
    shared++;
  }
  // Rows that share no seen column are put as far apart as the column ranges allow.
  if (shared == 0) return shared_->farApart;
  return std::sqrt(sum * dimension / shared);
}

double RealRows::pairwiseDistance(int i1, int i2) const {
  if (missing_ > 0) return sharedDistance(i1, i2, T, nullptr);
  double sum = 0;
  for (int t = 0; t < T; t++) {
    double d = data[i1][t] - data[i2][t];
    sum += d * d;
  }
  return std::sqrt(sum);
}

double RealRows::pairwiseDistance(int i1, int i2, int dimension, const int* positions) const {
  if (missing_ > 0) return sharedDistance(i1, i2, dimension, positions);
  double sum = 0;
  for (int t = 0; t < dimension; t++) {
    double d = data[i1][positions[t]] - data[i2][positions[t]];
    sum += d * d;
  }
  return std::sqrt(sum);
}

int RealRows::listMembers(const int* z, short label, int* list) const {
  const int rows = n;
  int members = 0;
  for (int i = 0; i < rows; i++) {
    list[members] = i;
    members += z[i] == label;
  }
  return members;
}
