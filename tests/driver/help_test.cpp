// What the programs tell about themselves: the usage text printed when required options are
// missing (its examples must run, its lists must be the accepted names), the --help text
// (every row of the option table, model, heuristic and prior in it), vornak-fit's and the R
// package's lists of options against the table, docs/cli.md against the tables it is made
// from, and the installed programs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <limits>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "driver/common_main.h"
#include "driver/help.h"
#include "driver/options.h"
#include "fit/Help.h"
#include "fit/Options.h"
#include "models/catalog.h"
#include "sampler/heuristics.h"
#include "summary/summary.h"
#include "support/CaptureStdout.h"
#include "support/TempDir.h"
#include "support/run_exe.h"
#include "support/text.h"

namespace {

bool hasWord(const std::string& text, const std::string& word) {
  return std::regex_search(text, std::regex("(^|[^A-Za-z0-9])" + word + "($|[^A-Za-z0-9])"));
}

// The line of the usage text that starts with start.
std::string usageLine(const std::string& start) {
  for (const std::string& line : lines(kUsageText))
    if (line.compare(0, start.size(), start) == 0) return line;
  ADD_FAILURE() << "no usage line starts with " << start;
  return "";
}

// "... This should be A, B, or C. ..." -> A B C
std::vector<std::string> listedNames(const std::string& line) {
  const std::string lead = "This should be ";
  const size_t from = line.find(lead);
  if (from == std::string::npos) return {};
  std::string list = line.substr(from + lead.size());
  list = list.substr(0, list.find('.'));
  list = std::regex_replace(list, std::regex(",? or "), ", ");
  return fields(std::regex_replace(list, std::regex(","), " "));
}

std::string runStem(const std::string& out) {
  std::smatch match;
  return std::regex_search(out, match, std::regex("fileStem: (\\S+)\n")) ? match[1].str() : "";
}

void copyExamples(const TempDir& dir) {
  for (const auto& entry : std::filesystem::directory_iterator(VORNAK_SOURCE_DIR "/examples"))
    std::filesystem::copy_file(entry.path(), dir.file(entry.path().filename().string()));
}

TEST(UsageText, NamesTheAcceptedModelsAndHeuristicsOnly) {
  std::vector<std::string> models;
  for (const ModelEntry* m = kModels; m->name; m++) models.push_back(m->name);
  EXPECT_EQ(listedNames(usageLine("  -m:")), models);
  std::vector<std::string> heuristics;
  for (const Heuristic* h : allHeuristics()) heuristics.push_back(h->name);
  EXPECT_EQ(listedNames(usageLine("  -h:")), heuristics);
  // The criteria, and which models score classi and mixture.
  EXPECT_EQ(listedNames(usageLine("  -c:")),
            (std::vector<std::string>{"integrated", "classi", "mixture"}));
  for (const ModelEntry* m = kModels; m->name; m++) {
    SCOPED_TRACE(m->name);
    EXPECT_EQ(hasWord(usageLine("  -c:"), m->name), m->supports(CLASSIFICATION));
    EXPECT_EQ(m->supports(CLASSIFICATION), m->supports(MIXTURE));
  }
  // -c is required: it stands above the optional ones.
  const std::string text = kUsageText;
  EXPECT_LT(text.find("  -c:"), text.find("  the following are optional"));
  // Every prior name of every model, with its default.
  const std::string priors = text.substr(text.find("  -p:"), text.find("  -a:") - text.find("  -p:"));
  for (const ModelEntry* m = kModels; m->name; m++) {
    SCOPED_TRACE(m->name);
    EXPECT_TRUE(hasWord(priors, m->name));
    for (const PriorChoice* c = m->priors; c && c->name; c++) EXPECT_TRUE(hasWord(priors, c->name));
    if (m->priorKind == PriorKind::Named) {
      EXPECT_NE(priors.find(std::string(m->defaultPrior) + " (default)"), std::string::npos);
    }
    if (m->priorKind == PriorKind::Number) {
      EXPECT_NE(priors.find(std::string("default ") + m->defaultPrior), std::string::npos);
    }
  }
  EXPECT_EQ(lines(kUsageText).back(),
            "Every option, the further ones included, with defaults and exit statuses: "
            "vornak --help");
}

// Each example line, as printed, is a complete command the plan accepts; run in the examples'
// folder with -i 2 in place of its length (-i replaces _B in the stem, so a start file named
// after an earlier example is renamed alike) it completes.
TEST(UsageText, ExamplesRun) {
  TempDir dir;
  copyExamples(dir);
  int examples = 0;
  for (const std::string& line : lines(kUsageText)) {
    if (line.compare(0, 7, "vornak ") != 0) continue;
    SCOPED_TRACE(line);
    examples++;
    std::vector<std::string> args = fields(line);
    std::vector<char*> argv;
    for (auto& w : args) argv.push_back(&w[0]);
    Settings settings;
    ASSERT_TRUE(parseCommandLine(static_cast<int>(argv.size()), argv.data(), settings));
    {
      CaptureStdout quiet;
      EXPECT_TRUE(makePlan(settings).criterionKnown);
    }
    args.erase(args.begin());
    for (size_t i = 0; i + 1 < args.size(); i++)
      if (args[i] == "-z") args[i + 1] = std::regex_replace(args[i + 1], std::regex("_B[0-9]+_"), "_i2_");
    args.insert(args.end(), {"-i", "2", "-q"});
    const ExeResult run = runExe(args, dir.path);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    const std::string stem = runStem(run.out);
    ASSERT_FALSE(stem.empty()) << run.out;
    EXPECT_TRUE(dir.exists(stem + ".save"));
  }
  EXPECT_EQ(examples, 4);
}

// The help text's rows: "  -X ..." and the lines below it that are indented further.
std::map<std::string, std::string> helpRows() {
  std::map<std::string, std::string> rows;
  std::string current;
  for (const std::string& line : lines(helpText())) {
    if (line.compare(0, 3, "  -") == 0) {
      current = fields(line)[0];
      rows[current] = line;
    } else if (!current.empty() && line.compare(0, 4, "    ") == 0) {
      rows[current] += "\n" + line;
    } else {
      current.clear();
    }
  }
  return rows;
}

TEST(Help, HasARowForEveryOptionWithItsRangeAndDefault) {
  const std::map<std::string, std::string> rows = helpRows();
  for (const OptionSpec& option : kOptions) {
    SCOPED_TRACE(option.name);
    const auto row = rows.find(option.name);
    ASSERT_NE(row, rows.end());
    // The largest accepted whole number, where the table bounds it below the largest count.
    if (option.kind == ValueKind::WholeNumber && option.max != std::numeric_limits<int>::max() &&
        option.max != std::numeric_limits<long long>::max()) {
      EXPECT_TRUE(hasWord(row->second, std::to_string(option.max))) << row->second;
    }
    if (option.further && option.absent > 0) {
      EXPECT_NE(row->second.find("default " + std::to_string(option.absent)), std::string::npos)
          << row->second;
    }
    if (option.words) {
      EXPECT_TRUE(hasWord(row->second, option.words)) << row->second;
    }
  }
  for (const auto& row : rows) EXPECT_TRUE(findOption(row.first)) << row.first;
}

TEST(Help, NamesEveryModelHeuristicPriorAndCriterion) {
  const std::map<std::string, std::string> rows = helpRows();
  for (const ModelEntry* m = kModels; m->name; m++) {
    SCOPED_TRACE(m->name);
    EXPECT_TRUE(hasWord(rows.at("-m"), m->name));
    EXPECT_TRUE(hasWord(rows.at("-p"), m->name));
    for (const PriorChoice* c = m->priors; c && c->name; c++)
      EXPECT_TRUE(hasWord(rows.at("-p"), c->name)) << c->name;
    if (m->priorKind == PriorKind::Named) {
      EXPECT_NE(rows.at("-p").find(std::string(m->defaultPrior) + " (default)"), std::string::npos);
    }
    if (m->priorKind == PriorKind::Number) {
      EXPECT_NE(rows.at("-p").find(std::string("(default ") + m->defaultPrior + ")"),
                std::string::npos);
    }
    // classi and mixture name the models that score them, and no other.
    EXPECT_EQ(hasWord(rows.at("-c"), m->name), m->supports(CLASSIFICATION));
  }
  for (const Heuristic* h : allHeuristics()) EXPECT_TRUE(hasWord(rows.at("-h"), h->name)) << h->name;
  for (const char* criterion : {"integrated", "classi", "mixture"})
    EXPECT_TRUE(hasWord(rows.at("-c"), criterion)) << criterion;
}

// Each option has one row; the rows fit a terminal of 95 columns and their descriptions start
// in one column, so the help reads as a table.
TEST(Help, HasOneAlignedRowPerOption) {
  std::map<std::string, int> rows;
  for (const std::string& line : lines(helpText())) {
    EXPECT_LE(line.size(), 95u) << line;
    if (line.compare(0, 3, "  -") == 0) rows[fields(line)[0]]++;
  }
  for (const OptionSpec& option : kOptions) {
    SCOPED_TRACE(option.name);
    EXPECT_EQ(rows[option.name], 1);
    const std::string row = optionHelpRow(option);
    for (const std::string& line : lines(row)) {
      ASSERT_GT(line.size(), 17u) << line;
      EXPECT_EQ(line[16], ' ') << line;
      EXPECT_NE(line[17], ' ') << line;  // the description starts in column 18
    }
    EXPECT_EQ(row.find_first_not_of(' '), 2u);
  }
}

// The default a row states in docs/cli.md is the one its help text gives: every number in it
// appears in the row.
TEST(Help, StatesTheDefaultOfItsRow) {
  const std::map<std::string, std::string> rows = helpRows();
  int checked = 0;
  for (const OptionSpec& option : kOptions) {
    if (!option.byDefault) continue;
    SCOPED_TRACE(option.name);
    const std::string row = rows.at(option.name);
    const std::string text = option.byDefault;
    const std::regex number("[0-9]+");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), number);
         it != std::sregex_iterator(); ++it, checked++)
      EXPECT_TRUE(hasWord(row, it->str())) << it->str() << " in " << row;
  }
  EXPECT_GE(checked, 5);
}

