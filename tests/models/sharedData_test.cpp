// Copies of a model for more chains (Observable::copyForChain): every copy shares the one data
// object read from the file (the file may be gone), writes no message, and gives the
// original's doubles bit for bit in every scoring mode and criterion; two copies used from two
// threads at once give what they give one after the other. Run under ThreadSanitizer, the
// threaded case also shows that nothing shared is written while scoring.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "models/HDBern.h"
#include "models/ProteinSequence.h"
#include "models/catalog.h"
#include "models/kmeans2.h"
#include "models/mclust2.h"
#include "models/mvn.h"
#include "tests/models/model_test_util.h"

namespace {

using modeltest::TempDir;

// Collects standard output and standard error while alive.
class CaptureConsole {
 public:
  CaptureConsole()
      : out_(std::cout.rdbuf(outText_.rdbuf())), err_(std::cerr.rdbuf(errText_.rdbuf())) {}
  ~CaptureConsole() {
    std::cout.rdbuf(out_);
    std::cerr.rdbuf(err_);
  }
  std::string text() const { return outText_.str() + errText_.str(); }

 private:
  std::ostringstream outText_, errText_;
  std::streambuf* out_;
  std::streambuf* err_;
};

std::string randomMatrix(std::mt19937& rng, int rows, int columns, int levels, bool missing) {
  std::ostringstream text;
  for (int i = 0; i < rows; i++) {
    for (int t = 0; t < columns; t++) {
      const int group = i % 3;
      const int value = static_cast<int>((rng() % 4 == 0 ? rng() : group + t) % levels);
      text << (t ? " " : "") << (missing && rng() % 9 == 0 ? std::string("NA")
                                                            : std::to_string(value));
    }
    text << '\n';
  }
  return text.str();
}

// Three groups; the second column spreads far wider than the first (the spread warning).
std::string realMatrix(std::mt19937& rng, int rows, int columns, bool missing) {
  std::normal_distribution<double> noise(0.0, 1.0);
  std::ostringstream text;
  text.precision(6);
  for (int i = 0; i < rows; i++) {
    for (int t = 0; t < columns; t++) {
      const double value = (i % 3) * 2.5 + noise(rng) * (t == 1 ? 400 : 1);
      text << (t ? " " : "");
      if (missing && rng() % 8 == 0)
        text << "NA";
      else
        text << value;
    }
    text << '\n';
  }
  return text.str();
}

std::string randomAlignment(std::mt19937& rng, int rows, int columns) {
  const char* letters = "ACDEFGHIKLMNPQRSTVWY-";
  std::ostringstream text;
  for (int i = 0; i < rows; i++) {
    text << ">s" << i << '\n';
    for (int t = 0; t < columns; t++)
      text << letters[rng() % 3 == 0 ? rng() % 21 : (i % 3 + t) % 21];
    // A residue in the last column: no two rows are gaps throughout.
    text << "A\n";
  }
  return text.str();
}

struct ModelCase {
  std::string name;
  std::string model;  // as -m names it
  std::string prior;  // as -p names it
  std::string data;
  std::string file;
};

std::vector<ModelCase> modelCases() {
  std::mt19937 rng(2027);
  return {
      {"ProteinSequence bg", "ProteinSequence", "bg", randomAlignment(rng, 14, 23), "p.fasta"},
      {"HDBern flat", "HDBern", "flat", randomMatrix(rng, 15, 37, 2, false), "b.txt"},
      {"HDBern levels", "HDBern", "levels", randomMatrix(rng, 15, 9, 2, false), "b.txt"},
      {"HDBern NA", "HDBern", "point05", randomMatrix(rng, 15, 9, 2, true), "b.txt"},
      {"HDGBern point5", "HDGBern", "point5", randomMatrix(rng, 15, 7, 20, false), "g.txt"},
      {"HDGBern levels NA", "HDGBern", "levels", randomMatrix(rng, 15, 7, 20, true), "g.txt"},
      {"kmeans2", "kmeans2", "", realMatrix(rng, 15, 3, false), "r.txt"},
      {"kmeans2 NA", "kmeans2", "", realMatrix(rng, 15, 3, true), "r.txt"},
      {"mclust2", "mclust2", "1", realMatrix(rng, 15, 3, false), "r.txt"},
      {"mclust2 NA", "mclust2", "2", realMatrix(rng, 15, 3, true), "r.txt"},
      {"mvn", "mvn", "1", realMatrix(rng, 15, 3, false), "r.txt"},
  };
}

std::unique_ptr<Observable> buildModel(const ModelCase& c, const std::string& file,
                                       std::ostream& log) {
  const ModelEntry* entry = findModel(c.model);
  std::string prior = c.prior;
  std::stringstream priorText;
  if (!entry || !entry->writePriorText(prior, priorText)) return nullptr;
  CaptureConsole quiet;  // the readers report on standard output
  return entry->make(file, priorText, log);
}

// The address of the data object a model reads, whatever its kind.
const void* sharedData(const Observable& model) {
  if (auto* m = dynamic_cast<const ProteinSequence*>(&model)) return &m->shared();
  if (auto* m = dynamic_cast<const HDBern*>(&model)) return &m->shared();
  if (auto* m = dynamic_cast<const HDGBern*>(&model)) return &m->shared();
  if (auto* m = dynamic_cast<const kmeans2*>(&model)) return &m->shared();
  if (auto* m = dynamic_cast<const mclust2*>(&model)) return &m->shared();
  if (auto* m = dynamic_cast<const mvn*>(&model)) return &m->shared();
  return nullptr;
}

std::vector<std::vector<int>> labellings(int n, unsigned seed, int howMany) {
  std::mt19937 rng(seed);
  std::vector<std::vector<int>> all = {std::vector<int>(n, 0)};
  while (static_cast<int>(all.size()) < howMany) {
    const int k = 1 + static_cast<int>(rng() % 5);
    std::vector<int> z(n);
    for (int& label : z) label = static_cast<int>(rng() % k);
    all.push_back(z);
  }
  return all;
}

// Every number the sampler can ask of the model for these labellings, in one list: cluster
// fits, the optional criteria, scores from additive statistics, member lists and moments,
// column terms and distances.
std::vector<double> everyScore(const Observable& model, const ModelEntry& entry,
                               const std::vector<std::vector<int>>& zs) {
  std::vector<double> out;
  const int n = model.n;
  std::vector<int> stats(static_cast<size_t>(std::max(model.statsSize(),
                                                      model.columnStatsSize())));
  std::vector<double> moments(static_cast<size_t>(model.momentsSize()));
  std::vector<double> terms(model.T);
  std::vector<int> members;
  for (const std::vector<int>& z : zs) {
    int k = 0;
    for (int label : z) k = std::max(k, label + 1);
    for (int j = 0; j <= k; j++) {
      out.push_back(model.getClusterFit(z.data(), j));
      if (entry.supports(CLASSIFICATION)) out.push_back(model.getClassificationLik(z.data(), j));
      members.clear();
      std::fill(stats.begin(), stats.end(), 0);
      std::fill(moments.begin(), moments.end(), 0.0);
      for (int i = 0; i < n; i++) {
        if (z[i] != j) continue;
        members.push_back(i);
        if (!stats.empty()) model.addToStats(i, stats.data(), +1);
        if (!moments.empty()) model.addToMoments(i, moments.data(), +1);
      }
      const int size = static_cast<int>(members.size());
      if (model.statsSize() > 0) out.push_back(model.scoreStats(stats.data(), size));
      if (model.momentsSize() > 0) out.push_back(model.scoreMoments(moments.data(), size));
      if (model.scoresMemberLists()) out.push_back(model.scoreMembers(members.data(), size));
      if (model.columnStatsSize() > 0) {
        model.columnTerms(stats.data(), size, terms.data());
        out.insert(out.end(), terms.begin(), terms.end());
      }
    }
    if (entry.supports(MIXTURE)) out.push_back(model.getMixtureLik(z.data(), k));
  }
  const int positions[2] = {model.T - 1, 0};
  for (int i = 1; i < n; i++) {
    out.push_back(model.pairwiseDistance(0, i));
    out.push_back(model.pairwiseDistance(i - 1, i, 2, positions));
  }
  return out;
}

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

const ScoringMode kModes[] = {ScoringMode::Reference, ScoringMode::Exact, ScoringMode::Fast};

TEST(SharedData, CopiesShareTheDataReadOnceAndScoreTheSame) {
  for (const ModelCase& c : modelCases()) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string file = dir.write(c.file, c.data);
    std::ostringstream log;
    std::unique_ptr<Observable> model = buildModel(c, file, log);
    ASSERT_TRUE(model);
    const std::string logBefore = log.str();
    // No copy can read the data again.
    ASSERT_EQ(std::remove(file.c_str()), 0);
    std::unique_ptr<Observable> copy, copyOfCopy;
    {
      CaptureConsole console;
      copy = model->copyForChain();
      copyOfCopy = copy->copyForChain();
      EXPECT_EQ(console.text(), "");
    }
    EXPECT_EQ(log.str(), logBefore);
    ASSERT_NE(sharedData(*model), nullptr);
    EXPECT_EQ(sharedData(*copy), sharedData(*model));
    EXPECT_EQ(sharedData(*copyOfCopy), sharedData(*model));
    EXPECT_NE(copy.get(), model.get());
    EXPECT_EQ(copy->n, model->n);
    EXPECT_EQ(copy->T, model->T);
    EXPECT_EQ(copy->scale, model->scale);
    EXPECT_GT(copy->workspaceBytes(), 0u);

    const ModelEntry& entry = *findModel(c.model);
    const auto zs = labellings(model->n, 11, 12);
    for (ScoringMode mode : kModes) {
      SCOPED_TRACE(static_cast<int>(mode));
      model->scoring = mode;
      // A copy keeps the scoring mode it was made with.
      std::unique_ptr<Observable> fresh = model->copyForChain();
      EXPECT_EQ(fresh->scoring, mode);
      copy->scoring = copyOfCopy->scoring = mode;
      const std::vector<double> expected = everyScore(*model, entry, zs);
      EXPECT_TRUE(sameBits(everyScore(*fresh, entry, zs), expected));
      EXPECT_TRUE(sameBits(everyScore(*copy, entry, zs), expected));
      EXPECT_TRUE(sameBits(everyScore(*copyOfCopy, entry, zs), expected));
    }
    // The data lives as long as any copy does.
    const std::vector<double> expected = everyScore(*copy, entry, zs);
    model.reset();
    copy.reset();
    EXPECT_TRUE(sameBits(everyScore(*copyOfCopy, entry, zs), expected));
  }
}

