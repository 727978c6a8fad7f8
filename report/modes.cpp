#include "report/modes.h"

#include "report/Report.h"
#include "summary/svg.h"

namespace report {

std::string modesSection(const Input& input) {
  if (input.modes.empty()) return "";
  std::string html = "<h2>Chains: starts and ends</h2>\n";
  if (!input.conditionalOn.empty())
    html += "<p class=\"low\" id=\"modes-verdict\">" + summary::xmlEscape(input.conditionalOn) + "</p>\n";
  // The summary's table, line by line.
  html += "<pre id=\"modes\">";
  for (size_t start = 0; start < input.modes.size();) {
    size_t end = input.modes.find('\n', start);
    if (end == std::string::npos) end = input.modes.size();
    html += summary::xmlEscape(input.modes.substr(start, end - start)) + "\n";
    start = end + 1;
  }
  return html + "</pre>\n";
}

}  // namespace report
