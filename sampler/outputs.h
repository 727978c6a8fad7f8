// The output files of a search, one class each: the run loop calls every output at the same
// points (start, after each iteration, at each checkpoint, at the end) and checks it for a
// failed write after each iteration. Names come from the run's list of files
// (formats/OutputFiles.h), line formats from formats/Draws.h. A new output is one row in the
// table of kinds, one class here and one line in makeOutputs.
#pragma once
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "formats/OutputFiles.h"
#include "io/LineFile.h"
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
  // After the first iteration (announce false: no log line, so the log keeps its bytes) and
  // hourly (announce true).
  virtual void checkpoint(const ChainState&, bool /*announce*/) {}
  // Every few seconds: the lines a watcher of the running chain reads go to the disk.
  virtual void flushRecords() {}
  // False when a write has failed.
  virtual bool healthy() const { return true; }
  // At the end of the run, interrupted or not; false when the file could not be completed.
  virtual bool finish(const ChainState&) { return true; }
  // After another file failed: what still fits goes to disk, with no failure of its own.
  virtual void salvage(const ChainState&) {}
  // The run was refused before its first move: remove what start created.
  virtual void discard() {}
};

// Ends the run before it creates any file when a file it would create exclusively exists
// already, naming that file: "File already exists: NAME" as when creating it.
void refuseExistingOutputs(const formats::OutputFiles& files);

// The .save trace: a first line with the starting score and cluster sizes, then run-length
// lines "score count" (10 significant digits) fed by the chain state's trace points. Written
// in whole lines only.
class TraceWriter : public RunOutput, public TraceSink {
 public:
  TraceWriter(const std::string& fileName, const Scorer& scorer, std::ostream& logFile);
  const std::string& fileName() const override { return fileName_; }
  void start(const ChainState& state) override;
  void checkpoint(const ChainState&, bool) override { save_.flush(); }
  bool healthy() const override { return save_.good(); }
  bool finish(const ChainState& state) override;
  void discard() override;
  void runEnded(double score, long count) override;
  // The whole trace of a run with a single fixed cluster: its score and a count of 0.
  bool writeAlone(double score);

 private:
  std::string fileName_;
  const Scorer& scorer_;
  std::ostream& logFile_;
  LineFile save_;
};

// The .save trace thinned (-e THIN): the same first line, then run-length lines over the
// scores of the start and of the partition after every THIN-th iteration only.
class ThinnedTraceWriter : public TraceWriter {
 public:
  ThinnedTraceWriter(const std::string& fileName, const Scorer& scorer, std::ostream& logFile,
                     long long thin)
      : TraceWriter(fileName, scorer, logFile), thin_(thin) {}
  void start(const ChainState& state) override;
  void afterIteration(long long iteration, const ChainState& state) override;
  // The trace points of single moves are left out.
  void runEnded(double, long) override {}
  bool finish(const ChainState& state) override;

 private:
  long long thin_;
  double score_ = 0;
  long count_ = 0;
};

// A partition file replaced atomically at every checkpoint and at the end: .finalz holds the
// current partition (announced in the log), .best the best one met at a trace point (not
// announced; its score closes the log).
class PartitionWriter : public RunOutput {
 public:
  enum Which { Current, Best };
  PartitionWriter(const std::string& fileName, Which which, std::ostream& logFile);
  const std::string& fileName() const override { return fileName_; }
  void checkpoint(const ChainState& state, bool announce) override {
    write(state, announce && which_ == Current);
  }
  bool finish(const ChainState& state) override {
    write(state, which_ == Current);
    return true;
  }
  void salvage(const ChainState& state) override;
  void write(const ChainState& state, bool announce);

 private:
  const std::vector<int>& labels(const ChainState& state) const;
  std::string fileName_;
  Which which_;
  std::ostream& logFile_;
};

