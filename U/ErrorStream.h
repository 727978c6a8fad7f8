// Standard error: warnings and hints that must not change standard output. The console
// writes them to std::cerr, the R package to R's error console, the fuzz targets nowhere.
#pragma once
#include <ostream>

std::ostream& verr();
