// vornak-fit --align: the sequences aligned by mafft (found on the PATH) into the run's folder
// before any chain starts; the command is recorded for the report.
#pragma once
#include <string>

namespace fit {

// The first executable called name in a folder of PATH; "" when none.
std::string findOnPath(const std::string& name);

struct Aligned {
  std::string file;     // the aligned FASTA, in the folder
  std::string command;  // as a shell would read it: "mafft --auto seqs.fa > seqs-aligned.fa"
};

// Runs `mafft --auto input > OUTPUT` in folder (input relative to it), its standard error
// kept in folder/mafft.stderr. Throws FitError when mafft is missing or fails (its last line),
// AlignStopped with the signal when one arrives while it runs (mafft is then stopped).
Aligned alignSequences(const std::string& folder, const std::string& input);

struct AlignStopped {
  int signal;
};

}  // namespace fit