// The usage text's bytes are fixed, but its options are exactly the table's usage-text rows.
TEST(UsageText, NamesTheUsageOptionsOfTheTable) {
  std::set<std::string> named;
  for (const std::string& line : lines(kUsageText))
    if (std::regex_match(line, std::regex("  -[A-Za-z]:.*"))) named.insert(line.substr(2, 2));
  std::set<std::string> table;
  for (const OptionSpec& option : kOptions)
    if (!option.further) table.insert(option.name);
  EXPECT_EQ(named, table);
}

// vornak-fit passes the engine's letters through or sets them itself: its help names every row
// of the table in one of its two lists, and every option row of its help is one it accepts.
TEST(FitHelp, NamesEveryEngineLetterAndOnlyOptionsItAccepts) {
  const std::string help = fit::helpText();
  const size_t passed = help.find("replace\nthe recommended value of the same letter:");
  const size_t own = help.find("vornak-fit sets ");
  ASSERT_NE(passed, std::string::npos);
  ASSERT_NE(own, std::string::npos);
  const std::string passedList = help.substr(passed, help.find('(', passed) - passed);
  const std::string ownList = help.substr(own, help.find("itself", own) - own);
  for (const OptionSpec& option : kOptions) {
    SCOPED_TRACE(option.name);
    const std::regex letter(std::string("(^|[ \n])") + option.name + "($|[ ,.\n])");
    EXPECT_NE(std::regex_search(passedList, letter), std::regex_search(ownList, letter))
        << passedList << ownList;
    bool refused = false;
    try {
      fit::parseOptions({"data.dat", option.name, "1"});
    } catch (const fit::FitError& e) {
      refused = std::string(e.what()).find("set by vornak-fit") != std::string::npos;
    }
    EXPECT_EQ(refused, std::regex_search(ownList, letter));
  }
  int rows = 0;
  for (const std::string& line : lines(help)) {
    std::smatch option;
    if (!std::regex_search(line, option, std::regex("^  (--?[a-z][a-z-]*)"))) continue;
    SCOPED_TRACE(line);
    rows++;
    try {
      fit::parseOptions({"data.dat", option[1].str(), "2"});
    } catch (const fit::FitError& e) {
      EXPECT_EQ(std::string(e.what()).find("unknown option"), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(rows, 14);
}

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// docs/cli.md is made from the tables (cmake --build BUILD --target cli-doc) and committed; it
// must be what they make now.
TEST(CliDoc, MatchesTheTables) {
  const std::string committed = fileText(VORNAK_SOURCE_DIR "/docs/cli.md");
  const std::string made = fit::cliMarkdown();
  EXPECT_TRUE(committed == made)
      << "docs/cli.md differs from the option tables: run cmake --build BUILD --target cli-doc";
  // It is the tables' text: every row and the three helps.
  for (const OptionSpec& option : kOptions)
    EXPECT_NE(made.find(std::string("| `") + option.name + "` |"), std::string::npos) << option.name;
  for (const std::string& help : {helpText(), fit::portableHelpText(), summaryHelp(),
                                  std::string(kUsageText)})
    EXPECT_NE(made.find("```text\n" + help + "```\n"), std::string::npos);
  EXPECT_EQ(fit::portableHelpText().find("now "), std::string::npos);
}

// The R function's arguments, from its definition in R/vornak/R/vornak.R.
std::vector<std::string> rArguments(const std::string& source, const std::string& function) {
  const size_t start = source.find("\n" + function + " <- function(");
  if (start == std::string::npos) return {};
  std::vector<std::string> names;
  int depth = 0;
  std::string current;
  bool inName = true;
  for (size_t i = source.find('(', start) + 1; i < source.size(); i++) {
    const char c = source[i];
    if (depth == 0 && (c == ',' || c == ')')) {
      names.push_back(fields(current).empty() ? "" : fields(current)[0]);
      current.clear();
      inName = true;
      if (c == ')') break;
      continue;
    }
    if (c == '(' || c == '[') depth++;
    if (c == ')' || c == ']') depth--;
    if (depth == 0 && c == '=') inName = false;
    if (inName) current += c;
  }
  return names;
}

// The names an Rd page's \arguments section documents ("\item{rhat, ess}" documents both).
std::set<std::string> rdArguments(const std::string& page) {
  const size_t from = page.find("\\arguments{");
  const size_t to = page.find("\n\\value{", from);
  std::set<std::string> names;
  const std::string section = page.substr(from, to - from);
  const std::regex item("\\\\item\\{([^}]*)\\}");
  for (auto it = std::sregex_iterator(section.begin(), section.end(), item);
       it != std::sregex_iterator(); ++it) {
    std::string list = std::regex_replace((*it)[1].str(), std::regex(","), " ");
    for (const std::string& name : fields(list)) names.insert(name);
  }
  return names;
}

// Every argument vornak() accepts is documented on its help page, and no other; the engine
// letters it passes and those the page names are rows of the option table.
TEST(RHelp, DocumentsEveryArgumentOfVornak) {
  const std::string source = fileText(VORNAK_SOURCE_DIR "/R/vornak/R/vornak.R");
  const std::string page = fileText(VORNAK_SOURCE_DIR "/R/vornak/man/vornak.Rd");
  const std::vector<std::string> arguments = rArguments(source, "vornak");
  ASSERT_GE(arguments.size(), 20u);
  const std::set<std::string> documented = rdArguments(page);
  EXPECT_EQ(std::set<std::string>(arguments.begin(), arguments.end()), documented);
  int letters = 0;
  for (const std::string& text : {source, page}) {
    const std::regex letter("(\"|\\\\option\\{)(-[A-Za-z])[\" }]");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), letter);
         it != std::sregex_iterator(); ++it, letters++)
      EXPECT_TRUE(findOption((*it)[2].str())) << (*it)[2].str();
  }
  EXPECT_GE(letters, 15);
}

