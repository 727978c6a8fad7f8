// The vornak-fit program on the bundled examples and on refused input, each run under a time
// limit in a temporary folder: exit status, the files of its output folder, the stated reason
// for stopping, one-line failures that leave no folder, and no chain outliving it.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "support/run_exe.h"
#include "tests/summary/xml_check.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::set<std::string> entries(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

std::vector<std::string> filesEndingIn(const std::string& folder, const std::string& suffix) {
  std::vector<std::string> found;
  for (const std::string& name : entries(folder))
    if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
      found.push_back(name);
  return found;
}

void copyExample(const TempDir& temp, const std::string& name) {
  fs::copy_file(std::string(VORNAK_SOURCE_DIR) + "/examples/" + name, temp.file(name));
}

// Processes whose working folder is the given one: the chains of a run there.
int processesIn(const std::string& folder) {
  const std::string wanted = fs::canonical(folder).string();
  int count = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code error;
    const fs::path cwd = fs::read_symlink(entry.path() / "cwd", error);
    if (!error && cwd.string() == wanted) count++;
  }
  return count;
}

// The stop line, whatever the timing made it.
void expectStopStated(const std::string& line) {
  const bool agreed = line.rfind("Stopped: the chains agreed after ", 0) == 0;
  const bool limit = line.rfind("Stopped at the time limit of ", 0) == 0;
  EXPECT_TRUE(agreed || limit) << line;
  EXPECT_NE(line.find("R-hat "), std::string::npos) << line;
}

struct Example {
  const char* file;
  const char* folder;
  long items;
  const char* model;
};

const Example kExamples[] = {
    {"iris.dat", "iris", 150, "mvn"},       {"iris4.dat", "iris4", 150, "HDGBern"},
    {"sim11.dat", "sim11", 30, "mvn"},      {"votes.dat", "votes", 36, "HDBern"},
    {"set123a.fasta", "set123a", 15, "ProteinSequence"},
};

void PrintTo(const Example& example, std::ostream* os) { *os << example.file; }

class FitExample : public ::testing::TestWithParam<Example> {};

TEST_P(FitExample, AnswersWithEveryFile) {
  const Example& example = GetParam();
  TempDir temp;
  copyExample(temp, example.file);
  const ExeResult result =
      runExe({example.file, "--chains", "2", "--minutes", "0.1"}, temp.path, VORNAK_FIT_EXE);
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");  // not a terminal, no --progress: nothing in the first minute
  const std::vector<std::string> out = lines(result.out);
  ASSERT_EQ(out.size(), 3u) << result.out;
  expectStopStated(out[0]);
  const std::string dir = temp.file(example.folder);
  EXPECT_EQ(out[1], "The answer: " + std::string(example.folder) + "/report.html (estimate " + example.folder +
                        "/summary.estimate, report " + example.folder + "/summary.txt)");
  EXPECT_EQ(out[2].rfind("Chain files: ", 0), 0u) << out[2];
  EXPECT_NE(out[2].find(" kept in " + std::string(example.folder) + " (--keep chooses which stay)"),
            std::string::npos) << out[2];

  // Each chain's draws: its seed in the name, lines of ITER SCORE K and one label per item.
  const std::vector<std::string> draws = filesEndingIn(dir, ".draws");
  ASSERT_EQ(draws.size(), 2u);
  for (int chain = 0; chain < 2; chain++) {
    EXPECT_NE(draws[chain].find("_s" + std::to_string(chain + 1) + "_e"), std::string::npos) << draws[chain];
    const std::vector<std::string> drawLines = lines(temp.read(std::string(example.folder) + "/" + draws[chain]));
    ASSERT_FALSE(drawLines.empty()) << draws[chain];
    std::istringstream first(drawLines.front());
    std::vector<std::string> fields;
    for (std::string field; first >> field;) fields.push_back(field);
    EXPECT_EQ(static_cast<long>(fields.size()), 3 + example.items) << drawLines.front();
    EXPECT_TRUE(fs::exists(dir + "/chain" + std::to_string(chain + 1) + ".stdout"));
  }
  EXPECT_EQ(filesEndingIn(dir, ".log").size(), 2u);
  EXPECT_FALSE(fs::exists(dir + "/.pilot"));

  // The summary's files, its printed report, and the page.
  const std::vector<std::string> estimate = lines(temp.read(std::string(example.folder) + "/summary.estimate"));
  ASSERT_EQ(estimate.size(), 1u);
  std::istringstream labels(estimate[0]);
  long count = 0;
  for (std::string label; labels >> label;) count++;
  EXPECT_EQ(count, example.items);
  for (const char* name : {"summary.summary.tsv", "summary.svg", "summary.txt", "report.html"})
    EXPECT_GT(fs::file_size(dir + "/" + name), 0u) << name;
  const std::string page = temp.read(std::string(example.folder) + "/report.html");
  EXPECT_NE(page.find("-m " + std::string(example.model)), std::string::npos);
  EXPECT_NE(page.find(out[0].substr(0, 20)), std::string::npos);
  EXPECT_EQ(processesIn(dir), 0);
}

