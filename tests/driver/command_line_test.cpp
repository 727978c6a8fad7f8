#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "io/Console.h"
#include "io/RunError.h"
#include "driver/common_main.h"
#include "support/CaptureStdout.h"
#include "support/TempDir.h"
#include "support/run_exe.h"

namespace {

// Splits a command line at blanks; the first word is the program name.
std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

bool parse(const std::string& line, Settings& settings) {
  std::vector<std::string> argvWords = words(line);
  std::vector<char*> argv;
  for (auto& w : argvWords) argv.push_back(&w[0]);
  argv.push_back(nullptr);
  return parseCommandLine(static_cast<int>(argvWords.size()), argv.data(), settings);
}

std::string describe(const Settings& s) {
  std::ostringstream o;
  o << "f=" << s.dataFile << " l=" << s.label << " z=" << s.initialZ << " h=" << s.heuristics
    << " p=" << s.prior << " m=" << s.model << " k=" << s.k << " B=" << s.B
    << " t=" << s.minuteAllowed << " a=" << s.logalpha << " c=" << s.criterionType
    << (s.has("-x") ? " x" : "");
  return o.str();
}

// Collects what the code writes to standard error (verr()) while it lives.
class CaptureStderr {
 public:
  CaptureStderr() : previous_(verr().rdbuf(captured_.rdbuf())) {}
  ~CaptureStderr() { verr().rdbuf(previous_); }
  std::string text() const { return captured_.str(); }

