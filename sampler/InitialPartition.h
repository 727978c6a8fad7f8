// The chain's starting partition: read from a file (-z) or drawn, written straight into the
// chain state. A fixed k draws labels uniformly until no cluster is empty; an open k draws a
// Chinese-restaurant partition in a random order of the observations.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "sampler/ChainState.h"
#include "stats/DirichletRV.h"

class InitialPartition {
 public:
  // piPrior: fixed k's Dirichlet (its dimension is k); logalpha: the Dirichlet process's.
  InitialPartition(ChainState& state, const DirichletRV& piPrior, double logalpha,
                   std::ostream& logFile);
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
  const DirichletRV& piPrior;
  const double logalpha;
  std::ostream& logFile;
};