INSTANTIATE_TEST_SUITE_P(Bundled, FitExample, ::testing::ValuesIn(kExamples),
                         [](const ::testing::TestParamInfo<Example>& info) { return std::string(info.param.folder); });

TEST(FitProgram, ASecondRunTakesTheNextFolderName) {
  TempDir temp;
  copyExample(temp, "sim11.dat");
  const std::vector<std::string> args = {"sim11.dat", "--chains", "2", "--minutes", "0.05"};
  const ExeResult first = runExe(args, temp.path, VORNAK_FIT_EXE);
  ASSERT_EQ(first.status, 0) << first.err;
  const std::string page = temp.read("sim11/report.html");
  const std::string estimate = temp.read("sim11/summary.estimate");
  const ExeResult second = runExe(args, temp.path, VORNAK_FIT_EXE);
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_NE(second.out.find(" sim11-2/report.html"), std::string::npos) << second.out;
  EXPECT_TRUE(fs::exists(temp.file("sim11-2/report.html")));
  EXPECT_EQ(temp.read("sim11/report.html"), page);
  EXPECT_EQ(temp.read("sim11/summary.estimate"), estimate);
  EXPECT_EQ(filesEndingIn(temp.file("sim11"), ".draws").size(), 2u);
}

struct Failure {
  const char* name;
  std::vector<std::string> args;
  const char* offending;  // in the line
};

TEST(FitProgram, FailuresAreOneLineAndLeaveNoFolder) {
  const Failure cases[] = {
      {"missing data", {"nope.dat"}, "nope.dat"},
      {"data is a folder", {"full"}, "full"},
      {"non-empty -o", {"sim11.dat", "-o", "full"}, "full"},
      {"refused letter", {"sim11.dat", "-s", "3"}, "-s"},
      {"bad own value", {"sim11.dat", "--minutes", "abc"}, "abc"},
      {"bad engine value", {"sim11.dat", "-T", "100", "--minutes", "0.2"}, "100"},
      {"data the model refuses", {"na.dat", "-m", "mvn", "--minutes", "0.2"}, "NA"},
      {"unaligned sequences", {"raw.fa"}, "not aligned (sequence 2 has 3 characters where the first has 6"},
      {"--align on a matrix", {"sim11.dat", "--align"}, "sim11.dat"},
      {"unknown --keep kind", {"sim11.dat", "--keep", "log,drawz"}, "drawz"},
  };
  for (const Failure& c : cases) {
    TempDir temp;
    copyExample(temp, "sim11.dat");
    temp.write("na.dat", "1.5 2\nNA 3\n4 5.5\n");
    temp.write("raw.fa", ">a\nACDEFG\n>b\nACD\n");
    fs::create_directory(temp.file("full"));
    temp.write("full/earlier", "kept");
    const std::set<std::string> before = entries(temp.path);
    const ExeResult result = runExe(c.args, temp.path, VORNAK_FIT_EXE);
    EXPECT_EQ(result.status, 255) << c.name;
    EXPECT_EQ(result.out, "") << c.name;
    const std::vector<std::string> err = lines(result.err);
    ASSERT_EQ(err.size(), 1u) << c.name << ": " << result.err;
    EXPECT_EQ(err[0].rfind("vornak-fit: ", 0), 0u) << err[0];
    EXPECT_NE(err[0].find(c.offending), std::string::npos) << err[0];
    EXPECT_EQ(entries(temp.path), before) << c.name;
    EXPECT_EQ(entries(temp.file("full")), std::set<std::string>{"earlier"}) << c.name;
  }
}

