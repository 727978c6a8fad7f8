// Showing input text in messages: control characters, invisible characters and bytes that are
// not UTF-8 become escapes; everything a terminal shows as itself is kept byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "io/VisibleText.h"

namespace {

TEST(VisibleText, EscapesWhatATerminalWouldNotShowAndKeepsTheRest) {
  const struct {
    std::string text;
    std::string shown;
  } cases[] = {
      {"Bad matrix file m.txt, line 2", "Bad matrix file m.txt, line 2"},
      {"", ""},
      {"a\\b ~", "a\\b ~"},  // backslashes stay: names with them keep their bytes
      {"1\r", "1\\r"},
      {"x\ny\tz", "x\\ny\\tz"},
      {"1\f\v", "1\\f\\v"},
      {"\x1b[31mred", "\\x1b[31mred"},
      {std::string("a\0b", 3), "a\\x00b"},
      {"\x7f\x07\x08", "\\x7f\\x07\\x08"},
      // Well-formed visible UTF-8 stays: two-, three- and four-byte characters.
      {"\xc3\x89t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "\xc3\x89t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
      // C1 controls (CSI), zero-width, direction overrides and the byte order mark.
      {"\xc2\x9b" "2J", "\\u009b2J"},
      {"a\xe2\x80\x8b" "b", "a\\u200bb"},
      {"\xe2\x80\xae" "txt", "\\u202etxt"},
      {"\xef\xbb\xbf" "1", "\\ufeff1"},
      // Bytes that are not UTF-8: a lone continuation, a raw CSI, an overlong form, a
      // surrogate, a code point beyond U+10FFFF, a sequence cut short by the end.
      {"\x80", "\\x80"},
      {"\x9b" "2J", "\\x9b2J"},
      {"\xc0\xaf", "\\xc0\\xaf"},
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"},
      {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
      {"\xe2\x82", "\\xe2\\x82"},
      {"\xff", "\\xff"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(visibleText(c.text), c.shown);
  }
}

}  // namespace
