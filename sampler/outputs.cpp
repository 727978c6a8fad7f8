#include "sampler/outputs.h"

#include <iomanip>

#include "io/U.h"

TraceWriter::TraceWriter(const std::string& fileStem, const Scorer& scorer,
                         std::ostream& logFile)
    : fileName_(fileStem + ".save"), scorer_(scorer), logFile_(logFile) {}

void TraceWriter::start(const ChainState& state) {
  U::openWrite(save_, fileName_, logFile_, false);
  std::vector<int> sizes(state.kold);
  U::table(state.zold.data(), state.n, sizes.data(), state.kold);
  save_ << "        " << scorer_.getTotalLik(state.zold.data(), state.kold) << "  ";
  U::printArray(sizes.data(), state.kold, save_, true);
  save_ << std::setprecision(10);
}

void TraceWriter::runEnded(double score, long count) {
  U::writeNumber(save_, score, ' ');
  save_ << count << '\n';
}

bool TraceWriter::finish(const ChainState& state) {
  runEnded(state.previousLik, state.previousLikCount);
  save_.close();
  return !save_.fail();
}

bool TraceWriter::writeAlone(double score) {
  U::openWrite(save_, fileName_, logFile_, false);
  save_ << std::setprecision(10) << score << ' ' << 0 << '\n';
  save_.close();
  return !save_.fail();
}

CheckpointWriter::CheckpointWriter(const std::string& fileStem, std::ostream& logFile)
    : fileName_(fileStem + ".finalz"), logFile_(logFile) {}

void CheckpointWriter::write(const ChainState& state) {
  U::replaceFile(fileName_, U::arrayLine(state.zold.data(), state.n), logFile_);
}

void CheckpointWriter::salvage(const ChainState& state) {
  if (U::writeFileAtomically(fileName_, U::arrayLine(state.zold.data(), state.n)))
    logFile_ << "  write " << fileName_ << '\n';
}

RunOutputs makeOutputs(const std::string& fileStem, const Scorer& scorer, std::ostream& logFile) {
  RunOutputs outputs;
  outputs.trace = std::make_unique<TraceWriter>(fileStem, scorer, logFile);
  outputs.finalz = std::make_unique<CheckpointWriter>(fileStem, logFile);
  outputs.all = {outputs.trace.get(), outputs.finalz.get()};
  return outputs;
}
