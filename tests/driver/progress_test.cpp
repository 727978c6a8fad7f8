// On a terminal a search shows a progress line on standard error that starts with
// "iteration N" (front ends parse that prefix) and names the target, the share done or the
// time left and the best score; when it ends, one line says how, with the best score and the
// cluster counts. Without a terminal neither is written.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <regex>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/run_exe.h"

namespace {

// Runs the program with a terminal as its standard output and error; returns what the
// terminal received and the exit status.
std::string runOnTerminal(const std::vector<std::string>& args, const std::string& dir,
                          int& status) {
  std::vector<std::string> words{VORNAK_EXE};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    execv(VORNAK_EXE, argv.data());
    _exit(127);
  }
  std::string text;
  char buffer[4096];
  // A child that outlasts the limit is killed; its terminal then closes.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  for (;;) {
    struct pollfd ready = {master, POLLIN, 0};
    if (std::chrono::steady_clock::now() > deadline) kill(pid, SIGKILL);
    if (poll(&ready, 1, 1000) == 0) continue;
    const ssize_t got = read(master, buffer, sizeof buffer);
    if (got > 0) text.append(buffer, static_cast<size_t>(got));
    else if (got < 0 && errno == EINTR) continue;
    else break;  // EIO once the child has closed the terminal
  }
  close(master);
  int raw = 0;
  waitpid(pid, &raw, 0);
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return text;
}

const char* const kMatrix = "1 1 0 0\n1 0 0 0\n0 0 1 1\n0 1 1 1\n1 1 1 0\n0 0 0 1\n";

TEST(Progress, OnATerminalShowsTargetBestAndEnding) {
  const struct {
    std::vector<std::string> limit;
    const char* progress;  // the first progress line, after "\riteration 1"
    const char* how;
  } cases[] = {
      {{"-B", "3"}, " of 1000 \\(0%\\)  0 s  score -[0-9.]+  best -[0-9.]+  clusters [0-9]+",
       "completed after 1000 iterations"},
      {{"-i", "50"}, " of 50 \\(2%\\)  0 s  score -[0-9.]+  best -[0-9.]+  clusters [0-9]+",
       "completed after 50 iterations"},
      {{"-t", "0"}, "  0 s, 0\\.0 of 0 min left  score -[0-9.]+  best -[0-9.]+  clusters [0-9]+",
       "time limit of 0 min reached after 1 iterations"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    dir.write("d.txt", kMatrix);
    std::vector<std::string> args = {"-m", "HDBern", "-f", "d.txt", "-k", "0", "-h", "OA", "-c",
                                     "integrated", "-q"};
    args.insert(args.end(), c.limit.begin(), c.limit.end());
    SCOPED_TRACE(c.limit.at(0));
    int status = 0;
    const std::string shown = runOnTerminal(args, dir.path, status);
    EXPECT_EQ(status, 1) << shown;
    EXPECT_TRUE(std::regex_search(shown, std::regex(std::string("\riteration 1") + c.progress)))
        << shown;
    EXPECT_TRUE(std::regex_search(
        shown, std::regex(std::string("\nvornak: ") + c.how +
                          "; best score -[0-9.]+ \\([0-9]+ clusters\\), final [0-9]+ clusters\r?\n")))
        << shown;
  }
}

TEST(Progress, NothingWithoutATerminal) {
  TempDir dir;
  dir.write("d.txt", kMatrix);
  const ExeResult result = runExe(
      {"-m", "HDBern", "-f", "d.txt", "-k", "0", "-h", "OA", "-c", "integrated", "-B", "2", "-q"},
      dir.path);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "");
}

}  // namespace
