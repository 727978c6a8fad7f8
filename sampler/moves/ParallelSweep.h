// The parallel sweep ("PS"): every observation's label drawn at once, in blocks on several
// threads, from instantiated cluster parameters (models/ClusterParameters.h), and still an
// exact kernel for exp(total score) of the integrated criterion.
//
// Why it is exact. Let L be the current partition's non-empty labels (K of them) and A the
// labelled partitions whose non-empty labels are exactly L. On A x weights x parameters take
//   f(z, w, theta) = prod_c [p0(theta_c) prod_{i in c} p(x_i | theta_c)] prod_c w_c^(a - 1)
//                    prod_i w_{z_i},
// w on the simplex over L, a = 0 for the Dirichlet process, a = 1 for the fixed-k
// Dirichlet(1). Integrating theta gives prod_c m(x_c), the clusters' integrated scores;
// integrating w gives prod_c Gamma(n_c + a) / Gamma(n + K a), which on A (K and n fixed) is
// proportional to the partition prior: alpha^K prod Gamma(n_c) / (alpha)_n for the Dirichlet
// process, Gamma(k) / Gamma(n + k) prod Gamma(n_c + 1) for the fixed k. So f's marginal on A
// is proportional to exp(total score). The sweep is the composition of
//   1. w ~ Dirichlet(n_c + a) and each theta_c from its posterior given its members: a Gibbs
//      draw of (w, theta) from f given z (under the Dirichlet process this is the
//      normalised part of (w_1..w_K, w_rest) ~ Dirichlet(n_1..n_K, alpha): new clusters are
//      not proposed, so w_rest has no use);
//   2. z' drawn with P(z'_i = c) proportional to w_c p(x_i | theta_c) over c in L,
//      independently for every i: f's conditional of z given (w, theta) without the
//      restriction to A. As an independence Metropolis proposal for that conditional
//      restricted to A, its ratio is 1 on A and 0 off it: z' is kept when every label of L
//      has a member, else the partition stays as it was.
// Each step leaves f invariant, and step 1 forgets the old (w, theta), so the partition's
// chain leaves f's marginal, exp(total score) restricted to A, invariant; A ranging over
// the sets that partition the space, it leaves exp(total score) invariant. The number of
// clusters never changes here: with an open k a random split-merge (SR) follows every sweep,
// which changes it and makes the chain irreducible (SR costs O(n T) like the sweep, where
// the restricted scans of JN cost the square of a cluster's size); with a fixed k the
// sweep alone reaches every partition whose k labels have members (the densities are
// positive).
//
// What it does not sample: a tempered target (a heated copy at beta < 1, where exp(beta x
// score) is no marginal of f) takes the one-at-a-time sweep instead, and so does a model
// without parameters (the run plan refuses those first, as it refuses -V and the other
// criteria).
//
// Draws (none with fewer than two clusters), through the chain's generator: one uniform for
// the sweep's seed; per label with members, in label order, a gamma for its weight and its
// parameters' variates (per column in order); then the labels, block by block, each block
// of kBlockRows rows from its own generator seeded by streamSeed(seed, block). The blocks' draws do not depend on which
// thread runs them, so any number of threads gives the same partition.
#pragma once
#include <memory>
#include <vector>

#include "models/ClusterParameters.h"
#include "sampler/moves/Move.h"

class ChainTeam;
class OneAtATime;
class RandomSplitMerge;

class ParallelSweep : public Move {
 public:
  static constexpr int kBlockRows = 1024;
  // Columns whose statistics one pass over the rows adds up.
  static constexpr int kGroupColumns = 4;

  // threads: at most this many, the calling one included. infmix: an open number of
  // clusters, so a split-merge follows each sweep.
  ParallelSweep(int n, bool infmix, int threads, DebugLog debug);
  ~ParallelSweep() override;
  void step(ChainState& state, Scorer& scorer) override;

  // The sweep alone (no split-merge); whether its proposal was kept. For tests.
  bool sweep(ChainState& state, Scorer& scorer);

 private:
  // The model's parameters, made at the first step (the move learns its model then).
  ClusterParameters& parameters(const Scorer& scorer);

  std::unique_ptr<ChainTeam> team_;
  std::unique_ptr<RandomSplitMerge> splitMerge_;  // open k only
  std::unique_ptr<OneAtATime> serial_;              // a tempered target's sweep
  std::unique_ptr<ClusterParameters> parameters_;
  const Observable* parametersOf_ = nullptr;
  std::vector<int> znew_;
  std::vector<int> labels_;         // the labels with members
  std::vector<double> logWeight_;   // per label in labels_
  std::vector<double> stats_;       // the parameters' statistics
  std::vector<std::vector<double>> scratch_;  // per thread: a row's log weights
  std::vector<int> sizes_;          // of the proposal
};
