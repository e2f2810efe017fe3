// Plain decimal text from exponent notation, and decimal texts compared by value.
#include "trans/decimal_text.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <string>

namespace pmmlxform {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The blanks atoi skips.
bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Reads an optional sign and the digits after it from `pos`, 0 without
// digits; saturates far beyond any exponent that is expanded instead of
// overflowing.
long readExponent(const std::string& text, std::size_t pos, bool skipBlanks) {
  if (skipBlanks) {
    while (pos < text.size() && isBlank(text[pos])) ++pos;
  }
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  long value = 0;
  for (; pos < text.size() && isDigit(text[pos]); ++pos) {
    if (value < LONG_MAX / 100) value = value * 10 + (text[pos] - '0');
  }
  return negative ? -value : value;
}

// Strips the trailing zeros of a fraction and the leading zeros of `mantissa`
// (without sign). Zeros that run into the point continue into the fraction:
// the first other character becomes the units digit, and the exponent drops by
// one for it and for every zero before it after the point. Leaves `mantissa`
// empty for zero.
void stripZeros(std::string& mantissa, long& exponent) {
  if (mantissa.find('.') != std::string::npos) {
    mantissa.erase(mantissa.find_last_not_of('0') + 1);
  }
  const std::size_t zeros = mantissa.find_first_not_of('0');
  if (zeros == std::string::npos) {
    mantissa.clear();
  } else if (zeros > 0 && mantissa[zeros] == '.') {
    const std::size_t lead = mantissa.find_first_not_of('0', zeros + 1);
    if (lead == std::string::npos) {
      mantissa.clear();
    } else {
      exponent -= static_cast<long>(lead - zeros);
      mantissa = mantissa.substr(lead, 1) + "." + mantissa.substr(lead + 1);
    }
  } else {
    mantissa.erase(0, zeros);
  }
}

// Moves the first point of `mantissa` right by `steps` places; a point that
// runs off the right end leaves zeros, and without a point the zeros are
// appended. Computed in one step, with the results of moving place by place.
void shiftRight(std::string& mantissa, std::size_t steps, bool secondPointStops) {
  std::size_t point = mantissa.find('.');
  if (point == std::string::npos) {
    mantissa.append(steps, '0');
    return;
  }
  if (secondPointStops) {
    const std::size_t next = mantissa.find('.', point + 1);
    if (next != std::string::npos) steps = std::min(steps, next - point - 1);
  }
  mantissa.erase(point, 1);
  const std::size_t target = point + steps;
  if (target < mantissa.size()) {
    mantissa.insert(target, 1, '.');
  } else {
    mantissa.append(target - mantissa.size(), '0');
  }
}

// Moves the first point of the non-empty `mantissa` left by `steps` places;
// without a point the first step puts one before the last character, and
// moving left past the first character builds a "0.0…" prefix.
void shiftLeft(std::string& mantissa, std::size_t steps) {
  std::size_t point = mantissa.find('.');
  if (point == std::string::npos) {
    point = mantissa.size() - 1;
    mantissa.insert(point, 1, '.');
    --steps;
  }
  const std::size_t left = std::min(steps, point > 1 ? point - 1 : 0);
  if (left > 0) {
    mantissa.erase(point, 1);
    point -= left;
    mantissa.insert(point, 1, '.');
    steps -= left;
  }
  if (steps > 0 && point == 0) {
    mantissa.replace(0, 1, "0.0");
    point = 1;
    --steps;
  }
  if (steps > 0) {  // point second: each step moves the first character behind it
    mantissa = "0." + std::string(steps - 1, '0') + mantissa.substr(0, 1) + mantissa.substr(2);
  }
}

bool startsWith(const std::string& text, std::size_t pos, const char* prefix) {
  return text.compare(pos, std::char_traits<char>::length(prefix), prefix) == 0;
}

}  // namespace

std::string expandNumber(const std::string& text, const ExpansionRules& rules) {
  if (text == kHighest || text == kLowest) return text;
  const std::size_t letter = text.find_first_of("Ee");
  if (letter == std::string::npos) return text;
  std::string mantissa = text.substr(0, letter);
  long exponent = readExponent(text, letter + 1, rules.blanksBeforeExponent);
  if (exponent == 308) {
    if (startsWith(mantissa, 0, kLargestDoubleMantissa)) return kHighest;
    if (startsWith(mantissa, 0, "-") && startsWith(mantissa, 1, kLargestDoubleMantissa)) {
      return kLowest;
    }
  }
  const bool outside = exponent > kMaxExpandedExponent || exponent < -kMaxExpandedExponent;
  if (!rules.boundBeyondRange && outside) return text;

  const bool negative = !mantissa.empty() && mantissa[0] == '-';
  if (negative) mantissa.erase(0, 1);
  stripZeros(mantissa, exponent);
  if (mantissa.empty()) return "0";
  if (rules.boundBeyondRange) {
    if (exponent > kMaxExpandedExponent) return negative ? kLowest : kHighest;
    if (exponent < -kMaxExpandedExponent) return "0";
  }

  if (exponent > 0) {
    shiftRight(mantissa, static_cast<std::size_t>(exponent), rules.secondPointStops);
  } else if (exponent < 0) {
    shiftLeft(mantissa, static_cast<std::size_t>(-exponent));
  }
  if (mantissa.back() == '.') mantissa.pop_back();
  if (rules.zeroBeforePoint && !mantissa.empty() && mantissa[0] == '.') mantissa.insert(0, "0");
  return negative ? "-" + mantissa : mantissa;
}

bool parseDecimal(const std::string& text, Decimal& out) {
  std::size_t pos = 0;
  out = Decimal();
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    out.negative = text[pos] == '-';
    ++pos;
  }
  std::string all;
  long intDigits = 0;
  bool point = false;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (isDigit(c)) {
      all.push_back(c);
      if (!point) ++intDigits;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (all.empty()) return false;
  long exponent = 0;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    std::size_t digitsAt = pos + 1;
    if (digitsAt < text.size() && (text[digitsAt] == '+' || text[digitsAt] == '-')) ++digitsAt;
    if (digitsAt >= text.size()) return false;
    if (!std::all_of(text.begin() + digitsAt, text.end(), isDigit)) return false;
    exponent = readExponent(text, pos + 1, false);
    pos = text.size();
  }
  if (pos != text.size()) return false;
  const std::size_t first = all.find_first_not_of('0');
  if (first == std::string::npos) {
    out.negative = false;  // -0 is 0
    return true;
  }
  const std::size_t last = all.find_last_not_of('0');
  out.digits = all.substr(first, last - first + 1);
  out.exponent = intDigits - static_cast<long>(first) + exponent;
  return true;
}

int compareDecimals(const Decimal& a, const Decimal& b) {
  auto signOf = [](const Decimal& d) { return d.digits.empty() ? 0 : (d.negative ? -1 : 1); };
  const int sa = signOf(a), sb = signOf(b);
  if (sa != sb) return sa < sb ? -1 : 1;
  if (sa == 0) return 0;
  int magnitude = 0;
  if (a.exponent != b.exponent) {
    magnitude = a.exponent < b.exponent ? -1 : 1;
  } else {
    const int c = a.digits.compare(b.digits);
    magnitude = c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  return sa > 0 ? magnitude : -magnitude;
}

}  // namespace pmmlxform
