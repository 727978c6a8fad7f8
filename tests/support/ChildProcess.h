// The built program as a child process that runs while the test acts on it (sends it
// signals, stops it) and that tells an exit status from death by a signal; run_exe.h runs a
// program to its end. Standard output and error go to private temporary files, so a chatty
// child can never stall on a full pipe. Every child lives under a time limit: one that
// outlasts it is killed, so a broken program fails its test instead of hanging the suite.
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

  // Starts exe with the given words after its name, in workDir; it is killed when it runs
  // longer than limitSeconds.
  ChildProcess(const std::vector<std::string>& args, const std::string& workDir,
               double limitSeconds = 90, const std::string& exe = VORNAK_EXE)
      : outFile_(temporaryFile()),
        errFile_(temporaryFile()),
        deadline_(std::chrono::steady_clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                          std::chrono::duration<double>(limitSeconds))) {
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

  // Waits for the end of the child, killing it at the time limit.
  Ending wait() {
    while (!ended_ && !reap(WNOHANG)) {
      if (Clock::now() >= deadline_) killAtLimit();
      else std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ending_;
  }

  // Polls condition until it holds, the child has ended or the time limit is reached (the
  // child is then killed); true when it holds. Conditions should look at small files only
  // (whether a file exists, its size), never read a growing one whole.
  bool waitUntil(const std::function<bool()>& condition) {
    while (!condition()) {
      if (ended_ || reap(WNOHANG)) return condition();
      if (Clock::now() >= deadline_) {
        killAtLimit();
        return condition();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  // Whether the child was killed for outlasting its time limit.
  bool timedOut() const { return timedOut_; }

  // The first megabytes of standard output and error.
  std::string out() const { return readHead(outFile_); }
  std::string err() const { return readHead(errFile_); }

 private:
  using Clock = std::chrono::steady_clock;

  static std::string readHead(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text(std::size_t(1) << 22, '\0');
    in.read(&text[0], static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
  }

  void killAtLimit() {
    ::kill(pid_, SIGKILL);
    reap(0);
    timedOut_ = true;
    std::cerr << "child process killed at its time limit\n";
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
  bool timedOut_ = false;
  Clock::time_point deadline_;
  Ending ending_;
};
