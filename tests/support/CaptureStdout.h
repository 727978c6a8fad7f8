// Captures what the code writes to standard output (vout()) or standard error (verr()) while
// the object lives, so that in-process tests can check the lines a failure prints.
#pragma once
#include <ostream>
#include <sstream>
#include <string>

#include "io/Console.h"

class CaptureStream {
 public:
  explicit CaptureStream(std::ostream& stream)
      : stream_(stream), previous_(stream.rdbuf(captured_.rdbuf())) {}
  ~CaptureStream() { stream_.rdbuf(previous_); }
  CaptureStream(const CaptureStream&) = delete;
  CaptureStream& operator=(const CaptureStream&) = delete;

  std::string text() const { return captured_.str(); }

 private:
  std::ostringstream captured_;
  std::ostream& stream_;
  std::streambuf* previous_;
};

struct CaptureStdout : CaptureStream {
  CaptureStdout() : CaptureStream(vout()) {}
};

struct CaptureStderr : CaptureStream {
  CaptureStderr() : CaptureStream(verr()) {}
};
