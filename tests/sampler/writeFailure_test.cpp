// A log that can no longer be written stops the search at once with "Fail to write " and the
// log's name, and the partition reached so far still goes to .finalz.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <streambuf>

#include "io/RunError.h"
#include "stats/rvgs.h"
#include "support/TempDir.h"
#include "support/TinyModel.h"

namespace {

// Takes the first `room` characters, then fails every write, like a file on a full disk.
class FillingBuffer : public std::streambuf {
 public:
  explicit FillingBuffer(size_t room) : room_(room) {}
  std::string kept;

 protected:
  int overflow(int c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    if (kept.size() >= room_) return traits_type::eof();
    kept.push_back(static_cast<char>(c));
    return c;
  }

 private:
  size_t room_;
};

TEST(WriteFailure, FailedLogStopsTheSearchAndKeepsThePartition) {
  TempDir dir;
  TinyModel model({0, 0.3, 2, 2.2, 5, 5.1});
  FillingBuffer buffer(60);
  std::ostream log(&buffer);
  PartitionSampler sampler(0, model.n, INTEGRATED, &model, 0, log, "OA");
  _rng.initialize(2);
  sampler.initZ("");
  const std::string stem = dir.file("r");
  std::ostringstream out;
  std::streambuf* standardOutput = std::cout.rdbuf(out.rdbuf());
  RunError error("no failure", 0);
  try {
    sampler.run(1000000, 100, stem);
  } catch (const RunError& e) {
    error = e;
  }
  std::cout.rdbuf(standardOutput);
  EXPECT_EQ(std::string(error.what()), "Fail to write " + stem + ".log");
  EXPECT_EQ(error.status, -1);
  EXPECT_EQ(out.str(), "Fail to write " + stem + ".log\n");
  // Stopped in the iteration whose lines did not fit, long before the limit.
  EXPECT_EQ(buffer.kept.find("Iter 2\n"), std::string::npos) << buffer.kept;
  std::ostringstream z;
  for (int label : sampler.state.zold) z << label << ' ';
  z << '\n';
  EXPECT_EQ(dir.read("r.finalz"), z.str());
  EXPECT_FALSE(dir.exists("r.finalz.tmp"));
}

}  // namespace
