// Margins of recode intervals ordered by value, and one interval cut out of another.
#include "trans/interval_arithmetic.h"

#include <string>

#include "trans/decimal_text.h"

namespace pmmlxform {

namespace {

const char* rightFlipped(const std::string& leftClosure) {
  // The closure of a right end placed where an interval with `leftClosure` starts.
  return leftClosure == "closed" ? "Open" : "Closed";
}

const char* leftFlipped(const std::string& rightClosure) {
  // The closure of a left end placed where an interval with `rightClosure` ends.
  return rightClosure == "Closed" ? "open" : "closed";
}

}  // namespace

MarginKey marginKey(const std::string& text) {
  MarginKey key;
  key.text = &text;
  const std::string expanded = expandMargin(text);
  if (expanded == kLowest) {
    key.rank = MarginKey::kLowest;
  } else if (expanded == kHighest) {
    key.rank = MarginKey::kHighest;
  } else if (parseDecimal(expanded, key.number)) {
    key.rank = MarginKey::kNumber;
  }
  return key;
}

int compareMarginKeys(const MarginKey& a, const MarginKey& b) {
  if (a.rank != b.rank) return a.rank < b.rank ? -1 : 1;
  if (a.rank == MarginKey::kNumber) return compareDecimals(a.number, b.number);
  if (a.rank == MarginKey::kText) {
    const int c = a.text->compare(*b.text);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  return 0;
}

TrimOutcome trimInterval(const IntervalItem& a, IntervalItem& b, IntervalItem& added) {
  if (a.leftMargin.empty() || a.rightMargin.empty() || b.leftMargin.empty() ||
      b.rightMargin.empty()) {
    return TrimOutcome::keep;
  }
  // An earlier interval whose start lies above its end covers no value. Cutting
  // it out would stretch the later item over values it never had, and a split
  // piece would be split again without end.
  if (compareMargins(a.leftMargin, a.rightMargin) > 0) return TrimOutcome::keep;
  const int start = compareMargins(a.leftMargin, b.leftMargin);
  if (start == 0 && a.leftClosure == "closed") b.leftClosure = "open";

  if (start <= 0) {
    const int end = compareMargins(a.rightMargin, b.rightMargin);
    if (end > 0) return TrimOutcome::drop;
    if (end == 0) {
      if (a.rightClosure == "Closed") return TrimOutcome::drop;
      if (b.rightClosure != "Closed") return TrimOutcome::drop;  // both open there
      if (compareMargins(b.leftMargin, b.rightMargin) < 0) {
        // Only B's closed right end is left uncovered.
        b.leftMargin = b.rightMargin;
        b.leftClosure = "closed";
        return TrimOutcome::keep;
      }
      return b.leftClosure == "open" ? TrimOutcome::drop : TrimOutcome::keep;
    }
    const int endAtStart = compareMargins(a.rightMargin, b.leftMargin);
    if (endAtStart < 0) return TrimOutcome::keep;
    if (endAtStart == 0) {
      if (a.rightClosure == "Closed" && b.leftClosure == "closed") {
        if (compareMargins(b.leftMargin, b.rightMargin) == 0) return TrimOutcome::drop;
        b.leftClosure = "open";
      }
      return TrimOutcome::keep;
    }
    // A ends inside B: B now starts where A ends.
    b.leftMargin = a.rightMargin;
    b.leftClosure = leftFlipped(a.rightClosure);
    return TrimOutcome::keep;
  }

  // A starts above B's start.
  const int end = compareMargins(a.rightMargin, b.rightMargin);
  if (end < 0 || (end == 0 && a.rightClosure == "Open" && b.rightClosure == "Closed")) {
    added = IntervalItem();
    added.value = b.value;
    added.name = b.name;
    if (end < 0) {  // A inside B: the part of B above A
      added.leftMargin = a.rightMargin;
      added.leftClosure = leftFlipped(a.rightClosure);
      added.rightMargin = b.rightMargin;
      added.rightClosure = b.rightClosure;
    } else {  // same end, only B's closed end point is left above A
      added.leftMargin = b.rightMargin;
      added.rightMargin = b.rightMargin;
      added.leftClosure = "closed";
      added.rightClosure = "Closed";
    }
    b.rightMargin = a.leftMargin;
    b.rightClosure = rightFlipped(a.leftClosure);
    return TrimOutcome::split;
  }
  if (end == 0) {
    b.rightMargin = a.leftMargin;
    b.rightClosure = rightFlipped(a.leftClosure);
    return TrimOutcome::keep;
  }
  const int startAtEnd = compareMargins(a.leftMargin, b.rightMargin);
  if (startAtEnd > 0) return TrimOutcome::keep;
  if (startAtEnd == 0) {
    // A covers B's end point only when A is closed there; an open start of A
    // must not add the point to a B that was open at its end.
    if (a.leftClosure == "closed") b.rightClosure = "Open";
    return TrimOutcome::keep;
  }
  b.rightMargin = a.leftMargin;
  b.rightClosure = rightFlipped(a.leftClosure);
  return TrimOutcome::keep;
}

}  // namespace pmmlxform
