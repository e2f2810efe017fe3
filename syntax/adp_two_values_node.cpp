// RECODE clauses: a table row, a bin and the interval inside a bin.
#include "syntax/adp_two_values_node.h"

#include <charconv>
#include <memory>
#include <xercesc/dom/DOM.hpp>

#include "syntax/adp_literal.h"
#include "syntax/adp_result_codes.h"
#include "syntax/adp_value_node.h"

namespace {

// Element name -> the clause it holds.
enum class Clause { kRow, kBin, kInterval, kNone };
struct ElementClause {
  const char* element;
  Clause clause;
};
constexpr ElementClause kClauses[] = {
    {"row", Clause::kRow},
    {"DiscretizeBin", Clause::kBin},
    {"Interval", Clause::kInterval},
};
constexpr const char kAcceptedElements[] = "row,DiscretizeBin,Interval";

constexpr const char kMappingClause[] = "mapping";
constexpr const char kIntervalClause[] = "interval";

// The margins of an interval, left first.
constexpr const char* kMargins[] = {"leftMargin", "rightMargin"};

Clause clauseOf(const std::string& name) {
  for (const auto& c : kClauses) {
    if (name == c.element) return c.clause;
  }
  return Clause::kNone;
}

std::unique_ptr<ADPValueNode> newValue(bool utf8, const std::string& dataType) {
  auto value = std::make_unique<ADPValueNode>();
  value->utf8 = utf8;
  value->setDataType(dataType);
  return value;
}

// Why the value cannot stand in a RECODE clause; empty when it can. The
// clauses take numbers and strings only: the language refuses a DATE.MDY or
// TIME.HMS call there, so a date or time would give a command that fails.
std::string recodeProblem(const ADPValueNode& value) {
  if (ADPValueNode::isDateType(value.dataType()) || ADPValueNode::isTimeType(value.dataType())) {
    return "A date or time cannot be a RECODE value.";
  }
  return value.literalProblem();
}

// An interval's margin that the document leaves out: the range is open there.
bool isOpen(const ADPBaseNode& margin) {
  return static_cast<const ADPValueNode&>(margin).value().empty();
}

const std::string& valueOf(const ADPBaseNode& value) {
  return static_cast<const ADPValueNode&>(value).value();
}

}  // namespace

int ADPTwoValuesNode::parse(xercesc::DOMNode* element, std::string& errorPath) {
  const std::string name = nodeName(element);
  appendSegment(errorPath, name, kElementSegment);
  switch (clauseOf(name)) {
    case Clause::kRow:
      return parseRow(element, errorPath);
    case Clause::kBin:
      return parseBin(element, errorPath);
    case Clause::kInterval:
      return parseInterval(element, errorPath);
    case Clause::kNone:
      break;
  }
  appendSegment(errorPath, name, kElementSegment);
  appendSegment(errorPath, kAcceptedElements, kListSegment);
  return pmmlxform::kAdpUnexpectedElement;
}

int ADPTwoValuesNode::addColumn(xercesc::DOMNode* row, xercesc::DOMNode* column,
                                const std::string& dataType, std::string& errorPath) {
  if (column == nullptr) {
    appendSegment(errorPath, nodeName(row), kElementSegment);
    return pmmlxform::kAdpMissingContent;
  }
  const std::string text = toLocalString(column->getTextContent());
  if (text.empty()) {
    appendSegment(errorPath, nodeName(row), kElementSegment);
    appendSegment(errorPath, "Value is empty", kMessageSegment);
    return pmmlxform::kAdpBadValue;
  }
  auto value = newValue(utf8, dataType);
  value->readContent(column);
  const std::string problem = recodeProblem(*value);
  if (!problem.empty()) {
    appendSegment(errorPath, nodeName(column), kElementSegment);
    appendSegment(errorPath, text, kAttributeSegment);
    appendSegment(errorPath, problem, kMessageSegment);
    return pmmlxform::kAdpBadValue;
  }
  attach(std::move(value));
  return pmmlxform::kAdpOk;
}

