#ifndef PMMLXFORM_TRANS_INTERVAL_ARITHMETIC_H_
#define PMMLXFORM_TRANS_INTERVAL_ARITHMETIC_H_

// Intervals of a variable's recode list: their margins ordered by value, and
// a later interval trimmed against an earlier one. Usable (and tested)
// without a running transformation.

#include <string>
#include <vector>

#include "trans/decimal_text.h"

namespace pmmlxform {

// One entry of a variable's recode list while the "intervals" extension
// function resolves it: a bin, a special recode key, or one interval of the
// variable's own missing values. Texts are 8-bit; margins keep the text they
// arrived in and are only expanded for comparison.
struct IntervalItem {
  std::string value;         // bin value, or the value of a recode key (may be empty)
  std::string leftClosure;   // "open" or "closed"; empty without interval
  std::string rightClosure;  // "Open" or "Closed"; empty without interval
  std::string leftMargin;    // number text, or "LOWEST"
  std::string rightMargin;   // number text, or "HIGHEST"
  std::string name;          // recode key name; empty for a plain bin

  bool operator==(const IntervalItem& o) const {
    return value == o.value && leftClosure == o.leftClosure && rightClosure == o.rightClosure &&
           leftMargin == o.leftMargin && rightMargin == o.rightMargin && name == o.name;
  }
  bool operator!=(const IntervalItem& o) const { return !(*this == o); }
};

// The ordered recode list of one variable; earlier items win.
using IntervalList = std::vector<IntervalItem>;

// What trimming a later item against an earlier one did to the later item.
enum class TrimOutcome {
  keep,   // the later item stays, possibly narrowed
  drop,   // the later item is fully covered; the caller removes it
  split,  // the later item keeps its lower part; the new item (inserted right after it) the upper
};

// A margin's text in plain decimals (kMarginRules); "HIGHEST" / "LOWEST" for
// the largest double.
inline std::string expandMargin(const std::string& text) {
  return expandNumber(text, kMarginRules);
}

// A margin text read for the total order of margins:
// "LOWEST" < numbers (by value) < other texts (bytewise) < "HIGHEST".
// `text` points at the text it was read from, which must outlive it.
struct MarginKey {
  enum Rank { kLowest = 0, kNumber = 1, kText = 2, kHighest = 3 };
  Rank rank = kText;
  Decimal number;
  const std::string* text = nullptr;
};
MarginKey marginKey(const std::string& text);
// Negative, zero or positive as the key `a` lies below, at or above `b`.
int compareMarginKeys(const MarginKey& a, const MarginKey& b);

// Negative, zero or positive as bound `a` lies below, at or above bound `b`,
// in the order of margin keys.
inline int compareMargins(const std::string& a, const std::string& b) {
  return compareMarginKeys(marginKey(a), marginKey(b));
}

// Cuts the interval of the earlier item `a` out of the later item `b`. On
// TrimOutcome::split, `added` receives the upper piece of `b`.
TrimOutcome trimInterval(const IntervalItem& a, IntervalItem& b, IntervalItem& added);

}  // namespace pmmlxform

#endif  // PMMLXFORM_TRANS_INTERVAL_ARITHMETIC_H_
