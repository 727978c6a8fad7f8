#include "fit/Align.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "fit/ChainRunner.h"
#include "fit/Options.h"
#include "io/Interrupt.h"

namespace fit {

std::string findOnPath(const std::string& name) {
  const char* pathVariable = std::getenv("PATH");
  const std::string folders = pathVariable ? pathVariable : "";
  for (size_t start = 0; start <= folders.size();) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string candidate = (end > start ? folders.substr(start, end - start) : ".") + "/" + name;
    struct stat info;
    if (access(candidate.c_str(), X_OK) == 0 && stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode))
      return candidate;
    start = end + 1;
  }
  return "";
}

Aligned alignSequences(const std::string& folder, const std::string& input) {
  const std::string mafft = findOnPath("mafft");
  if (mafft.empty())
    throw FitError("--align runs mafft, which is not on the PATH (Debian package mafft): mafft");
  const size_t dot = input.rfind('.');
  Aligned aligned;
  aligned.file = (dot == std::string::npos || dot == 0 ? input : input.substr(0, dot)) + "-aligned.fa";
  aligned.command = "mafft --auto " + input + " > " + aligned.file;
  Chain run(mafft, {"--auto", input}, folder, folder + "/" + aligned.file, folder + "/mafft.stderr");
  while (run.running()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (const int signal = interruptSignal()) {
      run.interrupt();
      run.finish(5);
      throw AlignStopped{signal};
    }
  }
  if (run.status() != 0)
    throw FitError("mafft failed (exit status " + std::to_string(run.status()) +
                   "): " + failureLine(folder + "/mafft.stderr", folder + "/mafft.stderr"));
  return aligned;
}

}  // namespace fit
