// Interval arithmetic, recode key resolution and the "intervals" extension function.
#include "trans/interval_parser.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <string>
#include <xalanc/PlatformSupport/AttributesImpl.hpp>
#include <xalanc/XPath/MutableNodeRefList.hpp>
#include <xalanc/XPath/NodeRefListBase.hpp>
#include <xalanc/XPath/XObject.hpp>
#include <xalanc/XPath/XObjectFactory.hpp>
#include <xalanc/XPath/XPathExecutionContext.hpp>
#include <xalanc/XalanDOM/XalanDocument.hpp>
#include <xalanc/XalanDOM/XalanDocumentFragment.hpp>
#include <xalanc/XalanDOM/XalanElement.hpp>
#include <xalanc/XalanDOM/XalanNamedNodeMap.hpp>
#include <xalanc/XalanDOM/XalanNode.hpp>
#include <xalanc/XalanTransformer/XalanDocumentBuilder.hpp>
#include <xalanc/XalanTransformer/XalanTransformer.hpp>
#include <xercesc/sax2/ContentHandler.hpp>

#include "host/norvel.h"
#include "host/vendor.h"
#include "trans/xslt_driver.h"

namespace {

constexpr char kLowest[] = "LOWEST";
constexpr char kHighest[] = "HIGHEST";
constexpr char kLargestDouble[] = "1.79769313486231";
constexpr char kNegLargestDouble[] = "-1.79769313486231";

// Exponents beyond this are not expanded: the plain text would be absurdly long
// (an attacker's "1E999999999" must not allocate a gigabyte). Doubles stay far
// inside (|exponent| <= 324); compareMargins still orders such texts by value.
constexpr long kMaxExpandedExponent = 1000;

bool startsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// Reads an optional sign and leading digits; saturates instead of overflowing.
long readExponent(const std::string& text, std::size_t pos) {
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  long value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    if (value < LONG_MAX / 100) value = value * 10 + (text[pos] - '0');
  }
  return negative ? -value : value;
}

// A decimal number normalised as 0.digits x 10^exponent (digits without
// leading or trailing zeros; empty digits for zero).
struct Decimal {
  bool negative = false;
  std::string digits;
  long exponent = 0;
};

// Accepts [+-]digits[.digits][(e|E)[+-]digits] with at least one digit.
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
    if (c >= '0' && c <= '9') {
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
    for (std::size_t i = digitsAt; i < text.size(); ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
    }
    exponent = readExponent(text, pos + 1);
    pos = text.size();
  }
  if (pos != text.size()) return false;
  std::size_t first = all.find_first_not_of('0');
  if (first == std::string::npos) {
    out.negative = false;  // -0 is 0
    return true;
  }
  const std::size_t last = all.find_last_not_of('0');
  out.digits = all.substr(first, last - first + 1);
  out.exponent = intDigits - static_cast<long>(first) + exponent;
  return true;
}

int compareMagnitude(const Decimal& a, const Decimal& b) {
  if (a.exponent != b.exponent) return a.exponent < b.exponent ? -1 : 1;
  const int c = a.digits.compare(b.digits);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int compareDecimals(const Decimal& a, const Decimal& b) {
  auto signOf = [](const Decimal& d) { return d.digits.empty() ? 0 : (d.negative ? -1 : 1); };
  const int sa = signOf(a), sb = signOf(b);
  if (sa != sb) return sa < sb ? -1 : 1;
  if (sa == 0) return 0;
  const int m = compareMagnitude(a, b);
  return sa > 0 ? m : -m;
}

// Rank of a bound in the total order of compareMargins.
enum Rank { kRankLowest = 0, kRankNumber = 1, kRankText = 2, kRankHighest = 3 };

const char* rightFlipped(const std::string& leftClosure) {
  // The closure of a right end placed where an interval with `leftClosure` starts.
  return leftClosure == "closed" ? "Open" : "Closed";
}

const char* leftFlipped(const std::string& rightClosure) {
  // The closure of a left end placed where an interval with `rightClosure` ends.
  return rightClosure == "Closed" ? "open" : "closed";
}

}  // namespace

