// The settings of one command line, "vornak" and its words, as the parser makes them.
#pragma once
#include <sstream>
#include <string>
#include <vector>

#include "driver/common_main.h"

inline Settings settingsOf(const std::string& line) {
  std::istringstream in("vornak " + line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(&w[0]);
  Settings s;
  parseCommandLine(static_cast<int>(words.size()), argv.data(), s);
  return s;
}
