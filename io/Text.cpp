#include "io/Text.h"

#include <charconv>

void Tokenize(const std::string& str, std::vector<std::string>& tokens,
              const std::string& delimiters) {
  std::string::size_type start = str.find_first_not_of(delimiters, 0);
  std::string::size_type end = str.find_first_of(delimiters, start);
  while (start != std::string::npos || end != std::string::npos) {
    tokens.push_back(str.substr(start, end - start));
    start = str.find_first_not_of(delimiters, end);
    end = str.find_first_of(delimiters, start);
  }
}

std::string Text::localTimeText(time_t t) {
  struct tm parts;
  localtime_r(&t, &parts);
  std::ostringstream s;
  s << parts.tm_year + 1900 << "/" << parts.tm_mon + 1 << "/" << parts.tm_mday << " "
    << parts.tm_hour << ":" << parts.tm_min << ":" << parts.tm_sec;
  return s.str();
}

namespace {

// Fixed-size staging area: numbers are formatted here and handed to the stream in blocks.
class Staging {
 public:
  explicit Staging(std::ostream& out) : out_(out) {}
  ~Staging() { flush(); }
  char* reserve() {
    if (used_ > sizeof buffer_ - 64) flush();
    return buffer_ + used_;
  }
  void advance(char* end) { used_ = static_cast<size_t>(end - buffer_); }
  void put(char c) { *reserve() = c, used_++; }
  char* limit() { return buffer_ + sizeof buffer_; }

 private:
  void flush() {
    out_.write(buffer_, static_cast<std::streamsize>(used_));
    used_ = 0;
  }
  std::ostream& out_;
  char buffer_[8192];
  size_t used_ = 0;
};

}  // namespace

char* Text::formatDouble(char* first, char* last, double value, int precision) {
  return std::to_chars(first, last, value, std::chars_format::general, precision).ptr;
}

void Text::writeNumbers(const int* values, int count, std::ostream& save, bool println) {
  Staging staging(save);
  for (int i = 0; i < count; i++) {
    char* at = staging.reserve();
    at = std::to_chars(at, staging.limit(), values[i]).ptr;
    *at++ = ' ';
    staging.advance(at);
  }
  if (println) staging.put('\n');
}

void Text::writeNumbers(const double* values, int count, std::ostream& save, bool println) {
  Staging staging(save);
  const int precision = static_cast<int>(save.precision());
  for (int i = 0; i < count; i++) {
    char* at = staging.reserve();
    at = formatDouble(at, staging.limit(), values[i], precision);
    *at++ = ' ';
    staging.advance(at);
  }
  if (println) staging.put('\n');
}

void Text::writeNumber(std::ostream& save, double value, char after) {
  if (!plainFormat(save)) {
    save << value << after;
    return;
  }
  char text[64];
  char* end = formatDouble(text, text + sizeof text - 1, value, static_cast<int>(save.precision()));
  *end++ = after;
  save.write(text, end - text);
}
