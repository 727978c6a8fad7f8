// The partition sampler: the current partition of the n observations, a proposal buffer,
// the partition prior and the total score, and every search move as a method.
//   1. state, construction, scoring and accept        PartitionSampler.cpp
//   2. initial partition                              initialPartition.cpp
//   3. run loop, trace and output files               run.cpp
//   4. one-at-a-time Gibbs sweep                      oneAtATime.cpp
//   5. split-merge moves (JN, DA, SR)                 splitMergeMoves.cpp
//   6. neighbourhoods, tree splits, tree-guided move  treeMoves.cpp
//   7. exhaustive enumeration                         enumZ.cpp
// Failures write their line to the log and throw RunError.
#pragma once
#include <ctime>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "models/Observable.h"
#include "sampler/ScoreCache.h"
#include "stats/DirichletRV.h"
#include "io/Matrix.h"
#include "cluster/cluster.h"

class PartitionSampler {
 public:
  int n;                           // number of observations
  int kold;                        // labels of the current partition
  std::vector<int> zold;           // current partition, labels 0..kold-1
  int knew = 0;                    // labels of the proposal (tree-guided move)
  std::vector<int> znew;           // proposal
  std::vector<int> clusterSizes0;  // sizes of zold's clusters; entries 0..kold-1 valid
  bool infmix;                     // open number of clusters (Dirichlet-process prior)
  DirichletRV piPrior;             // fixed k: symmetric Dirichlet(1) over the proportions
  double logalpha;                 // log concentration of the Dirichlet process
  Matrix<double> distanceMatrix;   // n x n, refreshed by the tree-guided move
  Observable* ob;                  // not owned
  FitnessZType fitnessZType;
  std::string heuristics;
  bool flatHeuristicProb = false;
  bool includeLeafNode = false;
  double previousLik = 1.0;        // run-length trace: value being counted
  long preivousLikCount = 0;       // run-length trace: how many points had it
  double control_heuristic_p = 0.9;
  double acceptanceCnt = 0;
  double acceptanceCntOA = 0;
  std::ostream& logFile;           // not owned
  std::ofstream save;              // the .save trace
  // Wall clock of the time limit and the hourly checkpoint; tests replace it.
  std::function<time_t()> wallClock = [] { return time(nullptr); };

  PartitionSampler(int k, int n, FitnessZType fitnessZType, Observable* ob, double logalpha,
                   std::ostream& logFile, const std::string& heuristics);

  // Total log score of partition z with labels 0..k-1 under the criterion (plus the
  // partition prior for the integrated criterion).
  double getTotalLik(const int* z, int k) const;
  double getClusterFit(const int* z, int j) const;
  // Makes znew current; kchange is the change in the number of labels.
  void accept(int kchange);

  // Initial partition.
  void initZ(const std::string& initialZ);
  void setZ0(const std::string& zFileName);
  void randomZ0();

  // Run loop and output files.
  void run(long long iterations, int minuteAllowed, const std::string& fileStem);
  void traceit(double lik);
  void print(std::ostream& of, const int* z, bool newline);
  void writeFinalz(const std::string& fileStem);
  // Ends the run after a failed write of brokenFile, keeping the current partition in
  // .finalz when it can still be written.
  [[noreturn]] void failOutput(const std::string& fileStem, const std::string& brokenFile);

  // One-at-a-time Gibbs sweep.
  void oneAtATime();
  void relabelAfterMerge(int* z, int k, int emptyComponent) const;

  // Split-merge moves.
  void JNSplitMerge();
  double restrictedGibbsScan(const std::vector<int>& members, std::vector<int>& zlaunch, int i1,
                             int i2, bool virtualproposal, const std::vector<int>& zsplit);
  double getRestrictedIntLik(const std::vector<int>& members, const std::vector<int>& split) const;
  void Dahl();
  void InfMixSRSplitMerge();

  // Neighbourhoods and tree splits.
  bool splitMerge(const int* z, int k, int toSplit, const std::vector<int>& split, int j1, int j2,
                  int* targetZ, bool checkReverse) const;
  bool ishsplit(const std::vector<int>& split, const std::vector<int>& members,
                int& whichnode) const;
  // Linkage tree over the members (m-1 records); method "complete", "average" or "single".
  std::vector<Node> getTree(const std::vector<int>& members, const std::string& method) const;
  void randomSplit(std::vector<int>& split) const;
  double SuMneighborhoodSize(const int* z, int k, double* logSplitsByComponent) const;
  std::vector<double> ShMneighbor(const int* z, int k, int& size) const;

  // Tree-guided move.
  void SMsampler();
  double proposeSuM(bool& hreversible, bool& isSplit);
  double proposeShM(bool& hreversible, bool& isSplit);
  double getW(const int* z, int k, double lik) const;
  double w2q(double w, const int* z, int k, bool merge) const;

  // Exhaustive enumeration.
  void enumZ(const std::string& fileStem);

  // Whether the heuristic builds linkage trees (and so needs the distance matrix).
  static bool usesDistances(const std::string& heuristics);

 private:
  // Log prior of a partition with the given sizes of labels 0..k-1.
  double partitionLogPrior(const int* sizes, int k) const;
  // Whether candidates can be scored from per-cluster scores (integrated and classification
  // criteria, outside the reference build).
  bool scoresPerCluster() const;
  // Score of cluster j of z, whose member key is given, through the memo of its criterion.
  double cachedScore(const int* z, int j, const ClusterKey& key, FitnessZType type) const;
  // Keys and scores of the clusters of zold, for the one-at-a-time sweep; the additive
  // statistics are counted afresh, or taken as already moved by moveInStats.
  void refreshCurrentScores(bool recountStats);
  // Observation i moved from one label to another; when a cluster was emptied, the highest
  // label lastLabel moved into it.
  void moveInStats(int i, int from, int to, int emptied, int lastLabel);
  // Total score of zold with observation i moved to label j (znew holds that partition).
  double candidateTotal(int i, int j, int k);

  double dpNormaliser_ = 0;               // sum over i = 1..n of log(alpha + i - 1)
  std::vector<double> lgammaInt_;         // mylgamma(s) for s = 0..n+k+1
  double piPriorLbeta_ = 0;               // log-beta of piPrior's own parameters
  mutable std::vector<int> sizes_;        // scratch of getTotalLik
  mutable std::vector<ClusterKey> keys_;  // scratch of getTotalLik
  mutable ScoreCache fitCache_;           // integrated cluster scores by member set
  mutable ScoreCache classiCache_;        // classification cluster scores by member set
  mutable unsigned long cacheHits_ = 0;
  std::vector<ClusterKey> curKey_;        // member keys of zold's clusters
  std::vector<double> curFit_;            // scores of zold's clusters
  std::vector<int> candidateSizes_;
  int statsSize_ = 0;                     // ints of additive statistics per cluster, or 0
  std::vector<int> curStats_;             // statistics of zold's clusters
  std::vector<int> statsScratch_;
  // Score of one changed cluster of a one-at-a-time candidate: cluster m of zold with
  // observation i added (sign +1) or removed (sign -1); znew holds the candidate.
  double changedClusterScore(int m, int i, int sign, const ClusterKey& key);
  std::vector<double> logMean_;           // scratch of oneAtATime
  std::string zoldLine_;                  // zold as the sweep logs it
  mutable std::vector<int> restrictedZ_;  // scratch partition of getRestrictedIntLik
};
