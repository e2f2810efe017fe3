// Checks and quoting for document text written into the command syntax.
#include "syntax/adp_literal.h"

#include <locale.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <xercesc/util/XMLChar.hpp>

namespace pmmlxform {
namespace {

bool isAsciiNameChar(XMLCh c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_' || c == '$' || c == '#' || c == '@';
}

bool isHighSurrogate(XMLCh c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(XMLCh c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Words the language reads as keywords wherever a name may stand.
constexpr const char* kReservedWords[] = {"ALL", "AND", "BY",  "EQ", "GE", "GT",  "LE",
                                          "LT",  "NE",  "NOT", "OR", "TO", "WITH"};

bool isReservedWord(const XMLCh* name) {
  for (const char* word : kReservedWords) {
    std::size_t i = 0;
    for (; word[i] != 0; ++i) {
      const XMLCh c = name[i];
      const XMLCh upper = (c >= 'a' && c <= 'z') ? static_cast<XMLCh>(c - 'a' + 'A') : c;
      if (upper != static_cast<XMLCh>(word[i])) break;
    }
    if (word[i] == 0 && name[i] == 0) return true;
  }
  return false;
}

// The zeros of the decimal digits of every script beyond ASCII (Unicode 15);
// each zero is followed by the nine other digits of its script.
constexpr char32_t kDigitZeros[] = {
    0x0660,  0x06F0,  0x07C0,  0x0966,  0x09E6,  0x0A66,  0x0AE6,  0x0B66,  0x0BE6,  0x0C66,
    0x0CE6,  0x0D66,  0x0DE6,  0x0E50,  0x0ED0,  0x0F20,  0x1040,  0x1090,  0x17E0,  0x1810,
    0x1946,  0x19D0,  0x1A80,  0x1A90,  0x1B50,  0x1BB0,  0x1C40,  0x1C50,  0xA620,  0xA8D0,
    0xA900,  0xA9D0,  0xA9F0,  0xAA50,  0xABF0,  0xFF10,  0x104A0, 0x10D30, 0x11066, 0x110F0,
    0x11136, 0x111D0, 0x112F0, 0x11450, 0x114D0, 0x11650, 0x116C0, 0x11730, 0x118E0, 0x11950,
    0x11C50, 0x11D50, 0x11DA0, 0x11F50, 0x16A60, 0x16AC0, 0x16B50, 0x1D7CE, 0x1D7D8, 0x1D7E2,
    0x1D7EC, 0x1D7F6, 0x1E140, 0x1E2F0, 0x1E4F0, 0x1E950, 0x1FBF0};

bool isOtherScriptDigit(char32_t c) {
  for (char32_t zero : kDigitZeros) {
    if (c >= zero && c < zero + 10) return true;
  }
  return false;
}

// A name's first character: an ASCII letter, "@" or "#" (a scratch variable),
// or a letter of another script: not a digit of any script and not one of the
// characters XML allows only after the first (the combining accents U+0300 to
// U+036F, the middle dot, the tie marks).
bool isFirstNameCharacter(const XMLCh* name) {
  const XMLCh c = name[0];
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '@' || c == '#';
  if (isHighSurrogate(c)) {
    const char32_t full = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) +
                          (static_cast<char32_t>(name[1]) - 0xDC00);
    return !isOtherScriptDigit(full);
  }
  return xercesc::XMLChar1_0::isFirstNameChar(c) && !isOtherScriptDigit(c);
}

// The "C" locale, so that a number is read with "." whatever the process's locale.
locale_t numericLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

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

NameProblem checkVariableName(const XMLCh* name, std::size_t bytes) {
  if (!isSyntaxName(name)) return NameProblem::kMalformed;
  if (name[0] == '$') return NameProblem::kSystemVariable;
  if (isReservedWord(name)) return NameProblem::kReservedWord;
  if (bytes > kMaxNameBytes) return NameProblem::kTooLong;
  if (!isFirstNameCharacter(name)) return NameProblem::kFirstCharacter;
  return NameProblem::kNone;
}

namespace {

// The form of a numeric literal, whatever its magnitude.
bool isNumericForm(const std::string& text) {
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

}  // namespace

bool isNumberBeyondRange(const std::string& text) {
  if (!isNumericForm(text)) return false;
  const locale_t locale = numericLocale();
  // The "C" locale always exists; should it not, the process's locale reads the number.
  return std::isinf(locale != static_cast<locale_t>(0) ? strtod_l(text.c_str(), nullptr, locale)
                                                       : std::strtod(text.c_str(), nullptr));
}

bool isNumericLiteral(const std::string& text) {
  return isNumericForm(text) && !isNumberBeyondRange(text);
}

std::string numericLiteralText(const std::string& text) {
  if (text.size() > 1 && text[0] == '+' && isNumericForm(text)) return text.substr(1);
  return text;
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

bool hasControlCharacter(const XMLCh* text) {
  if (text == nullptr) return false;
  for (const XMLCh* p = text; *p != 0; ++p) {
    if (*p < 0x20) return true;
  }
  return false;
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
