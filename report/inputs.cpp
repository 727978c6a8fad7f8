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

// A name as the page shows it: control bytes as escapes, cut at a character's start.
std::string shownName(const std::string& name) {
  std::string text = visibleText(name);
  if (text.size() > kShownHeader) {
    size_t cut = kShownHeader;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xc0) == 0x80) cut--;
    text = text.substr(0, cut) + "…";
  }
  return text;
}

// The headers of an alignment in the reader's terms: the first line whatever it holds, then
// every line that starts with '>'.
std::vector<std::string> fastaHeaders(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  std::vector<std::string> headers;
  std::string line;
  for (bool first = true; std::getline(in, line); first = false) {
    if (!first && (line.empty() || line[0] != '>')) continue;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    headers.push_back(shownName(!line.empty() && line[0] == '>' ? line.substr(1) : line));
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
      data.cells = Matrix<int>(data.n, data.columns);
      for (int i = 0; i < data.n; i++)
        for (int t = 0; t < data.columns; t++) data.cells[i][t] = alignment.sequence[i][t];
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

void setNames(Data& data, const std::vector<std::string>& rowNames, const std::vector<std::string>& columnNames) {
  const auto shown = [](const std::vector<std::string>& names, int count, const char* what) {
    if (names.size() != static_cast<size_t>(count))
      throw ReportError(std::to_string(names.size()) + " " + what + " names where the data have " +
                        std::to_string(count));
    std::vector<std::string> out;
    for (const std::string& name : names) out.push_back(shownName(name));
    return out;
  };
  if (!rowNames.empty()) data.names = shown(rowNames, data.n, "row");
  if (!columnNames.empty()) data.columnNames = shown(columnNames, data.columns, "column");
}

std::vector<int> checkedEstimate(const std::vector<int>& labels, int n, const std::string& dataFile) {
  if (labels.size() != static_cast<size_t>(n))
    throw ReportError("Estimate has " + std::to_string(labels.size()) + " labels where " +
                      visibleText(dataFile) + " has " + std::to_string(n) + " observations");
  // Labels in order of first appearance, as the summary makes them: cluster c is label c.
  int next = 0;
  for (int label : labels) {
    if (label < 0 || label > next)
      throw ReportError("Bad estimate: label " + std::to_string(label) + " before label " +
                        std::to_string(next));
    if (label == next) next++;
  }
  return labels;
}

std::vector<double> checkedMembership(const std::vector<double>& membership, int n) {
  if (membership.size() != static_cast<size_t>(n))
    throw ReportError("Membership probabilities for " + std::to_string(membership.size()) +
                      " observations where the data have " + std::to_string(n));
  for (size_t i = 0; i < membership.size(); i++)
    if (!std::isnan(membership[i]) && !(membership[i] >= 0 && membership[i] <= 1))
      throw ReportError("Bad membership probability of observation " + std::to_string(i + 1) + ": " +
                        std::to_string(membership[i]));
  return membership;
}

}  // namespace report
