// Line reading with a bound, so that a file without line breaks is never held in memory
// whole. Shared by the matrix and FASTA readers.
#pragma once
#include <istream>
#include <string>

// Reads one line without its line feed into line. False at the end of the file, or when the
// line is longer than maxLength (then longLine is set and the rest of the line is left
// unread).
inline bool readLineUpTo(std::istream& in, std::string& line, std::string::size_type maxLength,
                         bool& longLine) {
  line.clear();
  longLine = false;
  std::streambuf* buffer = in.rdbuf();
  for (;;) {
    const int c = buffer->sbumpc();
    if (c == std::char_traits<char>::eof()) return !line.empty();
    if (c == '\n') return true;
    if (line.size() == maxLength) {
      longLine = true;
      return false;
    }
    line.push_back(static_cast<char>(c));
  }
}

// Skips the rest of the current line, its line feed included.
inline void skipRestOfLine(std::istream& in) {
  std::streambuf* buffer = in.rdbuf();
  for (int c = buffer->sbumpc(); c != std::char_traits<char>::eof() && c != '\n';
       c = buffer->sbumpc()) {
  }
}
