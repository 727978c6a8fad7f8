// The text `vornak --help` prints: every option, the usage-text ones and the further ones, with
// its values and default, the models, heuristics, priors and criteria, the files written and
// the exit statuses. Its option rows start with two blanks and the option's name, so that a
// test can find each row of the option table in it.
#pragma once

extern const char* const kHelpText;