 private:
  std::ostringstream captured_;
  std::streambuf* previous_;
};

TEST(CommandLine, ParsesOptionsAndChecksRequiredOnes) {
  const struct {
    const char* line;
    bool complete;
    const char* settings;
  } cases[] = {
      {"vornak.exe -m ProteinSequence -f set123a.fasta -k 3 -h UX -B 6 -l case1", true,
       "f=set123a.fasta l=case1 z= h=UX p= m=ProteinSequence k=3 B=6 t=-1 a=0 c="},
      {"vornak.exe -m ProteinSequence -f set123a.fasta -k 3 -h UX -t 10 -l case2", true,
       "f=set123a.fasta l=case2 z= h=UX p= m=ProteinSequence k=3 B=-1 t=10 a=0 c="},
      {"vornak.exe -m ProteinSequence -f set123b.fasta -k 3 -h UX -B 6 -t 1 -l tmp -p bg -a 1 "
       "-z xxx.finalz -c classi",
       true,
       "f=set123b.fasta l=tmp z=xxx.finalz h=UX p=bg m=ProteinSequence k=3 B=6 t=1 a=1 c=classi"},
      // enumeration needs no iteration or time limit; a search does
      {"vornak.exe -m mclust2 -f sim11.dat -k 2 -h EN", true,
       "f=sim11.dat l= z= h=EN p= m=mclust2 k=2 B=-1 t=-1 a=0 c="},
      {"vornak.exe -m mclust2 -f sim11.dat -k 2 -h UX", false,
       "f=sim11.dat l= z= h=UX p= m=mclust2 k=2 B=-1 t=-1 a=0 c="},
      {"vornak.exe -m mclust2 -f sim11.dat -k 2 -h UX -B -1 -t -1", false,
       "f=sim11.dat l= z= h=UX p= m=mclust2 k=2 B=-1 t=-1 a=0 c="},
      {"vornak.exe -m mclust2 -f sim11.dat -k 2 -h UX -B -1 -t 5", true,
       "f=sim11.dat l= z= h=UX p= m=mclust2 k=2 B=-1 t=5 a=0 c="},
      // each required setting missing in turn
      {"vornak.exe -m mclust2 -k 2 -h EN", false,
       "f= l= z= h=EN p= m=mclust2 k=2 B=-1 t=-1 a=0 c="},
      {"vornak.exe -f d -k 2 -h EN", false, "f=d l= z= h=EN p= m= k=2 B=-1 t=-1 a=0 c="},
      {"vornak.exe -m mclust2 -f d -h EN", false,
       "f=d l= z= h=EN p= m=mclust2 k=-1 B=-1 t=-1 a=0 c="},
      {"vornak.exe -m mclust2 -f d -k -1 -h EN", false,
       "f=d l= z= h=EN p= m=mclust2 k=-1 B=-1 t=-1 a=0 c="},
      {"vornak.exe -m mclust2 -f d -k 2 -B 3", false,
       "f=d l= z= h= p= m=mclust2 k=2 B=3 t=-1 a=0 c="},
      {"vornak.exe", false, "f= l= z= h= p= m= k=-1 B=-1 t=-1 a=0 c="},
      // k = 0 is the open number of clusters
      {"vornak.exe -m HDBern -f d -k 0 -h OA -t 5", true,
       "f=d l= z= h=OA p= m=HDBern k=0 B=-1 t=5 a=0 c="},
      // conversions: atoi truncates, atof of a word is 0
      {"vornak.exe -m HDBern -f d -k 2 -h OA -B 6.7 -a abc", true,
       "f=d l= z= h=OA p= m=HDBern k=2 B=6 t=-1 a=0 c="},
      {"vornak.exe -m HDBern -f d -k 2 -h OA -B 6 -a -0.5", true,
       "f=d l= z= h=OA p= m=HDBern k=2 B=6 t=-1 a=-0.5 c="},
      // values are examined as option names too
      {"vornak.exe -m HDBern -f d -k 2 -B 6 -l -h UX", true,
       "f=d l=-h z= h=UX p= m=HDBern k=2 B=6 t=-1 a=0 c="},
      {"vornak.exe -f -k 3 -m mclust2 -h EN", true,
       "f=-k l= z= h=EN p= m=mclust2 k=3 B=-1 t=-1 a=0 c="},
      // the last occurrence wins
      {"vornak.exe -m HDBern -f d -k 2 -h OA -B 6 -k 4 -m mclust2", true,
       "f=d l= z= h=OA p= m=mclust2 k=4 B=6 t=-1 a=0 c="},
      // an option as the last word has no value and is ignored
      {"vornak.exe -m HDBern -f d -k 2 -B 3 -h", false,
       "f=d l= z= h= p= m=HDBern k=2 B=3 t=-1 a=0 c="},
      {"vornak.exe -m HDBern -f d -k 2 -h OA -B", false,
       "f=d l= z= h=OA p= m=HDBern k=2 B=-1 t=-1 a=0 c="},
      {"vornak.exe -m HDBern -f d -k 2 -h OA -t 5 -k", true,
       "f=d l= z= h=OA p= m=HDBern k=2 B=-1 t=5 a=0 c="},
      // the program's own name is scanned like every other word
      {"-f data.txt -m mclust2 -k 2 -h EN", true,
       "f=data.txt l= z= h=EN p= m=mclust2 k=2 B=-1 t=-1 a=0 c="},
      // unknown words are ignored; -x is a switch, its following word is not its value
      {"vornak.exe -x 5 foo -m mclust2 -f d -k 2 -h EN -H UX", true,
       "f=d l= z= h=EN p= m=mclust2 k=2 B=-1 t=-1 a=0 c= x"},
      {"vornak.exe -y 5 foo -m mclust2 -f d -k 2 -h EN -H UX", true,
       "f=d l= z= h=EN p= m=mclust2 k=2 B=-1 t=-1 a=0 c="},
      // a switch counts as the last word too, and as an option's value (every word is examined)
      {"vornak.exe -m mclust2 -f d -k 0 -h OA -B 2 -x", true,
       "f=d l= z= h=OA p= m=mclust2 k=0 B=2 t=-1 a=0 c= x"},
      {"vornak.exe -m mclust2 -f d -k 0 -h OA -B 2 -l -x", true,
       "f=d l=-x z= h=OA p= m=mclust2 k=0 B=2 t=-1 a=0 c= x"},
      {"vornak.exe -m mclust2 -f d -k 0 -h OA -B 2 -xq", true,
       "f=d l= z= h=OA p= m=mclust2 k=0 B=2 t=-1 a=0 c="},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    Settings settings;
    CaptureStderr warnings;
    EXPECT_EQ(parse(c.line, settings), c.complete);
    EXPECT_EQ(describe(settings), c.settings);
  }
}

TEST(CommandLine, NumbersKeepTheirValuesAndDoubtfulTextIsNamedOnStandardError) {
  const struct {
    const char* words;  // after "vornak.exe -m HDBern -f d -h OA"
    int k, B, t;
    double a;
    const char* warnings;
  } cases[] = {
      {"-k 2 -B 6 -t 5 -a -0.5", 2, 6, 5, -0.5, ""},
      {"-k +3 -B -1 -a 1e-400", 3, -1, -1, 0, ""},  // underflow to 0 is a clean number
      {"-k abc -B 1", 0, 1, -1, 0, "warning: -k abc is not a whole number; read as 0\n"},
      {"-k 2abc -B 1", 2, 1, -1, 0, "warning: -k 2abc is not a whole number; read as 2\n"},
      {"-k 2.9 -B 6.7", 2, 6, -1, 0,
       "warning: -k 2.9 is not a whole number; read as 2\n"
       "warning: -B 6.7 is not a whole number; read as 6\n"},
      {"-k 2 -B abc -t abc -a abc", 2, 0, 0, 0,
       "warning: -B abc is not a whole number; read as 0\n"
       "warning: -a abc is not a number; read as 0\n"
       "warning: -t abc is not a whole number; read as 0\n"},
      {"-k 2 -B 1 -a 1.5x", 2, 1, -1, 1.5, "warning: -a 1.5x is not a number; read as 1.5\n"},
      // only the value that is used, the last one, is examined
      {"-k abc -k 2 -B 1", 2, 1, -1, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words);
    Settings settings;
    CaptureStderr err;
    CaptureStdout out;
    parse(std::string("vornak.exe -m HDBern -f d -h OA ") + c.words, settings);
    EXPECT_EQ(settings.k, c.k);
    EXPECT_EQ(settings.B, c.B);
    EXPECT_EQ(settings.minuteAllowed, c.t);
    EXPECT_EQ(settings.logalpha, c.a);
    EXPECT_EQ(err.text(), c.warnings);
    EXPECT_EQ(out.text(), "");
  }
}

std::string further(const Settings& s) {
  std::string text;
  for (const auto& option : s.further) text += " " + option.first + "=" + option.second;
  return text;
}

// A word that looks like an option but is none is named on standard error and ignored: the
// settings are those of the line without it. Values that look like options are not named.
TEST(CommandLine, UnknownOptionLikeWordsAreNamedAndIgnored) {
  const char* const base = "vornak -m HDBern -f d -h OA -k 0 -B 1 ";
  const std::string help = "; vornak --help lists the options\n";
  const struct {
    const char* words;
    const char* without;  // the same line without the unknown words
    std::string warnings;
  } cases[] = {
      {"--seed 5", "5", "warning: --seed is not an option of vornak and is ignored" + help},
      {"-s5", "",
       "warning: -s5 is not an option of vornak and is ignored (an option and its value are two "
       "words: -s 5)" + help},
      {"-T4 -q", "-q",
       "warning: -T4 is not an option of vornak and is ignored (an option and its value are two "
       "words: -T 4)" + help},
      {"-Q", "", "warning: -Q is not an option of vornak and is ignored" + help},
      // a flag takes no value: what follows it is a word of its own
      {"-xq", "", "warning: -xq is not an option of vornak and is ignored" + help},
      {"-x -Q -R", "-x",
       "warning: -Q is not an option of vornak and is ignored" + help +
           "warning: -R is not an option of vornak and is ignored" + help},
      // values: a negative number, a word after an option that takes one
      {"-a -2", "-a -2", ""},
      {"-l -run", "-l -run", ""},
      {"-A -1,2 -z -start", "-A -1,2 -z -start", ""},
      {"-Q -2", "-2", "warning: -Q is not an option of vornak and is ignored" + help},
      {"-a -1e-3 -s 3", "-a -1e-3 -s 3", ""},
      // words that do not look like options, and --help, are not named
      {"- foo 5", "- foo 5", ""},
      {"--help", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words);
    Settings settings, expected;
    CaptureStderr err;
    parse(base + std::string(c.words), settings);
    EXPECT_EQ(err.text(), c.warnings);
    parse(base + std::string(c.without), expected);
    EXPECT_EQ(describe(settings), describe(expected));
    EXPECT_EQ(further(settings), further(expected));
  }
}

// The ignored word changes no output: the same files, byte for byte, and the same standard
// output but for the command line it echoes and the clock.
TEST(CommandLine, UnknownOptionLikeWordsChangeNoFile) {
  const std::string line = "-m HDBern -f d.dat -k 0 -h OA -i 5 -c integrated -s 3 -d 1";
  std::map<std::string, std::string> files[2];
  std::string out[2];
  for (int run = 0; run < 2; run++) {
    TempDir dir;
    dir.write("d.dat", "0 1 1\n1 0 0\n0 0 1\n1 1 0\n1 1 1\n");
    const ExeResult result = runExe(words(line + (run ? " --seed 5 -Q" : "")), dir.path);
    EXPECT_EQ(result.status, 1) << result.out << result.err;
    EXPECT_EQ(result.err.find("warning: --seed is not an option") != std::string::npos, run == 1);
    out[run] = std::regex_replace(result.out, std::regex("\n[^\n]*vornak -m[^\n]*\n"), "\n");
    out[run] = std::regex_replace(out[run], std::regex("(Started at|Finished in)[^\n]*"), "");
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
      const std::string name = entry.path().filename().string();
      files[run][name] = std::regex_replace(dir.read(name), std::regex("Started at[^\n]*"), "");
    }
  }
  EXPECT_EQ(out[1], out[0]);
  EXPECT_EQ(files[1], files[0]);
  EXPECT_EQ(files[0].size(), 6u);  // data, log, save, finalz, best, draws
}

