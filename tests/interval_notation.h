#ifndef PMMLXFORM_TESTS_INTERVAL_NOTATION_H_
#define PMMLXFORM_TESTS_INTERVAL_NOTATION_H_

// A short text notation for recode items, shared by the interval arithmetic
// and recode key tests.

#include <algorithm>
#include <ostream>
#include <string>

#include "trans/interval_arithmetic.h"

namespace pmmlxform {

inline void PrintTo(const IntervalItem& item, std::ostream* os) {
  *os << "{" << item.name << ": '" << item.value << "' " << item.leftClosure << item.rightClosure
      << " " << item.leftMargin << ".." << item.rightMargin << "}";
}

}  // namespace pmmlxform

namespace testutil {

using pmmlxform::IntervalItem;
using pmmlxform::IntervalList;

// One item in a short notation: "[name:]value [left,right)" for an item with
// an interval ("[" / "]" closed, "(" / ")" open), "name=value" or "name" for a
// key without one. "MissingValues: [99,99]" is a missing-value interval.
inline IntervalItem item(const std::string& text) {
  IntervalItem it;
  const std::size_t open = text.find_first_of("[(");
  if (open == std::string::npos) {
    const std::size_t eq = text.find('=');
    it.name = text.substr(0, eq);
    if (eq != std::string::npos) it.value = text.substr(eq + 1);
    return it;
  }
  std::string head = text.substr(0, open);
  const std::size_t colon = head.find(':');
  if (colon != std::string::npos) {
    it.name = head.substr(0, colon);
    head.erase(0, colon + 1);
  }
  head.erase(0, head.find_first_not_of(' '));
  it.value = head.substr(0, head.find(' '));
  const std::size_t comma = text.find(',', open);
  it.leftClosure = text[open] == '[' ? "closed" : "open";
  it.rightClosure = text.back() == ']' ? "Closed" : "Open";
  it.leftMargin = text.substr(open + 1, comma - open - 1);
  it.rightMargin = text.substr(comma + 1, text.size() - comma - 2);
  return it;
}

// Items separated by "; ".
inline IntervalList items(const std::string& text) {
  IntervalList list;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t end = std::min(text.find("; ", pos), text.size());
    list.push_back(item(text.substr(pos, end - pos)));
    pos = end + 2;
  }
  return list;
}

}  // namespace testutil

#endif  // PMMLXFORM_TESTS_INTERVAL_NOTATION_H_
