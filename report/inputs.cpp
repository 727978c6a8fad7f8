#include "report/inputs.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>

#include "formats/Draws.h"
#include "io/FileKind.h"
#include "io/MatrixReader.h"
#include "io/RunError.h"
#include "io/VisibleText.h"
#include "models/PriorStrings.h"
#include "models/ProteinSequence.h"

namespace report {

namespace {

const size_t kShownHeader = 200;  // bytes of a FASTA header the page shows

// The headers of an alignment in the reader's terms: the first line whatever it holds, then
// every line that starts with '>'.
std::vector<std::string> fastaHeaders(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  std::vector<std::string> headers;
  std::string line;
  for (bool first = true; std::getline(in, line); first = false) {
    if (!first && (line.empty() || line[0] != '>')) continue;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // Shown on the page: control bytes as escapes, a long header cut at a character's start.
    std::string header = visibleText(!line.empty() && line[0] == '>' ? line.substr(1) : line);
    if (header.size() > kShownHeader) {
      size_t cut = kShownHeader;
      while (cut > 0 && (static_cast<unsigned char>(header[cut]) & 0xc0) == 0x80) cut--;
      header = header.substr(0, cut) + "…";
    }
    headers.push_back(header);
  }
  return headers;
}

void checkLevels(const Data& data, const std::string& fileName) {
  for (int i = 0; i < data.n; i++)
    for (int t = 0; t < data.columns; t++) {
      const int v = data.cells[i][t];
      if (isMissing(v)) continue;
      if (v < 0 || (data.kind == DataKind::Binary && v > 1))
        throw ReportError("Bad " + std::string(kindName(data.kind)) + " " + fileName + ": row " +
                          std::to_string(i + 1) + ", column " + std::to_string(t + 1) + " holds " +
                          std::to_string(v));
    }
}

}  // namespace

std::string readTextFile(const std::string& fileName, size_t limit) {
  const std::string kind = notRegularFile(fileName);
  if (!kind.empty()) throw ReportError("Fail to read " + fileName + ": it " + kind + ", not a regular file");
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw ReportError("Fail to read " + fileName);
  std::string text;
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer).gcount() > 0) {
    text.append(buffer, static_cast<size_t>(in.gcount()));
    if (text.size() > limit)
      throw ReportError("Fail to read " + fileName + ": larger than " + std::to_string(limit) +
                        " bytes");
  }
  return text;
}

Data readData(const std::string& fileName, DataKind kind) {
  Data data;
  data.kind = kind;
  // The engine's readers end a run with their line (also on standard output) and a RunError;
  // here that line becomes the report's refusal.
  std::ostringstream log;
  try {
    if (kind == DataKind::Sequences) {
      std::istringstream prior(ProteinSequenceFlatPriorString);
      const ProteinSequence alignment(fileName, prior, log);
      data.n = alignment.n;
      data.columns = alignment.T;
      data.cells = alignment.sequence;
      data.names = fastaHeaders(fileName);
      data.names.resize(static_cast<size_t>(data.n));
    } else if (kind == DataKind::Real) {
      MatrixReader::readData<double>(fileName, data.n, data.columns, data.real, log, &data.missing);
    } else {
      MatrixReader::readData<int>(fileName, data.n, data.columns, data.cells, log, &data.missing);
      checkLevels(data, fileName);
    }
  } catch (const RunError& error) {
    throw ReportError(error.what());
  }
  return data;
}

std::vector<int> readEstimate(const std::string& fileName, int n, const std::string& dataFile) {
  std::vector<int> labels;
  try {
    labels = formats::parsePartition(readTextFile(fileName, 64 + 12 * static_cast<size_t>(n)));
  } catch (const formats::FormatError& error) {
    throw ReportError("Bad estimate " + fileName + ": " + error.what());
  }
  if (labels.size() != static_cast<size_t>(n))
    throw ReportError("Estimate " + fileName + " has " + std::to_string(labels.size()) +
                      " labels where " + dataFile + " has " + std::to_string(n) + " observations");
  // Labels in order of first appearance, as the summary writes them: cluster c is label c.
  int next = 0;
  for (int label : labels) {
    if (label > next)
      throw ReportError("Bad estimate " + fileName + ": label " + std::to_string(label) +
                        " before label " + std::to_string(next));
    if (label == next) next++;
  }
  return labels;
}

std::vector<double> readMembership(const std::string& fileName, int n) {
  const double unset = -1;
  std::vector<double> probability(static_cast<size_t>(n), unset);
  std::istringstream in(readTextFile(fileName, 4096 + 200 * static_cast<size_t>(n)));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string quantity, chain, item, value;
    if (!std::getline(fields, quantity, '\t') || quantity != "mate_probability") continue;
    std::getline(fields, chain, '\t');
    std::getline(fields, item, '\t');
    std::getline(fields, value, '\t');
    char* end = nullptr;
    const long index = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || index < 1 || index > n)
      throw ReportError("Bad summary table " + fileName + ": item " + item + " of " +
                        std::to_string(n) + " observations");
    double p = std::numeric_limits<double>::quiet_NaN();
    if (value != "NA") {
      p = std::strtod(value.c_str(), &end);
      if (value.empty() || *end != '\0' || !(p >= 0 && p <= 1))
        throw ReportError("Bad summary table " + fileName + ": probability " + value +
                          " of item " + item);
    }
    probability[static_cast<size_t>(index - 1)] = p;
  }
  for (int i = 0; i < n; i++)
    if (probability[static_cast<size_t>(i)] == unset)
      throw ReportError("Summary table " + fileName + " gives no mate_probability for item " +
                        std::to_string(i + 1));
  return probability;
}

}  // namespace report
