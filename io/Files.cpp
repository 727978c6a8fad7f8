#include "io/Files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "io/Console.h"
#include "io/Failure.h"
#include "io/FileKind.h"
#include "io/VisibleText.h"

void Files::fail(std::ostream& logFile, const std::string& line) {
  failRun(logFile, Failure::Input, line);
}

int Files::createExclusive(const std::string& fileName, std::ostream& logFile) {
  // Exclusively, so that two runs with the same stem cannot both write the file.
  const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EEXIST) {
      // Say what blocks the rerun and that it may go.
      verr() << visibleText(fileName) << " blocks this run: it is left from an earlier run "
                                         "with the same file names and may be removed\n";
      verr().flush();
      fail(logFile, "File already exists: " + fileName);
    }
    failWrite(logFile, fileName, errno);
  }
  return fd;
}

void Files::openWrite(std::ofstream& file, const std::string& fileName, std::ostream& logFile,
                  bool overwrite) {
  if (!overwrite) ::close(createExclusive(fileName, logFile));
  file.open(fileName.c_str(), std::ios::out | std::ios::trunc);
  if (!file.is_open()) failWrite(logFile, fileName, errno);
  logFile << "  write " << fileName << '\n';
}

bool Files::writeFileAtomically(const std::string& fileName, const std::string& text) {
  const std::string temporary = fileName + ".tmp";
  // Notes why the step failed, for the failure line's reason; the file stays untouched.
  auto failed = [&](int error) {
    noteWriteError(fileName, error);
    return false;
  };
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return failed(errno);
  const char* p = text.data();
  size_t left = text.size();
  bool ok = true;
  while (left > 0 && ok) {
    ssize_t written = ::write(fd, p, left);
    if (written < 0 && errno == EINTR) continue;
    ok = written > 0 || failed(written < 0 ? errno : ENOSPC);
    if (ok) {
      p += written;
      left -= static_cast<size_t>(written);
    }
  }
  // The data must be on disk before the rename makes it the file: a crash in between then
  // leaves the old complete file, never a new empty one.
  ok = ok && (::fsync(fd) == 0 || failed(errno));
  ok = (::close(fd) == 0 || !ok || failed(errno)) && ok;
  ok = ok && (std::rename(temporary.c_str(), fileName.c_str()) == 0 || failed(errno));
  if (!ok) {
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

void Files::replaceFile(const std::string& fileName, const std::string& text, std::ostream& logFile) {
  if (!writeFileAtomically(fileName, text)) failWrite(logFile, fileName);
  logFile << "  write " << fileName << '\n';
}

void Files::openRead(std::ifstream& file, const std::string& fileName, std::ostream& logFile) {
  // Before opening: a FIFO would block the open itself, a device would never end.
  const std::string kind = notRegularFile(fileName);
  if (!kind.empty())
    fail(logFile, "Fail to read " + fileName + ": it " + kind + ", not a regular file");
  file.open(fileName.c_str());
  if (!file.is_open()) fail(logFile, "Fail to read " + fileName);
  logFile << "  read " << fileName << '\n';
}
