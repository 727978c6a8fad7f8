// vornak-summary: reads the draws files of one or more chains of `vornak -d` and writes a
// point estimate, a tab-separated summary, the posterior similarity matrix and a picture,
// with a readable report. Depends on the C++ standard library only, so that any front end
// (the console program, the R package) can call it.
#pragma once
#include <ostream>
#include <string>
#include <vector>

// args are the words after the program name. The report goes to out; a usage problem prints
// the usage text to err and returns 2; bad input (a missing or malformed file, chains of
// different n, a burn-in fraction outside [0, 1), an unknown loss) prints one line to err and
// returns 255, leaving every earlier output file as it was; success returns 0.
int runSummary(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The usage text, ending with a line break.
std::string summaryUsage();
// What --help prints: the usage text, then how the figures are made, the exit statuses and an
// example.
std::string summaryHelp();
// Every option the parser knows.
std::vector<std::string> summaryOptions();