TEST(FitProgram, HelpIsCompleteAndSucceeds) {
  TempDir temp;
  const ExeResult result = runExe({"--help"}, temp.path, VORNAK_FIT_EXE);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_NE(result.out.find("Usage: vornak-fit DATA [-o DIR]"), std::string::npos);
  EXPECT_TRUE(entries(temp.path).empty());
}

// Waits until a chain of the run in folder has written a draw.
bool chainsDrawing(const std::string& folder) {
  if (!fs::is_directory(folder)) return false;
  for (const std::string& name : filesEndingIn(folder, ".draws"))
    if (fs::file_size(folder + "/" + name) > 0) return true;
  return false;
}

class FitSignal : public ::testing::TestWithParam<int> {};

TEST_P(FitSignal, StopsTheChainsAndStillAnswers) {
  const int signo = GetParam();
  TempDir temp;
  copyExample(temp, "votes.dat");
  ChildProcess fit({"votes.dat", "--chains", "2", "--minutes", "1", "--rhat", "1.000001", "--ess", "1e9",
                    "-o", "out", "--progress"},
                   temp.path, 120, VORNAK_FIT_EXE);
  // Standard error is no terminal: with --progress, one whole line per check.
  ASSERT_TRUE(fit.waitUntil([&] { return chainsDrawing(temp.file("out")) && !fit.err().empty(); })) << fit.err();
  fit.signal(signo);
  const ChildProcess::Ending ending = fit.wait();
  EXPECT_FALSE(fit.timedOut());
  EXPECT_FALSE(ending.bySignal);
  EXPECT_EQ(ending.code, 128 + signo) << fit.err();
  const std::vector<std::string> out = lines(fit.out());
  ASSERT_EQ(out.size(), 3u) << fit.out() << fit.err();
  EXPECT_EQ(out[0].rfind("Stopped by signal " + std::to_string(signo) + " after ", 0), 0u) << out[0];
  EXPECT_TRUE(fs::exists(temp.file("out/report.html")));
  EXPECT_EQ(processesIn(temp.file("out")), 0);
  const std::vector<std::string> progress = lines(fit.err());
  ASSERT_FALSE(progress.empty());
  for (const std::string& line : progress) {
    EXPECT_EQ(line.rfind("vornak-fit: ", 0), 0u) << line;
    EXPECT_EQ(line.find('\r'), std::string::npos) << line;
    const bool figures = line.find("  iteration ") != std::string::npos && line.find("  R-hat ") != std::string::npos;
    const bool waiting = line.find("  no complete draw in every chain yet") != std::string::npos;
    EXPECT_TRUE(figures || waiting) << line;
  }
}

INSTANTIATE_TEST_SUITE_P(InterruptAndTerminate, FitSignal, ::testing::Values(SIGINT, SIGTERM));

TEST(FitProgram, AlignmentAfterBlankLinesIsRead) {
  TempDir temp;
  std::ifstream example(std::string(VORNAK_SOURCE_DIR) + "/examples/set123a.fasta");
  std::ostringstream text;
  text << example.rdbuf();
  temp.write("aligned.fasta", "\n \t\n\n" + text.str());
  const ExeResult result = runExe({"aligned.fasta", "--chains", "2", "--minutes", "0.05"}, temp.path, VORNAK_FIT_EXE);
  ASSERT_EQ(result.status, 0) << result.err;
  expectStopStated(lines(result.out).at(0));
  EXPECT_EQ(temp.read("aligned/aligned.fasta").substr(0, 5), ">seq1");
  EXPECT_NE(temp.read("aligned/report.html").find("-m ProteinSequence"), std::string::npos);
}