TEST(CommandLine, NumbersBeyondTheirTypeAreRefusedAsTyped) {
  const struct {
    const char* words;
    const char* line;
  } cases[] = {
      {"-k 4294967298", "main(). number out of range for -k: 4294967298"},  // atoi: 2
      {"-k 99999999999", "main(). number out of range for -k: 99999999999"},
      {"-k -2147483649", "main(). number out of range for -k: -2147483649"},
      {"-k 2 -B 99999999999999999999", "main(). number out of range for -B: 99999999999999999999"},
      {"-k 2 -t 3000000000x", "main(). number out of range for -t: 3000000000x"},
      {"-k 2 -a 1e999", "main(). number out of range for -a: 1e999"},
      {"-k 2 -a -2e308", "main(). number out of range for -a: -2e308"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words);
    Settings settings;
    CaptureStdout out;
    try {
      parse(std::string("vornak.exe -m HDBern -f d -h OA -B 1 ") + c.words, settings);
      ADD_FAILURE() << "expected the run to end";
    } catch (const RunError& error) {
      EXPECT_EQ(std::string(error.what()), c.line);
      EXPECT_EQ(error.status, -1);
    }
    EXPECT_EQ(out.text(), std::string(c.line) + "\n");
  }
  // The largest ints are still numbers.
  Settings settings;
  parse("vornak.exe -m HDBern -f d -h OA -k 2147483647 -B -2147483648", settings);
  EXPECT_EQ(settings.k, 2147483647);
  EXPECT_EQ(settings.B, -2147483648LL);
}

