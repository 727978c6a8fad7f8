// The built program as a child process that runs while the test acts on it (sends it
// signals, stops it) and that tells an exit status from death by a signal; run_exe.h runs a
// program to its end. Standard output and error go to private temporary files, so a chatty
// child can never stall on a full pipe.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

class ChildProcess {
 public:
  // How the child ended: its exit status (0..255 as a shell sees it), or the signal that
  // ended it.
  struct Ending {
    bool bySignal = false;
    int code = -1;
  };

  // Starts exe with the given words after its name, in workDir.
  ChildProcess(const std::vector<std::string>& args, const std::string& workDir,
               const std::string& exe = VORNAK_EXE)
      : outFile_(temporaryFile()), errFile_(temporaryFile()) {
    std::vector<std::string> words{exe};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(&w[0]);
    argv.push_back(nullptr);
    std::cout.flush();
    std::fflush(nullptr);
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      int out = open(outFile_.c_str(), O_WRONLY | O_TRUNC);
      int err = open(errFile_.c_str(), O_WRONLY | O_TRUNC);
      if (out < 0 || err < 0 || dup2(out, STDOUT_FILENO) < 0 || dup2(err, STDERR_FILENO) < 0 ||
          chdir(workDir.c_str()) != 0)
        _exit(126);
      close(out);
      close(err);
      execv(exe.c_str(), argv.data());
      _exit(127);
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // A child still running when the test ends is killed, so no test leaves one behind.
  ~ChildProcess() {
    if (!ended_) {
      ::kill(pid_, SIGKILL);
      reap(0);
    }
    std::remove(outFile_.c_str());
    std::remove(errFile_.c_str());
  }

  pid_t pid() const { return pid_; }
  void signal(int signo) const { ::kill(pid_, signo); }

  // Stops the child and returns once it is stopped (SIGCONT resumes it).
  void stop() const {
    ::kill(pid_, SIGSTOP);
    int status = 0;
    while (waitpid(pid_, &status, WUNTRACED) < 0 && errno == EINTR) {
    }
  }

  // Waits for the end of the child.
  Ending wait() {
    if (!ended_) reap(0);
    return ending_;
  }

  // Polls condition until it holds or the child has ended; true when it holds. The limit
  // only keeps a broken program from hanging the suite.
  bool waitUntil(const std::function<bool()>& condition, double limitSeconds = 60) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration<double>(limitSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
      if (condition()) return true;
      if (ended_ || reap(WNOHANG)) return condition();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
  }

  std::string out() const { return readAll(outFile_); }
  std::string err() const { return readAll(errFile_); }

 private:
  static std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  static std::string temporaryFile() {
    char pattern[] = "/tmp/vornak-child-XXXXXX";
    int fd = mkstemp(pattern);
    if (fd < 0) throw std::runtime_error("mkstemp failed");
    ::close(fd);
    return pattern;
  }

  // True when the child has ended (and its ending is recorded).
  bool reap(int options) {
    int status = 0;
    pid_t got;
    while ((got = waitpid(pid_, &status, options)) < 0 && errno == EINTR) {
    }
    if (got != pid_) return false;
    ended_ = true;
    if (WIFSIGNALED(status)) {
      ending_.bySignal = true;
      ending_.code = WTERMSIG(status);
    } else {
      ending_.code = WEXITSTATUS(status);
    }
    return true;
  }

  std::string outFile_, errFile_;
  pid_t pid_ = -1;
  bool ended_ = false;
  Ending ending_;
};
