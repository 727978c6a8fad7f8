// A small XML well-formedness check for the pictures the summary and the report write: UTF-8
// throughout, no control byte but tab and line breaks, one root element, tags that nest and
// match, quoted attributes, and '&' only in entity references. Returns "" when well formed, else
// what is wrong and where.
#pragma once
#include <cctype>
#include <string>
#include <vector>

namespace xml_check {

inline std::string problem(const std::string& what, size_t at) {
  return what + " at byte " + std::to_string(at);
}

// Valid UTF-8 and no control byte other than tab, CR and LF.
inline std::string checkCharacters(const std::string& text) {
  for (size_t at = 0; at < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c < 0x80) {
      if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return problem("control byte", at);
      at++;
      continue;
    }
    const size_t length = c >= 0xf0 && c <= 0xf4 ? 4 : c >= 0xe0 && c < 0xf0 ? 3 : c >= 0xc2 && c < 0xe0 ? 2 : 0;
    if (length == 0 || at + length > text.size()) return problem("byte that is not UTF-8", at);
    for (size_t i = 1; i < length; i++)
      if ((static_cast<unsigned char>(text[at + i]) & 0xc0) != 0x80) return problem("cut UTF-8 character", at);
    at += length;
  }
  return "";
}

// '&' starts an entity reference: a named one of XML or a character reference.
inline std::string checkAmpersands(const std::string& text, size_t from, size_t to) {
  for (size_t at = text.find('&', from); at < to; at = text.find('&', at + 1)) {
    const size_t end = text.find(';', at);
    if (end == std::string::npos || end > to) return problem("'&' without ';'", at);
    const std::string name = text.substr(at + 1, end - at - 1);
    bool ok = name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos";
    if (!ok && name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x';
      ok = name.size() > (hex ? 2u : 1u);
      for (size_t i = hex ? 2 : 1; i < name.size() && ok; i++)
        ok = hex ? std::isxdigit(static_cast<unsigned char>(name[i])) != 0
                 : std::isdigit(static_cast<unsigned char>(name[i])) != 0;
    }
    if (!ok) return problem("unknown entity &" + name + ";", at);
  }
  return "";
}

inline bool nameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':' || c == '.';
}

inline std::string wellFormed(const std::string& text) {
  std::string wrong = checkCharacters(text);
  if (!wrong.empty()) return wrong;
  std::vector<std::string> open;
  bool rootSeen = false;
  size_t at = 0;
  if (text.compare(0, 5, "<?xml") == 0) {
    at = text.find("?>");
    if (at == std::string::npos) return problem("unclosed declaration", 0);
    at += 2;
  }
  while (at < text.size()) {
    const size_t tag = text.find('<', at);
    const size_t textEnd = tag == std::string::npos ? text.size() : tag;
    if (open.empty() && text.find_first_not_of(" \t\r\n", at) < textEnd)
      return problem("text outside the root element", at);
    wrong = checkAmpersands(text, at, textEnd);
    if (!wrong.empty()) return wrong;
    if (text.find('>', at) < textEnd) return problem("'>' in text", text.find('>', at));
    if (tag == std::string::npos) break;
    if (text.compare(tag, 4, "<!--") == 0) {
      const size_t end = text.find("-->", tag);
      if (end == std::string::npos) return problem("unclosed comment", tag);
      at = end + 3;
      continue;
    }
    const bool closing = tag + 1 < text.size() && text[tag + 1] == '/';
    size_t p = tag + (closing ? 2 : 1);
    const size_t nameStart = p;
    while (p < text.size() && nameChar(text[p])) p++;
    const std::string name = text.substr(nameStart, p - nameStart);
    if (name.empty()) return problem("tag without a name", tag);
    if (closing) {
      while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p]))) p++;
      if (p >= text.size() || text[p] != '>') return problem("bad closing tag", tag);
      if (open.empty() || open.back() != name) return problem("closing tag </" + name + "> does not match", tag);
      open.pop_back();
      at = p + 1;
      continue;
    }
    if (open.empty() && rootSeen) return problem("second root element", tag);
    // Attributes: name="value" or name='value', each after white space.
    bool empty = false;
    while (true) {
      const size_t before = p;
      while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p]))) p++;
      if (p >= text.size()) return problem("unclosed tag", tag);
      if (text[p] == '>') break;
      if (text.compare(p, 2, "/>") == 0) {
        empty = true;
        p++;
        break;
      }
      if (p == before) return problem("attribute without white space before it", p);
      const size_t attributeStart = p;
      while (p < text.size() && nameChar(text[p])) p++;
      if (p == attributeStart || p >= text.size() || text[p] != '=') return problem("bad attribute", attributeStart);
      p++;
      if (p >= text.size() || (text[p] != '"' && text[p] != '\'')) return problem("unquoted attribute", p);
      const size_t valueEnd = text.find(text[p], p + 1);
      if (valueEnd == std::string::npos) return problem("unclosed attribute value", p);
      if (text.find('<', p + 1) < valueEnd) return problem("'<' in an attribute value", p);
      wrong = checkAmpersands(text, p + 1, valueEnd);
      if (!wrong.empty()) return wrong;
      p = valueEnd + 1;
    }
    rootSeen = true;
    if (!empty) open.push_back(name);
    at = p + 1;
  }
  if (!open.empty()) return "unclosed element <" + open.back() + ">";
  if (!rootSeen) return "no root element";
  return "";
}

// The top-level <svg> elements of an HTML page, each with what it holds.
inline std::vector<std::string> svgElements(const std::string& page) {
  std::vector<std::string> found;
  for (size_t start = page.find("<svg"); start != std::string::npos; start = page.find("<svg", start)) {
    int depth = 0;
    size_t at = start;
    while (at != std::string::npos) {
      const size_t openTag = page.find("<svg", at), closeTag = page.find("</svg>", at);
      if (closeTag == std::string::npos) return found;
      if (openTag < closeTag) {
        depth++;
        at = openTag + 4;
      } else {
        if (--depth == 0) {
          found.push_back(page.substr(start, closeTag + 6 - start));
          start = closeTag + 6;
          break;
        }
        at = closeTag + 6;
      }
    }
  }
  return found;
}

}  // namespace xml_check
