// The tree neighbourhood scores its candidates from pieces (the clusters of the partition and
// the two groups of each tree split) instead of writing every candidate out: its table must
// hold, bit for bit, what scoring each candidate partition from scratch gives.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>

#include "models/catalog.h"
#include "sampler/moves/TreeGuided.h"
#include "support/CaptureStdout.h"
#include "support/TempDir.h"
#include "support/TinyModel.h"

namespace {

struct Data {
  const char* model;
  const char* file;
  const char* text;
  const char* prior;  // the prior name of -p
};

const Data kData[] = {
    {"HDBern", "bin.dat",
     "0 1 1 0 1 0\n1 1 1 0 1 0\n0 1 1 0 0 0\n1 0 0 1 0 1\n1 0 0 1 1 1\n0 0 0 1 0 1\n"
     "1 1 0 1 0 0\n0 1 1 1 1 0\n",
     "point5"},
    {"mclust2", "real.dat",
     "0.1 0.3\n-0.4 0.2\n0.3 -0.1\n4.1 3.9\n3.7 4.4\n4.4 4.0\n-3.9 4.2\n-4.2 3.6\n", "1"},
    {"kmeans2", "real.dat",
     "0.1 0.3\n-0.4 0.2\n0.3 -0.1\n4.1 3.9\n3.7 4.4\n4.4 4.0\n-3.9 4.2\n-4.2 3.6\n", ""},
    {"ProteinSequence", "seq.fasta",
     ">a\nACDEFGHIKL-MN\n>b\nACDEYGHIKL-MN\n>c\nACDEFGHVKL--N\n>d\nPQRS-TVWYAACD\n"
     ">e\nPQRS-TVWYAGCD\n>f\nPQRSTTVWYAGCE\n>g\nPQRSTTVWYAGCE\n>h\nACDEYGHIKL-MQ\n",
     "cloud9"},
};

std::unique_ptr<Observable> build(const Data& data, const std::string& file) {
  std::string prior = data.prior;
  std::stringstream text;
  const ModelEntry* entry = findModel(data.model);
  EXPECT_TRUE(entry->writePriorText(prior, text));
  static std::ostringstream log;
  CaptureStdout quiet;
  return entry->make(file, text, log);
}

std::vector<double> treeTable(Observable& model, ScoringMode mode, const std::vector<int>& z,
                              int k, bool infmix, bool leaves) {
  NullStream log;
  PartitionSampler sampler(infmix ? 0 : k, model.n, INTEGRATED, &model, 0.0, log, "UX", mode);
  sampler.debug.enabled = false;
  TreeGuidedSplitMerge move(model.n, infmix, TreeMoveSettings{FlatProposal::Never, leaves, 0.9},
                            sampler.debug);
  move.useDistances(model, {});
  int size = 0;
  return move.treeNeighbourhood(sampler.scorer, z.data(), k, size);
}

TEST(TreePieces, TableEqualsScoringEachCandidateFromScratch) {
  const struct {
    std::vector<int> z;
    int k;
  } partitions[] = {
      {{0, 0, 0, 1, 1, 1, 2, 2}, 3},
      {{0, 1, 0, 1, 0, 1, 0, 1}, 2},
      {{0, 0, 0, 0, 0, 0, 0, 0}, 1},
      {{0, 1, 2, 0, 1, 2, 3, 3}, 4},
  };
  for (const Data& data : kData) {
    TempDir dir;
    dir.write(data.file, data.text);
    auto pieces = build(data, dir.file(data.file));
    auto scratch = build(data, dir.file(data.file));
    for (const auto& p : partitions)
      for (bool infmix : {true, false})
        for (bool leaves : {true, false}) {
          if (!infmix && p.k == 1) continue;
          SCOPED_TRACE(std::string(data.model) + " k=" + std::to_string(p.k) +
                       (infmix ? " open" : " fixed") + (leaves ? " leaves" : ""));
          const std::vector<double> got =
              treeTable(*pieces, ScoringMode::Exact, p.z, p.k, infmix, leaves);
          const std::vector<double> want =
              treeTable(*scratch, ScoringMode::Reference, p.z, p.k, infmix, leaves);
          ASSERT_EQ(got.size(), want.size());
          ASSERT_FALSE(got.empty());
          for (size_t d = 0; d < got.size(); d++)
            EXPECT_EQ(std::memcmp(&got[d], &want[d], sizeof got[d]), 0)
                << "entry " << d << ": " << got[d] << " against " << want[d];
        }
  }
}

// In the fast mode the real-valued models' tables come from moments: close, not equal.
TEST(TreePieces, FastModeTableAgreesToAbout1e12) {
  for (const Data& data : kData) {
    const std::string name = data.model;
    if (name != "mclust2" && name != "kmeans2") continue;
    TempDir dir;
    dir.write(data.file, data.text);
    auto fast = build(data, dir.file(data.file));
    auto scratch = build(data, dir.file(data.file));
    const std::vector<int> z = {0, 0, 0, 1, 1, 1, 2, 2};
    const std::vector<double> got = treeTable(*fast, ScoringMode::Fast, z, 3, true, true);
    const std::vector<double> want = treeTable(*scratch, ScoringMode::Reference, z, 3, true, true);
    ASSERT_EQ(got.size(), want.size());
    for (size_t d = 0; d < got.size(); d++)
      EXPECT_NEAR(got[d], want[d], 1e-12 * std::max(1.0, std::fabs(want[d]))) << name << " " << d;
  }
}

}  // namespace
