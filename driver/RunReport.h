// The completion report of a console run: written to the log and standard output, and mailed
// when asked and the run was long. Console-only: the R package reports through R.
#pragma once
#include <ctime>
#include <ostream>
#include <string>

struct RunReport {
  // Writes the completion report to logFile (and standard output when logFile is another
  // stream); mails it when email is set and the run took more than 5 minutes. Returns 1.
  static int finishUp(int argc, char** argv, const std::string& msg, time_t t0,
                      std::ostream& logFile, const std::string& email);
  // Body of the report for a run of the given length; exposed for tests.
  static std::string finishReport(int argc, char** argv, const std::string& msg, time_t t0,
                                  time_t now);
  // Hands body to the system mail command /usr/bin/mail, without a shell. A missing program
  // or one that exits without reading is ignored: this never fails or stops the run.
  static void sendMailOnUnix(const std::string& to, const std::string& body);
  // The same with another mail program (tests).
  static void sendMailOnUnix(const std::string& to, const std::string& body,
                             const std::string& mailProgram);
};
