// Captures what the code writes to standard output (vout()) while the object lives, so that
// in-process tests can check the lines a failure prints.
#pragma once
#include <ostream>
#include <sstream>
#include <string>

#include "io/Console.h"

class CaptureStdout {
 public:
  CaptureStdout() : previous_(vout().rdbuf(captured_.rdbuf())) {}
  ~CaptureStdout() { vout().rdbuf(previous_); }
  CaptureStdout(const CaptureStdout&) = delete;
  CaptureStdout& operator=(const CaptureStdout&) = delete;

  std::string text() const { return captured_.str(); }

 private:
  std::ostringstream captured_;
  std::streambuf* previous_;
};
