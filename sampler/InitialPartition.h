// The chain's starting partition: read from a file (-z) or drawn, written straight into the
// chain state. A fixed k draws labels uniformly until no cluster is empty; an open k draws a
// Chinese-restaurant partition in a random order of the observations.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "sampler/ChainState.h"
#include "sampler/PartitionPrior.h"

class InitialPartition {
 public:
  // prior: the run's partition prior (its fixed k, or the open k's weights of the draw).
  InitialPartition(ChainState& state, const PartitionPrior& prior, std::ostream& logFile);
  // From the file named, or drawn when the name is empty.
  void initZ(const std::string& initialZ);
  // A bad file ends the run with one line naming it and the problem.
  void setZ0(const std::string& zFileName);
  void randomZ0();

 private:
  // The chain state's fields under their own names.
  const int n;
  const bool infmix;
  std::vector<int>& zold;
  int& kold;
  std::vector<int>& clusterSizes0;
  const PartitionPrior& prior;
  std::ostream& logFile;
};
