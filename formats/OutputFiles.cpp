#include "formats/OutputFiles.h"

namespace formats {

const std::vector<OutputKind>& outputKinds() {
  static const std::vector<OutputKind> kinds = {
      {"log", ".log", false},      {"save", ".save", false}, {"finalz", ".finalz", true},
      {"best", ".best", true},     {"draws", ".draws", false}, {"alpha", ".alpha", false},
      {"columns", ".columns", false}, {"pdraws", ".pdraws", false},
  };
  return kinds;
}

const OutputKind* findOutputKind(const std::string& name) {
  for (const OutputKind& kind : outputKinds())
    if (name == kind.name) return &kind;
  return nullptr;
}

OutputFiles runFiles(const std::string& stem, bool enumerate, long long thin, bool alpha,
                     bool columns, bool columnPrior) {
  OutputFiles files;
  for (const OutputKind& kind : outputKinds()) {
    const std::string name = kind.name;
    const bool searchOnly =
        name == "finalz" || name == "best" || name == "draws" || name == "alpha" ||
        name == "columns" || name == "pdraws";
    if (enumerate && searchOnly) continue;
    if ((name == "draws" || name == "alpha" || name == "columns" || name == "pdraws") &&
        thin <= 0)
      continue;
    if (name == "alpha" && !alpha) continue;
    if (name == "columns" && !columns) continue;
    if (name == "pdraws" && !(columns && columnPrior)) continue;
    files.emplace_back(name, stem + kind.suffix);
  }
  return files;
}

std::string fileOf(const OutputFiles& files, const std::string& kind) {
  for (const auto& file : files)
    if (file.first == kind) return file.second;
  return "";
}

std::string failedLogName(const std::string& stem) { return stem + ".failed.log"; }

}  // namespace formats
