// Checks and quoting for document text written into the command syntax.
#include "syntax/adp_literal.h"

#include <cctype>
#include <xercesc/util/XMLChar.hpp>

namespace pmmlxform {
namespace {

bool isAsciiNameChar(XMLCh c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_' || c == '$' || c == '#' || c == '@';
}

bool isHighSurrogate(XMLCh c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(XMLCh c) { return c >= 0xDC00 && c <= 0xDFFF; }

bool isDigits(const std::string& s, std::size_t& pos) {
  const std::size_t start = pos;
  while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) ++pos;
  return pos > start;
}

}  // namespace

bool isSyntaxName(const XMLCh* name) {
  if (name == nullptr || name[0] == 0) return false;
  if ((name[0] >= '0' && name[0] <= '9') || name[0] == '.') return false;
  std::size_t i = 0;
  for (; name[i] != 0; ++i) {
    const XMLCh c = name[i];
    if (c < 0x80) {
      if (!isAsciiNameChar(c)) return false;
    } else if (isHighSurrogate(c)) {
      // A character outside the basic plane: accepted as a letter when whole.
      if (!isLowSurrogate(name[i + 1])) return false;
      ++i;
    } else if (isLowSurrogate(c) || c == 0xFFFD || !xercesc::XMLChar1_0::isNameChar(c)) {
      // XML name characters beyond ASCII are the letters, digits and marks of
      // all scripts; blanks, line breaks, quotes and punctuation are not.
      return false;
    }
  }
  return name[i - 1] != '.';
}

bool isNumericLiteral(const std::string& text) {
  std::size_t pos = 0;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
  bool digits = isDigits(text, pos);
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    digits = isDigits(text, pos) || digits;
  }
  if (!digits) return false;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
    if (!isDigits(text, pos)) return false;
  }
  return pos == text.size();
}

bool isSingleLine(const XMLCh* text) {
  if (text == nullptr) return true;
  for (const XMLCh* p = text; *p != 0; ++p) {
    switch (*p) {
      case 0x0A:
      case 0x0B:
      case 0x0C:
      case 0x0D:
      case 0x85:
      case 0x2028:
      case 0x2029:
        return false;
      default:
        break;
    }
  }
  return true;
}

std::string quoteLiteral(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

}  // namespace pmmlxform
