#include "sampler/moves/ParallelSweep.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "io/Failure.h"
#include "io/Interrupt.h"
#include "sampler/HeatedChains.h"
#include "sampler/moves/OneAtATime.h"
#include "sampler/moves/SplitMerge.h"
#include "stats/RandomPlus.h"
#include "stats/rvgs.h"

ParallelSweep::ParallelSweep(int n, bool infmix, int threads, DebugLog debug)
    : Move(debug),
      team_(std::make_unique<ChainTeam>(std::max(1, threads))),
      serial_(std::make_unique<OneAtATime>(n, debug)),
      znew_(n) {
  if (infmix) splitMerge_ = std::make_unique<RandomSplitMerge>(n, debug);
  scratch_.resize(team_->size());
}

ParallelSweep::~ParallelSweep() = default;

ClusterParameters& ParallelSweep::parameters(const Scorer& scorer) {
  if (scorer.criterion() != INTEGRATED || scorer.columns())
    failRun(scorer.log(), Failure::Internal,
            "heuristic PS samples the integrated criterion without -V only");
  if (parametersOf_ != &scorer.model()) {
    parameters_ = makeClusterParameters(scorer.model());
    parametersOf_ = &scorer.model();
  }
  if (!parameters_)
    failRun(scorer.log(), Failure::Internal,
            "heuristic PS draws the clusters' parameters of " + clusterParameterModels() +
                " only");
  return *parameters_;
}

void ParallelSweep::step(ChainState& state, Scorer& scorer) {
  // exp(beta x score) with beta < 1 is no marginal of the augmented target.
  if (scorer.inverseTemperature() != 1.0)
    serial_->step(state, scorer);
  else
    sweep(state, scorer);
  if (splitMerge_) splitMerge_->step(state, scorer);
}

bool ParallelSweep::sweep(ChainState& state, Scorer& scorer) {
  ClusterParameters& parameters = this->parameters(scorer);
  const int n = state.n, k = state.kold, T = scorer.model().T;
  labels_.clear();
  for (int c = 0; c < k; c++)
    if (state.clusterSizes0[c] > 0) labels_.push_back(c);
  const int K = static_cast<int>(labels_.size());
  if (K < 2) return true;  // every row stays where it is
  const uint32_t seed = static_cast<uint32_t>(myunif_rand() * 4294967296.0);

  const int* z = state.zold.data();
  const int width = parameters.width();
  stats_.assign(static_cast<size_t>(T) * k * width, 0.0);
  // Columns in groups of kGroupColumns: each group's pass reads its rows' cells together.
  const int groups = (T + kGroupColumns - 1) / kGroupColumns;
  std::atomic<int> nextGroup{0};
  team_->run([&](int) {
    for (int g = nextGroup++; g < groups; g = nextGroup++)
      parameters.addColumns(g * kGroupColumns, std::min(T, (g + 1) * kGroupColumns), z, k,
                            stats_.data());
  });
  checkInterrupt();

  // The weights' Dirichlet: n_c under the Dirichlet process, n_c + 1 under the fixed k's
  // Dirichlet(1) (its normalisation left to the label draws).
  const double a = scorer.prior().fixedK() > 0 ? 1.0 : 0.0;
  parameters.resize(k);
  logWeight_.resize(K);
  for (int j = 0; j < K; j++) {
    logWeight_[j] = rGamma(state.clusterSizes0[labels_[j]] + a, true);
    parameters.draw(labels_[j], stats_.data(), k);
  }

  const int blocks = (n + kBlockRows - 1) / kBlockRows;
  std::atomic<int> nextBlock{0};
  team_->run([&](int member) {
    std::vector<double>& weights = scratch_[member];
    weights.resize(K);
    mersenne generator;
    UseGenerator use(generator);
    for (int b = nextBlock++; b < blocks; b = nextBlock++) {
      generator.initialize(streamSeed(seed, static_cast<uint32_t>(b)));
      const int end = std::min(n, (b + 1) * kBlockRows);
      for (int i = b * kBlockRows; i < end; i++) {
        parameters.logDensities(i, labels_.data(), K, weights.data());
        for (int j = 0; j < K; j++) weights[j] += logWeight_[j];
        znew_[i] = labels_[RandomPlus::drawGeneralizedBern(weights.data(), K)];
      }
    }
  });
  checkInterrupt();

  sizes_.assign(k, 0);
  for (int i = 0; i < n; i++) sizes_[znew_[i]]++;
  bool kept = true;
  for (int c : labels_) kept = kept && sizes_[c] > 0;
  if (debug_.enabled)
    debug_.out << (kept ? "PS: every row drawn afresh\n" : "PS: a cluster would be empty, kept\n");
  if (kept) state.accept(znew_, 0);
  return kept;
}