xercesc::DOMNode* ADPTwoValuesNode::cellNamed(xercesc::DOMNode* row,
                                              const std::string& column) const {
  for (xercesc::DOMNode* cell = firstChildElement(row, ""); cell != nullptr;
       cell = nextSiblingElement(cell, "")) {
    if (nodeName(cell) == column) return cell;
  }
  return nullptr;
}

int ADPTwoValuesNode::parseRow(xercesc::DOMNode* element, std::string& errorPath) {
  // The table names the input and output columns; a row may hold its cells in
  // any order. Without both names the first cell is the input and the second
  // the output.
  const bool byName =
      !inputColumn_.empty() && !outputColumn_.empty() && inputColumn_ != outputColumn_;
  xercesc::DOMNode* input =
      byName ? cellNamed(element, inputColumn_) : firstChildElement(element, "");
  int code = addColumn(element, input, firstDataType_, errorPath);
  if (code != 0) return code;
  xercesc::DOMNode* output =
      byName ? cellNamed(element, outputColumn_) : nextSiblingElement(input, "");
  code = addColumn(element, output, secondDataType_, errorPath);
  if (code != 0) return code;
  xercesc::DOMNode* second = nextSiblingElement(firstChildElement(element, ""), "");
  if (nextSiblingElement(second, "") != nullptr) {
    appendSegment(errorPath, "More than two rows", kMessageSegment);
    return pmmlxform::kAdpWrongChildCount;
  }
  clauseKind_ = kMappingClause;
  removeSegment(errorPath);
  return pmmlxform::kAdpOk;
}

int ADPTwoValuesNode::parseBin(xercesc::DOMNode* element, std::string& errorPath) {
  clauseKind_ = kMappingClause;
  const std::string binValue = getAttributeValue(element, "binValue");
  appendSegment(errorPath, binValue, kAttributeSegment);
  if (binValue.empty()) return pmmlxform::kAdpBadName;
  auto value = newValue(utf8, secondDataType_);
  value->readAttribute(element, "binValue");
  const std::string problem = recodeProblem(*value);
  if (!problem.empty()) {
    appendSegment(errorPath, problem, kMessageSegment);
    return pmmlxform::kAdpBadValue;
  }

  // Only the first element of a bin is read.
  xercesc::DOMNode* intervalElement = firstChildElement(element, "");
  if (intervalElement == nullptr) return pmmlxform::kAdpMissingContent;
  const std::string name = nodeName(intervalElement);
  if (name != "Interval") {
    appendSegment(errorPath, name, kElementSegment);
    appendSegment(errorPath, "Interval", kListSegment);
    return pmmlxform::kAdpUnexpectedElement;
  }
  auto interval = std::make_unique<ADPTwoValuesNode>();
  interval->utf8 = utf8;
  interval->setDataTypes(firstDataType_, firstDataType_);
  const int code = interval->parse(intervalElement, errorPath);
  if (code != 0) return code;
  attach(std::move(interval));
  attach(std::move(value));
  // A bin value with a "." leaves part of its segment behind: the cut stops
  // at the value's own ".".
  removeSegment(errorPath);
  return pmmlxform::kAdpOk;
}

int ADPTwoValuesNode::parseInterval(xercesc::DOMNode* element, std::string& errorPath) {
  clauseKind_ = kIntervalClause;
  // Every interval is written as a closed range; the closure tells the mapping
  // node where that range takes a margin the interval leaves out.
  closure_ = getAttributeValue(element, "closure");
  for (const char* margin : kMargins) {
    const std::string text = getAttributeValue(element, margin);
    auto value = newValue(utf8, firstDataType_);
    value->setValue(text);
    const std::string problem = text.empty() ? std::string() : recodeProblem(*value);
    if (!problem.empty()) {
      appendSegment(errorPath, std::string(margin) + "=" + text, kAttributeSegment);
      appendSegment(errorPath, problem, kMessageSegment);
      return pmmlxform::kAdpBadValue;
    }
    attach(std::move(value));
  }
  removeSegment(errorPath);
  return pmmlxform::kAdpOk;
}

