// The prior over partitions: an exchangeable prior, so every quantity depends on cluster
// sizes only. The scorer's totals, the one-at-a-time sweep, the split-merge ratios and the
// random start all take their prior terms from here. Two priors today: the Dirichlet process
// (open k) and the symmetric Dirichlet(1) over the proportions of a fixed k.
#pragma once
#include <memory>
#include <vector>

#include "models/Observable.h"
#include "stats/DirichletRV.h"

class PartitionPrior {
 public:
  virtual ~PartitionPrior() = default;
  // The number of clusters every partition has, or 0 for an open number.
  virtual int fixedK() const = 0;
  // Log prior of a partition of sizes[0] + ... + sizes[k-1] observations whose labels
  // 0..k-1 have these sizes (an open k allows empty labels; a fixed k needs k == fixedK()).
  virtual double logPrior(const int* sizes, int k) const = 0;
  // Log weight, up to a term common to every choice, of one more observation joining a
  // cluster of size members (0: a new cluster, or an empty label of a fixed k), in a
  // partition with clusters non-empty clusters.
  virtual double logJoinWeight(int size, int clusters) const = 0;
  // Log prior ratio of one observation leaving a cluster of fromSize members (itself
  // included) and joining one of toSize (0: a new cluster); clusters non-empty clusters
  // before the move.
  virtual double logMoveRatio(int fromSize, int toSize, int clusters) const = 0;
  // Log prior ratio of splitting a cluster of size members into groups of size1 and
  // size - size1, in a partition with clusters non-empty clusters before the split.
  virtual double logSplitRatio(int size, int size1, int clusters) const = 0;
  // A bound on the sum of the magnitudes of the terms logPrior adds up for any sizes of m
  // observations in k labels, for bounds on its rounding; infinity when none is known.
  virtual double logPriorMagnitude(int m, int k) const;
  // Log prior ratio of merging groups of size1 and size2: the reverse split.
  double logMergeRatio(int size1, int size2, int clusters) const {
    return -logSplitRatio(size1 + size2, size1, clusters - 1);
  }
};

// The Dirichlet process with concentration alpha = exp(logalpha) over partitions of up to n
// observations. alpha may change between iterations (setLogAlpha, for a prior on it).
class DirichletProcessPrior final : public PartitionPrior {
 public:
  DirichletProcessPrior(int n, double logalpha);
  void setLogAlpha(double logalpha);
  double logalpha() const { return logalpha_; }
  // log(alpha + i - 1) for i = 1..n summed from i = 1 up: the log normaliser of a partition
  // of m observations is normaliser(m).
  double normaliser(int m) const { return normaliser_[m]; }

  int fixedK() const override { return 0; }
  double logPrior(const int* sizes, int k) const override;
  double logPriorMagnitude(int m, int k) const override;
  double logJoinWeight(int size, int clusters) const override;
  double logMoveRatio(int fromSize, int toSize, int clusters) const override;
  double logSplitRatio(int size, int size1, int clusters) const override;

 private:
  int n_;
  double logalpha_ = 0;
  std::vector<double> lgamma_;      // mylgamma(s) for s = 0..n+1
  std::vector<double> normaliser_;  // entries 0..n
};

// A fixed number k of labelled clusters with proportions drawn from a symmetric Dirichlet(1):
// the Dirichlet-multinomial probability of the sizes. The reference scoring mode takes it
// from DirichletRV, the other modes from a table of log-gammas, to the same double.
class FixedKDirichletPrior final : public PartitionPrior {
 public:
  FixedKDirichletPrior(int n, int k, ScoringMode mode);

  int fixedK() const override { return k_; }
  double logPrior(const int* sizes, int k) const override;
  double logPriorMagnitude(int m, int k) const override;
  double logJoinWeight(int size, int clusters) const override;
  double logMoveRatio(int fromSize, int toSize, int clusters) const override;
  // A split moves one group into an empty label (a merge empties one).
  double logSplitRatio(int size, int size1, int clusters) const override;

 private:
  int k_;
  bool reference_;
  DirichletRV dirichlet_;
  std::vector<double> lgamma_;  // mylgamma(s) for s = 0..n+1
  double lbeta_ = 0;            // log-beta of the Dirichlet's own parameters
};

// A Gamma(shape, rate) prior on the concentration alpha of a Dirichlet process. After each
// iteration alpha is drawn from its conditional given the partition's number of clusters by
// the auxiliary-variable Gibbs step of Escobar and West (1995): eta ~ Beta(alpha + 1, n),
// then alpha from a mixture of Gamma(shape + K, rate - log eta) and Gamma(shape + K - 1,
// rate - log eta). Draws, through the one uniform source: two gammas for eta, one uniform
// for the mixture's component, one gamma for alpha; all on the log scale, so that tiny
// alphas keep their digits.
class GammaAlphaPrior {
 public:
  GammaAlphaPrior(double shape, double rate) : shape_(shape), rate_(rate) {}
  double shape() const { return shape_; }
  double rate() const { return rate_; }
  // Draws alpha given clusters non-empty clusters among n observations and sets it in prior.
  void step(DirichletProcessPrior& prior, int clusters, int n) const;

 private:
  double shape_, rate_;
};

// The prior of a run: the Dirichlet process for k <= 0, else the fixed-k Dirichlet.
std::unique_ptr<PartitionPrior> makePartitionPrior(int n, int k, double logalpha,
                                                   ScoringMode mode);
