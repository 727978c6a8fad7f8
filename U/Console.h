// The process's standard output. The console build writes to std::cout; the R package
// supplies a stream that prints through R's console instead.
#pragma once
#include <ostream>

std::ostream& vout();
