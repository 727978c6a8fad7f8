// The text `vornak --help` prints: every option, the usage-text ones and the further ones, with
// its values and default, the models, heuristics, priors and criteria, the files written and
// the exit statuses. Its option rows start with two blanks and the option's name, so that a
// test can find each row of the option table in it.
#pragma once
#include <string>

struct OptionSpec;

// One option's rows: "  -X VALUE" padded to the description's column, then its lines.
std::string optionHelpRow(const OptionSpec& option);

std::string helpText();

// The option table as a Markdown table (for docs/cli.md): every option in the help's order
// with its value, accepted values, default, file-stem part and description.
std::string optionsMarkdown();
