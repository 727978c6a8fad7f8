// Shared fixtures of the model tests: a scratch folder for small data files, a capture of
// standard output, and a check that a call ends the run with a given line.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>

#include "io/RunError.h"

namespace modeltest {

// A fresh folder under the system temp folder, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vornak-models-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  // Writes content byte for byte to name inside the folder; returns the full path.
  std::string write(const std::string& name, const std::string& content) const {
    std::string full = (path_ / name).string();
    std::ofstream out(full, std::ios::binary);
    out << content;
    return full;
  }
  std::string path(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Collects what is written to standard output while alive.
class CaptureStdout {
 public:
  CaptureStdout() : previous_(std::cout.rdbuf(buffer_.rdbuf())) {}
  ~CaptureStdout() { std::cout.rdbuf(previous_); }
  std::string text() const { return buffer_.str(); }

 private:
  std::ostringstream buffer_;
  std::streambuf* previous_;
};

// Runs action, which must end the run with RunError carrying line; returns what it wrote to
// standard output meanwhile.
inline std::string expectRunError(const std::function<void()>& action, const std::string& line) {
  CaptureStdout out;
  try {
    action();
    ADD_FAILURE() << "no RunError; expected: " << line;
  } catch (const RunError& e) {
    EXPECT_EQ(std::string(e.what()), line);
    EXPECT_EQ(e.status, -1);
  }
  return out.text();
}

}  // namespace modeltest
