// The chain's current partition and what a run keeps about its path: the acceptance counts,
// the run-length trace of the score and the best partition met at a trace point. Moves
// change it only through accept; the run loop and the one-at-a-time sweep add trace points.
#pragma once
#include <vector>

// Receives each finished run of the run-length trace: count consecutive trace points had
// exactly score. The .save writer is one.
class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void runEnded(double score, long count) = 0;
};

// Thrown by a trace point whose score is not a finite number: the run stops there.
struct NonFiniteScore {
  double score;
};

class ChainState {
 public:
  // k <= 0: open number of clusters, starting as one cluster; otherwise k clusters. Every
  // observation starts with label 0 until a starting partition is set.
  ChainState(int n, int k);

  const int n;
  const bool infmix;               // open number of clusters
  int kold;                        // labels of the current partition
  std::vector<int> zold;           // current partition, labels 0..kold-1
  std::vector<int> clusterSizes0;  // sizes of zold's clusters; entries 0..kold-1 valid
  double acceptanceCnt = 0;        // accepted proposals of every move
  double acceptanceCntOA = 0;      // of them, moves of the one-at-a-time sweep

  // Makes z the current partition with kold + kchange labels (an accepted proposal).
  void accept(const std::vector<int>& z, int kchange);
  // Accepts the proposal that moves observation i to label to (to == kold: a new label); a
  // label left empty takes the highest label, whose members are relabelled. O(size of the
  // clusters involved): sizes and member lists follow without a pass over all n. Returns
  // the emptied label, or -1.
  int moveObservation(int i, int to);
  // Lists the members of every cluster, ascending: valid until the partition changes by
  // anything but moveObservation.
  void listMembers();
  std::vector<std::vector<int>> members;
  // Exchanges the current partitions of two chains of the same observations (their sizes and
  // member lists with them); traces, counts and best partitions stay with each chain.
  void exchangePartition(ChainState& other);
  // Sets the current partition with labels 0..k-1 and counts its sizes (starting partitions).
  void setPartition(const std::vector<int>& z, int k);

  // The run-length trace: its value being counted and how many points had it.
  double previousLik = 1.0;
  long previousLikCount = 0;
  // Where finished runs go; none outside a run.
  TraceSink* traceSink = nullptr;
  // The first trace value, the current partition's score: also the first best.
  void startTrace(double score);
  // One trace point of the current partition, whose score is given; a score that is not
  // finite throws NonFiniteScore and counts as no point.
  void trace(double score);

  // Best partition met at a trace point (the start included), and its score.
  double bestScore = 0;
  int bestK = 0;
  std::vector<int> bestZ;

 private:
  void noteBest(double score);
};
