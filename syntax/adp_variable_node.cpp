// Fields: references by name and the declaration of a derived field.
#include "syntax/adp_variable_node.h"

#include <xercesc/dom/DOM.hpp>

#include "syntax/adp_result_codes.h"

namespace {

// Element name -> the element segment reported when its field name is missing.
struct ReferenceKind {
  const char* element;
  const char* segment;
};
constexpr ReferenceKind kReferences[] = {
    {"FieldRef", "FieldRef"},
    {"Discretize", "FieldRef"},
    {"FieldColumnPair", "FieldColumnPair"},
};

// Largest width a declaration reports; longer length texts are capped rather
// than overflowing.
constexpr std::size_t kMaxWidth = 1000000;

}  // namespace

int ADPVariableNode::parse(xercesc::DOMNode* element, std::string& errorPath) {
  const std::string elementName = nodeName(element);
  for (const auto& kind : kReferences) {
    if (elementName != kind.element) continue;
    name_ = getAttributeValue(element, "field");
    if (name_.empty()) {
      appendSegment(errorPath, kind.segment, kElementSegment);
      return pmmlxform::kAdpBadName;
    }
    const std::string problem = nameProblem(name_);
    if (!problem.empty()) {
      appendSegment(errorPath, kind.segment, kElementSegment);
      appendSegment(errorPath, name_, kAttributeSegment);
      appendSegment(errorPath, problem, kMessageSegment);
      return pmmlxform::kAdpBadName;
    }
    isReference_ = true;
    // The root gives a reference the data type of its field.
    dataType_ = dataTypeOf(element);
    return pmmlxform::kAdpOk;
  }
  // The derived node that holds this target has named the element in the
  // path already.
  if (elementName == "DerivedField") {
    if (name_.empty()) name_ = getAttributeValue(element, "name");
    if (name_.empty()) return pmmlxform::kAdpBadName;
    const std::string problem = nameProblem(name_);
    if (!problem.empty()) {
      appendSegment(errorPath, name_, kAttributeSegment);
      appendSegment(errorPath, problem, kMessageSegment);
      return pmmlxform::kAdpBadName;
    }
    optype_ = getAttributeValue(element, "optype");
    dataType_ = dataTypeOf(element);
    if (dataType_ == "string") length_ = getAttributeValue(element, "length");
    isReference_ = false;
    return pmmlxform::kAdpOk;
  }
  appendSegment(errorPath, "FieldRef,Discretize,DerivedField,FieldColumnPair", kListSegment);
  return pmmlxform::kAdpUnexpectedElement;
}

std::size_t ADPVariableNode::width() const {
  // Only the leading decimal digits count; anything else reads as 0.
  std::size_t length = 0;
  for (char c : length_) {
    if (c < '0' || c > '9') break;
    length = length * 10 + static_cast<std::size_t>(c - '0');
    if (length > kMaxWidth) {
      length = kMaxWidth;
      break;
    }
  }
  return length > minWidth_ ? length : minWidth_;
}

std::string ADPVariableNode::toSyntax() const {
  if (isReference_) return name_;
  if (dataType_ == "string") {
    return "\nSTRING " + name_ + "(A" + std::to_string(width()) + ").";
  }
  return std::string();
}
