// The output files of a run, named in one table: each kind, its suffix and how the run
// writes it. The run plan lists a run's files from it, the writers take their names from that
// list, and a run checks them all before it creates any. Standard library only.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace formats {

struct OutputKind {
  const char* name;    // "log", "save", "finalz", "best", "draws", "alpha", "columns", "pdraws"
  const char* suffix;  // appended to the file stem
  bool replaced;       // rewritten atomically by its own run; else created exclusively
};

// Every kind, in the order a run creates its files.
const std::vector<OutputKind>& outputKinds();
const OutputKind* findOutputKind(const std::string& name);

// A run's files: kind name and path, in the order of outputKinds.
using OutputFiles = std::vector<std::pair<std::string, std::string>>;

// An enumeration writes its log and trace; a search also its final and best partitions, and
// its draws when thin > 0, with the draws of alpha beside them when alpha has a prior, and,
// under column selection, the columns' relevance beside them and, with a prior on P, P's draws.
OutputFiles runFiles(const std::string& stem, bool enumerate, long long thin, bool alpha = false,
                     bool columns = false, bool columnPrior = false);

// The path of the kind named, or "" when the run writes none.
std::string fileOf(const OutputFiles& files, const std::string& kind);

// Where the log of a run refused before its search goes, so that it does not block the rerun.
std::string failedLogName(const std::string& stem);

}  // namespace formats