// The pages the help points to are there.
TEST(Help, PointsToDocumentsThatExist) {
  const std::string text = helpText();
  const size_t more = text.find("More in docs/:");
  ASSERT_NE(more, std::string::npos);
  const std::string tail = text.substr(more);
  const std::regex page("([a-z-]+\\.md)");
  int pages = 0;
  for (auto it = std::sregex_iterator(tail.begin(), tail.end(), page); it != std::sregex_iterator();
       ++it, pages++)
    EXPECT_TRUE(std::filesystem::is_regular_file(VORNAK_SOURCE_DIR "/docs/" + it->str())) << it->str();
  EXPECT_EQ(pages, 4);
}

// Every help page of the R package documents exactly the arguments of the functions its usage
// shows, as their definitions in R/vornak/R/ have them.
TEST(RHelp, EveryPageDocumentsTheArgumentsOfItsFunctions) {
  std::string sources;
  for (const auto& entry : std::filesystem::directory_iterator(VORNAK_SOURCE_DIR "/R/vornak/R"))
    sources += "\n" + fileText(entry.path().string());
  int pages = 0;
  for (const auto& entry : std::filesystem::directory_iterator(VORNAK_SOURCE_DIR "/R/vornak/man")) {
    const std::string page = fileText(entry.path().string());
    const size_t usage = page.find("\\usage{");
    if (usage == std::string::npos || page.find("\\arguments{") == std::string::npos) continue;
    SCOPED_TRACE(entry.path().filename().string());
    pages++;
    std::set<std::string> arguments;
    const std::string shown = page.substr(usage, page.find("\n}", usage) - usage);
    const std::regex call("(\\\\method\\{([A-Za-z.]+)\\}\\{([A-Za-z.]+)\\}|^([A-Za-z.]+))\\(");
    for (const std::string& line : lines(shown)) {
      std::smatch match;
      if (!std::regex_search(line, match, call)) continue;
      const std::string function =
          match[2].matched ? match[2].str() + "." + match[3].str() : match[4].str();
      const std::vector<std::string> defined = rArguments(sources, function);
      // A generic of another package (coda's as.mcmc.list) is not defined here.
      if (defined.empty()) continue;
      arguments.insert(defined.begin(), defined.end());
    }
    EXPECT_EQ(arguments, rdArguments(page));
  }
  EXPECT_GE(pages, 3);
}

