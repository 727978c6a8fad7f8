// vornak-fit with engine letters that change the recommendation or that the engine refuses:
// the refusal is the engine's own line before any chain or folder exists, and a changed model
// runs with its own settings.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "support/TempDir.h"
#include "support/run_exe.h"

namespace {

namespace fs = std::filesystem;

std::set<std::string> entries(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

TEST(FitRecommend, RefusedSettingsAreOneLineBeforeTheChains) {
  struct {
    const char* name;
    std::vector<std::string> args;
    const char* line;  // the whole line after "vornak-fit: "
  } cases[] = {
      {"k that reads as absent", {"real.dat", "-k", "-1"},
       "k must be 0 or a number of clusters from 1 to 32767: -1"},
      {"a sequence model on a matrix", {"real.dat", "-m", "ProteinSequence"},
       "-m ProteinSequence reads a FASTA alignment, but the data are a real matrix: ProteinSequence"},
      {"a matrix model on an alignment", {"seqs.fasta", "-m", "mclust2"},
       "-m mclust2 reads a real matrix, but the data are a FASTA alignment: mclust2"},
      {"0/1 model on levels", {"levels.dat", "-m", "HDBern"},
       "-m HDBern reads a matrix of 0 and 1, but the data are a matrix of whole numbers 0 to 19: HDBern"},
      {"a prior on alpha with a fixed k", {"binary.dat", "-k", "3", "-A", "2,1"},
       "-A puts a prior on alpha of the Dirichlet process and needs -k 0: 3"},
  };
  for (const auto& c : cases) {
    TempDir temp;
    temp.write("real.dat", "0.5 1.5\n2.5 3\n1 2\n");
    temp.write("levels.dat", "0 3\n2 1\n1 1\n");
    temp.write("binary.dat", "0 1\n1 0\n1 1\n");
    temp.write("seqs.fasta", ">a\nACD\n>b\nACE\n");
    const std::set<std::string> before = entries(temp.path);
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--minutes", "0.2"});
    const ExeResult result = runExe(args, temp.path, VORNAK_FIT_EXE);
    EXPECT_EQ(result.status, 255) << c.name;
    EXPECT_EQ(result.out, "") << c.name;
    // The engine's lines carry its "main(). " prefix.
    const std::string err = result.err;
    EXPECT_EQ(err.rfind("vornak-fit: ", 0), 0u) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    EXPECT_NE(err.find(c.line), std::string::npos) << c.name << ": " << err;
    EXPECT_EQ(entries(temp.path), before) << c.name;
  }
}

TEST(FitRecommend, AChangedModelRunsWithItsOwnPrior) {
  TempDir temp;
  // Two groups of 0/1 rows.
  std::string rows;
  for (int i = 0; i < 12; i++) rows += i < 6 ? "1 1 0 1\n" : "0 0 1 0\n";
  temp.write("votes.dat", rows);
  const ExeResult result = runExe({"votes.dat", "-m", "mclust2", "--chains", "2", "--minutes", "0.05"},
                                  temp.path, VORNAK_FIT_EXE);
  ASSERT_EQ(result.status, 0) << result.err;
  // mclust2's own prior 1 and -x, no heated chains (HDBern's -p flat -T 4 are gone).
  bool found = false;
  for (const auto& entry : fs::directory_iterator(temp.file("votes"))) {
    const std::string name = entry.path().filename().string();
    if (name.size() < 6 || name.substr(name.size() - 6) != ".draws") continue;
    found = true;
    EXPECT_EQ(name.rfind("votes_k0_OA_p1_a0_t2_s", 0), 0u) << name;
    EXPECT_EQ(name.find("_T"), std::string::npos) << name;
    EXPECT_NE(name.find("_x.draws"), std::string::npos) << name;
  }
  EXPECT_TRUE(found);
}

}  // namespace
