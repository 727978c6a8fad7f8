// Input text as a message may show it: control and invisible characters become visible
// escapes (\r, \f, \x1b, \u200b), so a message names the offending bytes and a file cannot
// drive the terminal. Header-only and standard library only: vornak-summary uses it too.
#pragma once
#include <cstddef>
#include <string>

namespace visible_text_detail {

inline void appendHex(std::string& out, unsigned value, int digits) {
  static const char kDigits[] = "0123456789abcdef";
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kDigits[(value >> shift) & 15];
}

// The code point of the well-formed UTF-8 sequence at text[at] and its length, or length 0.
inline std::size_t decodeUtf8(const std::string& text, std::size_t at, unsigned& codePoint) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned lead = byte(at);
  std::size_t length = lead >= 0xf0 && lead <= 0xf4 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc2 ? 2 : 0;
  if (lead >= 0xf5 || length == 0 || at + length > text.size()) return 0;
  codePoint = lead & (0x7f >> length);
  for (std::size_t i = 1; i < length; i++) {
    if ((byte(at + i) & 0xc0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (byte(at + i) & 0x3f);
  }
  const unsigned smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (codePoint < smallest[length] || codePoint > 0x10ffff ||
      (codePoint >= 0xd800 && codePoint <= 0xdfff))
    return 0;
  return length;
}

// C1 controls and the characters that change direction or take no room.
inline bool invisible(unsigned c) {
  return (c >= 0x80 && c <= 0x9f) || c == 0xad || (c >= 0x200b && c <= 0x200f) ||
         (c >= 0x2028 && c <= 0x202e) || (c >= 0x2060 && c <= 0x206f) || c == 0xfeff;
}

}  // namespace visible_text_detail

// text with every control character, invisible character and byte that is not UTF-8 written
// as an escape; printable text, backslashes and well-formed visible UTF-8 are kept as they are.
inline std::string visibleText(const std::string& text) {
  using namespace visible_text_detail;
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
      at++;
      continue;
    }
    if (c < 0x80) {
      const char* named = c == '\r'   ? "\\r"
                          : c == '\n' ? "\\n"
                          : c == '\t' ? "\\t"
                          : c == '\f' ? "\\f"
                          : c == '\v' ? "\\v"
                                      : nullptr;
      if (named) {
        out += named;
      } else {
        out += "\\x";
        appendHex(out, c, 2);
      }
      at++;
      continue;
    }
    unsigned codePoint = 0;
    const std::size_t length = decodeUtf8(text, at, codePoint);
    if (length == 0) {
      out += "\\x";
      appendHex(out, c, 2);
      at++;
    } else if (invisible(codePoint)) {
      out += "\\u";
      appendHex(out, codePoint, 4);
      at += length;
    } else {
      out.append(text, at, length);
      at += length;
    }
  }
  return out;
}
