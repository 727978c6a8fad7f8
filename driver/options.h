// The command-line options, one row each: the name, how its value is read, the values
// accepted, whether the usage text names it, its part of the file stem, and its help: the
// value's name, the description and the default. The parser, the plan's checks, the stem, the
// log's closing line, `vornak --help` and docs/cli.md follow this table; the R package passes
// words and leaves the checks to it.
#pragma once
#include <string>
#include <variant>
#include <vector>

#include "driver/common_main.h"

enum class ValueKind {
  Text,         // verbatim
  WholeNumber,  // usage-text options: atoi's value; further options: decimal digits only
  RealNumber,   // atof's value
  Flag,         // no value word; may stand anywhere, the last word included
};

// Where a further option's part goes in the file stem. The usage-text options keep the fixed
// layout that buildFileStem writes.
enum class StemPlace {
  None,
  InPlaceOfB,   // a search's part where "_B" would be, which it replaces
  BeforeLabel,  // a search's part after the limits, before the label part, in table order
  Last,         // at the very end, enumerations included
};

// Where Settings keeps a usage-text option; further options are kept by name.
using SettingsField = std::variant<std::monostate, std::string Settings::*, int Settings::*,
                                   double Settings::*>;

struct OptionSpec {
  const char* name;  // "-k"
  ValueKind kind;
  bool further;      // not in the usage text (docs/reference.md, "Further options")
  // Whole numbers: the accepted values; refusal starts the line naming a value outside them
  // (null: not checked when the plan is made).
  long long min, max;
  const char* refusal;
  long long absent;    // the value when not given
  const char* stem;    // further options: the stem part's prefix, the value after it (flags: none)
  StemPlace place;
  SettingsField field;  // usage-text options only
  const char* words;    // further text options: the words accepted, "|" between them
  // The help: the value's name in `vornak --help` (empty for a flag), the description (lines
  // split by '\n', indented by the help text) and the default as docs/cli.md shows it (null:
  // none, the option is required or off).
  const char* metavar;
  const char* help;
  const char* byDefault;
};

// Every option, in the order the parser converts their values (so warnings come in it).
extern const std::vector<OptionSpec> kOptions;

// The row of an option name, or null.
const OptionSpec* findOption(const std::string& name);
