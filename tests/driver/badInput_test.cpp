// Bad input through the real program: each row is a folder of files, a command line and the
// one line the run must stop with. Every row must exit with status 255, print that line on
// standard output, and leave every file that was there before byte for byte as it was.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/run_exe.h"

namespace {

using Files = std::map<std::string, std::string>;

// The regular files of the folder; folders, FIFOs and devices made by a case are left out
// (reading them is what the program must not do).
Files snapshot(const TempDir& dir) {
  Files files;
  DIR* d = opendir(dir.path.c_str());
  for (dirent* e; (e = readdir(d)) != nullptr;) {
    std::string name = e->d_name;
    if (std::filesystem::is_regular_file(dir.file(name))) files[name] = dir.read(name);
  }
  closedir(d);
  return files;
}

std::string lastLine(const std::string& text) {
  std::string::size_type end = text.size();
  if (end > 0 && text[end - 1] == '\n') end--;
  std::string::size_type start = text.rfind('\n', end == 0 ? 0 : end - 1);
  start = start == std::string::npos ? 0 : start + 1;
  return text.substr(start, end - start);
}

// A 0/1 matrix of 4 observations and 3 columns.
const std::string kMatrix = "0 1 1\n1 0 0\n0 0 1\n1 1 0\n";
const std::string kReal = "0.5 1\n2 3\n1 1\n";
const std::vector<std::string> kSearch = {"-k", "0", "-h", "OA", "-B", "1", "-c", "integrated"};

struct Case {
  const char* what;
  Files files;                     // present before the run
  std::vector<std::string> args;   // the command line after the program name
  std::string line;                // the last line on standard output
  std::string creates;             // suffixes of the output files it may leave, in order
  // Made before the run: "folder NAME", "fifo NAME" or "zeros NAME" (a link to /dev/zero).
  std::string special = "";
};

void makeSpecial(const TempDir& dir, const std::string& special) {
  if (special.empty()) return;
  const std::string kind = special.substr(0, special.find(' '));
  const std::string name = dir.file(special.substr(special.find(' ') + 1));
  if (kind == "folder") std::filesystem::create_directory(name);
  if (kind == "fifo") {
    ASSERT_EQ(mkfifo(name.c_str(), 0600), 0);
  }
  if (kind == "zeros") std::filesystem::create_symlink("/dev/zero", name);
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<std::string> hdbern = {"-m", "HDBern", "-f", "m.txt"};

std::vector<Case> cases() {
  const std::string longLine(5000, '1');  // one character over the limit
  return {
      // Matrix files.
      {"ragged matrix", {{"m.txt", "0 1 1\n1 0\n0 0 1\n"}}, hdbern + kSearch,
       "Bad matrix file m.txt, line 2: 2 values where the first line has 3", ".failed.log"},
      {"non-numeric field", {{"m.txt", "0 1 1\n1 x 0\n"}}, hdbern + kSearch,
       "Bad matrix file m.txt, line 2: not a number: x", ".failed.log"},
      {"number with trailing text", {{"m.txt", "0 1 1\n1 0 1e\n"}}, hdbern + kSearch,
       "Bad matrix file m.txt, line 2: not a number: 1e", ".failed.log"},
      {"over-long line", {{"m.txt", "0 1\n" + longLine + "\n"}}, hdbern + kSearch,
       "Bad matrix file m.txt, line 2: longer than 4999 characters", ".failed.log"},
      {"blank trailing lines", {{"m.txt", kMatrix + "\n\n"}}, hdbern + kSearch,
       "Bad matrix file m.txt, line 5: blank line", ".failed.log"},
      {"empty matrix file", {{"m.txt", ""}}, hdbern + kSearch, "Bad matrix file m.txt: no data",
       ".failed.log"},
      {"missing data file", {}, hdbern + kSearch, "Fail to read m.txt", ".failed.log"},
      // Control characters of the input are named in escapes, never sent to the terminal.
      {"carriage returns before the line feed", {{"m.txt", "0 1 1\n1 0 1\r\r\n"}},
       hdbern + kSearch, "Bad matrix file m.txt, line 2: not a number: 1\\r", ".failed.log"},
      {"form feed after a number", {{"m.txt", "0 1 1\n1 0 1\f\n"}}, hdbern + kSearch,
       "Bad matrix file m.txt, line 2: not a number: 1\\f", ".failed.log"},
      {"terminal escape sequence", {{"m.txt", "0 1 \x1b[2J\n"}}, hdbern + kSearch,
       "Bad matrix file m.txt, line 1: not a number: \\x1b[2J", ".failed.log"},
      {"start label with a zero-width space", {{"m.txt", kMatrix}, {"z.txt", "0 1 1\u200b 1\n"}},
       hdbern + kSearch + std::vector<std::string>{"-z", "z.txt"},
       "Bad start partition file z.txt: label of observation 3 is not a number: 1\\u200b",
       ".failed.log"},
      {"HDBern value 2", {{"m.txt", "0 1 1\n1 0 2\n"}}, hdbern + kSearch,
       "Bad HDBern data file m.txt: row 2, column 3 holds 2, outside 0..1", ".failed.log"},
      {"HDBern value -1", {{"m.txt", "0 -1 1\n1 0 0\n"}}, hdbern + kSearch,
       "Bad HDBern data file m.txt: row 1, column 2 holds -1, outside 0..1", ".failed.log"},
      {"HDGBern value 20", {{"m.txt", "0 19 1\n1 20 0\n"}},
       std::vector<std::string>{"-m", "HDGBern", "-f", "m.txt"} + kSearch,
       "Bad HDGBern data file m.txt: row 2, column 2 holds 20, outside 0..19", ".failed.log"},
      {"mclust2 single row", {{"r.txt", "0.5 1\n"}},
       std::vector<std::string>{"-m", "mclust2", "-f", "r.txt"} + kSearch,
       "Bad mclust2 data file r.txt: 1 row, the prior needs at least 2 for the variances", ".failed.log"},
      {"NUL byte after a row", {{"m.txt", std::string("0 1 1\n1 0 1") + '\0' + "1\n"}},
       hdbern + kSearch, "Bad matrix file m.txt, line 2: holds a NUL byte", ".failed.log"},
      // Files that are not regular files are refused before they are read.
      {"data file is a folder", {}, hdbern + kSearch,
       "Fail to read m.txt: it is a folder, not a regular file", ".failed.log", "folder m.txt"},
      {"data file is a FIFO", {}, hdbern + kSearch,
       "Fail to read m.txt: it is a FIFO, not a regular file", ".failed.log", "fifo m.txt"},
      {"data file is /dev/zero", {}, std::vector<std::string>{"-m", "kmeans2", "-f", "m.txt"} + kSearch,
       "Fail to read m.txt: it is a character device, not a regular file", ".failed.log", "zeros m.txt"},
      {"FASTA file is a folder", {},
       std::vector<std::string>{"-m", "ProteinSequence", "-f", "p.fasta"} + kSearch,
       "Fail to read p.fasta: it is a folder, not a regular file", ".failed.log", "folder p.fasta"},
      {"start partition is a FIFO", {{"m.txt", kMatrix}},
       hdbern + kSearch + std::vector<std::string>{"-z", "z.txt"},
       "Fail to read z.txt: it is a FIFO, not a regular file", ".failed.log", "fifo z.txt"},
      // Sums of squares beyond what the real models can score.
      {"mclust2 values whose squares overflow", {{"r.txt", "0.5 1\n2 1e155\n1 1\n"}},
       std::vector<std::string>{"-m", "mclust2", "-f", "r.txt"} + kSearch,
       "Bad data file r.txt: row 2, column 2 holds 1e+155, so the sums of squares overflow (they "
       "must stay below 2.24712e+307)",
       ".failed.log"},
      {"kmeans2 values near the largest double", {{"r.txt", "1e308 1\n-1e308 1\n"}},
       std::vector<std::string>{"-m", "kmeans2", "-f", "r.txt"} + kSearch,
       "Bad data file r.txt: row 1, column 1 holds 1e+308, so the sums of squares overflow (they "
       "must stay below 2.24712e+304)",
       ".failed.log"},
      {"kmeans2 bound includes its scale 1000", {{"r.txt", "1e153 1\n0 1\n"}},
       std::vector<std::string>{"-m", "kmeans2", "-f", "r.txt"} + kSearch,
       "Bad data file r.txt: row 1, column 1 holds 1e+153, so the sums of squares overflow (they "
       "must stay below 2.24712e+304)",
       ".failed.log"},
      // FASTA files.
      {"FASTA sequence beyond a million characters",
       {{"p.fasta", ">a\n" + std::string(600000, 'A') + "\n" + std::string(400001, 'C') + "\n"}},
       std::vector<std::string>{"-m", "ProteinSequence", "-f", "p.fasta"} + kSearch,
       "Bad FASTA file p.fasta: sequence 1 is longer than 1000000 characters", ".failed.log"},
      {"FASTA line without end", {{"p.fasta", ">a\n>b\n" + std::string(1500000, 'A')}},
       std::vector<std::string>{"-m", "ProteinSequence", "-f", "p.fasta"} + kSearch,
       "Bad FASTA file p.fasta: sequence 2 is longer than 1000000 characters", ".failed.log"},
      {"FASTA of blanks", {{"p.fasta", " \n  \n\t \n"}},
       std::vector<std::string>{"-m", "ProteinSequence", "-f", "p.fasta"} + kSearch,
       "Bad FASTA file p.fasta: no sequence", ".failed.log"},
      {"FASTA with a NUL byte", {{"p.fasta", std::string(">a\nAC") + '\0' + "D\n>b\nACDE\n"}},
       std::vector<std::string>{"-m", "ProteinSequence", "-f", "p.fasta"} + kSearch,
       "Bad FASTA file p.fasta, line 2: control character 0x00 in a sequence", ".failed.log"},
      {"FASTA of random bytes", {{"p.fasta", ">r\n\x8f\xe1K\x03\x9a\n"}},
       std::vector<std::string>{"-m", "ProteinSequence", "-f", "p.fasta"} + kSearch,
       "Bad FASTA file p.fasta, line 2: control character 0x03 in a sequence", ".failed.log"},
      {"unequal FASTA lengths", {{"p.fasta", ">a\nACDE\n>b\nACD\n>c\nACDE\n"}},
       std::vector<std::string>{"-m", "ProteinSequence", "-f", "p.fasta"} + kSearch,
       "Bad FASTA file p.fasta: sequence 2 has 3 characters where the first has 4", ".failed.log"},
      {"empty FASTA", {{"p.fasta", ""}},
       std::vector<std::string>{"-m", "ProteinSequence", "-f", "p.fasta"} + kSearch,
       "Bad FASTA file p.fasta: no sequence", ".failed.log"},
      {"FASTA of headers only", {{"p.fasta", ">a\n>b\n"}},
       std::vector<std::string>{"-m", "ProteinSequence", "-f", "p.fasta"} + kSearch,
       "Bad FASTA file p.fasta: no sequence", ".failed.log"},
      // Prior text.
      {"malformed mclust2 prior", {{"r.txt", kReal}},
       std::vector<std::string>{"-m", "mclust2", "-f", "r.txt", "-p", "abc"} + kSearch,
       "mclust2: prior is not a positive finite number: abc", ".failed.log"},
      {"negative mclust2 prior", {{"r.txt", kReal}},
       std::vector<std::string>{"-m", "mclust2", "-f", "r.txt", "-p", "-2"} + kSearch,
       "mclust2: prior is not a positive finite number: -2", ".failed.log"},
      // Start partitions.
      {"-z too short", {{"m.txt", kMatrix}, {"z.txt", "0 1\n"}},
       hdbern + kSearch + std::vector<std::string>{"-z", "z.txt"},
       "Bad start partition file z.txt: holds 2 labels for 4 observations", ".failed.log"},
      {"-z negative label", {{"m.txt", kMatrix}, {"z.txt", "0 -1 0 1\n"}},
       hdbern + kSearch + std::vector<std::string>{"-z", "z.txt"},
       "Bad start partition file z.txt: label of observation 2 is not in 0..3: -1", ".failed.log"},
      {"-z label of n", {{"m.txt", kMatrix}, {"z.txt", "0 1 4 1\n"}},
       hdbern + kSearch + std::vector<std::string>{"-z", "z.txt"},
       "Bad start partition file z.txt: label of observation 3 is not in 0..3: 4", ".failed.log"},
      {"-z non-numeric label", {{"m.txt", kMatrix}, {"z.txt", "0 1 x 1\n"}},
       hdbern + kSearch + std::vector<std::string>{"-z", "z.txt"},
       "Bad start partition file z.txt: label of observation 3 is not a number: x", ".failed.log"},
      {"-z wrong k", {{"m.txt", kMatrix}, {"z.txt", "0 1 0 1\n"}},
       hdbern + std::vector<std::string>{"-k", "3", "-h", "OA", "-B", "1", "-c", "integrated",
                                         "-z", "z.txt"},
       "Bad start partition file z.txt: it has 2 clusters but -k is 3", ".failed.log"},
      {"-z with more labels than observations", {{"m.txt", kMatrix}, {"z.txt", "0 1 0 1\n1\n"}},
       hdbern + kSearch + std::vector<std::string>{"-z", "z.txt"},
       "Bad start partition file z.txt, line 2: text after the labels of the 4 observations: 1",
       ".failed.log"},
      {"-z with a line of junk", {{"m.txt", kMatrix}, {"z.txt", "0 1 0 1\n# from run 3\n"}},
       hdbern + kSearch + std::vector<std::string>{"-z", "z.txt"},
       "Bad start partition file z.txt, line 2: text after the labels of the 4 observations: #",
       ".failed.log"},
      {"-z with a gap in its labels", {{"m.txt", kMatrix}, {"z.txt", "0 3 3 0\n"}},
       hdbern + std::vector<std::string>{"-k", "2", "-h", "OA", "-B", "1", "-c", "integrated",
                                         "-z", "z.txt"},
       "Bad start partition file z.txt: it has 2 clusters with gaps in their labels 0..3 but -k "
       "is 2",
       ".failed.log"},
      {"-z missing", {{"m.txt", kMatrix}},
       hdbern + kSearch + std::vector<std::string>{"-z", "z.txt"}, "Fail to read z.txt", ".failed.log"},
      // Settings.
      {"k larger than n", {{"m.txt", kMatrix}},
       hdbern + std::vector<std::string>{"-k", "5", "-h", "OA", "-B", "1", "-c", "integrated"},
       "main(). k is larger than the number of observations 4: 5", ".failed.log"},
      {"k larger than n, enumeration", {{"m.txt", kMatrix}},
       hdbern + std::vector<std::string>{"-k", "5", "-h", "EN", "-c", "integrated"},
       "main(). k is larger than the number of observations 4: 5", ".failed.log"},
      {"-k -2", {{"m.txt", kMatrix}},
       hdbern + std::vector<std::string>{"-k", "-2", "-h", "OA", "-B", "1", "-c", "integrated"},
       "main(). k must be 0 or a number of clusters from 1 to 32767: -2", ""},
      {"-k above 32767", {{"m.txt", kMatrix}},
       hdbern + std::vector<std::string>{"-k", "32768", "-h", "OA", "-B", "1", "-c", "integrated"},
       "main(). k must be 0 or a number of clusters from 1 to 32767: 32768", ""},
      {"-B 19", {{"m.txt", kMatrix}},
       hdbern + std::vector<std::string>{"-k", "0", "-h", "OA", "-B", "19", "-c", "integrated"},
       "main(). B too large, 10 to its power does not fit in 64 bits: 19", ""},
      {"-a inf", {{"m.txt", kMatrix}}, hdbern + kSearch + std::vector<std::string>{"-a", "inf"},
       "main(). logalpha is not a finite number: inf", ""},
      {"-a nan", {{"m.txt", kMatrix}}, hdbern + kSearch + std::vector<std::string>{"-a", "nan"},
       "main(). logalpha is not a finite number: nan", ""},
      {"-k beyond int", {{"m.txt", kMatrix}},
       hdbern + std::vector<std::string>{"-k", "4294967298", "-h", "OA", "-B", "1", "-c",
                                         "integrated"},
       "main(). number out of range for -k: 4294967298", ""},
      {"-t beyond int", {{"m.txt", kMatrix}},
       hdbern + kSearch + std::vector<std::string>{"-t", "-99999999999"},
       "main(). number out of range for -t: -99999999999", ""},
      {"-a beyond double", {{"m.txt", kMatrix}}, hdbern + kSearch + std::vector<std::string>{"-a", "1e999"},
       "main(). number out of range for -a: 1e999", ""},
      {"-a 800 with open k", {{"m.txt", kMatrix}}, hdbern + kSearch + std::vector<std::string>{"-a", "800"},
       "main(). logalpha out of range, exp(logalpha) is inf and the partition prior cannot be "
       "finite: 800",
       ""},
      {"-a -1e308 with open k", {{"m.txt", kMatrix}},
       hdbern + kSearch + std::vector<std::string>{"-a", "-1e308"},
       "main(). logalpha out of range, exp(logalpha) is 0 and the partition prior cannot be "
       "finite: -1e+308",
       ""},
      // Column variances 7/12 and 4/3 add up to 23/12; divided by 2 T c^(2/T) = 4e-308.
      {"mclust2 prior too small", {{"r.txt", kReal}},
       std::vector<std::string>{"-m", "mclust2", "-f", "r.txt", "-p", "1e-308"} + kSearch,
       "mclust2: prior gives the prior rate beta 4.79167e+307, too large for finite scores: 1e-308",
       ".failed.log"},
      {"mclust2 prior too large", {{"r.txt", kReal}},
       std::vector<std::string>{"-m", "mclust2", "-f", "r.txt", "-p", "1e308"} + kSearch,
       "mclust2: prior gives the prior rate beta 0, too small for finite scores: 1e308", ".failed.log"},
      {"label leading out of the folder", {{"m.txt", kMatrix}},
       hdbern + kSearch + std::vector<std::string>{"-l", "/../../x"},
       "main(). label must not contain '/': /../../x", ""},
      {"fixed k with JN", {{"m.txt", kMatrix}},
       hdbern + std::vector<std::string>{"-k", "2", "-h", "JN", "-B", "1", "-c", "integrated"},
       "main(). heuristics JN change the number of clusters and need -k 0: 2", ""},
      {"unknown model", {{"m.txt", kMatrix}},
       std::vector<std::string>{"-m", "HDbern", "-f", "m.txt"} + kSearch,
       "main(). model not recognized: HDbern", ""},
      {"unknown prior", {{"m.txt", kMatrix}},
       hdbern + kSearch + std::vector<std::string>{"-p", "point1"},
       "main(). prior not recognized: point1", ""},
      {"unknown criterion", {{"m.txt", kMatrix}},
       hdbern + std::vector<std::string>{"-k", "0", "-h", "OA", "-B", "1", "-c", "best"},
       "main(). criterionType not recognized: best", ".failed.log"},
      {"unknown heuristic", {{"m.txt", kMatrix}},
       hdbern + std::vector<std::string>{"-k", "0", "-h", "UW", "-B", "1", "-c", "integrated"},
       "PartitionSampler::allIterations(). heuristics not supported: UW", ".failed.log"},
      // Files of an earlier run.
      {"existing .log", {{"m.txt", kMatrix}, {"m_k0_OA_p_a0_B1.log", "earlier log\n"}},
       hdbern + kSearch, "File already exists: m_k0_OA_p_a0_B1.log", ""},
      {"existing .save", {{"m.txt", kMatrix}, {"m_k0_OA_p_a0_B1.save", "earlier trace\n"}},
       hdbern + kSearch, "File already exists: m_k0_OA_p_a0_B1.save", ""},
      {"existing enumeration .save", {{"m.txt", kMatrix}, {"m_k2_EN_p_a0.save", "-1.5\n"}},
       hdbern + std::vector<std::string>{"-k", "2", "-h", "EN", "-c", "integrated"},
       "File already exists: m_k2_EN_p_a0.save", ""},
  };
}

TEST(BadInput, OneLineStatus255AndEarlierFilesUntouched) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    for (const auto& file : c.files) dir.write(file.first, file.second);
    makeSpecial(dir, c.special);
    const Files before = snapshot(dir);
    const ExeResult run = runExe(c.args, dir.path);
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(lastLine(run.out), c.line) << run.out;
    const Files after = snapshot(dir);
    for (const auto& file : before) {
      auto now = after.find(file.first);
      ASSERT_NE(now, after.end()) << file.first << " was removed";
      EXPECT_EQ(now->second, file.second) << file.first << " was changed";
    }
    // New files: only the log of the refused run, under a name that blocks no rerun; never
    // a result, nor a file that an existing one would have stopped.
    std::string created;
    for (const auto& file : after)
      if (!before.count(file.first))
        created += (created.empty() ? "" : " ") + file.first.substr(file.first.find('.'));
    EXPECT_EQ(created, c.creates);
  }
}

}  // namespace
