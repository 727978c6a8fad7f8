// An output file that only ever holds whole lines: lines gather in a buffer that goes to disk
// at line boundaries, so a process killed at any moment leaves complete lines, and a write
// the disk cannot take is cut back to the last complete line and marks the file failed (its
// reason noted for the failure line, io/Failure.h).
#pragma once
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

class LineFile {
 public:
  explicit LineFile(std::size_t capacity = 1 << 16) : buffer_(capacity) {}
  ~LineFile();
  LineFile(const LineFile&) = delete;
  LineFile& operator=(const LineFile&) = delete;

  // Creates the file exclusively, with the messages and failures of Files::openWrite.
  void create(const std::string& fileName, std::ostream& logFile);
  // Appends one or more whole lines (text ends with a line break).
  void write(const char* text, std::size_t size);
  void write(const std::string& text) { write(text.data(), text.size()); }
  // Hands the buffered lines to the file; false once any write has failed.
  bool flush();
  // Flushes and closes; false when the file is not complete.
  bool close();
  bool good() const { return !failed_; }

 private:
  bool writeOut(const char* text, std::size_t size);

  std::string fileName_;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  int fd_ = -1;
  long long committed_ = 0;  // bytes on disk, all of them whole lines
  bool failed_ = false;
};
