#include "sampler/outputs.h"

#include <sys/stat.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "formats/AlphaDraws.h"
#include "formats/Draws.h"
#include "io/Console.h"
#include "io/Failure.h"
#include "io/Files.h"
#include "io/Text.h"
#include "stats/Arrays.h"

TraceWriter::TraceWriter(const std::string& fileName, const Scorer& scorer,
                         std::ostream& logFile)
    : fileName_(fileName), scorer_(scorer), logFile_(logFile) {}

void TraceWriter::start(const ChainState& state) {
  save_.create(fileName_, logFile_);
  std::vector<int> sizes(state.kold);
  Arrays::table(state.zold.data(), state.n, sizes.data(), state.kold);
  std::ostringstream first;
  first << "        " << scorer_.getTotalLik(state.zold.data(), state.kold) << "  ";
  Text::printArray(sizes.data(), state.kold, first, true);
  save_.write(first.str());
}

void TraceWriter::runEnded(double score, long count) {
  char text[64];
  char* end = Text::formatDouble(text, text + 40, score, 10);
  *end++ = ' ';
  end = std::to_chars(end, text + sizeof text - 1, count).ptr;
  *end++ = '\n';
  save_.write(text, static_cast<std::size_t>(end - text));
}

bool TraceWriter::finish(const ChainState& state) {
  runEnded(state.previousLik, state.previousLikCount);
  return save_.close();
}

void TraceWriter::discard() {
  save_.close();
  std::remove(fileName_.c_str());
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
  const std::string text = formats::partitionLine(labels(state).data(), state.n);
  if (announce)
    Files::replaceFile(fileName_, text, logFile_);
  else if (!Files::writeFileAtomically(fileName_, text))
    failWrite(logFile_, fileName_);
}

void PartitionWriter::salvage(const ChainState& state) {
  if (Files::writeFileAtomically(fileName_, formats::partitionLine(labels(state).data(), state.n)) &&
      which_ == Current)
    logFile_ << "  write " << fileName_ << '\n';
}

DrawsWriter::DrawsWriter(const std::string& fileName, long long thin, std::ostream& logFile)
    : fileName_(fileName), thin_(thin), logFile_(logFile) {}

void DrawsWriter::start(const ChainState& state) {
  draws_.create(fileName_, logFile_);
  renumber_.assign(state.n, -1);
  // Room for the longest line, so that no line allocates.
  line_.reserve(80 + 12 * static_cast<std::size_t>(state.n));
}

void DrawsWriter::discard() {
  draws_.close();
  std::remove(fileName_.c_str());
}

void DrawsWriter::afterIteration(long long iteration, const ChainState& state) {
  if (iteration % thin_ != 0) return;
  line_.clear();
  formats::appendDrawsLine(line_, iteration, state.previousLik, state.zold.data(), state.n,
                           renumber_);
  draws_.write(line_);
}

void ValueDrawsWriter::afterIteration(long long iteration, const ChainState&) {
  if (iteration % thin_ != 0) return;
  line_.clear();
  formats::appendValueLine(line_, iteration, value_(scorer_));
  file_.write(line_);
}

void ValueDrawsWriter::discard() {
  file_.close();
  std::remove(fileName_.c_str());
}

ColumnsWriter::ColumnsWriter(const std::string& fileName, long long thin, const Scorer& scorer,
                             std::ostream& logFile)
    : fileName_(fileName), thin_(thin), scorer_(scorer), logFile_(logFile) {}

void ColumnsWriter::start(const ChainState&) {
  file_.create(fileName_, logFile_);
  const int T = scorer_.columns()->columns();
  sums_.assign(T, 0);
  relevance_.assign(T, 0.0);
  total_.assign(T, 0.0);
}

void ColumnsWriter::afterIteration(long long iteration, const ChainState& state) {
  if (iteration % thin_ != 0) return;
  const ColumnSelection& columns = *scorer_.columns();
  columns.partitionSums(state.zold.data(), state.kold, sums_.data());
  columns.relevance(sums_.data(), relevance_.data());
  for (size_t t = 0; t < total_.size(); t++) total_[t] += relevance_[t];
  draws_++;
}

bool ColumnsWriter::finish(const ChainState&) {
  char text[96];
  for (size_t t = 0; t < total_.size() && draws_ > 0; t++) {
    char* end = std::to_chars(text, text + 24, static_cast<long long>(t + 1)).ptr;
    *end++ = ' ';
    end = Text::formatDouble(end, text + 80, total_[t] / static_cast<double>(draws_), 6);
    *end++ = '\n';
    file_.write(text, static_cast<std::size_t>(end - text));
  }
  draws_ = 0;  // written once
  return file_.close();
}

void ColumnsWriter::discard() {
  file_.close();
  std::remove(fileName_.c_str());
}

namespace {
// -A is refused with a fixed k, so the prior is then the Dirichlet process.
double alphaInForce(const Scorer& scorer) {
  return std::exp(dynamic_cast<const DirichletProcessPrior&>(scorer.prior()).logalpha());
}
double columnP(const Scorer& scorer) { return scorer.columns()->p(); }
}  // namespace

RunOutputs makeOutputs(const formats::OutputFiles& files, const Scorer& scorer,
                       std::ostream& logFile, long long thin, long long traceThin) {
  RunOutputs outputs;
  const std::string save = formats::fileOf(files, "save");
  if (traceThin > 0)
    outputs.trace = std::make_unique<ThinnedTraceWriter>(save, scorer, logFile, traceThin);
  else
    outputs.trace = std::make_unique<TraceWriter>(save, scorer, logFile);
  outputs.finalz = std::make_unique<PartitionWriter>(formats::fileOf(files, "finalz"),
                                                     PartitionWriter::Current, logFile);
  outputs.best = std::make_unique<PartitionWriter>(formats::fileOf(files, "best"),
                                                   PartitionWriter::Best, logFile);
  outputs.all = {outputs.trace.get(), outputs.finalz.get(), outputs.best.get()};
  if (thin > 0) {
    outputs.draws = std::make_unique<DrawsWriter>(formats::fileOf(files, "draws"), thin, logFile);
    outputs.all.push_back(outputs.draws.get());
    if (scorer.columns()) {
      outputs.columns = std::make_unique<ColumnsWriter>(formats::fileOf(files, "columns"), thin,
                                                        scorer, logFile);
      outputs.all.push_back(outputs.columns.get());
    }
    const std::string pdraws = formats::fileOf(files, "pdraws");
    if (!pdraws.empty()) {
      outputs.pdraws =
          std::make_unique<ValueDrawsWriter>(pdraws, thin, scorer, columnP, logFile);
      outputs.all.push_back(outputs.pdraws.get());
    }
  }
  const std::string alpha = formats::fileOf(files, "alpha");
  if (thin > 0 && !alpha.empty()) {
    outputs.alpha =
        std::make_unique<ValueDrawsWriter>(alpha, thin, scorer, alphaInForce, logFile);
    outputs.all.push_back(outputs.alpha.get());
  }
  return outputs;
}

void refuseExistingOutputs(const formats::OutputFiles& files) {
  for (const auto& file : files) {
    const formats::OutputKind* kind = formats::findOutputKind(file.first);
    struct stat status;
    if (kind && !kind->replaced && ::lstat(file.second.c_str(), &status) == 0) {
      verr() << file.second << " blocks this run: it is left from an earlier run with the same "
                               "file names and may be removed\n";
      verr().flush();
      failRun(vout(), Failure::Input, "File already exists: " + file.second);
    }
  }
}
