// Exhaustive enumeration: the log lists the partitions, the .save file their scores in the
// same order, one per line with ten significant digits.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "sampler/PartitionSampler.h"
#include "io/RunError.h"
#include "support/TinyModel.h"

namespace {

// Classification score of a cluster: (sum of (member index + 1))^2 / 3, so partition
// scores are easy to work out by hand and need all ten digits.
class SquareModel : public Observable {
 public:
  explicit SquareModel(int items) { n = items; T = 1; }
  std::unique_ptr<Observable> copyForChain() const override {
    return std::make_unique<SquareModel>(n);
  }
  double getClusterFit(const int* z, int j) const override { return getClassificationLik(z, j); }
  double getClassificationLik(const int* z, int j) const override {
    int sum = 0;
    for (int i = 0; i < n; i++)
      if (z[i] == j) sum += i + 1;
    return sum * sum / 3.0;
  }
  double getMixtureLik(const int*, int) const override { return 0; }
  double pairwiseDistance(int, int) const override { return 0; }
  double pairwiseDistance(int, int, int, const int*) const override { return 0; }
};

// A fresh directory for one test's files, and standard output captured while it lives.
class EnumZTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vornak-enumz-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    stem = dir_ + "/run";
    saved_ = std::cout.rdbuf(out.rdbuf());
  }
  void TearDown() override {
    std::cout.rdbuf(saved_);
    std::remove((stem + ".save").c_str());
    rmdir(dir_.c_str());
  }
  std::string saveText() const {
    std::ifstream f(stem + ".save");
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  static std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream s(text);
    for (std::string line; std::getline(s, line);) out.push_back(line);
    return out;
  }

  std::string stem;
  std::ostringstream log;
  std::ostringstream out;  // standard output

 private:
  std::string dir_;
  std::streambuf* saved_ = nullptr;
};

TEST_F(EnumZTest, ThreeItemsTwoClustersByHand) {
  SquareModel model(3);
  PartitionSampler sampler(2, 3, CLASSIFICATION, &model, 0.0, log, "EN");
  sampler.enumZ(stem);
  EXPECT_EQ(log.str(), "0 1 0 \n0 0 1 \n1 0 0 \n");
  // {1,3}{2}: (16 + 4)/3; {1,2}{3}: (9 + 9)/3; {2,3}{1}: (25 + 1)/3.
  EXPECT_EQ(saveText(), "6.666666667\n6\n8.666666667\n");
  EXPECT_EQ(out.str(), "  write " + stem + ".save\n");
}

TEST_F(EnumZTest, FourItemsTwoClustersOrder) {
  SquareModel model(4);
  PartitionSampler sampler(2, 4, CLASSIFICATION, &model, 0.0, log, "EN");
  sampler.enumZ(stem);
  EXPECT_EQ(log.str(),
            "0 0 1 0 \n0 0 0 1 \n0 1 0 0 \n1 0 0 0 \n0 1 1 0 \n0 0 1 1 \n0 1 0 1 \n");
  // Block sums squared over 3: {1,2,4}{3} (49 + 9), {1,2,3}{4} (36 + 16), {1,3,4}{2}
  // (64 + 4), {2,3,4}{1} (81 + 1), {1,4}{2,3} (25 + 25), {1,2}{3,4} (9 + 49), {1,3}{2,4}
  // (16 + 36).
  EXPECT_EQ(lines(saveText()),
            (std::vector<std::string>{"19.33333333", "17.33333333", "22.66666667",
                                      "27.33333333", "16.66666667", "19.33333333",
                                      "17.33333333"}));
}

// Open number of clusters: all 15 partitions of 4 items, k = 1 first, singletons last; line
// j of .save is the total score of the j-th listed partition.
TEST_F(EnumZTest, OpenKListsEveryPartitionWithItsScore) {
  TinyModel model({0.0, 0.3, 1.4, 2.9});
  PartitionSampler sampler(0, 4, INTEGRATED, &model, 0.4, log, "EN");
  const std::vector<int> zBefore = sampler.state.zold;
  sampler.enumZ(stem);

  const std::vector<std::string> listed = lines(log.str());
  const std::vector<std::string> scores = lines(saveText());
  ASSERT_EQ(listed.size(), 15u);
  ASSERT_EQ(scores.size(), 15u);
  EXPECT_EQ(listed.front(), "0 0 0 0 ");
  EXPECT_EQ(listed.back(), "0 1 2 3 ");
  std::set<std::vector<int>> distinct;
  for (size_t j = 0; j < listed.size(); j++) {
    std::vector<int> z;
    std::istringstream row(listed[j]);
    for (int label; row >> label;) z.push_back(label);
    ASSERT_EQ(z.size(), 4u);
    distinct.insert(canonical(z.data(), 4));
    std::ostringstream expected;
    expected.precision(10);
    expected << sampler.scorer.getTotalLik(z.data(), blockCount(canonical(z.data(), 4)));
    EXPECT_EQ(scores[j], expected.str()) << "line " << j;
  }
  EXPECT_EQ(distinct.size(), 15u);
  EXPECT_EQ(sampler.state.zold, zBefore);
  EXPECT_EQ(sampler.state.kold, 1);
}

TEST_F(EnumZTest, ExistingSaveFileEndsBeforeListing) {
  { std::ofstream existing(stem + ".save"); }
  SquareModel model(3);
  PartitionSampler sampler(2, 3, CLASSIFICATION, &model, 0.0, log, "EN");
  EXPECT_THROW(sampler.enumZ(stem), RunError);
  EXPECT_EQ(log.str(), "");
  EXPECT_EQ(out.str(), "File already exists: " + stem + ".save\n");
}

TEST_F(EnumZTest, MoreClustersThanItemsListsNothing) {
  SquareModel model(3);
  PartitionSampler sampler(5, 3, CLASSIFICATION, &model, 0.0, log, "EN");
  sampler.enumZ(stem);
  EXPECT_EQ(log.str(), "");
  EXPECT_EQ(saveText(), "");
}

// 16 items: S(16, 4) = (4^16 - 4 3^16 + 6 2^16 - 4) / 24 = 171798901 rows of 16 ints is
// over 2 GiB; refused before the .save file exists.
TEST_F(EnumZTest, RefusesAListTooLargeToHold) {
  SquareModel model(16);
  PartitionSampler sampler(0, 16, CLASSIFICATION, &model, 0.0, log, "EN");
  EXPECT_THROW(sampler.enumZ(stem), RunError);
  const std::string line = "PartitionSampler::enumZ(). too many partitions to list: 1.71799e+08\n";
  EXPECT_EQ(log.str(), line);
  EXPECT_EQ(out.str(), line);
  EXPECT_FALSE(std::ifstream(stem + ".save").is_open());
}

}  // namespace
