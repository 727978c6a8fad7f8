#include "fit/OutputDir.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "fit/Options.h"

namespace fit {

std::string defaultDirName(const std::string& dataFile) {
  std::string name = dataFile.substr(dataFile.rfind('/') + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  if (name.empty() || name == "." || name == "..") name = "fit";
  return name;
}

OutputDir makeOutputDir(const std::string& explicitDir, const std::string& dataFile,
                        const std::string& parent) {
  namespace fs = std::filesystem;
  OutputDir dir;
  if (!explicitDir.empty()) {
    std::error_code error;
    const fs::file_status status = fs::status(explicitDir, error);
    if (fs::exists(status)) {
      if (!fs::is_directory(status)) throw FitError("-o names something that is not a folder: " + explicitDir);
      if (!fs::is_empty(explicitDir, error) || error)
        throw FitError("-o names a folder that is not empty: " + explicitDir);
      dir.path = explicitDir;
      return dir;
    }
    if (mkdir(explicitDir.c_str(), 0777) != 0)
      throw FitError(std::string("cannot create the folder (") + std::strerror(errno) + "): " + explicitDir);
    dir.path = explicitDir;
    dir.created = true;
    return dir;
  }
  const std::string base = (parent == "." ? "" : parent + "/") + defaultDirName(dataFile);
  for (int number = 1; number < 100000; number++) {
    const std::string path = number == 1 ? base : base + "-" + std::to_string(number);
    if (mkdir(path.c_str(), 0777) == 0) {
      dir.path = path;
      dir.created = true;
      return dir;
    }
    if (errno != EEXIST)
      throw FitError(std::string("cannot create the folder (") + std::strerror(errno) + "): " + path);
  }
  throw FitError("no free folder name after 99999 tries: " + base);
}

void discardOutputDir(const OutputDir& dir) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (dir.created) {
    fs::remove_all(dir.path, error);
    return;
  }
  for (const auto& entry : fs::directory_iterator(dir.path, error)) fs::remove_all(entry.path(), error);
}

}  // namespace fit
