// Models that offer additive cluster statistics must score them exactly as getClusterFit
// scores the same members, whatever order the members were added and removed in.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>

#include "models/PriorStrings.h"
#include "models/HDBern.h"
#include "models/ProteinSequence.h"
#include "support/TempDir.h"

namespace {

void expectStatsMatchClusterFit(Observable& model, std::mt19937& random) {
  // The reference mode scores from scratch only: no statistics are offered.
  model.scoring = ScoringMode::Reference;
  EXPECT_EQ(model.statsSize(), 0);
  model.scoring = ScoringMode::Exact;
  const int size = model.statsSize();
  ASSERT_GT(size, 0);
  std::vector<int> z(model.n);
  std::vector<int> stats(size);
  for (int trial = 0; trial < 200; trial++) {
    std::fill(stats.begin(), stats.end(), 0);
    int members = 0;
    for (int i = 0; i < model.n; i++) {
      z[i] = random() % 3 == 0 ? 1 : 0;
      if (z[i] == 1) {
        model.addToStats(i, stats.data(), +1);
        members++;
      }
    }
    // Add a non-member and take it out again: statistics must return to the same counts.
    int extra = 0;
    while (extra < model.n - 1 && z[extra] == 1) extra++;
    if (z[extra] == 0) {
      model.addToStats(extra, stats.data(), +1);
      model.addToStats(extra, stats.data(), -1);
    }
    double expected = model.getClusterFit(z.data(), 1);
    double got = model.scoreStats(stats.data(), members);
    ASSERT_EQ(std::memcmp(&expected, &got, sizeof got), 0) << expected << " vs " << got;
  }
}

TEST(ClusterStats, HDBernAndHDGBern) {
  std::mt19937 random(11);
  TempDir dir;
  std::ostringstream binary, categorical;
  for (int i = 0; i < 40; i++) {
    for (int t = 0; t < 23; t++) {
      binary << random() % 2 << ' ';
      categorical << random() % 20 << ' ';
    }
    binary << '\n';
    categorical << '\n';
  }
  dir.write("b.dat", binary.str());
  dir.write("c.dat", categorical.str());
  std::ostringstream log;
  for (const char* prior : {HDBernFlatPriorString, HDBernPoint05PriorString}) {
    std::stringstream text(prior);
    HDBern model(dir.file("b.dat"), text, log, 2.5);
    expectStatsMatchClusterFit(model, random);
  }
  std::stringstream text(
      "1 20\n1\n0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 ");
  HDGBern model(dir.file("c.dat"), text, log, 1.0);
  expectStatsMatchClusterFit(model, random);
}

TEST(ClusterStats, ProteinSequence) {
  std::mt19937 random(12);
  const std::string residues = "ACDEFGHIKLMNPQRSTVWY---";
  std::ostringstream fasta;
  for (int i = 0; i < 30; i++) {
    fasta << ">s" << i << '\n';
    for (int t = 0; t < 37; t++) fasta << residues[random() % residues.size()];
    fasta << '\n';
  }
  TempDir dir;
  dir.write("p.fasta", fasta.str());
  std::ostringstream log;
  for (const char* prior : {ProteinSequenceBgPriorString, ProteinSequenceCloud9PriorString}) {
    std::stringstream text(prior);
    ProteinSequence model(dir.file("p.fasta"), text, log);
    expectStatsMatchClusterFit(model, random);
  }
}

}  // namespace
