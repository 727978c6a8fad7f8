// The signals that stop vornak-fit. One request to stop can arrive as several copies: timeout(1)
// signals its child and then the child's whole process group, and a terminal's Ctrl-C reaches
// the group too. Copies of one signal that arrive within kSameRequestSeconds of the first are
// that one request; only a later or another signal forces the stop at once (the default action).
#pragma once

namespace fit {

constexpr double kSameRequestSeconds = 1.0;

// Whether a signal received at `seconds` is a copy of the request made by firstSignal at
// firstSeconds (0: none made yet).
bool sameRequest(int signal, double seconds, int firstSignal, double firstSeconds);

// The interrupt handlers of io/Interrupt.h, with copies of one request taken as one.
void installFitSignalHandlers();

}  // namespace fit
