#include "models/Observable.h"

#include <algorithm>
#include <vector>

#include "io/Interrupt.h"
#include "stats/RandomPlus.h"

void Observable::drawDistancePositions(std::vector<int>& positions) const {
  const int numOfPositions = std::max(1, T / 4);
  positions.resize(numOfPositions);
  RandomPlus::SampleWithoutReplacement<int>(T, numOfPositions, positions.data(), true);
}

void Observable::getRandomDistanceMatrix(Matrix<double>& distanceMatrix) const {
  std::vector<int> positions;
  drawDistancePositions(positions);
  const int numOfPositions = static_cast<int>(positions.size());
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
