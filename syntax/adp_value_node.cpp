// Constants: reading a Constant element and writing it as a syntax literal.
#include "syntax/adp_value_node.h"

#include <xercesc/dom/DOM.hpp>

#include "syntax/adp_literal.h"
#include "syntax/adp_result_codes.h"

namespace {

// True when `sep` occurs at two different positions of the text.
bool hasTwoSeparators(const std::string& text, char sep) {
  const std::size_t first = text.find(sep);
  return first != std::string::npos && first < text.rfind(sep);
}

// The three pieces of a date or time, split at the first and the last
// separator; false when the value cannot be split that way.
bool splitPieces(const std::string& value, char sep, std::string pieces[3]) {
  const std::size_t first = value.find(sep);
  const std::size_t last = value.rfind(sep);
  if (first == std::string::npos || first == 0 || first >= last) return false;
  pieces[0] = value.substr(0, first);
  pieces[1] = value.substr(first + 1, last - first - 1);
  pieces[2] = value.substr(last + 1);
  return true;
}

// A date or time written as a call over three numeric literals.
bool isNumericTriple(const std::string& value, char sep) {
  std::string pieces[3];
  if (!splitPieces(value, sep, pieces)) return false;
  for (const auto& piece : pieces) {
    if (!pmmlxform::isNumericLiteral(piece)) return false;
  }
  return true;
}

// The text without the blanks and line breaks that XML layout puts around it.
std::string trimLayout(const std::string& text) {
  const char* const kLayout = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kLayout);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(kLayout) - first + 1);
}

std::string callOverPieces(const char* function, const std::string& value, char sep) {
  std::string pieces[3];
  if (!splitPieces(value, sep, pieces)) return std::string(function) + "(" + value + ")";
  return std::string(function) + "(" + pieces[0] + "," + pieces[1] + "," + pieces[2] + ")";
}

}  // namespace

bool ADPValueNode::isDateType(const std::string& dataType) {
  if (dataType == "date") return true;
  static const std::string kLetters = "dateDaysSince";
  const std::size_t firstOther = dataType.find_first_not_of(kLetters);
  return firstOther == 13;
}

bool ADPValueNode::isTimeType(const std::string& dataType) {
  return dataType == "time" || dataType == "timeSeconds";
}

int ADPValueNode::parse(xercesc::DOMNode* element, std::string& errorPath) {
  dataType_ = dataTypeOf(element);
  const XMLCh* content = element == nullptr ? nullptr : element->getTextContent();
  const std::string text = convert(content);
  if (text.empty()) return pmmlxform::kAdpMissingContent;
  appendSegment(errorPath, "Constant", kElementSegment);
  appendSegment(errorPath, text, kAttributeSegment);

  if (isDateType(dataType_) || isTimeType(dataType_)) {
    const char sep = isDateType(dataType_) ? '/' : ':';
    // A malformed text gives way to a well-formed preset value.
    if (hasTwoSeparators(text, sep)) {
      value_ = trimLayout(text);
    } else if (!hasTwoSeparators(value_, sep)) {
      appendSegment(errorPath, sep == '/' ? "mm/dd/yyyy" : "hh:mm:ss", kListSegment);
      return pmmlxform::kAdpBadValue;
    }
  } else {
    setContent(text);
  }
  const std::string problem = literalProblem();
  if (!problem.empty()) {
    appendSegment(errorPath, problem, kMessageSegment);
    return pmmlxform::kAdpBadValue;
  }

  // The attribute segment of a value with a "." is only half removed by the
  // first cut.
  removeSegment(errorPath);
  if (value_.find('.') != std::string::npos) removeSegment(errorPath);
  return pmmlxform::kAdpOk;
}

void ADPValueNode::setContent(const std::string& text) {
  value_ = dataType_ == "string" ? text : trimLayout(text);
}

std::string ADPValueNode::convert(const XMLCh* text) {
  std::string converted = toLocalString(text);
  // UTF-8 holds every character; a code page holds those that convert back.
  lostCharacters_ = !utf8 && text != nullptr && toXMLString(converted) != text;
  return converted;
}

void ADPValueNode::readContent(const xercesc::DOMNode* element) {
  setContent(convert(element == nullptr ? nullptr : element->getTextContent()));
}

void ADPValueNode::readAttribute(const xercesc::DOMNode* element, const std::string& attribute) {
  const XMLCh* text = nullptr;
  if (element != nullptr && element->getNodeType() == xercesc::DOMNode::ELEMENT_NODE) {
    text = static_cast<const xercesc::DOMElement*>(element)->getAttribute(
        toXMLString(attribute).c_str());
  }
  value_ = convert(text);
}

std::string ADPValueNode::literalProblem() const {
  if (isDateType(dataType_)) {
    return isNumericTriple(value_, '/') ? std::string() : "Date is not numeric mm/dd/yyyy.";
  }
  if (isTimeType(dataType_)) {
    return isNumericTriple(value_, ':') ? std::string() : "Time is not numeric hh:mm:ss.";
  }
  if (dataType_ == "string") {
    // Checked on the UTF-16 form, where every kind of line break is known.
    const std::basic_string<XMLCh> text = toXMLString(value_);
    if (!pmmlxform::isSingleLine(text.c_str())) return "String holds a line break.";
    if (pmmlxform::hasControlCharacter(text.c_str())) return "String holds a control character.";
    if (lostCharacters_) return "String holds a character the local code page cannot hold.";
    return std::string();
  }
  if (pmmlxform::isNumberBeyondRange(value_)) return "Number beyond the range of a double.";
  return pmmlxform::isNumericLiteral(value_) ? std::string() : pmmlxform::kNotNumberMessage;
}

std::string ADPValueNode::toSyntax() const {
  if (isDateType(dataType_)) return callOverPieces("DATE.MDY", value_, '/');
  if (isTimeType(dataType_)) return callOverPieces("TIME.HMS", value_, ':');
  if (dataType_ == "string" && !value_.empty()) return pmmlxform::quoteLiteral(value_);
  return pmmlxform::numericLiteralText(value_);
}

std::size_t ADPValueNode::longestStringLiteral() const {
  return dataType_ == "string" ? value_.size() : 0;
}