// --align runs the mafft on the PATH in the output folder and the chains read its output; the
// report records the command. A fake mafft pads every sequence with gaps to the longest.
TEST(FitProgram, AlignRunsMafftFromThePathAndKeepRemovesChainFiles) {
  TempDir temp;
  std::ifstream example(std::string(VORNAK_SOURCE_DIR) + "/examples/set123a.fasta");
  // Every sequence loses its gaps, every second one its first residue too: unequal lengths.
  std::string raw;
  int sequence = 0;
  bool first = false;
  for (std::string line; std::getline(example, line);) {
    if (line[0] == '>') {
      sequence++;
      first = true;
    } else {
      line.erase(std::remove(line.begin(), line.end(), '-'), line.end());
      if (first && sequence % 2 == 0) line.erase(0, 1);
      first = false;
    }
    raw += line + "\n";
  }
  temp.write("raw.fa", raw);
  fs::create_directory(temp.file("bin"));
  temp.write("bin/mafft",
             "#!/bin/sh\nPATH=/usr/bin:/bin\n[ \"$1\" = --auto ] || exit 2\n"
             "awk '/^>/{n++; h[n]=$0; next} {s[n]=s[n] $0} END{m=0; for(i=1;i<=n;i++) if(length(s[i])>m) m=length(s[i]);"
             " for(i=1;i<=n;i++){x=s[i]; while(length(x)<m) x=x \"-\"; print h[i]; print x}}' \"$2\"\n");
  fs::permissions(temp.file("bin/mafft"), fs::perms::owner_all);
  const std::string path = temp.file("bin");
  const auto onlyFakeMafft = [&] { setenv("PATH", path.c_str(), 1); };

  const ExeResult refused = runExe({"raw.fa"}, temp.path, VORNAK_FIT_EXE, onlyFakeMafft);
  EXPECT_EQ(refused.status, 255);
  EXPECT_NE(refused.err.find("mafft --auto in.fa > aligned.fa"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("--align"), std::string::npos) << refused.err;

  const ExeResult result = runExe({"raw.fa", "--align", "--chains", "2", "--minutes", "0.05", "--keep", "log,best"},
                                  temp.path, VORNAK_FIT_EXE, onlyFakeMafft);
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> out = lines(result.out);
  ASSERT_EQ(out.size(), 3u) << result.out;
  EXPECT_NE(out[2].find("(log, best), "), std::string::npos) << out[2];
  EXPECT_NE(out[2].find(" removed"), std::string::npos) << out[2];
  const std::vector<std::string> aligned = lines(temp.read("raw/raw-aligned.fa"));
  ASSERT_EQ(aligned.size(), 30u);
  EXPECT_EQ(aligned[1].size(), aligned[29].size());
  EXPECT_NE(temp.read("raw/report.html").find("mafft --auto raw.fa &gt; raw-aligned.fa"), std::string::npos);
  EXPECT_EQ(filesEndingIn(temp.file("raw"), ".log").size(), 2u);
  EXPECT_EQ(filesEndingIn(temp.file("raw"), ".best").size(), 2u);
  for (const char* gone : {".draws", ".save", ".finalz", ".stdout"})
    EXPECT_TRUE(filesEndingIn(temp.file("raw"), gone).empty()) << gone;
  EXPECT_FALSE(fs::exists(temp.file("raw/chain1.stderr")));
  EXPECT_TRUE(fs::exists(temp.file("raw/mafft.stderr")));  // the aligner's own messages stay
  EXPECT_TRUE(fs::exists(temp.file("raw/summary.estimate")));

  // Without mafft on the PATH --align is refused before any folder exists.
  const auto noPath = [] { setenv("PATH", "/nonexistent", 1); };
  const ExeResult missing = runExe({"raw.fa", "--align", "-o", "none"}, temp.path, VORNAK_FIT_EXE, noPath);
  EXPECT_EQ(missing.status, 255);
  EXPECT_NE(missing.err.find("--align runs mafft, which is not on the PATH"), std::string::npos) << missing.err;
  EXPECT_FALSE(fs::exists(temp.file("none")));
}

TEST(FitProgram, ChainsEndWhenFitIsKilled) {
  TempDir temp;
  copyExample(temp, "votes.dat");
  ChildProcess fit({"votes.dat", "--chains", "2", "--minutes", "3", "--rhat", "1.000001", "--ess", "1e9",
                    "-o", "out"},
                   temp.path, 120, VORNAK_FIT_EXE);
  ASSERT_TRUE(fit.waitUntil([&] { return fs::is_directory(temp.file("out")) && processesIn(temp.file("out")) == 2; }))
      << fit.err();
  fit.signal(SIGKILL);
  fit.wait();
  // The chains get SIGINT when their parent dies; they write their files and end.
  bool gone = false;
  for (int tries = 0; tries < 600 && !gone; tries++) {
    gone = processesIn(temp.file("out")) == 0;
    if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(gone);
}

}  // namespace

namespace {

TEST(FitProgram, EngineLettersReachEveryChain) {
  TempDir temp;
  copyExample(temp, "sim11.dat");
  const ExeResult result = runExe({"sim11.dat", "-m", "mclust2", "-h", "SR2", "-a", "1", "-k", "2", "--chains", "2",
                                   "--minutes", "0.05", "--seed", "5"},
                                  temp.path, VORNAK_FIT_EXE);
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> draws = filesEndingIn(temp.file("sim11"), ".draws");
  ASSERT_EQ(draws.size(), 2u);
  for (int chain = 0; chain < 2; chain++) {
    EXPECT_EQ(draws[chain].rfind("sim11_k2_SR2_p1_a1_t2_s" + std::to_string(5 + chain) + "_e", 0), 0u)
        << draws[chain];
    EXPECT_NE(draws[chain].find("_x.draws"), std::string::npos) << draws[chain];  // -x kept from the settings
  }
  EXPECT_NE(temp.read("sim11/report.html").find("-m mclust2"), std::string::npos);
}

}  // namespace

namespace {

// Many chains on tiny data: the summary's text and table grow with the chains, not their
// square, and the page is made from the summary's figures (no table read back with a cap).
TEST(FitProgram, ManyChainsStillAnswer) {
  TempDir temp;
  copyExample(temp, "tiny.dat");
  const ExeResult result =
      runExe({"tiny.dat", "--chains", "24", "--minutes", "0.1", "-o", "out"}, temp.path, VORNAK_FIT_EXE);
  ASSERT_EQ(result.status, 0) << result.err;
  const std::string text = temp.read("out/summary.txt");
  EXPECT_NE(text.find("estimates: 276 pairs, smallest "), std::string::npos) << text;  // 24 x 23 / 2
  EXPECT_EQ(text.find(" 1-2: "), std::string::npos);
  // Every picture of the page and the summary's own is well-formed XML.
  const std::vector<std::string> svgs = xml_check::svgElements(temp.read("out/report.html"));
  EXPECT_GE(svgs.size(), 2u);
  for (const std::string& svg : svgs) EXPECT_EQ(xml_check::wellFormed(svg), "") << svg.substr(0, 200);
  EXPECT_EQ(xml_check::wellFormed(temp.read("out/summary.svg")), "");
}

// A data file named with a line break and control bytes: the chains' files are named by the
// plan, not by a printed line, and no raw control byte reaches a picture, the page or stdout.
TEST(FitProgram, FileNamesWithLineBreaksAndControlBytes) {
  TempDir temp;
  copyExample(temp, "tiny.dat");
  const std::string name = "a\nb\"><svg onload=alert(1)>\x01\x1bq.dat";
  fs::copy_file(temp.file("tiny.dat"), temp.file(name));
  // The default folder is named after the file, control bytes and all.
  const ExeResult result = runExe({name, "--chains", "2", "--minutes", "0.05"}, temp.path, VORNAK_FIT_EXE);
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(lines(result.out).size(), 3u) << result.out;
  EXPECT_EQ(result.out.find('\x01'), std::string::npos);
  EXPECT_NE(result.out.find("The answer: a\\nb"), std::string::npos) << result.out;
  const std::string folder = name.substr(0, name.size() - 4);
  const std::string page = temp.read(folder + "/report.html");
  for (const std::string& text : {page, temp.read(folder + "/summary.svg"), temp.read(folder + "/summary.txt")}) {
    EXPECT_EQ(text.find('\x01'), std::string::npos);
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
  }
  EXPECT_NE(page.find("\\x01\\x1bq.dat"), std::string::npos);
  for (const std::string& svg : xml_check::svgElements(page)) EXPECT_EQ(xml_check::wellFormed(svg), "");
  EXPECT_EQ(xml_check::wellFormed(temp.read(folder + "/summary.svg")), "");
}

// Whether signo is still pending for the process (its handler not yet entered).
bool signalPending(pid_t pid, int signo) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("SigPnd:", 0) == 0 || line.rfind("ShdPnd:", 0) == 0)
      if ((std::stoull(line.substr(7), nullptr, 16) >> (signo - 1)) & 1) return true;
  return false;
}