// --help wherever it stands: the text on standard output, status 0, no file, no run.
TEST(Help, PrintsTheHelpTextAndExitsZero) {
  for (const char* line : {"--help", "-m HDBern -f votes.dat -k 0 -h OA -B 1 -c integrated --help",
                           "-s5 --help -Q"}) {
    SCOPED_TRACE(line);
    TempDir dir;
    dir.write("votes.dat", "0 1\n1 0\n");
    const ExeResult run = runExe(fields(line), dir.path);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, helpText());
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path),
                            std::filesystem::directory_iterator()),
              1);
  }
}

// The exit statuses the help lists include those the program gives: a completed run, missing
// options, --help.
TEST(Help, ListsTheStatusesTheProgramGives) {
  const std::string text = helpText();
  const std::string statuses = text.substr(text.find("Exit status:"));
  TempDir dir;
  copyExamples(dir);
  for (const char* line :
       {"-m HDBern -f votes.dat -k 0 -h OA -i 2 -c integrated -q", "-m HDBern", "--help"}) {
    SCOPED_TRACE(line);
    const ExeResult run = runExe(fields(line), dir.path);
    EXPECT_TRUE(std::regex_search(statuses, std::regex("\n  " + std::to_string(run.status) + " ")))
        << run.status;
  }
}

