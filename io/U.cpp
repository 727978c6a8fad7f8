#include "io/U.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "io/Console.h"
#include "io/Failure.h"
#include "io/FileKind.h"
#include "io/Interrupt.h"
#include "io/LineReader.h"

void Tokenize(const std::string& str, std::vector<std::string>& tokens,
              const std::string& delimiters) {
  std::string::size_type start = str.find_first_not_of(delimiters, 0);
  std::string::size_type end = str.find_first_of(delimiters, start);
  while (start != std::string::npos || end != std::string::npos) {
    tokens.push_back(str.substr(start, end - start));
    start = str.find_first_not_of(delimiters, end);
    end = str.find_first_of(delimiters, start);
  }
}

void U::fail(std::ostream& logFile, const std::string& line) {
  failRun(logFile, Failure::Input, line);
}

int U::createExclusive(const std::string& fileName, std::ostream& logFile) {
  // Exclusively, so that two runs with the same stem cannot both write the file.
  const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EEXIST) {
      // Say what blocks the rerun and that it may go.
      verr() << fileName << " blocks this run: it is left from an earlier run with the same "
                            "file names and may be removed\n";
      verr().flush();
      fail(logFile, "File already exists: " + fileName);
    }
    fail(logFile, "Fail to write " + fileName);
  }
  return fd;
}

void U::openWrite(std::ofstream& file, const std::string& fileName, std::ostream& logFile,
                  bool overwrite) {
  if (!overwrite) ::close(createExclusive(fileName, logFile));
  file.open(fileName.c_str(), std::ios::out | std::ios::trunc);
  if (!file.is_open()) fail(logFile, "Fail to write " + fileName);
  logFile << "  write " << fileName << '\n';
}

bool U::writeFileAtomically(const std::string& fileName, const std::string& text) {
  const std::string temporary = fileName + ".tmp";
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const char* p = text.data();
  size_t left = text.size();
  bool ok = true;
  while (left > 0 && ok) {
    ssize_t written = ::write(fd, p, left);
    if (written < 0 && errno == EINTR) continue;
    ok = written > 0;
    if (ok) {
      p += written;
      left -= static_cast<size_t>(written);
    }
  }
  // The data must be on disk before the rename makes it the file: a crash in between then
  // leaves the old complete file, never a new empty one.
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok || std::rename(temporary.c_str(), fileName.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  // Make the rename itself durable; some file systems cannot sync a folder, which is no error.
  const std::string::size_type slash = fileName.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : fileName.substr(0, slash + 1);
  int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

void U::replaceFile(const std::string& fileName, const std::string& text, std::ostream& logFile) {
  if (!writeFileAtomically(fileName, text)) fail(logFile, "Fail to write " + fileName);
  logFile << "  write " << fileName << '\n';
}

void U::openRead(std::ifstream& file, const std::string& fileName, std::ostream& logFile) {
  // Before opening: a FIFO would block the open itself, a device would never end.
  const std::string kind = notRegularFile(fileName);
  if (!kind.empty())
    fail(logFile, "Fail to read " + fileName + ": it " + kind + ", not a regular file");
  file.open(fileName.c_str());
  if (!file.is_open()) fail(logFile, "Fail to read " + fileName);
  logFile << "  read " << fileName << '\n';
}

namespace {

const std::string::size_type kMaxLineLength = 4999;

bool parseValue(const char* text, int& value) {
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || v < std::numeric_limits<int>::min() ||
      v > std::numeric_limits<int>::max())
    return false;
  value = static_cast<int>(v);
  return true;
}

bool parseValue(const char* text, double& value) {
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(v)) return false;
  value = v;
  return true;
}

}  // namespace

template <class T>
void U::readData(const std::string& fileName, int& rowCount, int& columnCount, Matrix<T>& data,
                 std::ostream& logFile) {
  std::ifstream file;
  openRead(file, fileName, logFile);
  auto bad = [&](long lineNo, const std::string& why) {
    fail(logFile, "Bad matrix file " + fileName + ", line " + n2s(lineNo) + ": " + why);
  };

  // Every line is split the same way: blanks and tabs separate values, and a carriage
  // return before the line feed belongs to the line end.
  std::vector<std::string> lines;
  std::string line;
  bool longLine = false;
  while (readLineUpTo(file, line, kMaxLineLength + 1, longLine)) {
    checkInterrupt();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kMaxLineLength) {
      longLine = true;
      break;
    }
    // A NUL would end the number parser early and hide what follows it.
    if (line.find('\0') != std::string::npos)
      bad(static_cast<long>(lines.size()) + 1, "holds a NUL byte");
    lines.push_back(line);
  }
  if (longLine)
    bad(static_cast<long>(lines.size()) + 1,
        "longer than " + n2s(static_cast<long>(kMaxLineLength)) + " characters");
  file.close();
  // The values are read on a second pass over the file, announced like the first.
  logFile << "  read " << fileName << '\n';
  if (lines.empty()) fail(logFile, "Bad matrix file " + fileName + ": no data");

  const char* const separators = " \t";
  std::vector<std::string> firstFields;
  Tokenize(lines[0], firstFields, separators);
  columnCount = static_cast<int>(firstFields.size());
  if (columnCount == 0) bad(1, "no values");
  rowCount = static_cast<int>(lines.size());
  data = Matrix<T>(rowCount, columnCount);

  std::vector<std::string> fields;
  for (int i = 0; i < rowCount; i++) {
    checkInterrupt();
    fields.clear();
    Tokenize(lines[i], fields, separators);
    if (fields.empty()) bad(i + 1, "blank line");
    if (static_cast<int>(fields.size()) != columnCount)
      bad(i + 1, n2s(static_cast<long>(fields.size())) + " values where the first line has " +
                     n2s(columnCount));
    for (int t = 0; t < columnCount; t++)
      if (!parseValue(fields[t].c_str(), data[i][t]))
        bad(i + 1, "not a number: " + fields[t]);
  }
}

