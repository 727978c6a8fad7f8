// What the package's .Call entries set on its console for the length of one run.
#pragma once
#include <string>

namespace rconsole {

// While set, standard output and standard error of the run are kept here instead of going to
// R's console, so the R side can hand them to message() once no C++ frame is left to jump
// over. The progress bar is not captured.
void setCapture(std::string* output, std::string* errors);

// A text progress bar on standard error for the coming run, drawn only when draw is true;
// iterations (or 0 when not known) and minutes (or -1) give the target. The interrupt poll
// runs in any case. parent, when not 0, is the process id of the R session that forked this
// chain: the poll also asks whether it still lives, and stops the chain as a SIGTERM would
// once it is gone (the chain is then the child of another process).
void startProgress(bool draw, long long iterations, int minutes, const std::string& title,
                   long parent = 0);

// Ends the bar's line, if one was drawn, once the run is over however it ended.
void finishProgress();

}  // namespace rconsole