// The help's example, two chains and their summary, runs as printed.
TEST(Help, ExampleRuns) {
  TempDir dir;
  copyExamples(dir);
  int commands = 0;
  bool inExample = false;
  for (const std::string& line : lines(helpText())) {
    if (line.compare(0, 7, "Example") == 0) inExample = true;
    std::vector<std::string> args = fields(line);
    if (!inExample || args.empty() || line.compare(0, 2, "  ") != 0) continue;
    std::string exe;
    if (args[0] == "vornak") exe = VORNAK_EXE;
    if (args[0] == "vornak-summary") exe = VORNAK_SUMMARY_EXE;
    if (exe.empty()) continue;
    SCOPED_TRACE(line);
    commands++;
    args.erase(args.begin());
    const ExeResult run = runExe(args, dir.path, exe);
    EXPECT_EQ(run.status, args[0] == "-m" ? 1 : 0) << run.out << run.err;
    if (exe == VORNAK_SUMMARY_EXE) {
      EXPECT_NE(run.out.find("vornak-summary: 2 chains of n = 36 items"), std::string::npos) << run.out;
    }
  }
  EXPECT_EQ(commands, 3);
}

TEST(SummaryHelp, NamesEveryOptionAndExitsZero) {
  const std::string help = summaryHelp();
  EXPECT_EQ(help.compare(0, summaryUsage().size(), summaryUsage()), 0);
  for (const std::string& option : summaryOptions())
    EXPECT_TRUE(std::regex_search(help, std::regex("\n  (--help, )?" + option + "[ ,]")))
        << option;
  for (const char* word : {"--help", "-h"}) {
    TempDir dir;
    const ExeResult run = runExe({word}, dir.path, VORNAK_SUMMARY_EXE);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, help);
    EXPECT_EQ(run.err, "");
  }
}

