#include "fit/ChainRunner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "driver/common_main.h"
#include "fit/Options.h"
#include "io/RunError.h"

namespace fit {
namespace {

// The lines of the last 64 KB of a run's standard output or error, where its failure line is:
// bounded, however much a run printed before it.
std::vector<std::string> lastLines(const std::string& file) {
  const std::streamoff kTail = 1 << 16;
  std::vector<std::string> lines;
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  if (!in) return lines;
  const std::streamoff size = in.tellg();
  in.seekg(size > kTail ? size - kTail : 0);
  std::string line;
  if (size > kTail) std::getline(in, line);  // the rest of a line cut by the seek
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line.substr(0, 4096));
  }
  return lines;
}

bool executable(const std::string& path) {
  struct stat info;
  return access(path.c_str(), X_OK) == 0 && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void childWrite(const char* text) {
  const ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
  (void)ignored;
}

}  // namespace

Chain::Chain(const std::string& exe, const std::vector<std::string>& args, const std::string& workDir,
             const std::string& outFile, const std::string& errFile)
    : outFile_(outFile), errFile_(errFile) {
  std::vector<std::string> words{exe};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ < 0) throw FitError(std::string("cannot start a chain: ") + std::strerror(errno));
  if (pid_ == 0) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGINT);
    if (getppid() != parent) _exit(130);  // the parent died before the line above
    const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || dup2(out, STDOUT_FILENO) < 0 || dup2(err, STDERR_FILENO) < 0) _exit(126);
    if (null >= 0) dup2(null, STDIN_FILENO);
    if (chdir(workDir.c_str()) != 0) {
      childWrite("cannot enter the output folder\n");
      _exit(126);
    }
    execv(exe.c_str(), argv.data());
    childWrite("cannot run ");
    childWrite(exe.c_str());
    childWrite("\n");
    _exit(127);
  }
  // Also from this side, so that a signal sent to the group at once cannot miss it.
  setpgid(pid_, pid_);
}

Chain::~Chain() {
  if (status_ < 0) {
    kill(pid_, SIGKILL);
    reap(0);
  }
}

bool Chain::reap(int options) {
  int raw = 0;
  pid_t got;
  while ((got = waitpid(pid_, &raw, options)) < 0 && errno == EINTR) {
  }
  if (got != pid_) return false;
  status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  diedBy_ = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
  return true;
}

bool Chain::running() { return status_ < 0 && !reap(WNOHANG); }

void Chain::interrupt() {
  if (interrupted_ || status_ >= 0) return;
  interrupted_ = true;
  kill(pid_, SIGINT);
}

void Chain::finish(double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
  while (running()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      killed_ = true;
      reap(0);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool Chain::endedNormally() const {
  return !killed_ && (status_ == 1 || status_ == 128 + SIGINT || status_ == 128 + SIGTERM);
}

int Chain::foreignSignal() const {
  if (died()) return diedBy_;
  if (interrupted_ || diedBy_ != 0) return 0;
  for (int signo : {SIGINT, SIGTERM, SIGHUP})
    if (status_ == 128 + signo) return signo;
  return 0;
}

std::string signalName(int signal) {
  const char* name = strsignal(signal);
  return "signal " + std::to_string(signal) + (name ? " (" + std::string(name) + ")" : std::string());
}

std::string findEngine() {
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length > 0) {
    std::string path(self, static_cast<size_t>(length));
    const std::string beside = path.substr(0, path.rfind('/') + 1) + "vornak";
    if (executable(beside)) return beside;
  }
  const char* pathVariable = std::getenv("PATH");
  std::string folders = pathVariable ? pathVariable : "";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = end > start ? folders.substr(start, end - start) : ".";
    if (executable(folder + "/vornak")) return folder + "/vornak";
    start = end + 1;
  }
  throw FitError("the vornak program is neither beside vornak-fit nor on PATH: vornak");
}

std::string failureLine(const std::string& outFile, const std::string& errFile) {
  auto ordinary = [](const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos || line.rfind("fileStem:", 0) == 0 ||
           line.rfind("  read ", 0) == 0;
  };
  const std::vector<std::string> out = lastLines(outFile);
  for (auto line = out.rbegin(); line != out.rend(); ++line)
    if (!ordinary(*line)) return *line;
  const std::vector<std::string> err = lastLines(errFile);
  for (auto line = err.rbegin(); line != err.rend(); ++line)
    if (line->find_first_not_of(" \t") != std::string::npos) return *line;
  return "a chain ended without a message";
}

std::string drawsFileOf(const std::vector<std::string>& args) {
  std::vector<std::string> words{"vornak"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  Settings settings;
  std::string refusal;
  // The plan says a refusal on the console; here it is the caller's one line.
  std::ostringstream quiet;
  struct Muted {
    std::streambuf* out;
    std::streambuf* err;
    ~Muted() {
      std::cout.rdbuf(out);
      std::cerr.rdbuf(err);
    }
  } muted{std::cout.rdbuf(quiet.rdbuf()), std::cerr.rdbuf(quiet.rdbuf())};
  try {
    if (!parseCommandLine(static_cast<int>(words.size()), argv.data(), settings, &refusal))
      throw FitError(refusal.empty() ? "the chains' settings are incomplete" : refusal);
    const std::string draws = makePlan(settings).file("draws");
    if (draws.empty()) throw FitError("the chains' settings keep no draws");
    return draws;
  } catch (const RunError& error) {
    throw FitError(error.what());
  }
}

}  // namespace fit
