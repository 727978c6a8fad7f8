#include "models/kmeans2.h"

#include <algorithm>
#include <cmath>

kmeans2::kmeans2(const std::string& dataFileName, std::ostream& _logFile, double _scale)
    : DiagonalRows(dataFileName, _logFile, _scale),
      mean_(T, 0.0),
      count_(T, 0.0),
      sum2_(T, 0.0),
      members_(n, 0) {}

int kmeans2::getMean(const int* z, short int j, double* mean) const {
  for (int t = 0; t < T; t++) mean[t] = 0;
  int members = 0;
  for (int i = 0; i < n; i++) {
    if (z[i] != j) continue;
    members++;
    for (int t = 0; t < T; t++) mean[t] += data[i][t];
  }
  if (members > 0)
    for (int t = 0; t < T; t++) mean[t] /= members;
  return members;
}

double kmeans2::getClusterFit(const int* z, int j) const {
  if (scoring == ScoringMode::Reference) return clusterFitReference(z, j);
  if (scoring == ScoringMode::Fast) return momentsFit(z, j);
  return clusterFitFast(z, j);
}

double kmeans2::clusterFitReference(const int* z, int j) const {
  if (missing_ > 0) return clusterFitFast(z, j);
  int members = getMean(z, static_cast<short>(j), mean_.data());
  if (members == 0) return 0;
  double withinClusterSS = 0;
  for (int i = 0; i < n; i++) {
    if (z[i] != static_cast<short>(j)) continue;
    for (int t = 0; t < T; t++) {
      double d = data[i][t] - mean_[t];
      withinClusterSS += d * d;
    }
  }
  return -withinClusterSS * scale;
}

// The reference's sums in their order; the members are listed once instead of found twice.
double kmeans2::clusterFitFast(const int* z, int j) const {
  int* list = members_.data();
  return scoreList(list, listMembers(z, static_cast<short>(j), list));
}

double kmeans2::scoreList(const int* list, int members) const {
  if (members == 0) return 0;
  if (missing_ > 0) {
    // Each column about the average of its seen values.
    listColumnSums(list, members, count_.data(), mean_.data(), sum2_.data());
    double withinClusterSS = 0;
    for (int t = 0; t < T; t++)
      if (count_[t] > 0)
        withinClusterSS += std::max(0.0, sum2_[t] - mean_[t] * (mean_[t] / count_[t]));
    return -withinClusterSS * scale;
  }
  double* mean = mean_.data();
  listMeans(list, members, mean, nullptr);
  const int columns = T;
  double withinClusterSS = 0;
  for (int k = 0; k < members; k++) {
    const double* row = data[list[k]];
    for (int t = 0; t < columns; t++) {
      double d = row[t] - mean[t];
      withinClusterSS += d * d;
    }
  }
  return -withinClusterSS * scale;
}

// Per column the centred sum of squares less m times the squared centred average.
double kmeans2::scoreMoments(const double* moments, int members) const {
  if (members == 0) return 0;
  double withinClusterSS = 0;
  for (int t = 0; t < T; t++) {
    const double seen = missing_ > 0 ? moments[2 * T + t] : members;
    if (seen <= 0) continue;
    const double d = moments[t] / seen;
    withinClusterSS += std::max(0.0, moments[T + t] - moments[t] * d);
  }
  return -withinClusterSS * scale;
}
