// A fresh temporary folder for one test, removed afterwards (also when the test fails). Reads
// are bounded, so a file a runaway program keeps growing cannot exhaust the test's memory.
#pragma once
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

struct TempDir {
  // More than any file a test expects to read whole.
  static constexpr std::size_t kReadLimit = std::size_t(1) << 26;

  std::string path;
  TempDir() {
    char pattern[] = "/tmp/vornak-test-XXXXXX";
    path = mkdtemp(pattern);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string file(const std::string& name) const { return path + "/" + name; }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(file(name)) << text;
  }
  // The file's first limit bytes (all of it when shorter).
  std::string read(const std::string& name, std::size_t limit = kReadLimit) const {
    std::ifstream in(file(name), std::ios::binary);
    std::string text;
    char buffer[1 << 16];
    while (text.size() < limit && in.read(buffer, sizeof buffer).gcount() > 0)
      text.append(buffer, std::min(static_cast<std::size_t>(in.gcount()), limit - text.size()));
    return text;
  }
  bool exists(const std::string& name) const { return std::filesystem::exists(file(name)); }
};
