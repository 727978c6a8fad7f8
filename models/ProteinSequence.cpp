#include "models/ProteinSequence.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <limits>

#include "io/Console.h"
#include "io/Failure.h"
#include "io/Interrupt.h"
#include "io/LineReader.h"
#include "io/Files.h"
#include "io/Text.h"

namespace {

const double taoHyperParam[2] = {0.7939, 0.0135};
const double nuHyperParam[2] = {0.9002, 0.563};

std::array<int, 256> makeCodeTable() {
  std::array<int, 256> table{};  // unknown characters read as A
  const char* residues = "ACDEFGHIKLMNPQRSTVWY";
  for (int code = 0; code < ProteinSequence::AA_KINDS; code++) {
    table[static_cast<unsigned char>(residues[code])] = code;
    table[static_cast<unsigned char>(residues[code] - 'A' + 'a')] = code;
  }
  table['-'] = ProteinSequence::GAP;
  table['*'] = ProteinSequence::GAP;
  return table;
}

// The longest sequence read: every alignment column costs about 200 bytes of count tables.
const std::string::size_type kMaxSequenceLength = 1000000;

std::string hexByte(char c) {
  const char* digits = "0123456789abcdef";
  const unsigned char b = static_cast<unsigned char>(c);
  return std::string("0x") + digits[b >> 4] + digits[b & 15];
}

// One line without its line feed or a carriage return just before it.
void readLine(std::istream& in, std::string& line) {
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
}

}  // namespace

ProteinData::ProteinData(const std::string& sequenceFileName, std::istream& priorStream,
                         std::ostream& logFile)
    : muPrior(priorStream, logFile), taoPrior(2, taoHyperParam), nuPrior(2, nuHyperParam) {
  if (muPrior.dimension != ProteinSequence::AA_KINDS)
    Files::fail(logFile, "Bad prior text: ProteinSequence needs " +
                         Text::n2s(ProteinSequence::AA_KINDS) + " categories, not " +
                         Text::n2s(muPrior.dimension));
  std::string marker;
  const bool shared = (priorStream >> marker) && marker == ColumnProfilePrior::kMarker;
  readFastaFile(sequenceFileName, logFile);
  if (shared)
    profile = std::make_unique<const ColumnProfilePrior>(
        muPrior, columnCounts(sequence, n, T, ProteinSequence::AA_KINDS), T,
        ProteinSequence::AA_KINDS, logFile);
  gapFlags = Matrix<unsigned char>(n, T + 1);  // column 0: before the first, no gap
  for (int i = 0; i < n; i++)
    for (int t = 0; t < T; t++) gapFlags[i][t + 1] = sequence[i][t] == ProteinSequence::GAP;
  muTables = std::make_shared<const DirichletTables>(muPrior, n);
  taoTables = std::make_shared<const DirichletTables>(taoPrior, n);
  nuTables = std::make_shared<const DirichletTables>(nuPrior, n);
}

ProteinSequence::Workspace::Workspace(const ProteinData& data)
    : codeCount(static_cast<size_t>(data.T) * (AA_KINDS + 1), 0),
      tranCount(static_cast<size_t>(data.T) * 4, 0),
      memberList(data.n, 0),
      gapSum(data.T, 0),
      bothGapSum(data.T, 0),
      muScorer(data.muTables),
      taoScorer(data.taoTables),
      nuScorer(data.nuTables),
      muPrior(data.muPrior),
      taoPrior(data.taoPrior),
      nuPrior(data.nuPrior) {}

ProteinSequence::ProteinSequence(const std::string& sequenceFileName, std::istream& priorStream,
                                 std::ostream& _logFile)
    : ProteinSequence(std::make_shared<const ProteinData>(sequenceFileName, priorStream, _logFile),
                      _logFile) {}

ProteinSequence::ProteinSequence(std::shared_ptr<const ProteinData> data, std::ostream& _logFile)
    : sequence(data->sequence), logFile(_logFile), data_(std::move(data)), work_(*data_) {
  n = data_->n;
  T = data_->T;
}

std::unique_ptr<Observable> ProteinSequence::copyForChain() const {
  auto copy = std::make_unique<ProteinSequence>(data_, logFile);
  copy->scale = scale;
  copy->scoring = scoring;
  return copy;
}