// The .draws file (-d THIN): after every THIN-th iteration one line "ITER SCORE K L1 ... Ln",
// the score with 17 significant digits and the labels renumbered in order of first
// appearance. Written in whole lines only.
class DrawsWriter : public RunOutput {
 public:
  DrawsWriter(const std::string& fileName, long long thin, std::ostream& logFile);
  const std::string& fileName() const override { return fileName_; }
  void start(const ChainState& state) override;
  void afterIteration(long long iteration, const ChainState& state) override;
  void checkpoint(const ChainState&, bool) override { draws_.flush(); }
  void flushRecords() override { draws_.flush(); }
  bool healthy() const override { return draws_.good(); }
  bool finish(const ChainState&) override { return draws_.close(); }
  void salvage(const ChainState&) override { draws_.close(); }
  void discard() override;

 private:
  std::string fileName_;
  long long thin_;
  std::ostream& logFile_;
  LineFile draws_;
  std::vector<int> renumber_;  // label -> label by first appearance, -1 unseen
  std::string line_;
};

// A file of one "ITER VALUE" line after every THIN-th iteration (formats/AlphaDraws.h): the
// .alpha file (-A), the concentration in force after that iteration's step of alpha, and the
// .pdraws file (-W), the P of that iteration's moves. Written in whole lines only.
class ValueDrawsWriter : public RunOutput {
 public:
  using Value = double (*)(const Scorer&);
  ValueDrawsWriter(const std::string& fileName, long long thin, const Scorer& scorer, Value value,
                   std::ostream& logFile)
      : fileName_(fileName), thin_(thin), scorer_(scorer), value_(value), logFile_(logFile) {}
  const std::string& fileName() const override { return fileName_; }
  void start(const ChainState&) override { file_.create(fileName_, logFile_); }
  void afterIteration(long long iteration, const ChainState& state) override;
  void checkpoint(const ChainState&, bool) override { file_.flush(); }
  void flushRecords() override { file_.flush(); }
  bool healthy() const override { return file_.good(); }
  bool finish(const ChainState&) override { return file_.close(); }
  void salvage(const ChainState&) override { file_.close(); }
  void discard() override;

 private:
  std::string fileName_;
  long long thin_;
  const Scorer& scorer_;
  Value value_;
  std::ostream& logFile_;
  LineFile file_;
  std::string line_;
};

// The .columns file (-V with -d THIN): per column, its probability of being clustered given
// the partition, averaged over the partitions after every THIN-th iteration; at the end one
// line "COLUMN PROBABILITY" per column (1-based; 6 significant digits), none without draws.
class ColumnsWriter : public RunOutput {
 public:
  ColumnsWriter(const std::string& fileName, long long thin, const Scorer& scorer,
                std::ostream& logFile);
  const std::string& fileName() const override { return fileName_; }
  void start(const ChainState& state) override;
  void afterIteration(long long iteration, const ChainState& state) override;
  bool healthy() const override { return file_.good(); }
  bool finish(const ChainState&) override;
  void salvage(const ChainState& state) override { finish(state); }
  void discard() override;

 private:
  std::string fileName_;
  long long thin_;
  const Scorer& scorer_;
  std::ostream& logFile_;
  LineFile file_;
  long long draws_ = 0;
  std::vector<int64_t> sums_;
  std::vector<double> relevance_, total_;
};

// Every output of a search, in the order they are called, named by the run's files.
struct RunOutputs {
  std::unique_ptr<TraceWriter> trace;
  std::unique_ptr<PartitionWriter> finalz;
  std::unique_ptr<PartitionWriter> best;
  std::unique_ptr<DrawsWriter> draws;      // only with -d
  std::unique_ptr<ValueDrawsWriter> alpha;   // only with -d and -A
  std::unique_ptr<ColumnsWriter> columns;  // only with -d and -V
  std::unique_ptr<ValueDrawsWriter> pdraws;  // only with -d, -V and -W
  std::vector<RunOutput*> all;
};
RunOutputs makeOutputs(const formats::OutputFiles& files, const Scorer& scorer,
                       std::ostream& logFile, long long thin, long long traceThin = 0);