template void U::readData<int>(const std::string&, int&, int&, Matrix<int>&, std::ostream&);
template void U::readData<double>(const std::string&, int&, int&, Matrix<double>&,
                                  std::ostream&);

std::string U::localTimeText(time_t t) {
  struct tm parts;
  localtime_r(&t, &parts);
  std::ostringstream s;
  s << parts.tm_year + 1900 << "/" << parts.tm_mon + 1 << "/" << parts.tm_mday << " "
    << parts.tm_hour << ":" << parts.tm_min << ":" << parts.tm_sec;
  return s.str();
}

double U::logSumExp(const double* logValues, int howMany, const double* weights) {
  if (howMany == 1) return logValues[0] + std::log(weights[0]);
  double maximum = arraymax(logValues, howMany);
  if (maximum == -std::numeric_limits<double>::infinity()) return maximum;
  if (maximum == std::numeric_limits<double>::infinity()) return maximum;
  double result = 0;
  for (int i = 0; i < howMany; i++) result += std::exp(logValues[i] - maximum) * weights[i];
  return maximum + std::log(result);
}

double U::logSumExp(const double* logValues, int howMany) {
  if (howMany == 1) return logValues[0];
  double maximum = arraymax(logValues, howMany);
  if (maximum == -std::numeric_limits<double>::infinity()) return maximum;
  if (maximum == std::numeric_limits<double>::infinity()) return maximum;
  double result = 0;
  for (int i = 0; i < howMany; i++) result += std::exp(logValues[i] - maximum) * 1.0;
  return maximum + std::log(result);
}

double U::logAddExp(double logV1, double logV2) {
  double pair[2] = {logV1, logV2};
  return logSumExp(pair, 2);
}

bool U::compareArray(const std::vector<int>& a1, const std::vector<int>& a2, int size) {
  bool sameness = a1[0] == a2[0];
  for (int i = 1; i < size; i++)
    if ((a1[i] == a2[i]) != sameness) return false;
  return true;
}

namespace {

// Fixed-size staging area: numbers are formatted here and handed to the stream in blocks.
class Staging {
 public:
  explicit Staging(std::ostream& out) : out_(out) {}
  ~Staging() { flush(); }
  char* reserve() {
    if (used_ > sizeof buffer_ - 64) flush();
    return buffer_ + used_;
  }
  void advance(char* end) { used_ = static_cast<size_t>(end - buffer_); }
  void put(char c) { *reserve() = c, used_++; }
  char* limit() { return buffer_ + sizeof buffer_; }

 private:
  void flush() {
    out_.write(buffer_, static_cast<std::streamsize>(used_));
    used_ = 0;
  }
  std::ostream& out_;
  char buffer_[8192];
  size_t used_ = 0;
};

}  // namespace

char* U::formatDouble(char* first, char* last, double value, int precision) {
  return std::to_chars(first, last, value, std::chars_format::general, precision).ptr;
}

void U::writeNumbers(const int* values, int count, std::ostream& save, bool println) {
  Staging staging(save);
  for (int i = 0; i < count; i++) {
    char* at = staging.reserve();
    at = std::to_chars(at, staging.limit(), values[i]).ptr;
    *at++ = ' ';
    staging.advance(at);
  }
  if (println) staging.put('\n');
}

void U::writeNumbers(const double* values, int count, std::ostream& save, bool println) {
  Staging staging(save);
  const int precision = static_cast<int>(save.precision());
  for (int i = 0; i < count; i++) {
    char* at = staging.reserve();
    at = formatDouble(at, staging.limit(), values[i], precision);
    *at++ = ' ';
    staging.advance(at);
  }
  if (println) staging.put('\n');
}

void U::writeNumber(std::ostream& save, double value, char after) {
  if (!plainFormat(save)) {
    save << value << after;
    return;
  }
  char text[64];
  char* end = formatDouble(text, text + sizeof text - 1, value, static_cast<int>(save.precision()));
  *end++ = after;
  save.write(text, end - text);
}

double U::factorial(double a) { return a > 1 ? a * factorial(a - 1) : 1; }