size_t ProteinSequence::workspaceBytes() const {
  const Workspace& w = work_;
  const size_t priors = static_cast<size_t>(w.muPrior.mixtureOrder) * (w.muPrior.dimension + 2) +
                        w.muPrior.dimension + 2 * (2 + 2);
  return sizeof(*this) +
         sizeof(int) * (w.codeCount.capacity() + w.tranCount.capacity() +
                        w.memberList.capacity() + w.gapSum.capacity() + w.bothGapSum.capacity()) +
         sizeof(double) * (w.muScorer.scratchSize() + w.taoScorer.scratchSize() +
                           w.nuScorer.scratchSize() + priors);
}

int ProteinSequence::residueCode(char c) {
  static const std::array<int, 256> table = makeCodeTable();
  return table[static_cast<unsigned char>(c)];
}

void ProteinData::readFastaFile(const std::string& fileName, std::ostream& logFile) {
  std::ifstream msaFile;
  Files::openRead(msaFile, fileName, logFile);
  const std::string bad = "Bad FASTA file " + fileName + ": ";
  // The first line is taken as a header whatever it holds. Sequence lines up to the next
  // ">" line are joined; a last line without a line break still counts.
  // Every later ">" line starts the next sequence. Lines are read with a bound, so a file
  // without line breaks cannot fill the memory: no sequence may exceed kMaxSequenceLength.
  // Each sequence's residue codes are appended to codes as its lines come, one line held at
  // a time; lengths keeps each sequence's length, checked once the file is read.
  std::vector<uint8_t> codes;
  std::vector<size_t> lengths(1, 0);
  std::string line;
  bool longLine = false;
  long lineNo = 1;
  if (!readLineUpTo(msaFile, line, kMaxSequenceLength, longLine) && longLine)
    skipRestOfLine(msaFile);
  for (;;) {
    checkInterrupt();
    lineNo++;
    if (!readLineUpTo(msaFile, line, kMaxSequenceLength + 1, longLine) && !longLine) break;
    if (!line.empty() && line[0] == '>') {
      if (longLine) skipRestOfLine(msaFile);
      lengths.push_back(0);
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // A line of blanks is no sequence; control characters and NUL bytes are no residues.
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    for (const char c : line)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
        Files::fail(logFile, "Bad FASTA file " + fileName + ", line " + Text::n2s(lineNo) +
                             ": control character " + hexByte(c) + " in a sequence");
    size_t& length = lengths.back();
    if (longLine || length + line.size() > kMaxSequenceLength)
      Files::fail(logFile, bad + "sequence " + Text::n2s(static_cast<long>(lengths.size())) +
                           " is longer than " + Text::n2s(static_cast<long>(kMaxSequenceLength)) +
                           " characters");
    for (const char c : line) codes.push_back(static_cast<uint8_t>(ProteinSequence::residueCode(c)));
    length += line.size();
  }
  msaFile.close();

  if (codes.empty()) Files::fail(logFile, bad + "no sequence");
  if (lengths.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
    Files::fail(logFile, bad + "more than " + Text::n2s(std::numeric_limits<int>::max()) +
                         " sequences");
  n = static_cast<int>(lengths.size());
  T = static_cast<int>(lengths[0]);
  if (T == 0) Files::fail(logFile, bad + "sequence 1 has no characters");
  for (int i = 1; i < n; i++) {
    const size_t length = lengths[static_cast<size_t>(i)];
    if (length != static_cast<size_t>(T))
      Files::fail(logFile, bad + "sequence " + Text::n2s(i + 1) + " has " +
                           Text::n2s(static_cast<long>(length)) + " characters where the first has " +
                           Text::n2s(T));
  }

  // Every sequence has T codes: codes is the matrix, row after row.
  codes.shrink_to_fit();
  sequence = Matrix<uint8_t>(n, T, std::move(codes));
}

void ProteinSequence::readSeqNamesFromFasta(const char* fileName,
                                            std::vector<std::string>& seqNames) const {
  std::ifstream file;
  Files::openRead(file, fileName, logFile);
  std::string header;
  readLine(file, header);
  // A UTF-8 byte-order mark before the first header is no part of its name.
  if (header.rfind("\xEF\xBB\xBF", 0) == 0) header.erase(0, 3);
  std::string line;
  while (file.good()) {
    do {
      readLine(file, line);
    } while (file.good() && (line.empty() || line[0] != '>'));
    std::string name = header.empty() ? "" : header.substr(1);
    seqNames.push_back(name.substr(0, name.find(' ')));
    header = line;
  }
}

int ProteinSequence::getAAcount(const int* z, short int j, int* count) const {
  std::fill(count, count + static_cast<size_t>(T) * AA_KINDS, 0);
  int members = 0;
  for (int i = 0; i < n; i++) {
    if (z[i] != j) continue;
    members++;
    const uint8_t* row = sequence[i];
    for (int t = 0; t < T; t++)
      if (row[t] != GAP) count[t * AA_KINDS + row[t]]++;
  }
  return members;
}

void ProteinSequence::getTranCount(const int* z, short int j, int* taoCount,
                                   int* nuCount) const {
  std::fill(taoCount, taoCount + static_cast<size_t>(T) * 2, 0);
  std::fill(nuCount, nuCount + static_cast<size_t>(T) * 2, 0);
  for (int i = 0; i < n; i++) {
    if (z[i] != j) continue;
    const uint8_t* row = sequence[i];
    // Column 0 counts as entered from a residue.
    taoCount[row[0] == GAP ? 1 : 0]++;
    for (int t = 1; t < T; t++) {
      int g = row[t] == GAP ? 1 : 0;
      if (row[t - 1] == GAP)
        nuCount[t * 2 + g]++;
      else
        taoCount[t * 2 + g]++;
    }
  }
}

double ProteinSequence::getClusterFit(const int* z, int j) const {
  if (scoring == ScoringMode::Reference) return clusterFitReference(z, j);
  return clusterFitFast(z, j);
}

double ProteinSequence::residueFit(const int* aa, int t) const {
  const ColumnProfilePrior* profile = data_->profile.get();
  return profile ? profile->columnFit(aa, t) : work_.muScorer.logIntegratedLik(aa);
}

double ProteinSequence::clusterFitReference(const int* z, int j) const {
  const ColumnProfilePrior* profile = data_->profile.get();
  // The fast path's count buffers are large enough for these counts.
  int* aaCount = work_.codeCount.data();
  int* taoCount = work_.tranCount.data();
  int* nuCount = taoCount + static_cast<size_t>(T) * 2;
  int members = getAAcount(z, static_cast<short>(j), aaCount);
  if (members == 0) return 0;
  getTranCount(z, static_cast<short>(j), taoCount, nuCount);
  double ll = 0;
  for (int t = 0; t < T; t++) {
    const int* tao = &taoCount[t * 2];
    const int* nu = &nuCount[t * 2];
    const int* aa = &aaCount[static_cast<size_t>(t) * AA_KINDS];
    if (tao[0] + tao[1] > 0) ll += work_.taoPrior.logIntegratedLik(tao);
    if (nu[0] + nu[1] > 0) ll += work_.nuPrior.logIntegratedLik(nu);
    int residues = 0;
    for (int m = 0; m < AA_KINDS; m++) residues += aa[m];
    if (residues > 0) ll += profile ? profile->columnFit(aa, t) : work_.muPrior.logIntegratedLik(aa);
  }
  return ll;
}

double ProteinSequence::clusterFitFast(const int* z, int j) const {
  const short label = static_cast<short>(j);  // as the reference's counters take it
  // Local copies: a store through the count pointers could otherwise alias n and T.
  const int rows = n;
  const int columns = T;
  int* list = work_.memberList.data();
  int members = 0;
  for (int i = 0; i < rows; i++) {
    list[members] = i;
    members += z[i] == label;
  }
  if (members == 0) return 0;

  // Residue counts, the gap as a 21st code.
  const int width = AA_KINDS + 1;
  int* codeCount = work_.codeCount.data();
  std::fill(work_.codeCount.begin(), work_.codeCount.end(), 0);
  for (int s = 0; s < members; s++) {
    const uint8_t* row = sequence[list[s]];
    for (int t = 0; t < columns; t++) codeCount[t * width + row[t]]++;
  }

  // Per column the members with a gap (G) and with a gap here and in the column before (B),
  // summed a block of columns at a time in registers; the four transition counts follow.
  int* gaps = work_.gapSum.data();
  int* bothGaps = work_.bothGapSum.data();
  const Matrix<unsigned char>& gapFlags = data_->gapFlags;
  const int block = 16;
  int t0 = 0;
  for (; t0 + block <= columns; t0 += block) {
    int g[block] = {};
    int b[block] = {};
    for (int s = 0; s < members; s++) {
      const unsigned char* flag = gapFlags[list[s]] + t0;  // flag[u + 1]: column t0 + u
      for (int u = 0; u < block; u++) {
        g[u] += flag[u + 1];
        b[u] += flag[u + 1] & flag[u];
      }
    }
    for (int u = 0; u < block; u++) {
      gaps[t0 + u] = g[u];
      bothGaps[t0 + u] = b[u];
    }
  }
  for (int t = t0; t < columns; t++) gaps[t] = bothGaps[t] = 0;
  for (int s = 0; s < members; s++) {
    const unsigned char* flag = gapFlags[list[s]];
    for (int t = t0; t < columns; t++) {
      gaps[t] += flag[t + 1];
      bothGaps[t] += flag[t + 1] & flag[t];
    }
  }
  int* tranCount = work_.tranCount.data();
  for (int t = 0; t < columns; t++) {
    const int gapsBefore = t > 0 ? gaps[t - 1] : 0;  // column 0 is entered from a residue
    const int residueToGap = gaps[t] - bothGaps[t];
    tranCount[t * 4 + 0] = members - gapsBefore - residueToGap;
    tranCount[t * 4 + 1] = residueToGap;
    tranCount[t * 4 + 2] = gapsBefore - bothGaps[t];
    tranCount[t * 4 + 3] = bothGaps[t];
  }

  double ll = 0;
  for (int t = 0; t < T; t++) {
    const int* tao = &tranCount[t * 4];
    const int* nu = tao + 2;
    const int* aa = &codeCount[t * width];
    if (tao[0] + tao[1] > 0) ll += work_.taoScorer.logIntegratedLik(tao);
    if (nu[0] + nu[1] > 0) ll += work_.nuScorer.logIntegratedLik(nu);
    if (members - aa[GAP] > 0) ll += residueFit(aa, t);
  }
  return ll;
}

namespace {
const int kStatsWidth = ProteinSequence::AA_KINDS + 1 + 4;
}  // namespace

int ProteinSequence::statsSize() const {
  if (scoring == ScoringMode::Reference) return 0;
  return T * kStatsWidth;
}

void ProteinSequence::addToStats(int i, int* stats, int sign) const {
  const uint8_t* row = sequence[i];
  for (int t = 0; t < T; t++) {
    int* column = stats + t * kStatsWidth;
    column[row[t]] += sign;
    const int toGap = row[t] == GAP;
    const int fromGap = t > 0 && row[t - 1] == GAP;  // column 0 is entered from a residue
    column[AA_KINDS + 1 + 2 * fromGap + toGap] += sign;
  }
}

double ProteinSequence::scoreStats(const int* stats, int members) const {
  if (members == 0) return 0;
  double ll = 0;
  for (int t = 0; t < T; t++) {
    const int* aa = stats + t * kStatsWidth;
    const int* tao = aa + AA_KINDS + 1;
    const int* nu = tao + 2;
    if (tao[0] + tao[1] > 0) ll += work_.taoScorer.logIntegratedLik(tao);
    if (nu[0] + nu[1] > 0) ll += work_.nuScorer.logIntegratedLik(nu);
    if (members - aa[GAP] > 0) ll += residueFit(aa, t);
  }
  return ll;
}

int ProteinSequence::columnStatsSize() const { return T * kStatsWidth; }

void ProteinSequence::columnTerms(const int* stats, int members, double* terms) const {
  for (int t = 0; t < T; t++) {
    const int* aa = stats + t * kStatsWidth;
    const int* tao = aa + AA_KINDS + 1;
    const int* nu = tao + 2;
    double term = 0;
    if (members > 0) {
      if (tao[0] + tao[1] > 0) term += work_.taoScorer.logIntegratedLik(tao);
      if (nu[0] + nu[1] > 0) term += work_.nuScorer.logIntegratedLik(nu);
      if (members - aa[GAP] > 0) term += residueFit(aa, t);
    }
    terms[t] = term;
  }
}

double ProteinSequence::distanceOver(int i1, int i2, int length, const int* positions) const {
  const uint8_t* a = sequence[i1];
  const uint8_t* b = sequence[i2];
  int diff = 0;
  int actual_length = 0;
  for (int s = 0; s < length; s++) {
    int t = positions ? positions[s] : s;
    if (a[t] != b[t]) diff++;
    if (a[t] != GAP || b[t] != GAP) actual_length++;
  }
  if (actual_length > 0) return static_cast<double>(diff) / actual_length;
  chainOut() << "LatentClass::pairwiseDistance(): actual length is 0.";
  return 1.0;
}

double ProteinSequence::pairwiseDistance(int i1, int i2) const {
  return distanceOver(i1, i2, T, nullptr);
}

double ProteinSequence::pairwiseDistance(int i1, int i2, int length,
                                         const int* positions) const {
  return distanceOver(i1, i2, length, positions);
}
