#include "recommend/Alignment.h"

#include <string>
#include <vector>

namespace recommend {

const char* const kAlignCommand = "mafft --auto in.fa > aligned.fa";

std::string unalignedRefusal(std::istream& fasta) {
  std::string line;
  bool header = false;
  // Up to the first header: a byte-order mark and blank lines.
  while (!header && std::getline(fasta, line)) {
    if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    header = line.find_first_not_of(" \t\r") != std::string::npos;
  }
  if (!header) return "";
  std::vector<size_t> lengths{0};
  bool gap = false;
  while (std::getline(fasta, line)) {
    if (!line.empty() && line[0] == '>') {
      lengths.push_back(0);
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    lengths.back() += line.size();
    gap = gap || line.find_first_of("-*.") != std::string::npos;
  }
  size_t differing = 0;
  for (size_t s = 0; s < lengths.size(); s++) {
    if (lengths[s] == 0) return "";
    if (differing == 0 && lengths[s] != lengths[0]) differing = s;
  }
  if (differing == 0 || gap) return "";
  return "the sequences are not aligned (sequence " + std::to_string(differing + 1) + " has " +
         std::to_string(lengths[differing]) + " characters where the first has " + std::to_string(lengths[0]) +
         ", and none has a gap): align them first, e.g. " + kAlignCommand + " (Debian package mafft)";
}

}  // namespace recommend
