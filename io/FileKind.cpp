#include "io/FileKind.h"

#include <sys/stat.h>

std::string notRegularFile(const std::string& fileName) {
  struct stat info;
  if (::stat(fileName.c_str(), &info) != 0) return "";
  const mode_t kind = info.st_mode & S_IFMT;
  switch (kind) {
    case S_IFREG: return "";
    case S_IFDIR: return "is a folder";
    case S_IFIFO: return "is a FIFO";
    case S_IFCHR: return "is a character device";
    case S_IFBLK: return "is a block device";
    case S_IFSOCK: return "is a socket";
    default: return "is not a regular file";
  }
}
