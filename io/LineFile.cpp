#include "io/LineFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "io/Failure.h"
#include "io/Files.h"

LineFile::~LineFile() { close(); }

void LineFile::create(const std::string& fileName, std::ostream& logFile) {
  fd_ = Files::createExclusive(fileName, logFile);
  fileName_ = fileName;
  logFile << "  write " << fileName << '\n';
}

void LineFile::write(const char* text, std::size_t size) {
  if (failed_) return;
  if (used_ + size > buffer_.size() && !flush()) return;
  if (size > buffer_.size()) {
    writeOut(text, size);
    return;
  }
  std::memcpy(buffer_.data() + used_, text, size);
  used_ += size;
}

bool LineFile::flush() {
  if (!failed_ && used_ > 0) writeOut(buffer_.data(), used_);
  used_ = 0;
  return !failed_;
}

bool LineFile::close() {
  if (fd_ < 0) return !failed_;
  flush();
  if (::close(fd_) != 0 && !failed_) {
    noteWriteError(fileName_, errno);
    failed_ = true;
  }
  fd_ = -1;
  return !failed_;
}

bool LineFile::writeOut(const char* text, std::size_t size) {
  if (fd_ < 0) return !(failed_ = true);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t written = ::write(fd_, text + done, size - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      noteWriteError(fileName_, written < 0 ? errno : ENOSPC);
      // A full disk took part of the lines: keep those that fitted whole, cut the rest.
      std::size_t whole = done;
      while (whole > 0 && text[whole - 1] != '\n') whole--;
      committed_ += static_cast<long long>(whole);
      if (::ftruncate(fd_, committed_) == 0) ::lseek(fd_, committed_, SEEK_SET);
      failed_ = true;
      return false;
    }
    done += static_cast<std::size_t>(written);
  }
  committed_ += static_cast<long long>(size);
  return true;
}
