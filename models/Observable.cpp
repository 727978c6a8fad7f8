#include "models/Observable.h"

#include <algorithm>
#include <vector>

#include "io/Interrupt.h"
#include "stats/RandomPlus.h"

void Observable::getRandomDistanceMatrix(Matrix<double>& distanceMatrix) const {
  int numOfPositions = std::max(1, T / 4);
  std::vector<int> positions(numOfPositions);
  RandomPlus::SampleWithoutReplacement<int>(T, numOfPositions, positions.data(), true);
  for (int i = 0; i < n; i++) {
    checkInterrupt();
    for (int j = 0; j < n; j++)
      distanceMatrix[i][j] = pairwiseDistance(i, j, numOfPositions, positions.data());
  }
}

void Observable::getDistanceMatrix(Matrix<double>& distanceMatrix) const {
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++) distanceMatrix[i][j] = pairwiseDistance(i, j);
}
