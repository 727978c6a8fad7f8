// Runs a program, or a piece of test code, in a child process with a given working directory,
// and returns its standard output, standard error and exit status, for whole-program tests. The
// child is killed when it outlasts a time limit, and only the first megabytes of its output
// are kept, so a runaway program fails its test instead of hanging the suite.
#pragma once
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

struct ExeResult {
  std::string out;  // standard output
  std::string err;  // standard error
  int status = -1;  // exit status 0..255 as a shell sees it; 128 + signal when killed
};

// Well beyond any whole-program test's run on a busy machine.
const double kChildLimitSeconds = 300;

// Forks; the child changes to workDir, sends its standard output and error to pipes, runs body
// and exits with its result (flushing the C and C++ streams first). A child still running
// after limitSeconds is killed (status 128 + 9).
inline ExeResult runInChild(const std::string& workDir, const std::function<int()>& body,
                            double limitSeconds = kChildLimitSeconds) {
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe failed");
  std::cout.flush();
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(outPipe[1], STDOUT_FILENO);
    dup2(errPipe[1], STDERR_FILENO);
    close(outPipe[0]);
    close(outPipe[1]);
    close(errPipe[0]);
    close(errPipe[1]);
    if (chdir(workDir.c_str()) != 0) _exit(126);
    int status = body();
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    _exit(status);
  }
  close(outPipe[1]);
  close(errPipe[1]);

  // Drain both pipes together so that neither can fill up and stall the child.
  ExeResult result;
  struct pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  const std::size_t keep = std::size_t(1) << 22;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(limitSeconds));
  bool killed = false;
  int open = 2;
  char buffer[4096];
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 && !killed) {
      kill(pid, SIGKILL);
      killed = true;
      result.err += "\n[killed at the test's time limit]\n";
    }
    const int ready = poll(fds, 2, killed ? -1 : static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int p = 0; p < 2; p++) {
      if (fds[p].fd < 0 || fds[p].revents == 0) continue;
      ssize_t got = read(fds[p].fd, buffer, sizeof buffer);
      if (got > 0) {
        if (sinks[p]->size() < keep) sinks[p]->append(buffer, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        close(fds[p].fd);
        fds[p].fd = -1;
        open--;
      }
    }
  }
  for (auto& fd : fds)
    if (fd.fd >= 0) close(fd.fd);

  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  else if (WIFSIGNALED(status)) result.status = 128 + WTERMSIG(status);
  return result;
}

// Runs the executable (by default the built vornak) with the given words after its name;
// beforeExec, when given, runs in the child first (to close its standard output, set a
// limit).
inline ExeResult runExe(const std::vector<std::string>& args, const std::string& workDir,
                        const std::string& exe = VORNAK_EXE,
                        const std::function<void()>& beforeExec = {}) {
  std::vector<std::string> words;
  words.push_back(exe);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);
  return runInChild(workDir, [&] {
    if (beforeExec) beforeExec();
    execv(exe.c_str(), argv.data());
    return 127;
  });
}
