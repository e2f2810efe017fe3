// RECODE bodies from MapValues tables and Discretize bins.
#include "syntax/adp_mapping_node.h"

#include <memory>
#include <utility>
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
  inputField_.givenDataTypes = givenDataTypes;
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
  clause->setColumns(inputColumn_, outputColumn_);
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
  inputDataType_ = dataTypeOf(current);
  if (code != 0) return code;
  inputMissing_ = userMissingCodes(element, inputField_.name());
  inputColumn_ = getAttributeValue(current, "column");
  outputColumn_ = getAttributeValue(element, "outputColumn");

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
  discretize_ = true;
  int code = readMissingAndDefault(element, errorPath);
  if (code != 0) return code;
  // The data type the document gives the Discretize is that of its input field.
  inputDataType_ = dataTypeOf(element);
  code = inputField_.parse(element, errorPath);
  if (code != 0) return code;
  inputMissing_ = userMissingCodes(element, inputField_.name());

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

std::string ADPMappingNode::elseResult() const {
  if (elseCopy_) return "COPY";
  const std::string fallback = defaultValue_.toSyntax();
  if (!fallback.empty()) return fallback;
  return defaultValue_.dataType() == "string" ? "''" : "SYSMIS";
}

bool ADPMappingNode::isUserMissing(double number) const {
  for (const auto& code : inputMissing_) {
    double missing = 0;
    if (pmmlxform::recodeNumber(code, missing) && missing == number) return true;
  }
  return false;
}

bool ADPMappingNode::clausesTakeUserMissing() const {
  const bool stringInput = inputDataType_ == "string";
  for (const auto& child : children) {
    const auto& clause = static_cast<const ADPTwoValuesNode&>(*child);
    if (discretize_) {
      for (const auto& code : inputMissing_) {
        double number = 0;
        if (pmmlxform::recodeNumber(code, number) && clause.binHolds(number, true)) return true;
      }
      continue;
    }
    const std::string key = clause.keyText();
    double number = 0;
    if (stringInput) {
      for (const auto& code : inputMissing_) {
        if (pmmlxform::sameRecodeString(code, key)) return true;
      }
    } else if (pmmlxform::recodeNumber(key, number) && isUserMissing(number)) {
      return true;
    }
  }
  return false;
}

std::string ADPMappingNode::missingClause() const {
  const std::string replacement = missingValue_.toSyntax();
  if (!replacement.empty()) return "(MISSING=" + replacement + ") ";
  // Without a replacement, missing input stays missing. The ELSE clause sends
  // system-missing input to a default or a copy; a string input has no
  // system-missing value, only its user-missing codes.
  const bool valuedElse = elseCopy_ || !defaultValue_.toSyntax().empty();
  const bool elseTakesMissing =
      valuedElse && (!inputMissing_.empty() || (!elseCopy_ && inputDataType_ != "string"));
  if (!elseTakesMissing && !clausesTakeUserMissing()) return std::string();
  // The language has no missing string: blank is the nearest a string target takes.
  return std::string("(MISSING=") + (defaultValue_.dataType() == "string" ? "''" : "SYSMIS") + ") ";
}

std::vector<std::string> ADPMappingNode::marginClauses() const {
  std::vector<std::string> clauses;
  if (!discretize_) return clauses;
  std::vector<ADPTwoValuesNode::Margin> margins;
  std::vector<const ADPTwoValuesNode*> bins;
  for (const auto& child : children) {
    bins.push_back(static_cast<const ADPTwoValuesNode*>(child.get()));
    if (!bins.back()->binMargins(margins)) return clauses;
  }
  // What the first bin holding the value gives, by the closures or by the
  // closed ranges; the ELSE clause when none does.
  const std::string fallback = elseResult();
  auto firstMatch = [&](double x, bool asRange) {
    for (const ADPTwoValuesNode* bin : bins) {
      if (bin->binHolds(x, asRange)) return bin->resultText();
    }
    return fallback;
  };
  // Margins that need a value of their own, grouped by that value in the
  // order they first occur: "(1 3 = SYSMIS) ".
  std::vector<double> done;
  std::vector<std::pair<std::string, std::string>> groups;  // value, margins
  for (const auto& margin : margins) {
    bool seen = false;
    for (double d : done) seen = seen || d == margin.number;
    if (seen) continue;
    done.push_back(margin.number);
    // A user-missing code goes to the MISSING clause.
    if (isUserMissing(margin.number)) continue;
    const std::string wanted = firstMatch(margin.number, false);
    if (wanted == firstMatch(margin.number, true)) continue;
    auto group = groups.begin();
    while (group != groups.end() && group->first != wanted) ++group;
    if (group == groups.end()) {
      groups.emplace_back(wanted, margin.text);
    } else {
      group->second += " " + margin.text;
    }
  }
  for (const auto& group : groups) {
    clauses.push_back("(" + group.second + " = " + group.first + ") ");
  }
  return clauses;
}

std::string ADPMappingNode::toSyntax() const {
  std::string result = inputField_.toSyntax() + " ";
  // Value clauses take user-missing codes too, so when one would, the MISSING
  // clause comes first; single margin values come before the ranges.
  const std::string missing = missingClause();
  const bool missingFirst = !missing.empty() && clausesTakeUserMissing();
  std::vector<std::string> clauses;
  if (missingFirst) clauses.push_back(missing);
  for (const auto& clause : marginClauses()) clauses.push_back(clause);
  for (const auto& child : children) clauses.push_back("(" + child->toSyntax() + ") ");

  // Clauses gather in a buffer; a buffer that grows past the limit starts a
  // new line. Both limits are strict.
  std::string buffer;
  for (const auto& clause : clauses) {
    buffer += clause;
    if (buffer.size() > kClauseLineLimit) {
      result += kLineBreak + buffer;
      buffer.clear();
    }
  }
  result += buffer;
  if (result.size() > kResultLineLimit) result += kLineBreak;
  if (!missingFirst) result += missing;
  return result + "(ELSE=" + elseResult() + ") ";
}

std::size_t ADPMappingNode::longestStringLiteral() const {
  std::size_t longest = ADPBaseNode::longestStringLiteral();
  for (const ADPValueNode* value : {&missingValue_, &defaultValue_}) {
    if (value->longestStringLiteral() > longest) longest = value->longestStringLiteral();
  }
  return longest;
}