// A plain configure builds the programs only: no test suite (it needs GoogleTest and most of
// the build time) and no R library; tests/run.sh turns the suite on.
TEST(Install, DefaultBuildHasNoTestSuite) {
  TempDir build;
  const ExeResult configure = runInChild(build.path, [&] {
    execlp("cmake", "cmake", "-S", VORNAK_SOURCE_DIR, "-B", build.path.c_str(), static_cast<char*>(nullptr));
    return 127;
  });
  ASSERT_EQ(configure.status, 0) << configure.out << configure.err;
  const std::string cache = build.read("CMakeCache.txt");
  EXPECT_NE(cache.find("VORNAK_TESTS:BOOL=OFF"), std::string::npos);
  const ExeResult targets = runInChild(build.path, [&] {
    execlp("cmake", "cmake", "--build", build.path.c_str(), "--target", "help", static_cast<char*>(nullptr));
    return 127;
  });
  ASSERT_EQ(targets.status, 0) << targets.err;
  EXPECT_NE(targets.out.find("vornak-fit"), std::string::npos) << targets.out;
  EXPECT_EQ(targets.out.find("vornak_tests"), std::string::npos) << targets.out;
}

// cmake --install puts the programs into PREFIX/bin; the installed ones run from there.
TEST(Install, PutsTheProgramsIntoPrefixBin) {
  TempDir prefix;
  const std::string build = std::filesystem::path(VORNAK_EXE).parent_path().string();
  const ExeResult install = runInChild(prefix.path, [&] {
    execlp("cmake", "cmake", "--install", build.c_str(), "--prefix", prefix.path.c_str(),
           static_cast<char*>(nullptr));
    return 127;
  });
  ASSERT_EQ(install.status, 0) << install.out << install.err;
  const ExeResult vornak = runExe({"--help"}, prefix.path, prefix.file("bin/vornak"));
  EXPECT_EQ(vornak.status, 0);
  EXPECT_EQ(vornak.out, helpText());
  const ExeResult summary = runExe({"--help"}, prefix.path, prefix.file("bin/vornak-summary"));
  EXPECT_EQ(summary.status, 0);
  EXPECT_EQ(summary.out, summaryHelp());
  const ExeResult fit = runExe({"--help"}, prefix.path, prefix.file("bin/vornak-fit"));
  EXPECT_EQ(fit.status, 0) << fit.err;
  EXPECT_NE(fit.out.find("vornak-fit DATA"), std::string::npos) << fit.out;
}

}  // namespace

