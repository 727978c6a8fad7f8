// vornak-fit from its command line to its answer: detects the data, chooses the settings,
// measures a chain's speed to choose the thinning, runs the chains until they agree or the
// time is up, summarises their draws and writes the report. One way out: every failure is one
// line on err and status 255.
#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace fit {

// args are the words after the program name. Returns 0 with an answer, 128 + signal when a
// signal stopped the chains (the answer from the draws so far is still written), 255 after
// one line on err. progressOnTerminal: err is a terminal (the progress line is rewritten in
// place there).
int runFit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool progressOnTerminal);

}  // namespace fit
