#include "sampler/Anneal.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "io/Text.h"

double AnnealSchedule::beta(long long a) const {
  return std::pow(startBeta, 1 - static_cast<double>(a) / static_cast<double>(iterations));
}

bool parseAnneal(const std::string& text, AnnealSchedule& schedule) {
  const std::string::size_type comma = text.find(',');
  const std::string count = text.substr(0, comma);
  if (count.empty() || count.size() > 18) return false;
  for (char c : count)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  schedule.iterations = std::atoll(count.c_str());
  schedule.startBeta = AnnealSchedule::kDefaultStartBeta;
  if (comma != std::string::npos) {
    const std::string word = text.substr(comma + 1);
    char* end = nullptr;
    schedule.startBeta = std::strtod(word.c_str(), &end);
    if (word.empty() || std::isspace(static_cast<unsigned char>(word[0])) || *end != '\0' ||
        !(schedule.startBeta > 0 && schedule.startBeta < 1))
      return false;
  }
  return schedule.iterations >= 1;
}

std::string annealText(const AnnealSchedule& schedule) {
  return Text::n2s(schedule.iterations) + "," + Text::n2s(schedule.startBeta);
}
