// The draws of the concentration alpha (-A with -d), written beside STEM.draws as STEM.alpha:
// one line "ITER ALPHA" per kept iteration, the iteration number as in .draws and alpha with
// 17 significant digits, single blank, line break. Written and read here only; standard
// library only.
#pragma once
#include <string>
#include <string_view>

#include "formats/Draws.h"

namespace formats {

// Appends the line of iteration's value (alpha; the same layout serves P in .pdraws) and its
// line break.
void appendValueLine(std::string& line, long long iteration, double value);

// Parses a line (no line break; blanks or tabs between the two fields; a carriage return at
// its end is dropped). alpha must be a positive finite number. Throws FormatError.
void parseAlphaLine(std::string_view line, long long& iteration, double& alpha);
// The same for another positive value (P in .pdraws); messages call it name.
void parseValueLine(std::string_view line, long long& iteration, double& value,
                    const std::string& name);

// The alpha file beside a draws file: NAME.draws gives NAME.alpha ("" for another name).
std::string alphaFileOf(const std::string& drawsFile);
// The file of the same run with another suffix: NAME.draws and ".pdraws" give NAME.pdraws.
std::string siblingFileOf(const std::string& drawsFile, const std::string& suffix);

}  // namespace formats