// timeout(1) signals the child, then its process group: two copies of one signal at once are
// one request, and the answer is still written. The second copy is sent once the first has
// reached the handler, so the kernel cannot merge them into one.
TEST_P(FitSignal, TwoCopiesOfOneSignalAreOneRequest) {
  const int signo = GetParam();
  TempDir temp;
  copyExample(temp, "votes.dat");
  ChildProcess fit({"votes.dat", "--chains", "2", "--minutes", "1", "--rhat", "1.000001", "--ess", "1e9",
                    "-o", "out"},
                   temp.path, 120, VORNAK_FIT_EXE);
  ASSERT_TRUE(fit.waitUntil([&] { return chainsDrawing(temp.file("out")); })) << fit.err();
  fit.signal(signo);
  for (int tries = 0; tries < 10000 && signalPending(fit.pid(), signo); tries++)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  fit.signal(signo);
  const ChildProcess::Ending ending = fit.wait();
  EXPECT_FALSE(fit.timedOut());
  EXPECT_FALSE(ending.bySignal) << ending.code;
  EXPECT_EQ(ending.code, 128 + signo) << fit.err();
  EXPECT_EQ(lines(fit.out()).size(), 3u) << fit.out() << fit.err();
  EXPECT_TRUE(fs::exists(temp.file("out/report.html")));
}

