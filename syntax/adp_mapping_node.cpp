// RECODE bodies from MapValues tables and Discretize bins.
#include "syntax/adp_mapping_node.h"

#include <memory>
#include <xercesc/dom/DOM.hpp>

#include "syntax/adp_result_codes.h"
#include "syntax/adp_two_values_node.h"

namespace {

// Element name -> how its clauses are read.
enum class Mapping { kMapValues, kDiscretize, kNone };
struct ElementMapping {
  const char* element;
  Mapping mapping;
};
constexpr ElementMapping kMappings[] = {
    {"MapValues", Mapping::kMapValues},
    {"Discretize", Mapping::kDiscretize},
};
constexpr const char kAcceptedElements[] = "MapValues,Discretize";

// The extension of a MapValues that copies unmatched values.
constexpr const char kElseCopy[] = "recodeElseCopy";

// A chunk of clauses longer than this goes on a line of its own; a result
// longer than the second limit puts the MISSING and ELSE clauses on a new line.
constexpr std::size_t kClauseLineLimit = 80;
constexpr std::size_t kResultLineLimit = 60;
constexpr const char kLineBreak[] = "\n      ";

Mapping mappingOf(const std::string& name) {
  for (const auto& m : kMappings) {
    if (name == m.element) return m.mapping;
  }
  return Mapping::kNone;
}

}  // namespace

int ADPMappingNode::parse(xercesc::DOMNode* element, std::string& errorPath) {
  inputField_.utf8 = utf8;
  missingValue_.utf8 = utf8;
  defaultValue_.utf8 = utf8;
  const std::string name = nodeName(element);
  appendSegment(errorPath, name, kElementSegment);
  switch (mappingOf(name)) {
    case Mapping::kMapValues:
      return parseMapValues(element, errorPath);
    case Mapping::kDiscretize:
      return parseDiscretize(element, errorPath);
    case Mapping::kNone:
      break;
  }
  appendSegment(errorPath, kAcceptedElements, kListSegment);
  return pmmlxform::kAdpUnexpectedElement;
}

int ADPMappingNode::readMissingAndDefault(xercesc::DOMNode* element, std::string& errorPath) {
  struct Slot {
    const char* attribute;
    ADPValueNode& value;
  };
  const Slot slots[] = {{"mapMissingTo", missingValue_}, {"defaultValue", defaultValue_}};
  for (const auto& slot : slots) {
    const std::string text = getAttributeValue(element, slot.attribute);
    slot.value.readAttribute(element, slot.attribute);
    // An absent value writes no clause of its own.
    if (text.empty()) continue;
    const std::string problem = slot.value.literalProblem();
    if (!problem.empty()) {
      appendSegment(errorPath, std::string(slot.attribute) + "=" + text, kAttributeSegment);
      appendSegment(errorPath, problem, kMessageSegment);
      return pmmlxform::kAdpBadValue;
    }
  }
  return pmmlxform::kAdpOk;
}

int ADPMappingNode::addClause(xercesc::DOMNode* element, std::string& errorPath) {
  auto clause = std::make_unique<ADPTwoValuesNode>();
  clause->setDataTypes(inputDataType_, outputDataType_);
  return parseChild(std::move(clause), element, errorPath);
}

int ADPMappingNode::parseMapValues(xercesc::DOMNode* element, std::string& errorPath) {
  int code = readMissingAndDefault(element, errorPath);
  if (code != 0) return code;
  xercesc::DOMNode* current = firstChildElement(element, "");
  if (current == nullptr) return pmmlxform::kAdpMissingContent;

  // Only an extension in the first place is looked at.
  elseCopy_ = false;
  if (nodeName(current) == "Extension") {
    elseCopy_ = getAttributeValue(current, "name") == kElseCopy;
    current = nextSiblingElement(current, "");
  }
  // Nothing after the extension reads as an element of no name.
  const std::string pairName = nodeName(current);
  if (pairName != "FieldColumnPair") {
    appendSegment(errorPath, pairName, kElementSegment);
    appendSegment(errorPath, "FieldColumnPair", kListSegment);
    return pmmlxform::kAdpUnexpectedElement;
  }
  code = inputField_.parse(current, errorPath);
  inputDataType_ = getAttributeValue(current, "dataType");
  if (code != 0) return code;

  // A MapValues without a table is accepted and has no rows.
  xercesc::DOMNode* table = nextSiblingElement(current, "");
  if (table != nullptr) {
    const std::string tableName = nodeName(table);
    if (tableName != "InlineTable") {
      appendSegment(errorPath, tableName, kElementSegment);
      appendSegment(errorPath, "InlineTable", kListSegment);
      return pmmlxform::kAdpUnexpectedElement;
    }
    for (xercesc::DOMNode* row = firstChildElement(table, ""); row != nullptr;
         row = nextSiblingElement(row, "")) {
      const std::string rowName = nodeName(row);
      if (rowName != "row") {
        appendSegment(errorPath, rowName, kElementSegment);
        appendSegment(errorPath, "row", kListSegment);
        return pmmlxform::kAdpUnexpectedElement;
      }
      code = addClause(row, errorPath);
      if (code != 0) return code;
    }
  }
  removeSegment(errorPath);
  return pmmlxform::kAdpOk;
}

int ADPMappingNode::parseDiscretize(xercesc::DOMNode* element, std::string& errorPath) {
  elseCopy_ = false;
  int code = readMissingAndDefault(element, errorPath);
  if (code != 0) return code;
  // The data type the document gives the Discretize is that of its input field.
  inputDataType_ = getAttributeValue(element, "dataType");
  code = inputField_.parse(element, errorPath);
  if (code != 0) return code;

  // A Discretize without bins is accepted.
  for (xercesc::DOMNode* bin = firstChildElement(element, ""); bin != nullptr;
       bin = nextSiblingElement(bin, "")) {
    const std::string binName = nodeName(bin);
    if (binName != "DiscretizeBin") {
      appendSegment(errorPath, binName, kElementSegment);
      appendSegment(errorPath, "DiscretizeBin", kListSegment);
      return pmmlxform::kAdpUnexpectedElement;
    }
    code = addClause(bin, errorPath);
    if (code != 0) return code;
  }
  removeSegment(errorPath);
  return pmmlxform::kAdpOk;
}

std::string ADPMappingNode::toSyntax() const {
  std::string result = inputField_.toSyntax() + " ";
  // Clauses gather in a buffer; a buffer that grows past the limit starts a
  // new line. Both limits are strict.
  std::string buffer;
  for (const auto& child : children) {
    buffer += "(" + child->toSyntax() + ") ";
    if (buffer.size() > kClauseLineLimit) {
      result += kLineBreak + buffer;
      buffer.clear();
    }
  }
  result += buffer;
  if (result.size() > kResultLineLimit) result += kLineBreak;

  const std::string missing = missingValue_.toSyntax();
  if (!missing.empty()) result += "(MISSING=" + missing + ") ";

  const std::string fallback = defaultValue_.toSyntax();
  if (elseCopy_) {
    result += "(ELSE=COPY) ";
  } else if (!fallback.empty()) {
    result += "(ELSE=" + fallback + ") ";
  } else if (defaultValue_.dataType() == "string") {
    result += "(ELSE='') ";
  } else {
    result += "(ELSE=SYSMIS) ";
  }
  return result;
}

std::size_t ADPMappingNode::longestStringLiteral() const {
  std::size_t longest = ADPBaseNode::longestStringLiteral();
  for (const ADPValueNode* value : {&missingValue_, &defaultValue_}) {
    if (value->longestStringLiteral() > longest) longest = value->longestStringLiteral();
  }
  return longest;
}