std::string ADPTwoValuesNode::toSyntax() const {
  if (children.size() != 2) return std::string();
  if (clauseKind_ == kIntervalClause) {
    const std::string low = isOpen(*children[0]) ? "LOWEST" : children[0]->toSyntax();
    const std::string high = isOpen(*children[1]) ? "HIGHEST" : children[1]->toSyntax();
    return low + " THRU " + high;
  }
  return children[0]->toSyntax() + " = " + children[1]->toSyntax();
}

bool ADPTwoValuesNode::binMargins(std::vector<Margin>& margins) const {
  if (clauseKind_ != kMappingClause || children.size() != 2) return false;
  const ADPBaseNode& interval = *children[0];
  if (interval.nodeKind != kTwoValues || interval.children.size() != 2) return false;
  for (const auto& margin : interval.children) {
    if (isOpen(*margin)) continue;
    const auto& value = static_cast<const ADPValueNode&>(*margin);
    double number = 0;
    if (value.dataType() == "string" || !pmmlxform::recodeNumber(value.value(), number)) {
      return false;
    }
    margins.push_back({number, value.toSyntax()});
  }
  return true;
}

bool ADPTwoValuesNode::binHolds(double x, bool asRange) const {
  if (clauseKind_ != kMappingClause || children.size() != 2) return false;
  const auto& interval = static_cast<const ADPTwoValuesNode&>(*children[0]);
  if (interval.nodeKind != kTwoValues || interval.children.size() != 2) return false;
  const std::string& closure = interval.closure_;
  // An absent closure is closed at both ends.
  const bool openLeft = !asRange && closure.compare(0, 4, "open") == 0;
  const bool openRight =
      !asRange && closure.size() >= 4 && closure.compare(closure.size() - 4, 4, "Open") == 0;
  double low = 0;
  double high = 0;
  const ADPBaseNode& left = *interval.children[0];
  const ADPBaseNode& right = *interval.children[1];
  if (!isOpen(left)) {
    if (!pmmlxform::recodeNumber(valueOf(left), low)) return false;
    if (x < low || (openLeft && x == low)) return false;
  }
  if (!isOpen(right)) {
    if (!pmmlxform::recodeNumber(valueOf(right), high)) return false;
    if (x > high || (openRight && x == high)) return false;
  }
  return true;
}

std::string ADPTwoValuesNode::resultText() const {
  return children.size() == 2 ? children[1]->toSyntax() : std::string();
}

std::string ADPTwoValuesNode::keyText() const {
  if (children.size() != 2 || children[0]->nodeKind != kValue) return std::string();
  return valueOf(*children[0]);
}

std::size_t ADPTwoValuesNode::longestStringLiteral() const {
  if (clauseKind_ != kMappingClause || children.size() != 2) return 0;
  return children[1]->longestStringLiteral();
}

namespace pmmlxform {

bool recodeNumber(const std::string& text, double& number) {
  if (!isNumericLiteral(text)) return false;
  // from_chars reads no "+" sign and is independent of the locale.
  const char* first = text.data();
  const char* last = first + text.size();
  if (*first == '+') ++first;
  const auto result = std::from_chars(first, last, number);
  return result.ec == std::errc() && result.ptr == last;
}

bool sameRecodeString(const std::string& a, const std::string& b) {
  const std::size_t endA = a.find_last_not_of(' ');
  const std::size_t endB = b.find_last_not_of(' ');
  const std::size_t lengthA = endA == std::string::npos ? 0 : endA + 1;
  const std::size_t lengthB = endB == std::string::npos ? 0 : endB + 1;
  return lengthA == lengthB && a.compare(0, lengthA, b, 0, lengthB) == 0;
}

}  // namespace pmmlxform