// Each copy is one chain's: two used at once from two threads, over different labellings,
// give their sequential results. Repeated, so that the two overlap on a busy machine too.
TEST(SharedData, CopiesScoreFromTwoThreadsAsOneAfterTheOther) {
  for (const ModelCase& c : modelCases()) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::ostringstream log;
    std::unique_ptr<Observable> model = buildModel(c, dir.write(c.file, c.data), log);
    ASSERT_TRUE(model);
    const ModelEntry& entry = *findModel(c.model);
    for (ScoringMode mode : kModes) {
      SCOPED_TRACE(static_cast<int>(mode));
      model->scoring = mode;
      const auto first = labellings(model->n, 21, 30);
      const auto second = labellings(model->n, 22, 30);
      const std::vector<double> expectFirst = everyScore(*model, entry, first);
      const std::vector<double> expectSecond = everyScore(*model, entry, second);
      for (int round = 0; round < 3; round++) {
        std::unique_ptr<Observable> a = model->copyForChain(), b = model->copyForChain();
        std::vector<double> gotFirst, gotSecond;
        std::thread other([&] { gotSecond = everyScore(*b, entry, second); });
        gotFirst = everyScore(*a, entry, first);
        other.join();
        EXPECT_TRUE(sameBits(gotFirst, expectFirst));
        EXPECT_TRUE(sameBits(gotSecond, expectSecond));
      }
    }
  }
}

}  // namespace