IntervalParser::~IntervalParser() = default;

std::string IntervalParser::expandNumber(const std::string& text) {
  if (text == kHighest || text == kLowest) return text;
  const std::size_t e = text.find_first_of("Ee");
  if (e == std::string::npos) return text;
  std::string mantissa = text.substr(0, e);
  long exponent = readExponent(text, e + 1);
  if (exponent == 308) {
    if (startsWith(mantissa, kLargestDouble)) return kHighest;
    if (startsWith(mantissa, kNegLargestDouble)) return kLowest;
  }
  if (exponent > kMaxExpandedExponent || exponent < -kMaxExpandedExponent) return text;

  if (mantissa.find('.') != std::string::npos) {
    const std::size_t keep = mantissa.find_last_not_of('0');
    mantissa.erase(keep == std::string::npos ? 0 : keep + 1);
  }
  bool negative = false;
  if (!mantissa.empty() && mantissa[0] == '-') {
    negative = true;
    mantissa.erase(0, 1);
  }
  // Strip leading zeros. Zeros that run into the point continue into the
  // fraction: the first other digit becomes the units digit, and the exponent
  // drops by one for it and for every zero before it after the point.
  const std::size_t zeros = mantissa.find_first_not_of('0');
  if (zeros == std::string::npos) {
    mantissa.clear();
  } else if (zeros > 0 && mantissa[zeros] == '.') {
    const std::string fraction = mantissa.substr(zeros + 1);
    const std::size_t lead = fraction.find_first_not_of('0');
    if (lead == std::string::npos) {
      mantissa.clear();
    } else {
      mantissa = fraction.substr(lead, 1) + "." + fraction.substr(lead + 1);
      exponent -= static_cast<long>(lead) + 1;
    }
  } else {
    mantissa.erase(0, zeros);
  }
  if (mantissa.empty()) return "0";

  // Move the point by the exponent. Computed in one step rather than one place
  // at a time, so a long mantissa costs linear time; the results are those of
  // shifting place by place: a point that runs off the right end leaves zeros,
  // and moving left past the first character builds a "0." prefix.
  std::size_t point = mantissa.find('.');
  if (exponent > 0) {
    if (point == std::string::npos) {
      point = mantissa.size();
    } else {
      mantissa.erase(point, 1);
    }
    const std::size_t target = point + static_cast<std::size_t>(exponent);
    if (target < mantissa.size()) {
      mantissa.insert(target, 1, '.');
    } else {
      mantissa.append(target - mantissa.size(), '0');
    }
  } else if (exponent < 0) {
    std::size_t steps = static_cast<std::size_t>(-exponent);
    if (point == std::string::npos) {  // the first step puts it before the last character
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
  if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
  return negative ? "-" + mantissa : mantissa;
}

int IntervalParser::compareMargins(const std::string& a, const std::string& b) {
  const std::string ea = expandNumber(a), eb = expandNumber(b);
  Decimal da, db;
  auto rank = [](const std::string& expanded, Decimal& d) {
    if (expanded == kLowest) return kRankLowest;
    if (expanded == kHighest) return kRankHighest;
    return parseDecimal(expanded, d) ? kRankNumber : kRankText;
  };
  const Rank ra = rank(ea, da), rb = rank(eb, db);
  if (ra != rb) return ra < rb ? -1 : 1;
  if (ra == kRankNumber) return compareDecimals(da, db);
  if (ra == kRankText) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  return 0;
}

TrimOutcome IntervalParser::trimInterval(const IntervalItem& a, IntervalItem& b,
                                         IntervalItem& added) {
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

namespace {

// Item kinds by name.
bool isElseKey(const IntervalItem& item) {
  return item.name == "recodeElseCopy" || item.name == "recodeElseSysmis" ||
         item.name == "mapElseTo";
}
bool isMissingKey(const IntervalItem& item) {
  return item.name == "recodeMissingCopy" || item.name == "recodeMissingSysmis" ||
         item.name == "mapMissingTo";
}
bool isSysmisKey(const IntervalItem& item) {
  return item.name == "recodeSysmisCopy" || item.name == "mapSysmisTo";
}
bool isMissingValues(const IntervalItem& item) { return item.name == "MissingValues"; }

IntervalItem namedItem(const char* name, const std::string& value) {
  IntervalItem item;
  item.name = name;
  item.value = value;
  return item;
}

// Makes sure system-missing values get the value of the item at `pos`, unless
// something earlier decides them already: `decided` (a key the pass has gone
// by and may have removed) or an earlier system-missing or missing key (a
// missing key matches system-missing too, and the first key that matches a
// value wins). Otherwise a "mapSysmisTo" with the item's value goes right
// before it. Returns the item's position afterwards.
std::size_t secureSysmis(IntervalList& items, std::size_t pos, bool decided) {
  if (decided) return pos;
  for (std::size_t i = 0; i < pos; ++i) {
    if (isSysmisKey(items[i]) || isMissingKey(items[i])) return pos;
  }
  items.insert(items.begin() + pos, namedItem("mapSysmisTo", items[pos].value));
  return pos + 1;
}

}  // namespace

void IntervalParser::resolveRecodeKeys(IntervalList& items) {
  bool missingHandled = false;
  // Whether a key the pass has gone by matches system-missing values: a later
  // key must not map them again.
  bool sysmisDecided = false;
  std::size_t p = 0;
  while (p < items.size()) {
    if (isMissingValues(items[p])) {
      items.erase(items.begin() + p);
      continue;
    }
    if (p + 1 == items.size()) {
      if (items[p].name == "mapElseTo" && !missingHandled) {
        items.insert(items.begin() + p, namedItem("mapMissingTo", items[p].value));
        missingHandled = true;
      }
      if (items[p].name == "mapMissingTo") {
        p = secureSysmis(items, p, sysmisDecided);
        items.erase(items.begin() + p);
      }
      return;
    }
    if (isElseKey(items[p])) {
      if (items[p].name == "mapElseTo" && !missingHandled) {
        // Missing values are recoded like all other values: work the new key
        // through first, in the else key's place.
        items.insert(items.begin() + p, namedItem("mapMissingTo", items[p].value));
        missingHandled = true;
        continue;
      }
      items.erase(items.begin() + p + 1, items.end());
      return;
    }
    if (isMissingKey(items[p])) {
      missingHandled = true;
      std::size_t key = p;
      std::size_t q = key + 1;
      bool keyRemoved = false;
      while (q < items.size()) {
        if (isSysmisKey(items[q])) {
          items.erase(items.begin() + q);
          continue;
        }
        const bool last = q + 1 == items.size();
        if (isMissingValues(items[q])) {
          IntervalItem derived;
          derived.leftClosure = items[q].leftClosure;
          derived.rightClosure = items[q].rightClosure;
          derived.leftMargin = items[q].leftMargin;
          derived.rightMargin = items[q].rightMargin;
          if (items[key].name == "recodeMissingCopy") {
            derived.name = "recodeIntervalCopy";
          } else if (items[key].name == "recodeMissingSysmis") {
            derived.name = "recodeTargetSysmis";
          } else {
            derived.value = items[key].value;  // mapMissingTo: a bin with the key's value
          }
          items.insert(items.begin() + key, derived);
          ++key;
          ++q;
          if (items[key].name == "mapMissingTo") {
            const std::size_t moved = secureSysmis(items, key, sysmisDecided);
            q += moved - key;
            key = moved;
          }
        } else if (last && items[key].name == "mapMissingTo") {
          key = secureSysmis(items, key, sysmisDecided);
        }
        if (last) {
          items.erase(items.begin() + key);
          keyRemoved = true;
          break;
        }
        ++q;
      }
      sysmisDecided = true;
      p = keyRemoved ? key : key + 1;
      continue;
    }
    if (isSysmisKey(items[p])) sysmisDecided = true;
    ++p;
  }
}

void IntervalParser::resolveOverlaps(IntervalList& items) {
  std::size_t j = 1;
  while (j < items.size()) {
    bool removed = false;
    for (std::size_t i = 0; i < j; ++i) {
      if (isMissingValues(items[i]) || isMissingValues(items[j])) continue;
      TrimOutcome outcome = TrimOutcome::keep;
      IntervalItem added;
      if (isElseKey(items[i]) || (isMissingKey(items[i]) && isSysmisKey(items[j]))) {
        outcome = TrimOutcome::drop;
      } else {
        outcome = trimInterval(items[i], items[j], added);
      }
      if (outcome == TrimOutcome::drop) {
        items.erase(items.begin() + j);
        removed = true;
        break;
      }
      if (outcome == TrimOutcome::split) items.insert(items.begin() + j + 1, added);
    }
    if (!removed) ++j;
  }
}

// ---------------------------------------------------------------------------
// The extension function.

namespace {

using xalanc::XalanDOMString;
using xalanc::XalanNode;

bool hasName(const XalanDOMString& text, const std::u16string& name) {
  return text.size() == name.size() && name.compare(0, name.size(), text.c_str(), text.size()) == 0;
}

// Attribute values travel as UTF-8 inside the function, so that every value
// comes back out exactly as it went in whatever the process's locale.
std::string toUtf8(const XalanDOMString& text) {
  char* converted = norvel::QORVMBTranscodeU8(text.c_str());
  std::string result(converted);
  norvel::QORVMBRelease(&converted);
  return result;
}

std::u16string toUtf16(const std::string& text) {
  XMLCh* converted = norvel::QORVMBTranscodeU8(text.c_str());
  std::u16string result(converted);
  norvel::QORVMBRelease(&converted);
  return result;
}

// The attribute's value, or the empty text when the node lacks it.
std::string attribute(const XalanNode* node, const std::u16string& name) {
  const xalanc::XalanNamedNodeMap* attributes = node->getAttributes();
  if (attributes == nullptr) return std::string();
  for (XalanNode::IndexType i = 0; i < attributes->getLength(); ++i) {
    const XalanNode* attr = attributes->item(i);
    if (attr != nullptr && hasName(attr->getNodeName(), name)) return toUtf8(attr->getNodeValue());
  }
  return std::string();
}

const XalanNode* firstElementChild(const XalanNode* node) {
  for (const XalanNode* child = node->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (child->getNodeType() == XalanNode::ELEMENT_NODE) return child;
  }
  return nullptr;
}

// Reads an "Interval" first child into the item; without one the item carries
// no interval. The closure's first letter decides the left end ("o", "p", "e"
// or "n": "open", otherwise "closed"); the right end is the rest after "open"
// or "closed", empty when the text is too short to hold one.
void readInterval(const XalanNode* node, IntervalItem& item) {
  const XalanNode* interval = firstElementChild(node);
  if (interval == nullptr || !hasName(interval->getNodeName(), u"Interval")) return;
  const std::string closure = attribute(interval, u"closure");
  const bool open = !closure.empty() && std::string("open").find(closure[0]) != std::string::npos;
  const std::size_t rest = open ? 4 : 6;
  item.leftClosure = open ? "open" : "closed";
  item.rightClosure = closure.size() > rest ? closure.substr(rest) : std::string();
  item.leftMargin = attribute(interval, u"leftMargin");
  if (item.leftMargin.empty() || IntervalParser::expandNumber(item.leftMargin) == kLowest) {
    item.leftMargin = kLowest;
  }
  item.rightMargin = attribute(interval, u"rightMargin");
  if (item.rightMargin.empty() || IntervalParser::expandNumber(item.rightMargin) == kHighest) {
    item.rightMargin = kHighest;
  }
}

// The variable's own missing values: single "Value"s with property "missing"
// and one range given by the "invalidRangeLower"/"invalidRangeUpper" pair.
void readMissingValues(const XalanNode* dataField, IntervalList& items) {
  std::string lower, upper;
  for (const XalanNode* child = dataField->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (child->getNodeType() != XalanNode::ELEMENT_NODE) continue;
    const XalanDOMString& name = child->getNodeName();
    if (hasName(name, u"Value")) {
      if (attribute(child, u"property") == "missing") {
        IntervalItem item;
        item.name = "MissingValues";
        item.leftClosure = "closed";
        item.rightClosure = "Closed";
        item.leftMargin = item.rightMargin = attribute(child, u"value");
        items.push_back(item);
      }
    } else if (hasName(name, u"Extension")) {
      const std::string which = attribute(child, u"name");
      if (which == "invalidRangeLower") {
        lower = attribute(child, u"value");
        if (lower.empty() || IntervalParser::expandNumber(lower) == kLowest) lower = kLowest;
      } else if (which == "invalidRangeUpper") {
        upper = attribute(child, u"value");
        if (upper.empty() || IntervalParser::expandNumber(upper) == kHighest) upper = kHighest;
      }
      if (!lower.empty() && !upper.empty()) {
        IntervalItem item;
        item.name = "MissingValues";
        item.leftClosure = "closed";
        item.rightClosure = "Closed";
        item.leftMargin = lower;
        item.rightMargin = upper;
        items.push_back(item);
        lower.clear();
        upper.clear();
      }
    }
  }
}

void readNode(const XalanNode* node, IntervalList& items) {
  const XalanDOMString& name = node->getNodeName();
  if (hasName(name, u"Extension") || hasName(name, u"DiscretizeBin")) {
    IntervalItem item;
    if (hasName(name, u"Extension")) {
      item.value = attribute(node, u"value");
      item.name = attribute(node, u"name");
    } else {
      item.value = attribute(node, u"binValue");
    }
    readInterval(node, item);
    items.push_back(item);
  } else if (hasName(name, u"DataField")) {
    readMissingValues(node, items);
  }
}

// Writes the items as SAX events: <Intervals> holding an "Extension" per key,
// then a "DiscretizeBin" per bin.
class FragmentWriter {
 public:
  explicit FragmentWriter(xercesc::ContentHandler& handler) : handler_(handler) {}

  void write(const IntervalList& items) {
    handler_.startDocument();
    start(u"Intervals", Attributes());
    for (const IntervalItem& item : items) {
      if (item.name.empty()) continue;
      Attributes attrs;
      add(attrs, u"extender", pmmlxform::kVendorExtender);
      add(attrs, u"name", item.name);
      if (!item.value.empty() || item.name == "mapSysmisTo") add(attrs, u"value", item.value);
      start(u"Extension", attrs);
      if (!item.leftClosure.empty() && !item.rightClosure.empty()) interval(item);
      end(u"Extension");
    }
    for (const IntervalItem& item : items) {
      if (!item.name.empty()) continue;
      Attributes attrs;
      add(attrs, u"binValue", item.value);
      start(u"DiscretizeBin", attrs);
      interval(item);
      end(u"DiscretizeBin");
    }
    end(u"Intervals");
    handler_.endDocument();
  }

 private:
  using Attributes = xalanc::AttributesImpl;

  void add(Attributes& attrs, const char16_t* name, const std::string& value) {
    static const XMLCh kCdata[] = u"CDATA";
    attrs.addAttribute(name, kCdata, toUtf16(value).c_str());
  }
  void start(const char16_t* name, const Attributes& attrs) {
    handler_.startElement(u"", u"", name, attrs);
  }
  void end(const char16_t* name) { handler_.endElement(u"", u"", name); }

  void interval(const IntervalItem& item) {
    Attributes attrs;
    add(attrs, u"closure", item.leftClosure + item.rightClosure);
    if (item.leftMargin != kLowest) add(attrs, u"leftMargin", item.leftMargin);
    if (item.rightMargin != kHighest) add(attrs, u"rightMargin", item.rightMargin);
    start(u"Interval", attrs);
    end(u"Interval");
  }

  xercesc::ContentHandler& handler_;
};

void reportError(xalanc::XPathExecutionContext& executionContext, const XalanNode* context,
                 const xalanc::Locator* locator, const char16_t* text) {
  const xalanc::XPathExecutionContext::GetCachedString guard(executionContext);
  XalanDOMString& message = guard.get();
  message = text;
  executionContext.problem(xalanc::XPathExecutionContext::eXPath,
                           xalanc::XPathExecutionContext::eError, message, locator, context);
}

}  // namespace

xalanc::XObjectPtr IntervalParser::execute(xalanc::XPathExecutionContext& executionContext,
                                           xalanc::XalanNode* context,
                                           const XObjectArgVectorType& args,
                                           const xalanc::Locator* locator) const {
  xalanc::XPathExecutionContext::BorrowReturnMutableNodeRefList result(executionContext);
  if (args.size() != 1) {
    generalError(executionContext, context, locator);
    return executionContext.getXObjectFactory().createNodeSet(result);
  }
  xalanc::XalanTransformer* transformer = ConvertByXSLT::currentTransformer.load();
  if (transformer == nullptr) {
    reportError(executionContext, context, locator,
                u"The interval-parse() function runs only inside a conversion!");
    return executionContext.getXObjectFactory().createNodeSet(result);
  }

  // The items come as a node-set or as the result tree fragment that holds
  // them: read in place, a fragment needs no conversion into a node-set
  // (which the engine keeps until the conversion ends).
  IntervalList items;
  if (args[0]->getType() == xalanc::XObject::eTypeResultTreeFrag) {
    for (const XalanNode* node = args[0]->rtree().getFirstChild(); node != nullptr;
         node = node->getNextSibling()) {
      readNode(node, items);
    }
  } else {
    const xalanc::NodeRefListBase& nodes = args[0]->nodeset();
    for (xalanc::NodeRefListBase::size_type i = 0; i < nodes.getLength(); ++i) {
      if (nodes.item(i) != nullptr) readNode(nodes.item(i), items);
    }
  }
  resolveRecodeKeys(items);
  resolveOverlaps(items);

  // The transformer owns the builder and its document until it is destroyed
  // or the next call gives the previous one back, so the returned nodes
  // outlive this call.
  if (lastBuilder != nullptr) {
    transformer->destroyDocumentBuilder(lastBuilder);
    lastBuilder = nullptr;
  }
  xalanc::XalanDocumentBuilder* builder = transformer->createDocumentBuilder();
  lastBuilder = builder;
  if (builder == nullptr) {
    reportError(executionContext, context, locator,
                u"The interval-parse() function could not build its result!");
    return executionContext.getXObjectFactory().createNodeSet(result);
  }
  FragmentWriter(*builder->getContentHandler()).write(items);
  items.clear();

  const xalanc::XalanNode* root = builder->getDocument()->getDocumentElement();
  for (XalanNode* child = root->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    result->addNode(child);
  }
  return executionContext.getXObjectFactory().createNodeSet(result);
}

xalanc::XalanDocumentBuilder* IntervalParser::lastBuilder = nullptr;

IntervalParser* IntervalParser::clone(xalanc::MemoryManager& manager) const {
  return xalanc::XalanCopyConstruct(manager, *this);
}

const xalanc::XalanDOMString& IntervalParser::getError(xalanc::XalanDOMString& result) const {
  result = u"The interval-parse() function accepts one argument!";
  return result;
}
