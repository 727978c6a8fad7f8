#include "sampler/PartitionSampler.h"

#include "sampler/Enumeration.h"
#include "sampler/InitialPartition.h"
#include "sampler/RunLoop.h"
#include "sampler/SampledStart.h"
#include "sampler/TreeStart.h"

namespace {
ChainConfig plainConfig(int k, FitnessZType criterion, double logalpha,
                        const std::string& heuristics, ScoringMode scoring) {
  ChainConfig config;
  config.criterion = criterion;
  config.k = k;
  config.logalpha = logalpha;
  config.scoring = scoring;
  config.heuristicName = heuristics;
  config.heuristic = findHeuristic(heuristics);
  return config;
}
}  // namespace

PartitionSampler::PartitionSampler(int k, int n, FitnessZType fitnessZType, Observable* ob,
                                   double logalpha, std::ostream& logFile,
                                   const std::string& heuristics, ScoringMode scoring)
    : config(plainConfig(k, fitnessZType, logalpha, heuristics, scoring)),
      state(n, k),
      scorer(*ob, config, logFile),
      debug{logFile, true},
      logFile_(logFile) {}

PartitionSampler::PartitionSampler(const ChainConfig& config, Observable& model,
                                   std::ostream& logFile)
    : config(config),
      state(model.n, config.k),
      scorer(model, config, logFile),
      debug{logFile, true},
      logFile_(logFile) {
  options.draws = ParameterDraws(config);
}

void PartitionSampler::heat(int chains, int threads, uint32_t seed, bool copyStart) {
  if (chains < 2 || !config.heuristic || config.heuristic->enumerates()) return;
  heated = std::make_unique<HeatedChains>(chains, config, state, scorer, options.draws, seed,
                                          threads);
  heated->start(copyStart);
}

void PartitionSampler::initZ(const std::string& initialZ) {
  InitialPartition(state, scorer.prior(), logFile_).initZ(initialZ);
}

void PartitionSampler::initZFromData(const std::string& how) {
  if (how == "random")
    initZ("");
  else if (!sampledBase(how).empty())
    sampledStart(state, scorer, logFile_, how);
  else
    treeStart(state, scorer, logFile_, how);
}

void PartitionSampler::run(long long iterations, int minuteAllowed, const std::string& fileStem) {
  RunLoop loop(state, scorer, config.heuristic, config.heuristicName, logFile_, debug, options);
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
