// Replays every file of the fuzz corpus (fuzz/corpus/<target>/, seeds and the inputs of past
// crashes) through the same target code the fuzzer runs, so a fixed reader stays fixed in
// every build of the suite; the sanitizer build also checks memory on each. A file named
// ok_* must be accepted and one named bad_* refused; others may go either way.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/targets.h"
#include "support/TempDir.h"
#include "tests/models/model_test_util.h"

namespace {

std::vector<std::string> corpusFiles(const std::string& target) {
  std::vector<std::string> files;
  const std::string folder = std::string(VORNAK_SOURCE_DIR) + "/fuzz/corpus/" + target;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<uint8_t> bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(FuzzCorpus, EveryInputIsReadOrRefusedWithoutHarm) {
  TempDir dir;
  const std::string scratch = dir.file("input");
  const struct {
    const char* target;
    bool (*replay)(const uint8_t*, size_t, const std::string&);
  } targets[] = {
      {"matrix_reader", fuzzing::matrixReader},
      {"delimited_reader", fuzzing::delimitedReader},
      {"fasta_reader", fuzzing::fastaReader},
      {"start_partition", fuzzing::startPartitionReader},
      {"prior_text", [](const uint8_t* data, size_t size, const std::string&) {
         return fuzzing::priorTextReader(data, size);
       }},
  };
  modeltest::CaptureStdout quiet;  // refusals also print their line
  for (const auto& t : targets) {
    const std::vector<std::string> files = corpusFiles(t.target);
    EXPECT_GE(files.size(), 5u) << t.target;
    for (const std::string& file : files) {
      SCOPED_TRACE(file);
      const std::vector<uint8_t> input = bytesOf(file);
      // A broken check inside aborts the suite.
      const bool accepted = t.replay(input.data(), input.size(), scratch);
      const std::string name = std::filesystem::path(file).filename().string();
      if (name.rfind("ok_", 0) == 0) {
        EXPECT_TRUE(accepted);
      } else if (name.rfind("bad_", 0) == 0) {
        EXPECT_FALSE(accepted);
      }
    }
  }
}

}  // namespace
