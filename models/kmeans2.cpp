#include "models/kmeans2.h"

#include <algorithm>
#include <cmath>

kmeans2::kmeans2(const std::string& dataFileName, std::ostream& _logFile, double _scale)
    : kmeans2(std::make_shared<const DiagonalData>(dataFileName, _logFile, _scale), _scale) {}

kmeans2::kmeans2(std::shared_ptr<const DiagonalData> data, double _scale)
    : DiagonalRows(data, _scale), data_(std::move(data)) {}

std::unique_ptr<Observable> kmeans2::copyForChain() const {
  auto copy = std::make_unique<kmeans2>(data_, scale);
  copy->scoring = scoring;
  return copy;
}

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
  double* mean = work_.mean.data();
  int members = getMean(z, static_cast<short>(j), mean);
  if (members == 0) return 0;
  double withinClusterSS = 0;
  for (int i = 0; i < n; i++) {
    if (z[i] != static_cast<short>(j)) continue;
    for (int t = 0; t < T; t++) {
      double d = data[i][t] - mean[t];
      withinClusterSS += d * d;
    }
  }
  return -withinClusterSS * scale;
}

// The reference's sums in their order; the members are listed once instead of found twice.
double kmeans2::clusterFitFast(const int* z, int j) const {
  int* list = work_.members.data();
  return scoreList(list, listMembers(z, static_cast<short>(j), list));
}

double kmeans2::scoreList(const int* list, int members) const {
  if (members == 0) return 0;
  if (missing_ > 0) {
    // Each column about the average of its seen values.
    const double* count = work_.count.data();
    const double* sum = work_.mean.data();
    const double* sum2 = work_.mean2.data();
    listColumnSums(data, T, list, members, work_.count.data(), work_.mean.data(),
                   work_.mean2.data());
    double withinClusterSS = 0;
    for (int t = 0; t < T; t++)
      if (count[t] > 0) withinClusterSS += std::max(0.0, sum2[t] - sum[t] * (sum[t] / count[t]));
    return -withinClusterSS * scale;
  }
  double* mean = work_.mean.data();
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
