#include "models/kmeans2.h"

#include <cmath>

#include "U/Console.h"
#include "U/U.h"
#include "models/stopRun.h"

RealRows::RealRows(const std::string& dataFileName, std::ostream& _logFile, double _scale)
    : logFile(_logFile) {
  U::readData<double>(dataFileName, n, T, data, vout());
  scale = _scale;
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

kmeans2::kmeans2(const std::string& dataFileName, std::ostream& _logFile, double _scale)
    : RealRows(dataFileName, _logFile, _scale), mean_(T, 0.0) {}

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

double kmeans2::getClassificationLik(const int*, int) const {
  stopOnLog(logFile, "kmeans2::getClassificationLik not implmented");
}

double kmeans2::getMixtureLik(const int*, int) const {
  stopOnLog(logFile, "kmeans2::getMixtureLik not implmented");
}