TEST(CommandLine, EveryOutOfRangeKIsNamed) {
  // -k -1 reads as an absent k (the usage text follows), yet it was given: the same line as
  // for any other k outside 0..32767 names it.
  const struct {
    const char* k;
    bool complete;
    const char* refusal;
  } cases[] = {
      {"-1", false, "main(). k must be 0 or a number of clusters from 1 to 32767: -1"},
      {"-1.7", false, "main(). k must be 0 or a number of clusters from 1 to 32767: -1"},
      {"-2", true, ""},  // refused by the plan with the same line
      {"0", true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.k);
    Settings settings;
    std::vector<std::string> argvWords = words(std::string("vornak -m HDBern -f d -h OA -B 1 -k ") + c.k);
    std::vector<char*> argv;
    for (auto& w : argvWords) argv.push_back(&w[0]);
    std::string refusal;
    CaptureStderr warnings;
    EXPECT_EQ(parseCommandLine(static_cast<int>(argv.size()), argv.data(), settings, &refusal),
              c.complete);
    EXPECT_EQ(refusal, c.refusal);
  }
  // Without -k there is nothing to name.
  Settings settings;
  std::vector<std::string> argvWords = words("vornak -m HDBern -f d -h OA -B 1");
  std::vector<char*> argv;
  for (auto& w : argvWords) argv.push_back(&w[0]);
  std::string refusal;
  EXPECT_FALSE(parseCommandLine(static_cast<int>(argv.size()), argv.data(), settings, &refusal));
  EXPECT_EQ(refusal, "");
  // The program prints the usage text as specified, and the line on standard error.
  const ExeResult given = runExe(words("-m HDBern -f d -h OA -B 1 -k -1"), ".");
  EXPECT_EQ(given.status, 255);
  EXPECT_EQ(given.out, kUsageText);
  EXPECT_EQ(given.err, "main(). k must be 0 or a number of clusters from 1 to 32767: -1\n");
  const ExeResult other = runExe(words("-m HDBern -f d -h OA -B 1 -k -2"), ".");
  EXPECT_EQ(other.status, 255);
  EXPECT_EQ(other.out, "main(). k must be 0 or a number of clusters from 1 to 32767: -2\n");
  const ExeResult absent = runExe(words("-m HDBern -f d -h OA -B 1"), ".");
  EXPECT_EQ(absent.out, kUsageText);
  EXPECT_EQ(absent.err, "");
}

