// The protein alignment model: the FASTA reader, residue and transition counts, the cluster
// score, the distances and the operations it does not offer.
#include "models/ProteinSequence.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "models/PriorStrings.h"
#include "tests/models/model_test_util.h"

namespace {

using modeltest::CaptureStdout;
using modeltest::TempDir;

// Codes written as letters: residue code c as "ACDEFGHIKLMNPQRSTVWY"[c], the gap as '-'.
std::string asLetters(const ProteinSequence& model, int i) {
  std::string row;
  for (int t = 0; t < model.T; t++) row += "ACDEFGHIKLMNPQRSTVWY-"[model.sequence[i][t]];
  return row;
}

std::unique_ptr<ProteinSequence> build(const std::string& file, std::ostream& log,
                                       const char* prior = ProteinSequenceFlatPriorString) {
  std::stringstream priorStream(prior);
  return std::make_unique<ProteinSequence>(file, priorStream, log);
}

TEST(ProteinSequence, ReadsFastaFiles) {
  struct Case {
    const char* name;
    std::string content;
    std::vector<std::string> rows;
  };
  const Case cases[] = {
      {"two sequences", ">s1 first\nACDE\n>s2\nFGHI\n", {"ACDE", "FGHI"}},
      {"first line dropped even when not a header", "KLMN\nPQRS\n", {"PQRS"}},
      {"header texts do not matter", ">\nAC\n>>x y\nWY\n>\nVV\n", {"AC", "WY", "VV"}},
      {"split lines joined, blank lines ignored", ">a\nAC\n\nDE\n>b\nFG\nHI\n\n", {"ACDE", "FGHI"}},
      {"carriage returns before line feeds dropped",
       ">a\r\nAC\r\nDE\r\n>b\r\nFGHI\r\n\r\n",
       {"ACDE", "FGHI"}},
      {"lower case read as upper case", ">a\nacdefghiklmnpqrstvwy\n", {"ACDEFGHIKLMNPQRSTVWY"}},
      {"gaps and unknown characters", ">a\nX.-*B9Zw\n", {"AA--AAAW"}},
      {"a blank inside a line is a character", ">a\nC D\n>b\nCCC\n", {"CAD", "CCC"}},
      {"a last line without a line break still counts", ">a\nCD\n>b\nE\nF", {"CD", "EF"}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string file = dir.write("in.fasta", c.content);
    std::ostringstream log;
    auto model = build(file, log);
    EXPECT_EQ(log.str(), "  read " + file + "\n");
    ASSERT_EQ(model->n, static_cast<int>(c.rows.size()));
    ASSERT_EQ(model->T, static_cast<int>(c.rows[0].size()));
    for (int i = 0; i < model->n; i++) EXPECT_EQ(asLetters(*model, i), c.rows[i]);
  }
}

TEST(ProteinSequence, ResidueCodes) {
  const std::string order = "ACDEFGHIKLMNPQRSTVWY";
  for (int code = 0; code < 20; code++) {
    EXPECT_EQ(ProteinSequence::residueCode(order[code]), code);
    EXPECT_EQ(ProteinSequence::residueCode(static_cast<char>(order[code] - 'A' + 'a')), code);
  }
  for (char c : {'-', '*'}) EXPECT_EQ(ProteinSequence::residueCode(c), 20);
  for (char c : {'B', 'J', 'O', 'U', 'X', 'Z', 'x', '.', ' ', '0', '\t', '\xe9'})
    EXPECT_EQ(ProteinSequence::residueCode(c), 0);
}

TEST(ProteinSequence, RejectsBadFastaFiles) {
  TempDir dir;
  struct Case {
    std::string content;
    std::string why;
  };
  const Case cases[] = {
      {"", "no sequence"},
      {">only a header\n", "no sequence"},
      {">a\n\n>b\n\n", "no sequence"},
      {">a\n>b\nACD\n", "sequence 1 has no characters"},
      {">a\nACDE\n>b\nACDE\n>c\nAC\n>d\nACDE\n",
       "sequence 3 has 2 characters where the first has 4"},
      {">a\nACDE\n>b\nAC\nD\n", "sequence 2 has 3 characters where the first has 4"},
      {">a\nACDE\n>b\n", "sequence 2 has 0 characters where the first has 4"},
      // Longer sequences are refused too: cutting them would drop data silently.
      {">a\nACDE\n>b\nACDEF\n", "sequence 2 has 5 characters where the first has 4"},
      {">a\nACDE\n>b\nAC\nD", "sequence 2 has 3 characters where the first has 4"},
      {">a\nACDE\n>b", "sequence 2 has 0 characters where the first has 4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    std::string file = dir.write("bad.fasta", c.content);
    std::string line = "Bad FASTA file " + file + ": " + c.why;
    std::ostringstream log;
    std::string out = modeltest::expectRunError([&] { build(file, log); }, line);
    EXPECT_EQ(log.str(), "  read " + file + "\n" + line + "\n");
    EXPECT_EQ(out, line + "\n");
  }

  std::ostringstream log;
  std::string missing = dir.path("missing.fasta");
  modeltest::expectRunError([&] { build(missing, log); }, "Fail to read " + missing);

  std::string good = dir.write("good.fasta", ">a\nAC\n");
  modeltest::expectRunError([&] { build(good, log, HDBernFlatPriorString); },
                            "Bad prior text: ProteinSequence needs 20 categories, not 2");
}

TEST(ProteinSequence, NamesFromHeaders) {
  TempDir dir;
  std::string file = dir.write("n.fasta", ">seq1 some text\nACDD\n>seq2\r\nAD\nEE\n>  x\nCCCC\n");
  std::ostringstream log;
  auto model = build(file, log);
  std::vector<std::string> names{"kept"};
  model->readSeqNamesFromFasta(file.c_str(), names);
  EXPECT_EQ(names, (std::vector<std::string>{"kept", "seq1", "seq2", ""}));
  // A byte-order mark before the first header is no part of its name, nor a sequence.
  std::string marked = dir.write("bom.fasta", "\xEF\xBB\xBF>seq1 x\nACDD\n>seq2\nADEE\n");
  auto withMark = build(marked, log);
  EXPECT_EQ(withMark->n, 2);
  std::vector<std::string> markedNames;
  withMark->readSeqNamesFromFasta(marked.c_str(), markedNames);
  EXPECT_EQ(markedNames, (std::vector<std::string>{"seq1", "seq2"}));
}

TEST(ProteinSequence, TransitionCounts) {
  TempDir dir;
  // Member: residues at columns 0 and 1, a gap at 2, a residue at 3; the other row is no member.
  std::string file = dir.write("t.fasta", ">a\nAC-D\n>b\n--A-\n");
  std::ostringstream log;
  auto model = build(file, log);
  const int z[2] = {0, 1};
  std::vector<int> tao(8, -1), nu(8, -1), aa(80, -1);
  model->getTranCount(z, 0, tao.data(), nu.data());
  EXPECT_EQ(tao, (std::vector<int>{1, 0, 1, 0, 0, 1, 0, 0}));
  EXPECT_EQ(nu, (std::vector<int>{0, 0, 0, 0, 0, 0, 1, 0}));
  EXPECT_EQ(model->getAAcount(z, 0, aa.data()), 1);
  std::vector<int> expectedAA(80, 0);
  expectedAA[0 * 20 + 0] = 1;  // A
  expectedAA[1 * 20 + 1] = 1;  // C
  expectedAA[3 * 20 + 2] = 1;  // D
  EXPECT_EQ(aa, expectedAA);

  // Row b: column 0 is a gap entered from a residue, then gap->gap, gap->residue, residue->gap.
  model->getTranCount(z, 1, tao.data(), nu.data());
  EXPECT_EQ(tao, (std::vector<int>{0, 1, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(nu, (std::vector<int>{0, 0, 0, 1, 1, 0, 0, 0}));
}

TEST(ProteinSequence, ClusterFit) {
  TempDir dir;
  std::string file = dir.write("f.fasta", ">a\nA-\n>b\nCC\n");
  std::ostringstream log;
  auto model = build(file, log);
  // Column 0 from a residue into a residue, A under the flat prior, column 1 residue to gap.
  const double oneSequence =
      std::log(0.7939 / 0.8074) + std::log(1.0 / 20) + std::log(0.0135 / 0.8074);
  struct Case {
    std::vector<int> z;
    int j;
    double expected;
  };
  const Case cases[] = {
      {{0, 1}, 0, -7.103723},
      {{0, 1}, 0, oneSequence},
      {{1, 0}, 1, oneSequence},
      {{0, 0}, 1, 0.0},  // empty label
      {{2, 2}, 0, 0.0},
      // Both rows: column 0 tao (2,0), residues A and C; column 1 tao (1,1), residue C.
      {{0, 0},
       0,
       std::log(0.7939 / 0.8074 * 1.7939 / 1.8074) + std::log(1.0 / 20 * 1.0 / 21) +
           std::log(0.7939 / 0.8074 * 0.0135 / 1.8074) + std::log(1.0 / 20)},
  };
  for (const Case& c : cases) EXPECT_NEAR(model->getClusterFit(c.z.data(), c.j), c.expected, 1e-6);

  // The background prior: a single residue scores its own share of the parameters.
  std::ostringstream log2;
  auto bg = build(file, log2, ProteinSequenceBgPriorString);
  const int z[2] = {1, 0};
  EXPECT_NEAR(bg->getClusterFit(z, 0), std::log(0.7939 / 0.8074) * 2 + std::log(0.017 / 0.999) * 2,
              1e-9);
}

TEST(ProteinSequence, Distances) {
  TempDir dir;
  std::string file = dir.write("d.fasta", ">0\nAC-\n>1\nAD-\n>2\n---\n>3\nA--\n>4\n-A-\n");
  std::ostringstream log;
  auto model = build(file, log);
  const std::string message = "LatentClass::pairwiseDistance(): actual length is 0.";
  struct Case {
    int i1, i2;
    std::vector<int> positions;  // empty: all columns
    double expected;
    bool printed;
  };
  const Case cases[] = {
      {0, 1, {}, 0.5, false},  // diff 1 over 2 columns
      {0, 0, {}, 0.0, false},
      {2, 2, {}, 1.0, true},       // only gaps
      {3, 4, {0, 1}, 1.0, false},  // A- against -A
      {0, 1, {2}, 1.0, true},      // the one chosen column is a gap in both
      {0, 1, {1, 0}, 0.5, false},
      {0, 3, {2, 1}, 1.0, false},  // C against a gap counts as different
      {0, 2, {}, 1.0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.i1) + "," + std::to_string(c.i2));
    CaptureStdout out;
    double d = c.positions.empty()
                   ? model->pairwiseDistance(c.i1, c.i2)
                   : model->pairwiseDistance(c.i1, c.i2, static_cast<int>(c.positions.size()),
                                             c.positions.data());
    EXPECT_DOUBLE_EQ(d, c.expected);
    EXPECT_EQ(out.text(), c.printed ? message : "");
  }
}

TEST(ProteinSequence, DistanceOverDrawnPositions) {
  TempDir dir;
  // T = 3 draws one position; row 1 is a gap everywhere, so its own distance is 1.0.
  std::string file = dir.write("r.fasta", ">0\nACD\n>1\n---\n");
  std::ostringstream log;
  auto model = build(file, log);
  std::vector<int> positions;
  model->drawDistancePositions(positions);
  ASSERT_EQ(positions.size(), 1u);
  auto distance = [&](int i1, int i2) {
    return model->pairwiseDistance(i1, i2, 1, positions.data());
  };
  CaptureStdout out;
  EXPECT_EQ(distance(0, 0), 0.0);
  EXPECT_EQ(distance(0, 1), 1.0);
  EXPECT_EQ(distance(1, 0), 1.0);
  EXPECT_EQ(distance(1, 1), 1.0);
  EXPECT_EQ(out.text(), "LatentClass::pairwiseDistance(): actual length is 0.");
}

}  // namespace
