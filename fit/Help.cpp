// The text of vornak-fit --help: every option with its default, the settings per kind of data,
// what the output folder holds and the exit statuses.
#include "fit/Help.h"

#include <regex>

#include "driver/common_main.h"
#include "driver/help.h"
#include "fit/DataKind.h"
#include "fit/Options.h"
#include "fit/Thinning.h"
#include "summary/summary.h"

namespace fit {

std::string helpText() {
  return "vornak-fit: clusters the observations of a data file in one command. It detects the\n"
         "kind of data, chooses the recommended settings, runs several vornak chains at once until\n"
         "they agree, summarises their draws and writes a one-page report.\n"
         "\n"
         "Usage: vornak-fit DATA [-o DIR] [options] [engine letters]\n"
         "\n"
         "Options (default in brackets):\n"
         "  -o DIR         output folder; must be new or empty [a new folder named after DATA\n"
         "                 without its extension in the current folder: NAME, else NAME-2,\n"
         "                 NAME-3, ...; an earlier one is never replaced]\n"
         "  --chains N     chains run at once, 2 to 1024 [4 or the number of processors,\n"
         "                 whichever is larger; now " + std::to_string(defaultChains()) + "]\n"
         "  --minutes M    time limit of the whole run, a number above 0 (fractions allowed), at\n"
         "                 most 14400 [10]\n"
         "  --rhat R       the chains agree when R-hat of the score and of k are at most R [1.01]\n"
         "  --ess E        ... and the bulk effective sample sizes of the score and of k, summed\n"
         "                 over the chains, are at least E [400]\n"
         "  --seed S       chain c runs with seed S + c - 1 [1]\n"
         "  --progress     show the progress line also when standard error is not a terminal\n"
         "                 (one line per check; without it, one line a minute); on a terminal it\n"
         "                 is always shown, rewritten in place\n"
         "  --align        align FASTA sequences first with mafft --auto (on the PATH; Debian's\n"
         "                 mafft), into DIR; the command is in the report [unaligned sequences,\n"
         "                 of unequal lengths without a gap, are refused]\n"
         "  --keep KINDS   chain files that stay once the answer is written: all, none, or some of\n"
         "                 log,save,finalz,best,draws,alpha,columns,pdraws,output (chainN.stdout\n"
         "                 and .stderr), separated by commas; the last line says their size [all]\n"
         "  --classes C    known classes to compare the clusters with (never used by the search): a\n"
         "                 column of a table DATA, or a file of one label per line\n"
         "  --id NAME      the column of row names in a table DATA [detected: a first column with\n"
         "                 an empty name, or of text with unique values]\n"
         "  --separator S  comma, tab, semicolon or blanks: how a table DATA separates its fields\n"
         "                 [detected from the first line]\n"
         "  --decimal-comma  cells like 5,1 are 5.1 (with another separator than the comma)\n"
         "  --help         this text\n"
         "\n"
         "Engine letters (see vornak's usage) given after DATA are passed to every chain and replace\n"
         "the recommended value of the same letter: -m -p -h -k -a -c -T -j -V -W -A -Z -b, and the\n"
         "flags -x -S -q (for example -m mclust2 -h SR2 -p point05 -T 2 -k 3 -x -A 2,1 -Z tree).\n"
         "vornak-fit sets -f -d -e -s -t -B -i -l -z itself and refuses them; -h EN (no draws) and\n"
         "-k 1 (no iteration) are refused too. Heated chains (-T) combine with -A, -V and -W.\n"
         "\n"
         "DATA is an aligned FASTA file, a matrix of numbers (blank separated, NA missing), or a\n"
         "table: comma, tab, semicolon or blank separated (RFC 4180 quotes), with or without a\n"
         "header row; text columns other than the row names are left out (those with few values\n"
         "are offered for --classes). See docs/data-files.md.\n"
         "\n"
         "Recommended settings by kind of data (always -c integrated -k 0 -q):\n" +
         recommend::settingsTableText() +
         "A whole number is a cell strtol reads entirely (1.0 is not one). Heated chains (-T) get\n"
         "-j max(1, processors / chains) unless -j is given. A model given with -m takes the words of\n"
         "its own row (kmeans2: its default prior, nothing else); a model that cannot read the data\n"
         "(ProteinSequence on a matrix, HDBern on levels, ...) is refused before the chains start.\n"
         "\n"
         "How it runs: a short measuring run (about a second) gives a chain's speed; each chain then\n"
         "keeps a draw (-d) and a trace point (-e) every THIN iterations, THIN chosen for about\n"
         "" + std::to_string(kTargetDraws) + " draws per chain in the first " + std::to_string(static_cast<int>(kHorizonSeconds)) + " s (or the whole limit when shorter),\n"
         "but no more than about 40 MB of draws per chain at the limit. Each chain also gets -t,\n"
         "the limit's minutes rounded up plus one. Every few seconds the draws so far (first half\n"
         "dropped) are checked; the chains stop, by SIGINT,\n"
         "when they agree or at the time limit, and the output says which. SIGINT or SIGTERM to\n"
         "vornak-fit stops them the same way. A chain that fails stops the others and vornak-fit\n"
         "fails with its line.\n"
         "\n"
         "DIR holds: a copy of DATA and each chain's vornak files (.log .save .finalz .best .draws,\n"
         "named by vornak), chainN.stdout and chainN.stderr, the summary of all chains\n"
         "(summary.estimate, summary.summary.tsv, summary.psm, summary.svg; its printed report in\n"
         "summary.txt), the page report.html, and clusters.csv (name, cluster, membership\n"
         "probability per observation; with -V also columns.csv). Standard output names it at the\n"
         "end, and the size of the chain files.\n"
         "\n"
         "Exit status: 0 with an answer (the chains agreed, or the time limit came first); 128 +\n"
         "signal when a signal stopped the chains (the answer from the draws so far is written);\n"
         "255 after one line on standard error, for a usage problem too; a failure before the\n"
         "chains start leaves no folder.\n";
}

std::string portableHelpText() {
  return std::regex_replace(helpText(), std::regex("; now [0-9]+\\]"), "]");
}

std::string cliMarkdown() {
  const auto block = [](const std::string& text) { return "```text\n" + text + "```\n"; };
  return "# Command-line reference\n"
         "\n"
         "<!-- Made from the option tables and help texts of the programs by\n"
         "     `cmake --build build --target cli-doc`; the test CliDoc.MatchesTheTables fails when\n"
         "     this file differs from what they say. Edit driver/options.cpp, fit/Help.cpp or\n"
         "     summary/summary.cpp, not this file. -->\n"
         "\n"
         "Every option of `vornak`, `vornak-fit` and `vornak-summary`. What the files hold, the\n"
         "messages and the exit statuses are explained in [reference.md](reference.md); how to\n"
         "choose settings in [settings.md](settings.md).\n"
         "\n"
         "## vornak\n"
         "\n"
         "The options in the order `vornak --help` lists them: first those of the usage text\n"
         "(`-m`, `-f`, `-k`, `-h`, a bound `-B`, `-t` or `-i`, and `-c` are required; `EN` needs no\n"
         "bound), then the further ones. Without a further option every file and line is as\n"
         "without it. \"file stem\": the option's part of the output files' names (the usage\n"
         "text's options make the fixed layout described in\n"
         "[reference.md](reference.md#output-files)).\n"
         "\n" +
         optionsMarkdown() +
         "\n"
         "### `vornak --help`\n"
         "\n" +
         block(::helpText()) +
         "\n"
         "### The usage text\n"
         "\n"
         "Printed on standard output, with exit status 255, when a required option is missing.\n"
         "Its bytes are kept as they have always been, so it says less than `--help`.\n"
         "\n" +
         block(kUsageText) +
         "\n"
         "## vornak-fit\n"
         "\n"
         "`vornak-fit --help` (the default of `--chains` also shows the current number on the\n"
         "machine). More in [fit.md](fit.md).\n"
         "\n" +
         block(portableHelpText()) +
         "\n"
         "## vornak-summary\n"
         "\n"
         "`vornak-summary --help`. More in [getting-answers.md](getting-answers.md).\n"
         "\n" +
         block(summaryHelp());
}

}  // namespace fit
