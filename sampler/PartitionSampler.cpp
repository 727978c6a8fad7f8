#include "sampler/PartitionSampler.h"

#include "sampler/Enumeration.h"
#include "sampler/InitialPartition.h"
#include "sampler/RunLoop.h"
#include "sampler/TreeStart.h"

PartitionSampler::PartitionSampler(int k, int n, FitnessZType fitnessZType, Observable* ob,
                                   double logalpha, std::ostream& logFile,
                                   const std::string& heuristics, ScoringMode scoring)
    : state(n, k),
      scorer(*ob, fitnessZType, k, logalpha, scoring, logFile),
      debug{logFile, true},
      heuristics_(heuristics),
      heuristic_(findHeuristic(heuristics)),
      k_(k),
      logalpha_(logalpha),
      logFile_(logFile) {}

void PartitionSampler::heat(int chains, int threads, uint32_t seed, bool copyStart) {
  if (chains < 2 || !heuristic_ || heuristic_->enumerates()) return;
  heated = std::make_unique<HeatedChains>(chains, *heuristic_, state, scorer, k_, logalpha_,
                                          seed, threads);
  heated->start(copyStart);
}

void PartitionSampler::initZ(const std::string& initialZ) {
  InitialPartition(state, scorer.prior(), logFile_).initZ(initialZ);
}

void PartitionSampler::initZFromData(const std::string& how) {
  if (how == "tree") treeStart(state, scorer, logFile_);
}

void PartitionSampler::run(long long iterations, int minuteAllowed, const std::string& fileStem) {
  RunLoop loop(state, scorer, heuristic_, heuristics_, logFile_, debug, options);
  loop.wallClock = wallClock;
  loop.heated = heated.get();
  try {
    loop.run(iterations, minuteAllowed, fileStem);
  } catch (...) {
    searchStarted = loop.started();
    throw;
  }
  searchStarted = true;
}

void PartitionSampler::enumZ(const std::string& fileStem) {
  searchStarted = true;
  ::enumZ(scorer, fileStem, logFile_);
}
