// A fresh temporary folder for one test, removed afterwards.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

struct TempDir {
  std::string path;
  TempDir() {
    char pattern[] = "/tmp/vornak-test-XXXXXX";
    path = mkdtemp(pattern);
  }
  ~TempDir() { std::filesystem::remove_all(path); }
  std::string file(const std::string& name) const { return path + "/" + name; }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(file(name)) << text;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(file(name));
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  bool exists(const std::string& name) const { return std::filesystem::exists(file(name)); }
};
