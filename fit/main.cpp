// vornak-fit: one command from a data file to a summarised, reported clustering.
#include <unistd.h>

#include <iostream>

#include "fit/Fit.h"
#include "fit/Signals.h"

int main(int argc, char** argv) {
  fit::installFitSignalHandlers();
  const std::vector<std::string> args(argv + 1, argv + argc);
  return fit::runFit(args, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
