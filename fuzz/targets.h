// What each fuzz target does with one input: hand it to a reader and, when the reader accepts
// it, check what it built. A rejection (RunError) is an expected outcome; a crash, a sanitizer
// report or a failed check (abort) is a fault. Each returns true when the input was accepted.
// Shared by the libFuzzer entry points in fuzz/ and by the test that replays the corpus.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "models/Observable.h"
#include "sampler/PartitionSampler.h"
#include "io/Matrix.h"
#include "stats/MixtureDirichletRV.h"
#include "models/PriorStrings.h"
#include "io/RunError.h"
#include "io/DelimitedReader.h"
#include "io/MatrixReader.h"
#include "models/ProteinSequence.h"

namespace fuzzing {

// Swallows the readers' progress and error lines.
struct Discard : std::ostream {
  Discard() : std::ostream(nullptr) {}
};

inline void require(bool holds) {
  if (!holds) std::abort();
}

inline void writeFile(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  require(!out.fail());
}

template <class T>
bool readMatrixAs(const std::string& path, Matrix<T>& data) {
  Discard log;
  int rows = -1, columns = -1;
  try {
    MatrixReader::readData<T>(path, rows, columns, data, log);
  } catch (const RunError&) {
    return false;
  }
  require(rows > 0 && columns > 0);
  require(data.rows() == rows && data.cols() == columns);
  return true;
}

// The numeric matrix reader, as int (the report), as double (kmeans2, mclust2) and as bytes
// of 20 levels (HDGBern, ordinal). A file read as int must read as double too, to the same
// values, and as bytes: the same cells where they lie within the levels, and the first one
// outside noted in full.
inline bool matrixReader(const uint8_t* data, size_t size, const std::string& scratch) {
  writeFile(scratch, data, size);
  Matrix<int> asInt;
  Matrix<double> asDouble;
  Matrix<uint8_t> asBytes;
  const bool intRead = readMatrixAs<int>(scratch, asInt);
  const bool doubleRead = readMatrixAs<double>(scratch, asDouble);
  MatrixReader::Outside outside;
  bool byteRead = true;
  try {
    Discard log;
    int rows = -1, columns = -1;
    MatrixReader::readLevels(scratch, 20, rows, columns, asBytes, outside, log);
  } catch (const RunError&) {
    byteRead = false;
  }
  require(byteRead == intRead);
  if (intRead) {
    require(doubleRead && asDouble.rows() == asInt.rows() && asDouble.cols() == asInt.cols());
    require(asBytes.rows() == asInt.rows() && asBytes.cols() == asInt.cols());
    bool found = false;
    for (int i = 0; i < asInt.rows(); i++)
      for (int t = 0; t < asInt.cols(); t++) {
        const int value = asInt[i][t];
        require(asDouble[i][t] == value);
        if (value >= 0 && value < 20) {
          require(asBytes[i][t] == value);
        } else if (!found) {
          found = true;
          require(outside.found && outside.row == i + 1 && outside.column == t + 1 &&
                  outside.value == value);
        }
      }
    require(found == outside.found);
  }
  return doubleRead;
}

// The delimited-file reader: the first byte picks the options (separator, header, decimal
// commas), the rest is the file. An accepted table is rectangular, its matrix text splits back
// into its cells, and a row name written as a CSV field reads back as itself.
inline bool delimitedReader(const uint8_t* data, size_t size, const std::string&) {
  if (size == 0) return false;
  const char separators[] = {0, ',', '\t', ';', ' '};
  delimited::TableOptions options;
  options.separator = separators[data[0] % 5];
  options.header = static_cast<int>((data[0] / 5) % 3) - 1;
  options.decimalComma = (data[0] / 15) % 2 == 1;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  delimited::isPlainMatrix(text);
  delimited::DataTable table;
  try {
    table = delimited::readTable(text, "input", options);
  } catch (const delimited::TableError&) {
    return false;
  }
  const size_t rows = table.cells.size(), columns = table.cells.at(0).size();
  require(rows > 0 && columns > 0);
  require(table.columnNames.empty() || table.columnNames.size() == columns);
  require(table.rowNames.empty() || table.rowNames.size() == rows);
  for (const auto& list : {table.classColumns, table.leftOut})
    for (const delimited::TextColumn& column : list) require(column.values.size() == rows);
  for (const auto& row : table.cells) require(row.size() == columns);
  require(delimited::splitRecords(delimited::matrixText(table), ' ', "matrix") == table.cells);
  for (const std::string& name : table.rowNames) {
    if (name.empty() || name.front() == ' ' || name.front() == '\t' || name.back() == ' ' ||
        name.back() == '\t' || name.compare(0, 3, "\xEF\xBB\xBF") == 0)
      continue;
    const auto back = delimited::splitRecords(delimited::csvField(name) + "\n", ',', "name");
    require(back.size() == 1 && back[0].size() == 1 && back[0][0] == name);
  }
  return true;
}

// The FASTA reader, through the model that owns it; an accepted alignment is also scored.
inline bool fastaReader(const uint8_t* data, size_t size, const std::string& scratch) {
  writeFile(scratch, data, size);
  Discard log;
  std::stringstream prior(ProteinSequenceBgPriorString);
  try {
    ProteinSequence model(scratch, prior, log);
    require(model.n > 0 && model.T > 0);
    for (int i = 0; i < model.n; i++)
      for (int t = 0; t < model.T; t++)
        require(model.sequence[i][t] <= ProteinSequence::GAP);
    std::vector<int> together(model.n, 0);
    model.getClusterFit(together.data(), 0);
  } catch (const RunError&) {
    return false;
  }
  return true;
}

// A model whose scores depend only on cluster sizes: enough for the sampler to score a start.
class SizeModel : public Observable {
 public:
  explicit SizeModel(int observations) {
    n = observations;
    T = 1;
  }
  double getClusterFit(const int* z, int j) const override {
    int size = 0;
    for (int i = 0; i < n; i++) size += z[i] == j;
    return -0.5 * size;
  }
  double getClassificationLik(const int* z, int j) const override { return getClusterFit(z, j); }
  double getMixtureLik(const int*, int) const override { return 0; }
  std::unique_ptr<Observable> copyForChain() const override {
    return std::make_unique<SizeModel>(n);
  }
  double pairwiseDistance(int i1, int i2) const override { return i1 == i2 ? 0 : 1; }
  double pairwiseDistance(int i1, int i2, int, const int*) const override {
    return pairwiseDistance(i1, i2);
  }
};

// The start-partition reader. The first byte chooses n (1..8) and k (0, the open number of
// clusters, or 1..n); the rest is the file.
inline bool startPartitionReader(const uint8_t* data, size_t size, const std::string& scratch) {
  if (size == 0) return false;
  const int n = 1 + (data[0] & 7);
  const int k = (data[0] >> 3) % (n + 1);
  writeFile(scratch, data + 1, size - 1);
  SizeModel model(n);
  Discard log;
  PartitionSampler sampler(k, n, INTEGRATED, &model, 0.0, log, "OA");
  try {
    sampler.initZ(scratch);  // a non-empty name: read from the file
  } catch (const RunError&) {
    return false;
  }
  require(sampler.state.kold >= 1 && sampler.state.kold <= n);
  require(k == 0 || sampler.state.kold == k);
  int total = 0;
  for (int i = 0; i < n; i++)
    require(sampler.state.zold[i] >= 0 && sampler.state.zold[i] < sampler.state.kold);
  for (int j = 0; j < sampler.state.kold; j++) total += sampler.state.clusterSizes0[j];
  require(total == n);
  sampler.scorer.getTotalLik(sampler.state.zold.data(), sampler.state.kold);
  return true;
}

// The prior-text reader; an accepted prior is also evaluated once.
inline bool priorTextReader(const uint8_t* data, size_t size) {
  std::istringstream text(std::string(reinterpret_cast<const char*>(data), size));
  Discard log;
  try {
    MixtureDirichletRV prior(text, log);
    require(prior.dimension > 0 && prior.mixtureOrder > 0);
    require(prior.alpha.rows() == prior.mixtureOrder && prior.alpha.cols() == prior.dimension);
    require(static_cast<int>(prior.mixtureCoef.size()) == prior.mixtureOrder);
    std::vector<int> counts(prior.dimension, 1);
    prior.logIntegratedLik(counts.data());
  } catch (const RunError&) {
    return false;
  }
  return true;
}

}  // namespace fuzzing
