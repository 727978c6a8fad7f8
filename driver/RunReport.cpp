#include "driver/RunReport.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "io/Console.h"
#include "io/Text.h"

std::string RunReport::finishReport(int argc, char** argv, const std::string& msg, time_t t0,
                            time_t now) {
  std::ostringstream report;
  report << '\n';
  for (int i = 0; i < argc; i++) report << argv[i] << ' ';
  report << '\n';
  report << "Started at " << Text::localTimeText(t0) << '\n';
  long elapsed = static_cast<long>(now - t0);
  long minPassed = elapsed / 60;
  long dayPassed = minPassed / 1440;
  long hourPassed = minPassed / 60 - 24 * dayPassed;
  report << "Finished in ";
  if (dayPassed > 0) report << dayPassed << " days, ";
  if (dayPassed > 0 || hourPassed > 0) report << hourPassed << " hours, ";
  report << minPassed % 60 << " min and " << elapsed % 60 << " sec, or " << elapsed
         << " seconds.\n";
  report << msg << '\n';
  return report.str();
}

int RunReport::finishUp(int argc, char** argv, const std::string& msg, time_t t0, std::ostream& logFile,
                const std::string& email) {
  time_t now = time(nullptr);
  std::string report = finishReport(argc, argv, msg, t0, now);
  logFile << report;
  logFile.flush();
  if (&logFile != &vout()) vout() << report;
  vout().flush();
  if (!email.empty() && (now - t0) / 60 > 5) sendMailOnUnix(email, report);
  return 1;
}

void RunReport::sendMailOnUnix(const std::string& to, const std::string& body) {
  sendMailOnUnix(to, body, "/usr/bin/mail");
}

void RunReport::sendMailOnUnix(const std::string& to, const std::string& body,
                       const std::string& mailProgram) {
  char cwd[101] = {0};
  if (getcwd(cwd, sizeof cwd) == nullptr) cwd[0] = '\0';
  char host[101] = {0};
  if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  std::string subject = std::string(host) + cwd;

  // The mail program runs without a shell, so no name can inject commands.
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return;
  pid_t pid = fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return;
  }
  if (pid == 0) {
    dup2(fds[0], STDIN_FILENO);
    // The run ignores these (io/Interrupt.h); the mail program gets the usual actions.
    signal(SIGPIPE, SIG_DFL);
    signal(SIGXFSZ, SIG_DFL);
    ::close(fds[0]);
    ::close(fds[1]);
    execl(mailProgram.c_str(), "mail", "-s", subject.c_str(), to.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  ::close(fds[0]);
  struct sigaction ignore = {}, previous = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &previous);
  const char* p = body.data();
  size_t left = body.size();
  while (left > 0) {
    ssize_t written = ::write(fds[1], p, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    p += written;
    left -= static_cast<size_t>(written);
  }
  ::close(fds[1]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  sigaction(SIGPIPE, &previous, nullptr);
}