// Settings from a command line, with the prior text written first, as run setup does.
std::string stemOf(const std::string& line) {
  Settings settings;
  parse("vornak " + line, settings);
  std::stringstream prior;
  writePriorText(settings, prior);
  return buildFileStem(settings);
}

TEST(FileStem, BuiltFromDataFileAndSettings) {
  const struct {
    const char* line;
    const char* stem;
  } cases[] = {
      {"-m ProteinSequence -f set123a.fasta -k 3 -h UX -B 6 -l case1 -c integrated",
       "set123a_k3_UX_p_a0_B6_case1"},
      {"-m ProteinSequence -f set123a.fasta -k 3 -h UX -B 6 -l case1 -c classi",
       "set123a_k3_UX_p_a0_B6_classicase1"},
      {"-m ProteinSequence -f set123a.fasta -k 3 -h UX -B 6 -l case1",
       "set123a_k3_UX_p_a0_B6_case1"},
      {"-m ProteinSequence -f set123a.fasta -k 3 -h UX -B 6 -l case1 -c mixture",
       "set123a_k3_UX_p_a0_B6_mixturecase1"},
      {"-m ProteinSequence -f set123a.fasta -k 3 -h UX -B 6 -c classi", "set123a_k3_UX_p_a0_B6"},
      {"-m ProteinSequence -f set123b.fasta -k 3 -h UX -B 6 -t 1 -l tmp -p bg -a 1 -z xxx.finalz",
       "set123b_k3_UX_pbg_a1_B6_t1_tmp"},
      // mclust2's empty prior becomes 1, in the stem too
      {"-m mclust2 -f sim11.dat -k 2 -h EN", "sim11_k2_EN_p1_a0"},
      {"-m mclust2 -f sim11.dat -k 2 -h UX -B 2 -p 0.5", "sim11_k2_UX_p0.5_a0_B2"},
      // enumeration leaves out the limits and the label
      {"-m mclust2 -f sim11.dat -k 2 -h EN -B 6 -t 10 -l lab -c classi", "sim11_k2_EN_p1_a0"},
      // the first dot of the whole name ends the start of the stem
      {"-m kmeans2 -f data.old.txt -k 0 -h OA -t 10 -p anything", "data_k0_OA_panything_a0_t10"},
      {"-m HDBern -f ./x.dat -k 2 -h UX -B 3", "_k2_UX_p_a0_B3"},
      {"-m HDBern -f dir/sub/votes.dat -k 2 -h UX -B 3", "dir/sub/votes_k2_UX_p_a0_B3"},
      {"-m HDBern -f plain -k 2 -h UX -B 3 -a -0.5", "plain_k2_UX_p_a-0.5_B3"},
      {"-m HDBern -f plain -k 2 -h UX -B 3 -a 2.302585 -p point05",
       "plain_k2_UX_ppoint05_a2.30259_B3"},
      {"-m HDGBern -f plain -k 12 -h OA -t 0", "plain_k12_OA_p_a0_t0"},
      // -x adds _x last, enumerations included
      {"-m mclust2 -f sim11.dat -k 0 -h OA -B 3 -l run -x", "sim11_k0_OA_p1_a0_B3_run_x"},
      {"-x -m kmeans2 -f sim11.dat -k 2 -h EN", "sim11_k2_EN_p_a0_x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(stemOf(c.line), c.stem);
  }
}

std::string repeat(const std::string& token, int times) {
  std::string text;
  for (int i = 0; i < times; i++) text += token;
  return text;
}

const char* const kCloud9Components[] = {
    "0.178091 0.270671 0.039848 0.017576 0.016415 0.014268 0.131916 0.012391 0.022599 0.020358 "
    "0.030727 0.015315 0.048298 0.053803 0.020662 0.023612 0.216147 0.147226 0.065438 0.003758 "
    "0.009621",
    "0.056591 0.021465 0.0103 0.011741 0.010883 0.385651 0.016416 0.076196 0.035329 0.013921 "
    "0.093517 0.022034 0.028593 0.013086 0.023011 0.018866 0.029156 0.018153 0.0361 0.07177 "
    "0.419641",
    "0.0960191 0.561459 0.045448 0.438366 0.764167 0.087364 0.259114 0.21494 0.145928 0.762204 "
    "0.24732 0.118662 0.441564 0.174822 0.53084 0.465529 0.583402 0.445586 0.22705 0.02951 "
    "0.12109",
    "0.0781233 0.070143 0.01114 0.019479 0.094657 0.013162 0.048038 0.077 0.032939 0.576639 "
    "0.072293 0.02824 0.080372 0.037661 0.185037 0.506783 0.073732 0.071587 0.042532 0.011254 "
    "0.028723",
    "0.0834977 0.041103 0.014794 0.00561 0.010216 0.153602 0.007797 0.007175 0.299635 0.010849 "
    "0.999446 0.210189 0.006127 0.013021 0.019798 0.014509 0.012049 0.035799 0.180085 0.012744 "
    "0.026466",
    "0.0904123 0.115607 0.037381 0.012414 0.018179 0.051778 0.017255 0.004911 0.796882 0.017074 "
    "0.285858 0.075811 0.014548 0.015092 0.011382 0.012696 0.027535 0.088333 0.94434 0.004373 "
    "0.016741",
    "0.114468 0.093461 0.004737 0.387252 0.347841 0.010822 0.105877 0.049776 0.014963 0.094276 "
    "0.027761 0.01004 0.187869 0.050018 0.110039 0.038668 0.119471 0.065802 0.02543 0.003215 "
    "0.018742",
    "0.0682132 0.452171 0.114613 0.06246 0.115702 0.284246 0.140204 0.100358 0.55023 0.143995 "
    "0.700649 0.27658 0.118569 0.09747 0.126673 0.143634 0.278983 0.358482 0.66175 0.061533 "
    "0.199373",
    "0.234585 0.005193 0.004039 0.006722 0.006121 0.003468 0.016931 0.003647 0.002184 0.005019 "
    "0.00599 0.001473 0.004158 0.009055 0.00363 0.006583 0.003172 0.00369 0.002967 0.002772 "
    "0.002686",
};

TEST(PriorText, ChosenByModelAndPriorName) {
  const std::string bg =
      "  1 20 1 0.076 0.017 0.053 0.063 0.041 0.068 0.022 0.057 0.06 0.093 0.024 0.045 0.049 "
      "0.04 0.052 0.072 0.057 0.065 0.013 0.032 ";
  const std::string proteinFlat = "  1 20 1" + repeat(" 1", 20) + " ";
  std::string cloud9 = "  9 20";
  for (const char* component : kCloud9Components) cloud9 += std::string(" ") + component;
  cloud9 += " ";
  const struct {
    const char* model;
    const char* prior;
    std::string text;
  } cases[] = {
      {"ProteinSequence", "", bg},
      {"ProteinSequence", "bg", bg},
      {"ProteinSequence", "flat", proteinFlat},
      {"ProteinSequence", "cloud9", cloud9},
      {"HDBern", "", "  1 2 1 1 1 "},
      {"HDBern", "flat", "  1 2 1 1 1 "},
      {"HDBern", "point5", "  1 2 1 0.5 0.5 "},
      {"HDBern", "point05", "  1 2 1 0.05 0.05 "},
      {"HDBern", "point005", "  1 2 1 0.005 0.005 "},
      {"HDGBern", "", "1 20\n1\n" + repeat("1 ", 20)},
      {"HDGBern", "flat", "1 20\n1\n" + repeat("1 ", 20)},
      {"HDGBern", "point5", "1 20\n1\n" + repeat("0.5 ", 20)},
      {"HDGBern", "point05", "1 20\n1\n" + repeat("0.05 ", 20)},
      {"HDGBern", "point005", "1 20\n1\n" + repeat("0.005 ", 20)},
      {"mclust2", "", "1"},
      {"mclust2", "0.25", "0.25"},
      {"kmeans2", "", ""},
      {"kmeans2", "anything", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " prior '" + c.prior + "'");
    Settings settings;
    settings.model = c.model;
    settings.prior = c.prior;
    std::stringstream priorStream;
    CaptureStdout out;
    writePriorText(settings, priorStream);
    EXPECT_EQ(priorStream.str(), c.text);
    EXPECT_EQ(out.text(), "");
    // Only mclust2 replaces the prior name.
    EXPECT_EQ(settings.prior, std::string(c.model) == "mclust2" && !*c.prior ? "1" : c.prior);
  }
}

TEST(PriorText, UnknownNamesEndTheRun) {
  const struct {
    const char* model;
    const char* prior;
    const char* line;
  } cases[] = {
      {"ProteinSequence", "point5", "main(). prior not recognized: point5"},
      {"ProteinSequence", "Flat", "main(). prior not recognized: Flat"},
      {"HDBern", "bg", "main(). prior not recognized: bg"},
      {"HDBern", "cloud9", "main(). prior not recognized: cloud9"},
      {"HDGBern", "cloud9", "main(). prior not recognized: cloud9"},
      {"HDGBern", "1", "main(). prior not recognized: 1"},
      {"Foo", "", "main(). model not recognized: Foo"},
      {"proteinsequence", "bg", "main(). model not recognized: proteinsequence"},
      {"", "", "main(). model not recognized: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " prior '" + c.prior + "'");
    Settings settings;
    settings.model = c.model;
    settings.prior = c.prior;
    std::stringstream priorStream;
    CaptureStdout out;
    try {
      writePriorText(settings, priorStream);
      ADD_FAILURE() << "expected the run to end";
    } catch (const RunError& error) {
      EXPECT_EQ(std::string(error.what()), c.line);
      EXPECT_EQ(error.status, -1);
    }
    EXPECT_EQ(out.text(), std::string(c.line) + "\n");
  }
}

TEST(IterationCount, TenToThePowerB) {
  const struct {
    int B;
    long long count;
  } cases[] = {{0, 1},
               {1, 10},
               {6, 1000000},
               {9, 1000000000},
               {10, 10000000000LL},
               {18, 1000000000000000000LL},
               {-2, 0}};  // 10^-2 truncated
  for (const auto& c : cases) EXPECT_EQ(iterationCount(c.B), c.count) << c.B;

  CaptureStdout out;
  EXPECT_THROW(iterationCount(19), RunError);
  EXPECT_EQ(out.text(), "main(). B too large, 10 to its power does not fit in 64 bits: 19\n");
}

TEST(RunPlan, ScoringModeFromTheEnvironment) {
  Settings s;
  s.dataFile = "d.txt";
  s.model = "HDBern";
  s.heuristics = "OA";
  s.k = 0;
  s.criterionType = "integrated";
  unsetenv("VORNAK_SCORING");
  EXPECT_EQ(makePlan(s).scoring, ScoringMode::Exact);
  setenv("VORNAK_SCORING", "reference", 1);
  EXPECT_EQ(makePlan(s).scoring, ScoringMode::Reference);
  setenv("VORNAK_SCORING", "exact", 1);
  EXPECT_EQ(makePlan(s).scoring, ScoringMode::Exact);
  // A misspelt mode would silently compare the exact mode with itself: refused.
  setenv("VORNAK_SCORING", "Reference", 1);
  CaptureStdout out;
  EXPECT_THROW(makePlan(s), RunError);
  EXPECT_EQ(out.text(), "VORNAK_SCORING must be reference or exact: Reference\n");
  unsetenv("VORNAK_SCORING");
  // -x asks for fast arithmetic; the reference mode, a developer's yardstick, still wins.
  s.further["-x"] = "";
  EXPECT_EQ(makePlan(s).scoring, ScoringMode::Fast);
  setenv("VORNAK_SCORING", "exact", 1);
  EXPECT_EQ(makePlan(s).scoring, ScoringMode::Fast);
  setenv("VORNAK_SCORING", "reference", 1);
  EXPECT_EQ(makePlan(s).scoring, ScoringMode::Reference);
  unsetenv("VORNAK_SCORING");
}

TEST(RunPlan, NamesResolvedThroughTheTables) {
  Settings s;
  s.dataFile = "data.old.txt";
  s.model = "mclust2";
  s.heuristics = "EN";
  s.k = 0;
  s.criterionType = "classi";
  const RunPlan plan = makePlan(s);
  EXPECT_STREQ(plan.model->name, "mclust2");
  EXPECT_EQ(plan.settings.prior, "1");
  EXPECT_EQ(plan.priorText, "1");
  EXPECT_TRUE(plan.enumerate);
  EXPECT_TRUE(plan.criterionKnown);
  EXPECT_EQ(plan.criterion, CLASSIFICATION);
  EXPECT_EQ(plan.fileStem, "data_k0_EN_p1_a0");
  // An enumeration writes no partition file.
  EXPECT_EQ(plan.files(), (std::vector<std::pair<std::string, std::string>>{
                              {"log", "data_k0_EN_p1_a0.log"}, {"save", "data_k0_EN_p1_a0.save"}}));
  s.heuristics = "UW";
  s.criterionType = "best";
  const RunPlan later = makePlan(s);
  // Refused later, where the run always refused them.
  EXPECT_EQ(later.heuristic, nullptr);
  EXPECT_FALSE(later.criterionKnown);
  EXPECT_EQ(later.file("finalz"), "data_k0_UW_p1_a0.finalz");
}

TEST(RunPlan, DataStartNamesItsMethodInTheStemAndStandsAlone) {
  Settings s;
  s.dataFile = "votes.dat";
  s.model = "HDBern";
  s.heuristics = "OA";
  s.k = 0;
  s.B = 2;
  s.label = "run";
  s.criterionType = "integrated";
  s.further["-s"] = "5";
  s.further["-Z"] = "tree";
  const RunPlan plan = makePlan(s);
  EXPECT_EQ(plan.fileStem, "votes_k0_OA_p_a0_B2_s5_Ztree_run");
  EXPECT_EQ(plan.value("-Z"), 0);
  const struct {
    const char* Z;
    const char* stem;
    long long value;
  } starts[] = {{"boot", "votes_k0_OA_p_a0_B2_s5_Zboot_run", 1},
                {"average", "votes_k0_OA_p_a0_B2_s5_Zaverage_run", 2},
                {"random", "votes_k0_OA_p_a0_B2_s5_Zrandom_run", 3},
                {"sample", "votes_k0_OA_p_a0_B2_s5_Zsample_run", 4},
                {"sample-boot", "votes_k0_OA_p_a0_B2_s5_Zsample-boot_run", 5},
                {"sample-average", "votes_k0_OA_p_a0_B2_s5_Zsample-average_run", 6}};
  for (const auto& start : starts) {
    s.further["-Z"] = start.Z;
    const RunPlan other = makePlan(s);
    EXPECT_EQ(other.fileStem, start.stem);
    EXPECT_EQ(other.value("-Z"), start.value);
  }
  struct Refused {
    const char* Z;
    const char* z;
    const char* line;
  };
  const Refused cases[] = {
      {"greedy", "", "main(). -Z must name a start: tree, boot, average, random, sample, sample-boot or sample-average: greedy\n"},
      {"", "", "main(). -Z must name a start: tree, boot, average, random, sample, sample-boot or sample-average: \n"},
      {"tree|boot", "", "main(). -Z must name a start: tree, boot, average, random, sample, sample-boot or sample-average: tree|boot\n"},
      {"sample-tree", "", "main(). -Z must name a start: tree, boot, average, random, sample, sample-boot or sample-average: sample-tree\n"},
      {"sample", "a.finalz",
       "main(). -Z builds the start from the data, so a start file cannot be given too: -z "
       "a.finalz\n"},
      {"random", "a.finalz",
       "main(). -Z builds the start from the data, so a start file cannot be given too: -z "
       "a.finalz\n"},
      {"tree", "a.finalz",
       "main(). -Z builds the start from the data, so a start file cannot be given too: -z "
       "a.finalz\n"},
  };
  for (const Refused& c : cases) {
    s.further["-Z"] = c.Z;
    s.initialZ = c.z;
    CaptureStdout out;
    EXPECT_THROW(makePlan(s), RunError) << c.Z;
    EXPECT_EQ(out.text(), c.line);
  }
}

}  // namespace
