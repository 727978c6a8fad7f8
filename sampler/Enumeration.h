// Exhaustive enumeration ("EN"): every partition into the allowed numbers of clusters (all of
// 1..n for an open k, k alone otherwise), listed in the log and scored one per line (10
// significant digits) in the .save file. A listing too large to hold is refused before the
// file is created.
#pragma once
#include <ostream>
#include <string>

#include "sampler/Scorer.h"

void enumZ(const Scorer& scorer, const std::string& fileStem, std::ostream& logFile);
