// The output files of a search, one class each: the run loop calls every output at the same
// points (start, after each iteration, at the hourly checkpoint, at the end) and checks it
// for a failed write after each iteration. A new output is one more class here and one more
// line in makeOutputs.
#pragma once
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "sampler/ChainState.h"
#include "sampler/Scorer.h"

class RunOutput {
 public:
  virtual ~RunOutput() = default;
  // The file written; a failed write names it.
  virtual const std::string& fileName() const = 0;
  // Before the first iteration: create the file (refusing an existing one).
  virtual void start(const ChainState&) {}
  virtual void afterIteration(long long /*iteration*/, const ChainState&) {}
  virtual void checkpoint(const ChainState&) {}
  // False when a write has failed.
  virtual bool healthy() const { return true; }
  // At the end of the run, interrupted or not; false when the file could not be completed.
  virtual bool finish(const ChainState&) { return true; }
};

// The .save trace: a first line with the starting score and cluster sizes, then run-length
// lines "score count" (10 significant digits) fed by the chain state's trace points.
class TraceWriter : public RunOutput, public TraceSink {
 public:
  TraceWriter(const std::string& fileStem, const Scorer& scorer, std::ostream& logFile);
  const std::string& fileName() const override { return fileName_; }
  void start(const ChainState& state) override;
  void checkpoint(const ChainState&) override { save_.flush(); }
  bool healthy() const override { return static_cast<bool>(save_); }
  bool finish(const ChainState& state) override;
  void runEnded(double score, long count) override;
  // The whole trace of a run with a single fixed cluster: its score and a count of 0.
  bool writeAlone(double score);

 private:
  std::string fileName_;
  const Scorer& scorer_;
  std::ostream& logFile_;
  std::ofstream save_;
};

// The .finalz partition: rewritten atomically at every checkpoint and at the end.
class CheckpointWriter : public RunOutput {
 public:
  CheckpointWriter(const std::string& fileStem, std::ostream& logFile);
  const std::string& fileName() const override { return fileName_; }
  void checkpoint(const ChainState& state) override { write(state); }
  bool finish(const ChainState& state) override {
    write(state);
    return true;
  }
  void write(const ChainState& state);
  // After another file failed: the partition still goes to disk when it can, with no
  // failure of its own (the last checkpoint then stays as it was).
  void salvage(const ChainState& state);

 private:
  std::string fileName_;
  std::ostream& logFile_;
};

// Every output of a search, in the order they are called.
struct RunOutputs {
  std::unique_ptr<TraceWriter> trace;
  std::unique_ptr<CheckpointWriter> finalz;
  std::vector<RunOutput*> all;
};
RunOutputs makeOutputs(const std::string& fileStem, const Scorer& scorer, std::ostream& logFile);
