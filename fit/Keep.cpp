#include "fit/Keep.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "fit/Options.h"
#include "formats/OutputFiles.h"

namespace fit {
namespace {

bool has(const std::vector<std::string>& list, const std::string& word) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

// Removes path unless kept; adds its size to the right count.
void settle(const std::string& path, bool keep, ChainFiles& files) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error) return;
  if (keep) {
    files.keptBytes += size;
  } else if (std::filesystem::remove(path, error)) {
    files.removedBytes += size;
  } else {
    files.keptBytes += size;
  }
}

}  // namespace

std::vector<std::string> keepKinds() {
  std::vector<std::string> kinds;
  for (const formats::OutputKind& kind : formats::outputKinds()) kinds.emplace_back(kind.name);
  kinds.emplace_back("output");
  return kinds;
}

std::vector<std::string> parseKeep(const std::string& text) {
  if (text == "all") return keepKinds();
  if (text == "none") return {};
  std::vector<std::string> kept;
  const std::vector<std::string> known = keepKinds();
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    const std::string kind = text.substr(start, end - start);
    if (!has(known, kind)) {
      std::string list;
      for (const std::string& k : known) list += k + ", ";
      throw FitError("--keep takes all, none or kinds among " + list.substr(0, list.size() - 2) +
                     ", separated by commas: " + (kind.empty() ? text : kind));
    }
    if (!has(kept, kind)) kept.push_back(kind);
    start = end + 1;
  }
  return kept;
}

ChainFiles keepChainFiles(const std::vector<std::string>& drawsFiles, const std::vector<std::string>& outputStems,
                          const std::vector<std::string>& kept) {
  ChainFiles files;
  for (const std::string& draws : drawsFiles) {
    const std::string stem = draws.substr(0, draws.size() - std::string(".draws").size());
    for (const formats::OutputKind& kind : formats::outputKinds()) settle(stem + kind.suffix, has(kept, kind.name), files);
  }
  for (const std::string& stem : outputStems)
    for (const char* suffix : {".stdout", ".stderr"}) settle(stem + suffix, has(kept, "output"), files);
  return files;
}

std::string formatBytes(unsigned long long bytes) {
  if (bytes < 1000) return std::to_string(bytes) + " bytes";
  const char* units[] = {"kB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1000;
  int unit = 0;
  while (value >= 999.95 && unit < 3) {
    value /= 1000;
    unit++;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

std::string chainFilesLine(const ChainFiles& files, const std::string& folder, const std::vector<std::string>& kept) {
  std::string line = "Chain files: " + formatBytes(files.keptBytes) + " kept in " + folder;
  if (files.removedBytes == 0 && kept.size() == keepKinds().size()) return line + " (--keep chooses which stay)";
  std::string kinds;
  for (const std::string& kind : kept) kinds += (kinds.empty() ? "" : ", ") + kind;
  return line + " (" + (kinds.empty() ? "none" : kinds) + "), " + formatBytes(files.removedBytes) + " removed";
}

}  // namespace fit
