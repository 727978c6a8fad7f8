// The report's section on where the chains started and ended: each chain's start and best
// score, the modes, and, when the chains ended apart, that the answer is conditional on the
// best mode. The words are the summary's (summary/modes.h).
#pragma once
#include <string>

namespace report {

struct Input;

// HTML, or "" when the input carries no such text.
std::string modesSection(const Input& input);

}  // namespace report
