#ifndef PMMLXFORM_TRANS_DECIMAL_TEXT_H_
#define PMMLXFORM_TRANS_DECIMAL_TEXT_H_

// Number texts as the documents hold them: exponent notation written out as
// plain decimal text, and decimal texts compared by value. Texts are 8-bit.
// Two readers use the expansion, interval margins of the "intervals" extension
// function and the value-list keys of a merge; where their edge rules differ,
// ExpansionRules names each behaviour and a reader picks its set.

#include <string>

namespace pmmlxform {

// The open ends of a range, and the names of the largest double's magnitude.
inline constexpr char kLowest[] = "LOWEST";
inline constexpr char kHighest[] = "HIGHEST";

// The largest double as the stylesheet writes it (with exponent 308); a
// mantissa starting with it names the end of the range, whatever digits follow.
inline constexpr char kLargestDoubleMantissa[] = "1.79769313486231";

// Exponents beyond this magnitude are not expanded: doubles stay far inside
// (|exponent| <= 324), and an attacker's "1E999999999" must not allocate a
// gigabyte.
inline constexpr long kMaxExpandedExponent = 1000;

// The edge rules on which the two readers of expandNumber differ; each field
// says what either setting does and why each reader wants its own.
struct ExpansionRules {
  // true: blanks after the exponent letter are skipped, as atoi skips them.
  //   Keys: an exponent padded with blanks ("1E 5") still names its number.
  // false: the exponent starts right after the letter.
  //   Margins: parseDecimal reads it so, and a margin must expand to the value
  //   it is compared by.
  bool blanksBeforeExponent;
  // true: beyond kMaxExpandedExponent the value is bounded (HIGHEST / LOWEST
  //   by sign, or "0"), judged by the exponent of its first significant digit.
  //   Keys: a key names a value a field can hold, inside the double range.
  // false: beyond it the text comes back unchanged, judged by the exponent
  //   written. Margins: compareMargins still orders such a text by value.
  bool boundBeyondRange;
  // true: a second point in the mantissa stops the point moving right, as a
  //   point moved one place at a time cannot pass it. false: the point passes
  //   over it. Only malformed mantissas ("1.2.3E3") tell the two apart; each
  //   reader keeps its spelling of them, so its results stay stable.
  bool secondPointStops;
  // true: a fraction below one gets a zero before its point ("0.5").
  //   Keys: one spelling per value, so equal values of two documents give
  //   equal keys.
  // false: it keeps the bare point (".5"). Margins: the expansion is only
  //   compared, never written, and parseDecimal reads ".5" alike.
  bool zeroBeforePoint;
};

// Interval margins of the "intervals" extension function.
inline constexpr ExpansionRules kMarginRules{false, false, false, false};

// Value-list keys of a merge (ConvertTransToPMML::formatNumber).
inline constexpr ExpansionRules kValueKeyRules{true, true, true, true};

// Rewrites number text in exponent notation ("1.5E+002") as plain decimal text
// ("150"): trailing zeros of a fraction and leading zeros go, and the point
// moves by the exponent. The largest double (+/-1.79769313486231E+308) becomes
// "HIGHEST" / "LOWEST". Texts without an exponent letter come back unchanged.
// Linear in the length of text and result.
std::string expandNumber(const std::string& text, const ExpansionRules& rules);

// A decimal number normalised as 0.digits x 10^exponent: digits without
// leading or trailing zeros, empty for zero (which is never negative).
struct Decimal {
  bool negative = false;
  std::string digits;
  long exponent = 0;
};

// Reads [+-]digits[.digits][(e|E)[+-]digits] with at least one mantissa digit;
// false for any other text.
bool parseDecimal(const std::string& text, Decimal& out);

// Negative, zero or positive as `a` lies below, at or above `b`.
int compareDecimals(const Decimal& a, const Decimal& b);

}  // namespace pmmlxform

#endif  // PMMLXFORM_TRANS_DECIMAL_TEXT_H_
