// The folder an answer goes to: one the user names, which must be new or empty, or by default
// a new folder named after the data file that never replaces an earlier one (NAME, NAME-2, ...).
#pragma once
#include <string>

namespace fit {

struct OutputDir {
  std::string path;
  bool created = false;  // made by this run (else it existed, empty)
};

// The data file's name without its folder and its last extension ("data/iris.dat": "iris"),
// or "fit" when nothing is left.
std::string defaultDirName(const std::string& dataFile);

// Makes the folder. explicitDir empty: parent/NAME, else parent/NAME-2, NAME-3, ... the first
// that does not exist (created atomically, so two runs at once get two folders). Otherwise
// explicitDir itself, refused when it exists and is not an empty folder. Throws FitError.
OutputDir makeOutputDir(const std::string& explicitDir, const std::string& dataFile,
                        const std::string& parent = ".");

// Undoes makeOutputDir after an early failure: removes what the folder holds, and the folder
// itself when this run made it.
void discardOutputDir(const OutputDir& dir);

}  // namespace fit
