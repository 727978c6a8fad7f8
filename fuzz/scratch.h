// The file a fuzz input is written to when its reader wants a file name: an anonymous
// in-memory file of this process, reached by its /proc path, so no run leaves a file behind.
#pragma once
#include <sys/mman.h>

#include <cstdlib>
#include <string>

namespace fuzzing {

inline const std::string& scratchFile() {
  static const std::string path = [] {
    int fd = memfd_create("vornak-fuzz-input", 0);
    if (fd < 0) std::abort();
    return "/proc/self/fd/" + std::to_string(fd);
  }();
  return path;
}

}  // namespace fuzzing
