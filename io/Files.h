// Output and input files: refuse-existing and atomic writes, reads that end the run on failure.
// Failures write their one line and throw RunError (io/RunError.h).
#pragma once
#include <fstream>
#include <ostream>
#include <string>

struct Files {
  // Opens fileName for writing. Unless overwrite, an existing file ends the run with
  // "File already exists: "; a file that cannot be created ends it with "Fail to write ".
  // Writes "  write " and the name to logFile on success.
  static void openWrite(std::ofstream& file, const std::string& fileName, std::ostream& logFile,
                        bool overwrite);
  // Creates fileName, refusing an existing one, and returns its descriptor; failures end the
  // run as openWrite's do (no message on success).
  static int createExclusive(const std::string& fileName, std::ostream& logFile);
  // Replaces fileName with text so that the file on disk is always complete: the text goes
  // to a temporary file in the same folder, is synced, then renamed over the old file.
  // Writes "  write " and the name; a failed write ends the run with "Fail to write ".
  static void replaceFile(const std::string& fileName, const std::string& text,
                          std::ostream& logFile);
  // The same replacement without messages: false when any step failed, and then fileName
  // is untouched and no temporary file is left.
  static bool writeFileAtomically(const std::string& fileName, const std::string& text);
  // Opens fileName for reading or ends the run with "Fail to read ". Writes "  read ".
  static void openRead(std::ifstream& file, const std::string& fileName, std::ostream& logFile);

  // Ends the run with a failure of the input or output: line and a line break go to logFile,
  // and to standard output when logFile is another stream (io/Failure.h).
  [[noreturn]] static void fail(std::ostream& logFile, const std::string& line);
};