// The chain of the run in folder started with seed `seed`, or 0.
pid_t chainWithSeed(const std::string& folder, int seed) {
  const std::string wanted = fs::canonical(folder).string();
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code error;
    if (fs::read_symlink(entry.path() / "cwd", error).string() != wanted || error) continue;
    std::ifstream in(entry.path() / "cmdline", std::ios::binary);
    std::vector<std::string> words;
    for (std::string word; std::getline(in, word, '\0');) words.push_back(word);
    for (size_t w = 0; w + 1 < words.size(); w++)
      if (words[w] == "-s" && words[w + 1] == std::to_string(seed)) return std::stoi(name);
  }
  return 0;
}

// Whether each of chains draws files in folder holds at least lines lines: every chain then
// keeps draws after the burn-in, whichever one is stopped.
bool everyChainDrew(const std::string& folder, size_t chains, size_t lines) {
  if (!fs::is_directory(folder)) return false;
  const std::vector<std::string> names = filesEndingIn(folder, ".draws");
  if (names.size() < chains) return false;
  for (const std::string& name : names) {
    std::ifstream in(folder + "/" + name, std::ios::binary);
    size_t count = 0;
    for (std::string line; count < lines && std::getline(in, line);) count++;
    if (count < lines) return false;
  }
  return true;
}

// A chain ended by a signal vornak-fit did not send is named with it; one that died is left
// out and the others' draws still make the answer.
TEST(FitProgram, AChainEndedByASignalIsNamed) {
  const struct {
    int signo;
    const char* said;
    bool leftOut;
  } cases[] = {{SIGKILL, "chain 2 ended by signal 9 (Killed)", true},
#ifdef __SANITIZE_ADDRESS__
               // The address sanitizer catches the fault and aborts.
               {SIGSEGV, "chain 2 ended by signal 6 (Aborted)", true},
#else
               {SIGSEGV, "chain 2 ended by signal 11 (Segmentation fault)", true},
#endif
               {SIGINT, "chain 2 ended by signal 2 (Interrupt)", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.said);
    TempDir temp;
    copyExample(temp, "votes.dat");
    ChildProcess fit({"votes.dat", "--chains", "3", "--minutes", "1", "--rhat", "1.000001", "--ess", "1e9",
                      "-o", "out"},
                     temp.path, 120, VORNAK_FIT_EXE);
    pid_t chain = 0;
    ASSERT_TRUE(fit.waitUntil([&] {
      return everyChainDrew(temp.file("out"), 3, 20) && (chain = chainWithSeed(temp.file("out"), 2)) != 0;
    })) << fit.err();
    kill(chain, c.signo);
    const ChildProcess::Ending ending = fit.wait();
    EXPECT_FALSE(fit.timedOut());
    EXPECT_EQ(ending.code, 0) << fit.err();
    const std::vector<std::string> out = lines(fit.out());
    ASSERT_EQ(out.size(), 3u) << fit.out() << fit.err();
    EXPECT_EQ(out[0].rfind(std::string("Stopped: ") + c.said + " after ", 0), 0u) << out[0];
    const bool leftOut = out[0].find("; the answer is from the other chains, without the draws of chain 2") !=
                         std::string::npos;
    EXPECT_EQ(leftOut, c.leftOut) << out[0];
    EXPECT_TRUE(fs::exists(temp.file("out/report.html")));
    EXPECT_NE(temp.read("out/summary.txt").find(c.leftOut ? "2 chains" : "3 chains"), std::string::npos);
  }
}

}  // namespace
