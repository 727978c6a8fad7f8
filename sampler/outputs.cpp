#include "sampler/outputs.h"

#include <charconv>
#include <sstream>

#include "io/U.h"

TraceWriter::TraceWriter(const std::string& fileStem, const Scorer& scorer,
                         std::ostream& logFile)
    : fileName_(fileStem + ".save"), scorer_(scorer), logFile_(logFile) {}

void TraceWriter::start(const ChainState& state) {
  save_.create(fileName_, logFile_);
  std::vector<int> sizes(state.kold);
  U::table(state.zold.data(), state.n, sizes.data(), state.kold);
  std::ostringstream first;
  first << "        " << scorer_.getTotalLik(state.zold.data(), state.kold) << "  ";
  U::printArray(sizes.data(), state.kold, first, true);
  save_.write(first.str());
}

void TraceWriter::runEnded(double score, long count) {
  char text[64];
  char* end = U::formatDouble(text, text + 40, score, 10);
  *end++ = ' ';
  end = std::to_chars(end, text + sizeof text - 1, count).ptr;
  *end++ = '\n';
  save_.write(text, static_cast<std::size_t>(end - text));
}

bool TraceWriter::finish(const ChainState& state) {
  runEnded(state.previousLik, state.previousLikCount);
  return save_.close();
}

bool TraceWriter::writeAlone(double score) {
  save_.create(fileName_, logFile_);
  TraceWriter::runEnded(score, 0);
  return save_.close();
}

void ThinnedTraceWriter::start(const ChainState& state) {
  TraceWriter::start(state);
  score_ = state.previousLik;
  count_ = 1;
}

void ThinnedTraceWriter::afterIteration(long long iteration, const ChainState& state) {
  if (iteration % thin_ != 0) return;
  if (state.previousLik == score_) {
    count_ += 1;
    return;
  }
  TraceWriter::runEnded(score_, count_);
  score_ = state.previousLik;
  count_ = 1;
}

bool ThinnedTraceWriter::finish(const ChainState& state) {
  TraceWriter::runEnded(score_, count_);
  // The base writes its own last run through runEnded, which this writer leaves out.
  return TraceWriter::finish(state);
}

PartitionWriter::PartitionWriter(const std::string& fileName, Which which, std::ostream& logFile)
    : fileName_(fileName), which_(which), logFile_(logFile) {}

const std::vector<int>& PartitionWriter::labels(const ChainState& state) const {
  return which_ == Current ? state.zold : state.bestZ;
}

void PartitionWriter::write(const ChainState& state, bool announce) {
  const std::string text = U::arrayLine(labels(state).data(), state.n);
  if (announce)
    U::replaceFile(fileName_, text, logFile_);
  else if (!U::writeFileAtomically(fileName_, text))
    U::fail(logFile_, "Fail to write " + fileName_);
}

void PartitionWriter::salvage(const ChainState& state) {
  if (U::writeFileAtomically(fileName_, U::arrayLine(labels(state).data(), state.n)) &&
      which_ == Current)
    logFile_ << "  write " << fileName_ << '\n';
}

DrawsWriter::DrawsWriter(const std::string& fileStem, long long thin, std::ostream& logFile)
    : fileName_(fileStem + ".draws"), thin_(thin), logFile_(logFile) {}

void DrawsWriter::start(const ChainState& state) {
  draws_.create(fileName_, logFile_);
  renumber_.assign(state.n, -1);
  // Room for the longest line, so that no line allocates.
  line_.reserve(80 + 12 * static_cast<std::size_t>(state.n));
}

void DrawsWriter::afterIteration(long long iteration, const ChainState& state) {
  if (iteration % thin_ != 0) return;
  char number[64];
  line_.clear();
  line_.append(number, std::to_chars(number, number + sizeof number, iteration).ptr);
  line_ += ' ';
  line_.append(number, U::formatDouble(number, number + sizeof number, state.previousLik, 17));
  line_ += ' ';
  int seen = 0;
  for (int i = 0; i < state.n; i++)
    if (renumber_[state.zold[i]] < 0) renumber_[state.zold[i]] = seen++;
  line_.append(number, std::to_chars(number, number + sizeof number, seen).ptr);
  for (int i = 0; i < state.n; i++) {
    line_ += ' ';
    line_.append(number, std::to_chars(number, number + sizeof number, renumber_[state.zold[i]]).ptr);
  }
  line_ += '\n';
  for (int i = 0; i < state.n; i++) renumber_[state.zold[i]] = -1;
  draws_.write(line_);
}

RunOutputs makeOutputs(const std::string& fileStem, const Scorer& scorer, std::ostream& logFile,
                       long long thin, long long traceThin) {
  RunOutputs outputs;
  if (traceThin > 0)
    outputs.trace = std::make_unique<ThinnedTraceWriter>(fileStem, scorer, logFile, traceThin);
  else
    outputs.trace = std::make_unique<TraceWriter>(fileStem, scorer, logFile);
  outputs.finalz =
      std::make_unique<PartitionWriter>(fileStem + ".finalz", PartitionWriter::Current, logFile);
  outputs.best =
      std::make_unique<PartitionWriter>(fileStem + ".best", PartitionWriter::Best, logFile);
  outputs.all = {outputs.trace.get(), outputs.finalz.get(), outputs.best.get()};
  if (thin > 0) {
    outputs.draws = std::make_unique<DrawsWriter>(fileStem, thin, logFile);
    outputs.all.push_back(outputs.draws.get());
  }
  return outputs;
}
