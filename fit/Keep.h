// vornak-fit --keep: which of the chains' own files stay in the output folder once the answer
// is written (the summary, the report and the data stay always), and their total size, said
// at the end, so that a long run's hundreds of MB of draws are a choice.
#pragma once
#include <string>
#include <vector>

namespace fit {

// The kinds --keep names: every kind of a run's files ("log", "save", "finalz", "best",
// "draws", "alpha", "columns", "pdraws") and "output" (chainN.stdout and .stderr); "all" and
// "none" stand alone.
std::vector<std::string> keepKinds();

// Parses "draws,log", "all" or "none" into the kinds kept. Throws FitError naming an unknown
// kind or an empty list.
std::vector<std::string> parseKeep(const std::string& text);

struct ChainFiles {
  unsigned long long keptBytes = 0, removedBytes = 0;
};

// Removes the files of the kinds not kept, of every chain: drawsFiles are their draws files
// (the stem of each chain's files), outputStems "folder/chainN" of their standard output and
// error. Returns the sizes of what stays and what went.
ChainFiles keepChainFiles(const std::vector<std::string>& drawsFiles, const std::vector<std::string>& outputStems,
                          const std::vector<std::string>& kept);

// "Chain files: 152.3 MB kept in DIR (--keep chooses which stay)", or with some removed:
// "Chain files: 2.1 MB kept in DIR (log, best), 150.2 MB removed".
std::string chainFilesLine(const ChainFiles& files, const std::string& folder, const std::vector<std::string>& kept);

// 999 bytes, "1.0 kB", "152.3 MB", "1.2 GB".
std::string formatBytes(unsigned long long bytes);

}  // namespace fit
