#include "fit/Progress.h"

#include <cmath>
#include <cstdio>

namespace fit {
namespace {

std::string number(double value, const char* format) {
  if (std::isnan(value)) return "NA";
  if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::string formatDuration(double seconds) {
  const long whole = std::lround(std::max(0.0, seconds));
  char text[64];
  if (whole < 60) std::snprintf(text, sizeof text, "%ld s", whole);
  else if (whole < 3600) std::snprintf(text, sizeof text, "%ld min %02ld s", whole / 60, whole % 60);
  else std::snprintf(text, sizeof text, "%ld h %02ld min", whole / 3600, whole % 3600 / 60);
  return text;
}

std::string formatMinutes(double minutes) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", minutes);
  return text;
}

std::string agreementFigures(const summary::Agreement& agreement) {
  if (agreement.onePartition) return summary::onePartitionPhrase(agreement) + ": R-hat and ESS do not apply";
  std::string stuck;
  for (size_t s = 0; s < agreement.stuck.size(); s++)
    stuck += (s == 0 ? "" : ", ") + std::to_string(agreement.stuck[s] + 1);
  if (!stuck.empty())
    stuck = "; stuck (score never moved): chain" + std::string(agreement.stuck.size() == 1 ? " " : "s ") + stuck;
  return "R-hat " + number(agreement.rhatScore, "%.3f") + " (score) " + number(agreement.rhatK, "%.3f") +
         " (k), ESS " + number(agreement.essScore, "%.0f") + " (score) " + number(agreement.essK, "%.0f") +
         " (k)" + stuck;
}

std::string progressLine(double elapsedSeconds, const summary::Agreement& agreement) {
  if (agreement.keptPerChain == 0) return formatDuration(elapsedSeconds) + "  no complete draw in every chain yet";
  return formatDuration(elapsedSeconds) + "  iteration " + std::to_string(agreement.iterations) +
         "  best " + number(agreement.bestScore, "%.2f") + "  " + agreementFigures(agreement);
}

}  // namespace fit
