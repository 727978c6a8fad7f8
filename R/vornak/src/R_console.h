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
// runs in any case.
void startProgress(bool draw, long long iterations, int minutes, const std::string& title);

// Ends the bar's line, if one was drawn, once the run is over however it ended.
void finishProgress();

}  // namespace rconsole
