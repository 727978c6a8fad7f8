// The one-at-a-time Gibbs sweep ("OA", and the two sweeps after each move of the "2"
// heuristics): every observation in turn is given a label drawn from the conditional of the
// tempered total score over the existing labels and, with an open k, a new one (the trace
// point keeps the untempered score). One uniform per
// visited observation; with a fixed k a singleton is not visited. Writes two debug lines per
// visit (the current partition, the candidate scores) and one trace point.
#pragma once
#include <string>
#include <vector>

#include "sampler/moves/Move.h"
#include "sampler/moves/OneAtATimeScores.h"

class OneAtATime : public Move {
 public:
  OneAtATime(int n, DebugLog debug);
  void step(ChainState& state, Scorer& scorer) override;
  bool tracesItself() const override { return true; }

  // When label emptyComponent of z (labels 0..k-1) has no members left, the highest label
  // moves into it.
  static void relabelAfterMerge(int* z, int n, int k, int emptyComponent);

 private:
  // The label drawn for the visit from its candidates' estimates; logMean_ holds the
  // chosen candidate's exact total.
  int drawFromEstimates(OneAtATimeScores::Visit& visit, const Scorer& scorer, int k);

  std::vector<int> znew_;        // the candidate partition
  // Candidate scores and their tempered log target densities, grown with k (not n + 1 labels:
  // kept small at large n).
  std::vector<double> logMean_;
  std::vector<double> target_;
  std::string zoldLine_;         // the current partition as the debug line shows it
  OneAtATimeScores scores_;      // candidate scores from the current clusters
};
