#include "io/Console.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

std::ostream& vout() { return std::cout; }

std::ostream& verr() { return std::cerr; }

bool progressWanted() { return isatty(STDERR_FILENO) == 1; }

void progressShow(const char* line) {
  std::fprintf(stderr, "\r%s   ", line);
  std::fflush(stderr);
}

void progressEnd() { std::fputc('\n', stderr); }

void progressFinal(const char* line) {
  if (isatty(STDERR_FILENO) != 1) return;
  std::fprintf(stderr, "%s\n", line);
  std::fflush(stderr);
}
