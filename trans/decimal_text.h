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

// The edge rules on which the two readers of expandNumber differ.
struct ExpansionRules {
  // Blanks between the exponent letter and its sign or digits are skipped.
  bool blanksBeforeExponent;
  // Beyond kMaxExpandedExponent the value is bounded (HIGHEST / LOWEST by
  // sign, or "0"), judged by the exponent of its first significant digit;
  // otherwise the text comes back unchanged, judged by the exponent written.
  bool boundBeyondRange;
  // A second point in the mantissa stops the point moving right (it moves one
  // place at a time and cannot pass it); otherwise the point passes over it.
  bool secondPointStops;
  // A fraction below one gets a zero before its point: "0.5", never ".5".
  bool zeroBeforePoint;
};

// Interval margins: the exponent starts right after the letter, as
// parseDecimal reads it, so a margin expands to the value it is compared by;
// an out-of-range text is kept because compareMargins still orders it by value.
inline constexpr ExpansionRules kMarginRules{false, false, false, false};

// Value-list keys: the exponent is read as the C library's atoi reads it; a key
// names a value a field can hold, bounded to the double range; the point
// moves place by place; one spelling for fractions below one, so equal values
// of two documents give equal keys.
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
