// A search move: one step of the chain from its current partition, scored through the
// scorer; an accepted proposal replaces the state's partition through ChainState::accept.
// Every random draw comes from myunif_rand, the process's one stream, in the order each
// move's header states. Settings a move needs (flags of its heuristic) are given to its
// constructor; its scratch buffers are its own.
#pragma once
#include <limits>
#include <ostream>

#include "sampler/ChainState.h"
#include "sampler/Scorer.h"

// The score of an impossible candidate (log 0).
constexpr double kLogZero = -std::numeric_limits<double>::infinity();

// Where the moves' debug lines go: the run log, or nowhere when disabled. Every
// per-observation and per-move line is written only after asking enabled.
struct DebugLog {
  std::ostream& out;
  bool enabled = true;
};

class Move {
 public:
  explicit Move(DebugLog debug) : debug_(debug) {}
  virtual ~Move() = default;
  virtual void step(ChainState& state, Scorer& scorer) = 0;
  // Whether the step adds its own trace points (the one-at-a-time sweep adds one per
  // observation); otherwise the run loop adds one after it.
  virtual bool tracesItself() const { return false; }

 protected:
  DebugLog debug_;
};
