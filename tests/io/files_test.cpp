#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "io/LineFile.h"
#include "io/RunError.h"
#include "driver/RunReport.h"
#include "io/Files.h"
#include "io/MatrixReader.h"
#include "io/Text.h"
#include "support/CaptureStdout.h"
#include "support/TempDir.h"

namespace {

// Runs op, which must end the run; returns the line it carried.
template <class Op>
std::string failureOf(Op op) {
  try {
    op();
  } catch (const RunError& error) {
    EXPECT_EQ(error.status, -1);
    return error.what();
  }
  ADD_FAILURE() << "expected the run to end";
  return "";
}

TEST(OpenWrite, CreatesANewFileAndNamesIt) {
  TempDir dir;
  const std::string name = dir.file("out.log");
  std::ostringstream log;
  CaptureStdout out;
  std::ofstream file;
  Files::openWrite(file, name, log, false);
  file << "x\n";
  file.close();
  EXPECT_EQ(log.str(), "  write " + name + "\n");
  EXPECT_EQ(out.text(), "");
  EXPECT_EQ(dir.read("out.log"), "x\n");
}

TEST(OpenWrite, RefusesAnExistingFileAndLeavesItUntouched) {
  TempDir dir;
  const std::string name = dir.file("run.log");
  const std::string original = "first run\nline two without break";
  dir.write("run.log", original);
  std::ostringstream log;
  CaptureStdout out;
  std::ofstream file;
  EXPECT_EQ(failureOf([&] { Files::openWrite(file, name, log, false); }),
            "File already exists: " + name);
  EXPECT_EQ(log.str(), "File already exists: " + name + "\n");
  EXPECT_EQ(out.text(), "File already exists: " + name + "\n");
  EXPECT_EQ(dir.read("run.log"), original);
}

TEST(OpenWrite, OverwriteReplacesTheFile) {
  TempDir dir;
  const std::string name = dir.file("run.finalz");
  dir.write("run.finalz", "0 0 1 1 2 2\n");
  std::ostringstream log;
  std::ofstream file;
  Files::openWrite(file, name, log, true);
  file << "0 1\n";
  file.close();
  EXPECT_EQ(log.str(), "  write " + name + "\n");
  EXPECT_EQ(dir.read("run.finalz"), "0 1\n");
}

// Every way of creating an output file fails with the specified line, on standard output and
// in the log byte for byte, and the operating system's reason on a line of its own on
// standard error. The paths fail for any user, root included.
TEST(OpenWrite, UncreatableFileFailsWithTheReasonOnStandardError) {
  TempDir dir;
  dir.write("plain", "");
  const struct {
    std::string name;
    const char* reason;
  } paths[] = {
      {dir.file("no/such/folder/x.log"), "No such file or directory"},
      {dir.file("plain/x.log"), "Not a directory"},
      {dir.file(std::string(300, 'a') + ".log"), "File name too long"},
  };
  const struct {
    const char* how;
    std::function<void(const std::string&, std::ostream&)> create;
  } writers[] = {
      {"refusing an existing file",
       [](const std::string& name, std::ostream& log) {
         std::ofstream file;
         Files::openWrite(file, name, log, false);
       }},
      {"overwriting",
       [](const std::string& name, std::ostream& log) {
         std::ofstream file;
         Files::openWrite(file, name, log, true);
       }},
      {"replacing atomically",
       [](const std::string& name, std::ostream& log) { Files::replaceFile(name, "0 1 \n", log); }},
      {"in whole lines",
       [](const std::string& name, std::ostream& log) { LineFile().create(name, log); }},
  };
  for (const auto& writer : writers)
    for (const auto& path : paths) {
      SCOPED_TRACE(std::string(writer.how) + " " + path.reason);
      std::ostringstream log;
      CaptureStdout out;
      CaptureStderr err;
      EXPECT_EQ(failureOf([&] { writer.create(path.name, log); }), "Fail to write " + path.name);
      EXPECT_EQ(log.str(), "Fail to write " + path.name + "\n");
      EXPECT_EQ(out.text(), "Fail to write " + path.name + "\n");
      EXPECT_EQ(err.text(), "Fail to write " + path.name + ": " + path.reason + "\n");
    }
}

TEST(OpenWrite, MessageOnStandardOutputIsWrittenOnce) {
  TempDir dir;
  dir.write("a.log", "");
  CaptureStdout out;
  std::ofstream file;
  failureOf([&] { Files::openWrite(file, dir.file("a.log"), vout(), false); });
  EXPECT_EQ(out.text(), "File already exists: " + dir.file("a.log") + "\n");
}

TEST(OpenRead, OpensOrFails) {
  TempDir dir;
  dir.write("in.txt", "1 2\n");
  {
    std::ostringstream log;
    std::ifstream file;
    Files::openRead(file, dir.file("in.txt"), log);
    EXPECT_EQ(log.str(), "  read " + dir.file("in.txt") + "\n");
    std::string line;
    EXPECT_TRUE(std::getline(file, line));
    EXPECT_EQ(line, "1 2");
  }
  {
    const std::string missing = dir.file("missing.txt");
    std::ostringstream log;
    CaptureStdout out;
    std::ifstream file;
    EXPECT_EQ(failureOf([&] { Files::openRead(file, missing, log); }), "Fail to read " + missing);
    EXPECT_EQ(log.str(), "Fail to read " + missing + "\n");
    EXPECT_EQ(out.text(), "Fail to read " + missing + "\n");
  }
}

TEST(OpenRead, RefusesWhatIsNotARegularFileBeforeOpeningIt) {
  // A FIFO would block the open and a device never end: each is named for what it is.
  TempDir dir;
  std::filesystem::create_directory(dir.file("folder"));
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  dir.write("data.txt", "1\n");
  std::filesystem::create_symlink(dir.file("data.txt"), dir.file("link"));
  std::filesystem::create_symlink("/dev/zero", dir.file("zeros"));
  const struct {
    const char* name;
    const char* kind;  // empty: opens
  } cases[] = {
      {"folder", "is a folder"},
      {"fifo", "is a FIFO"},
      {"zeros", "is a character device"},
      {"link", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string name = dir.file(c.name);
    std::ostringstream log;
    CaptureStdout out;
    std::ifstream file;
    if (c.kind[0] == '\0') {
      Files::openRead(file, name, log);
      EXPECT_EQ(log.str(), "  read " + name + "\n");
      continue;
    }
    const std::string line = "Fail to read " + name + ": it " + c.kind + ", not a regular file";
    EXPECT_EQ(failureOf([&] { Files::openRead(file, name, log); }), line);
    EXPECT_EQ(out.text(), line + "\n");
    EXPECT_FALSE(file.is_open());
  }
}

TEST(Fail, WritesTheLineToTheStreamAndStandardOutput) {
  std::ostringstream log;
  CaptureStdout out;
  EXPECT_EQ(failureOf([&] { Files::fail(log, "something broke: x"); }), "something broke: x");
  EXPECT_EQ(log.str(), "something broke: x\n");
  EXPECT_EQ(out.text(), "something broke: x\n");
}

TEST(ReadData, AcceptedFiles) {
  struct Case {
    const char* name;
    std::string text;
    int rows, cols;
    std::vector<int> values;  // row-major
  };
  std::string longLine;  // 2500 values in 4999 characters: the longest line allowed
  std::vector<int> longValues;
  for (int i = 0; i < 2500; i++) {
    longLine += i ? " 1" : "1";
    longValues.push_back(1);
  }
  const Case cases[] = {
      {"two rows", "1 0 1\n0 0 1\n", 2, 3, {1, 0, 1, 0, 0, 1}},
      // never silently drop the last observation
      {"no final line break", "1 0 1\n0 0 1", 2, 3, {1, 0, 1, 0, 0, 1}},
      {"odd blanks", "  1  0 1   \n0 0   1 \n", 2, 3, {1, 0, 1, 0, 0, 1}},
      {"tabs after the first line", "1 0 1\n0\t0\t1\n", 2, 3, {1, 0, 1, 0, 0, 1}},
      {"CRLF line ends", "1 0 1\r\n0 0 1\r\n", 2, 3, {1, 0, 1, 0, 0, 1}},
      // every line is split alike: blanks and tabs, the CR belonging to the line end
      {"tab-separated", "1\t0\t1\n0\t0\t1\n", 2, 3, {1, 0, 1, 0, 0, 1}},
      {"blank before CRLF", "1 0 1 \r\n0 0 1 \r\n", 2, 3, {1, 0, 1, 0, 0, 1}},
      {"4999 characters and a CR", longLine + "\r\n", 1, 2500, longValues},
      {"one column", "19\n-3\n+7\n", 3, 1, {19, -3, 7}},
      {"4999 characters", longLine + "\n", 1, 2500, longValues},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dir.write("m.dat", c.text);
    std::ostringstream log;
    CaptureStdout out;
    int rows = -1, cols = -1;
    Matrix<int> data;
    MatrixReader::readData(dir.file("m.dat"), rows, cols, data, log);
    EXPECT_EQ(rows, c.rows);
    EXPECT_EQ(cols, c.cols);
    ASSERT_EQ(data.rows(), c.rows);
    ASSERT_EQ(data.cols(), c.cols);
    std::vector<int> values;
    for (int i = 0; i < rows; i++)
      for (int t = 0; t < cols; t++) values.push_back(data[i][t]);
    EXPECT_EQ(values, c.values);
    EXPECT_EQ(log.str(), "  read " + dir.file("m.dat") + "\n  read " + dir.file("m.dat") + "\n");
    EXPECT_EQ(out.text(), "");
  }
}

TEST(ReadData, RealValues) {
  TempDir dir;
  dir.write("x.dat", "1.5 -2e-3 4\n0.25 1 -0\n");
  std::ostringstream log;
  int rows = 0, cols = 0;
  Matrix<double> data;
  MatrixReader::readData(dir.file("x.dat"), rows, cols, data, log);
  ASSERT_EQ(rows, 2);
  ASSERT_EQ(cols, 3);
  const double expected[2][3] = {{1.5, -0.002, 4}, {0.25, 1, 0}};
  for (int i = 0; i < 2; i++)
    for (int t = 0; t < 3; t++) EXPECT_EQ(data[i][t], expected[i][t]);
}

TEST(ReadData, RejectedFilesNameFileAndLine) {
  struct Case {
    const char* name;
    std::string text;
    bool real;           // read as double rather than int
    std::string reason;  // after "Bad matrix file <name>"
  };
  const std::string tooLong = std::string(4999, '1') + " ";
  const Case cases[] = {
      {"empty file", "", false, ": no data"},
      {"5000 characters", tooLong + "\n", false, ", line 1: longer than 4999 characters"},
      {"long second line", "1\n" + tooLong + "\n1\n", false,
       ", line 2: longer than 4999 characters"},
      {"blank trailing line", "1 0 1\n0 0 1\n\n", false, ", line 3: blank line"},
      {"blanks-only trailing line", "1 0 1\n0 0 1\n   \n", false, ", line 3: blank line"},
      {"blank line inside", "1 0 1\n\n0 0 1\n", false, ", line 2: blank line"},
      {"blank first line", "\n1 0 1\n", false, ", line 1: no values"},
      {"short row", "1 0 1\n0 1\n", false, ", line 2: 2 values where the first line has 3"},
      {"long row", "1 0 1\n0 1 1 1\n", false, ", line 2: 4 values where the first line has 3"},
      {"NUL after the values", std::string("1 0 1\n1 0 1") + '\0' + "junk\n", false,
       ", line 2: holds a NUL byte"},
      {"NUL inside a value", std::string("1 0") + '\0' + " 1\n", true, ", line 1: holds a NUL byte"},
      // A form feed: no separator, and shown as an escape in the line.
      {"form feed is no separator", "1 0\f1\n", false, ", line 1: not a number: 0\\f1"},
      {"word", "1 0 1\n1 x 1\n", false, ", line 2: not a number: x"},
      {"fraction as int", "1 0.5 1\n", false, ", line 1: not a number: 0.5"},
      {"trailing garbage", "1 2a 1\n", true, ", line 1: not a number: 2a"},
      {"nan", "1 nan 2\n", true, ", line 1: not a number: nan"},
      {"int overflow", "1 99999999999 2\n", false, ", line 1: not a number: 99999999999"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dir.write("bad.dat", c.text);
    const std::string name = dir.file("bad.dat");
    const std::string line = "Bad matrix file " + name + c.reason;
    std::ostringstream log;
    CaptureStdout out;
    int rows = 0, cols = 0;
    std::string failure;
    if (c.real) {
      Matrix<double> data;
      failure = failureOf([&] { MatrixReader::readData(name, rows, cols, data, log); });
    } else {
      Matrix<int> data;
      failure = failureOf([&] { MatrixReader::readData(name, rows, cols, data, log); });
    }
    EXPECT_EQ(failure, line);
    EXPECT_EQ(out.text(), line + "\n");
    const std::string logText = log.str();
    EXPECT_EQ(logText.substr(logText.size() - line.size() - 1), line + "\n");
  }
}

TEST(ReadData, MissingFile) {
  TempDir dir;
  const std::string name = dir.file("absent.dat");
  std::ostringstream log;
  CaptureStdout out;
  int rows = 0, cols = 0;
  Matrix<double> data;
  EXPECT_EQ(failureOf([&] { MatrixReader::readData(name, rows, cols, data, log); }), "Fail to read " + name);
}

TEST(Tokenize, PiecesBetweenDelimiters) {
  const struct {
    std::string text, delimiters;
    std::vector<std::string> pieces;
  } cases[] = {
      {"1 0 1", " ", {"1", "0", "1"}},
      {"  a  b ", " ", {"a", "b"}},
      {"a", " ", {"a"}},
      {"", " ", {}},
      {"    ", " ", {}},
      {"a,b;;c,", ",;", {"a", "b", "c"}},
      {"a\tb c", " ", {"a\tb", "c"}},
      {"a\tb c", " \t", {"a", "b", "c"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> pieces;
    Tokenize(c.text, pieces, c.delimiters);
    EXPECT_EQ(pieces, c.pieces) << "'" << c.text << "'";
  }
  std::vector<std::string> kept = {"x"};
  Tokenize("y z", kept);
  EXPECT_EQ(kept, (std::vector<std::string>{"x", "y", "z"}));
}

TEST(NumberText, DefaultStreamFormatting) {
  EXPECT_EQ(Text::n2s(0), "0");
  EXPECT_EQ(Text::n2s(-1), "-1");
  EXPECT_EQ(Text::n2s(1234567), "1234567");
  EXPECT_EQ(Text::n2s(10000000000L), "10000000000");
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0.0, "0"},          {0.5, "0.5"},      {1.0, "1"},      {1234567.0, "1.23457e+06"},
      {2.302585, "2.30259"}, {-0.5, "-0.5"}, {1e-5, "1e-05"}, {123456.0, "123456"},
      {0.1 + 0.2, "0.3"},
  };
  for (const auto& c : cases) EXPECT_EQ(Text::n2s(c.value), c.text) << c.value;
}

time_t localTime(int year, int month, int day, int hour, int minute, int second) {
  struct tm parts = {};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  parts.tm_isdst = -1;
  return mktime(&parts);
}

TEST(Report, LocalTimeHasNoLeadingZeros) {
  EXPECT_EQ(Text::localTimeText(localTime(2024, 3, 5, 7, 8, 9)), "2024/3/5 7:8:9");
  EXPECT_EQ(Text::localTimeText(localTime(2025, 1, 1, 0, 0, 0)), "2025/1/1 0:0:0");
  EXPECT_EQ(Text::localTimeText(localTime(2023, 12, 31, 23, 59, 58)), "2023/12/31 23:59:58");
}

TEST(Report, ElapsedTimeWording) {
  const struct {
    long seconds;
    const char* finished;
  } cases[] = {
      {0, "0 min and 0 sec, or 0 seconds."},
      {59, "0 min and 59 sec, or 59 seconds."},
      {3599, "59 min and 59 sec, or 3599 seconds."},
      {3600, "1 hours, 0 min and 0 sec, or 3600 seconds."},
      {3725, "1 hours, 2 min and 5 sec, or 3725 seconds."},
      {86399, "23 hours, 59 min and 59 sec, or 86399 seconds."},
      {86400, "1 days, 0 hours, 0 min and 0 sec, or 86400 seconds."},
      {90061, "1 days, 1 hours, 1 min and 1 sec, or 90061 seconds."},
      {180000, "2 days, 2 hours, 0 min and 0 sec, or 180000 seconds."},
  };
  std::vector<std::string> words = {"vornak", "-m", "mclust2"};
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(&w[0]);
  const time_t t0 = localTime(2024, 3, 5, 7, 8, 9);
  for (const auto& c : cases) {
    EXPECT_EQ(RunReport::finishReport(3, argv.data(), "done", t0, t0 + c.seconds),
              std::string("\nvornak -m mclust2 \nStarted at 2024/3/5 7:8:9\nFinished in ") +
                  c.finished + "\ndone\n");
  }
}

TEST(Report, FinishUpWritesTheReportToTheStreamAndStandardOutput) {
  std::vector<std::string> words = {"vornak", "-h", "EN"};
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(&w[0]);
  const time_t t0 = time(nullptr);
  const std::string head = "\nvornak -h EN \nStarted at " + Text::localTimeText(t0) + "\nFinished in ";
  {
    std::ostringstream log;
    CaptureStdout out;
    EXPECT_EQ(RunReport::finishUp(3, argv.data(), "extra", t0, log, ""), 1);
    EXPECT_EQ(log.str().substr(0, head.size()), head);
    const std::string tail = " seconds.\nextra\n";
    EXPECT_EQ(log.str().substr(log.str().size() - tail.size()), tail);
    EXPECT_EQ(out.text(), log.str());
  }
  {
    CaptureStdout out;
    EXPECT_EQ(RunReport::finishUp(3, argv.data(), "", t0, vout(), ""), 1);
    EXPECT_EQ(out.text().substr(0, head.size()), head);
    EXPECT_EQ(out.text().find(head, 1), std::string::npos) << "report written twice";
  }
}

}  // namespace
