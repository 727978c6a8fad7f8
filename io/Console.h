// What the process shows its user: standard output, standard error and a progress line. The
// console build writes to std::cout and std::cerr; the R package prints through R's console
// instead.
#pragma once
#include <ostream>

std::ostream& vout();
// Standard error: copies of failure lines that otherwise reach only the log.
std::ostream& verr();

// One refreshed progress line while a search runs, shown only on a terminal.
bool progressWanted();
void progressShow(const char* line);
void progressEnd();
// The line that says how a search ended, shown on a terminal after the progress line.
void progressFinal(const char* line);
