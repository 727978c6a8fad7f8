// The heuristics of -h: one table row per name saying which move an iteration makes and how.
// Adding a heuristic is one row here (and, for a new kind of step, one move class in
// sampler/moves/). Nothing else compares heuristic names.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "sampler/moves/Move.h"
#include "sampler/moves/TreeGuided.h"

enum class MoveKind {
  OneAtATime,       // sampler/moves/OneAtATime.h
  JainNeal,         // sampler/moves/SplitMerge.h
  Sequential,       // sampler/moves/SplitMerge.h
  RandomSplitMerge, // open k: RandomSplitMerge; fixed k: the tree-guided move, uniform only
  TreeGuided,       // sampler/moves/TreeGuided.h
  CloseSplitMerge,  // sampler/moves/CloseSplitMerge.h
  ParallelSweep,    // sampler/moves/ParallelSweep.h
  Enumerate,        // no move: every partition is listed (sampler/Enumeration.h)
};

struct Heuristic {
  const char* name;
  MoveKind move;
  FlatProposal flat;     // tree-guided: when the tree neighbourhood is weighed flat
  bool includeLeafNode;  // tree-guided: single members count as tree splits
  bool sweepsAfter;      // two one-at-a-time sweeps after each move
  bool needsOpenK;       // changes the number of clusters, so -k must be 0
  bool enumerates() const { return move == MoveKind::Enumerate; }
};

// The row of the name, or null when there is none (compared whole and case-sensitively).
const Heuristic* findHeuristic(const std::string& name);
// Every row, in table order (tests that cover every heuristic walk it).
std::vector<const Heuristic*> allHeuristics();

// The move of one iteration of the heuristic, for a chain of n observations; threads caps
// the threads of a move that runs on several (the parallel sweep).
std::unique_ptr<Move> makeMove(const Heuristic& heuristic, int n, bool infmix, DebugLog debug,
                               int threads = 1);
