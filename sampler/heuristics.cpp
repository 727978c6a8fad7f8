#include "sampler/heuristics.h"

#include "sampler/moves/CloseSplitMerge.h"
#include "sampler/moves/OneAtATime.h"
#include "sampler/moves/ParallelSweep.h"
#include "sampler/moves/SplitMerge.h"

namespace {

using F = FlatProposal;
using M = MoveKind;

// Restricted Gibbs scans of "CM" between its sequential launch and its final scan.
constexpr int kCloseScans = 2;

const Heuristic kHeuristics[] = {
    // name     move                 flat         leaves  sweeps  open k
    {"OA", M::OneAtATime, F::Never, false, false, false},
    {"JN", M::JainNeal, F::Never, false, false, true},
    {"JN2", M::JainNeal, F::Never, false, true, true},
    {"DA", M::Sequential, F::Never, false, false, true},
    {"DA2", M::Sequential, F::Never, false, true, true},
    {"SR", M::RandomSplitMerge, F::Never, false, false, false},
    {"SR2", M::RandomSplitMerge, F::Never, false, true, false},
    {"UX", M::TreeGuided, F::Never, true, false, false},
    {"UX2", M::TreeGuided, F::Never, false, true, false},
    {"UXf", M::TreeGuided, F::Always, true, false, false},
    {"UXf2", M::TreeGuided, F::Always, false, true, false},
    {"rBHS2", M::TreeGuided, F::EveryTenth, false, true, false},
    {"CM", M::CloseSplitMerge, F::Never, false, false, true},
    {"CM2", M::CloseSplitMerge, F::Never, false, true, true},
    {"PS", M::ParallelSweep, F::Never, false, false, false},
    {"EN", M::Enumerate, F::Never, false, false, false},
};

}  // namespace

std::vector<const Heuristic*> allHeuristics() {
  std::vector<const Heuristic*> rows;
  for (const Heuristic& h : kHeuristics) rows.push_back(&h);
  return rows;
}

const Heuristic* findHeuristic(const std::string& name) {
  for (const Heuristic& h : kHeuristics)
    if (name == h.name) return &h;
  return nullptr;
}

std::unique_ptr<Move> makeMove(const Heuristic& heuristic, int n, bool infmix, DebugLog debug,
                               int threads) {
  switch (heuristic.move) {
    case MoveKind::OneAtATime:
      return std::make_unique<OneAtATime>(n, debug);
    case MoveKind::JainNeal:
      return std::make_unique<JainNealSplitMerge>(n, debug);
    case MoveKind::Sequential:
      return std::make_unique<SequentialSplitMerge>(n, debug);
    case MoveKind::RandomSplitMerge:
      if (infmix) return std::make_unique<RandomSplitMerge>(n, debug);
      // A fixed k cannot split without a merge: the uniform neighbourhood alone.
      return std::make_unique<TreeGuidedSplitMerge>(
          n, infmix, TreeMoveSettings{FlatProposal::Never, false, 0.0}, debug);
    case MoveKind::TreeGuided:
      return std::make_unique<TreeGuidedSplitMerge>(
          n, infmix, TreeMoveSettings{heuristic.flat, heuristic.includeLeafNode, 0.9}, debug);
    case MoveKind::CloseSplitMerge:
      return std::make_unique<CloseSplitMerge>(n, kCloseScans, debug);
    case MoveKind::ParallelSweep:
      return std::make_unique<ParallelSweep>(n, infmix, threads, debug);
    case MoveKind::Enumerate:
      break;
  }
  return nullptr;
}
