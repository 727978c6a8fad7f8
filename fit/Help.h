// The command-line reference docs/cli.md, made from the option tables and help texts of the
// three programs, so that the committed file can be compared with what they say.
#pragma once
#include <string>

namespace fit {

// vornak-fit's help without the figure that depends on the machine (the current number of
// processors).
std::string portableHelpText();

// The whole of docs/cli.md.
std::string cliMarkdown();

}  // namespace fit
