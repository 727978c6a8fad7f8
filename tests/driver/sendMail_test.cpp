// The mailed report: the body reaches the mail program's standard input and the words reach
// it unchanged (no shell), and a missing program or one that never reads neither stops the
// caller nor changes the report's result. Nothing is sent anywhere: the real mail program is
// only called where it is absent.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "driver/RunReport.h"
#include "support/TempDir.h"

namespace {

bool sameAction(const struct sigaction& a, const struct sigaction& b) {
  return a.sa_handler == b.sa_handler;
}

struct sigaction currentPipeAction() {
  struct sigaction now = {};
  sigaction(SIGPIPE, nullptr, &now);
  return now;
}

TEST(SendMail, BodyAndWordsReachTheProgramUnchanged) {
  TempDir dir;
  // A stand-in mail program that keeps what it was given next to itself.
  dir.write("mail.sh",
            "#!/bin/sh\n"
            "here=$(dirname \"$0\")\n"
            "cat > \"$here/body.txt\"\n"
            "for word in \"$@\"; do printf '%s\\n' \"$word\"; done > \"$here/words.txt\"\n");
  chmod(dir.file("mail.sh").c_str(), 0755);
  const std::string to = "someone@example.invalid'; touch " + dir.file("injected") + " '";
  const std::string body =
      "\nvornak -m HDBern \nStarted at 2024/1/2 3:4:5\nline with $HOME and `x`\n";
  RunReport::sendMailOnUnix(to, body, dir.file("mail.sh"));

  EXPECT_EQ(dir.read("body.txt"), body);
  char host[256] = {0};
  gethostname(host, sizeof host - 1);
  const std::string subject = std::string(host) + std::filesystem::current_path().string();
  EXPECT_EQ(dir.read("words.txt"), "-s\n" + subject + "\n" + to + "\n");
  EXPECT_FALSE(dir.exists("injected"));
}

TEST(SendMail, MissingOrDeafProgramIsIgnored) {
  // A body larger than a pipe holds, so a program that exits without reading breaks the pipe.
  const std::string body(1 << 20, 'x');
  const struct sigaction before = currentPipeAction();
  for (const char* program : {"/nonexistent/vornak-mail", "/bin/true"}) {
    SCOPED_TRACE(program);
    RunReport::sendMailOnUnix("someone@example.invalid", body, program);  // must simply return
    EXPECT_TRUE(sameAction(currentPipeAction(), before));  // SIGPIPE handling restored
  }
}

TEST(SendMail, AbsentSystemMailProgramLeavesTheReportResult) {
  if (access("/usr/bin/mail", F_OK) == 0)
    GTEST_SKIP() << "/usr/bin/mail exists here; calling it would send mail";
  const struct sigaction before = currentPipeAction();
  RunReport::sendMailOnUnix("someone@example.invalid", "report\n");
  // A run longer than 5 minutes with a recipient mails its report; the result stays 1.
  char program[] = "vornak";
  char* argv[] = {program};
  std::ostringstream report;
  EXPECT_EQ(RunReport::finishUp(1, argv, "", time(nullptr) - 400, report, "someone@example.invalid"), 1);
  EXPECT_NE(report.str().find("Finished in 6 min"), std::string::npos) << report.str();
  EXPECT_TRUE(sameAction(currentPipeAction(), before));
}

}  // namespace
