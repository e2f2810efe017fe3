// Derived fields: choosing the expression node, and the commands of one field.
#include "syntax/adp_derived_node.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "syntax/adp_expression_node.h"
#include "syntax/adp_function_node.h"
#include "syntax/adp_mapping_node.h"
#include "syntax/adp_norm_node.h"
#include "syntax/adp_outlier_node.h"
#include "syntax/adp_result_codes.h"
#include "syntax/adp_value_node.h"

namespace {

// What the expression element of a derived field becomes.
enum class Expression {
  kOperator,   // Apply with an operator function
  kFunction,   // Apply with any other function of the function table
  kOutlier,    // Apply with the function "outlierHandle"
  kMapping,    // MapValues, Discretize
  kNorm,       // NormContinuous
  kReference,  // FieldRef
  kConstant,   // Constant
  kRefused,    // any other element, or none
};

// Element name -> expression kind; an Apply is further split by its function.
struct ElementKind {
  const char* element;
  Expression kind;
};
constexpr ElementKind kElementKinds[] = {
    {"Apply", Expression::kFunction},     {"MapValues", Expression::kMapping},
    {"Discretize", Expression::kMapping}, {"NormContinuous", Expression::kNorm},
    {"FieldRef", Expression::kReference}, {"Constant", Expression::kConstant},
};

// The Apply function that is a block of commands rather than an expression.
constexpr const char kOutlierFunction[] = "outlierHandle";

constexpr const char kNestedMapMissingMessage[] =
    "mapMissingTo can only stand on a field's whole expression.";

constexpr const char kAcceptedElements[] = "Apply,MapValues,NormContinuous,Discretize";

Expression kindOfElement(const std::string& name) {
  for (const auto& e : kElementKinds) {
    if (name == e.element) return e.kind;
  }
  return Expression::kRefused;
}

}  // namespace

std::string ADPDerivedNode::uniqueJoin(const std::string& list, const std::string& separator) {
  std::vector<std::string> kept;
  std::size_t pos = 0;
  if (!separator.empty() && list.compare(0, separator.size(), separator) == 0) {
    pos = separator.size();
  }
  while (pos < list.size()) {
    const std::size_t next = separator.empty() ? std::string::npos : list.find(separator, pos);
    const std::string token =
        list.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
    bool seen = false;
    for (const auto& k : kept) seen = seen || k == token;
    if (!seen) kept.push_back(token);
    if (next == std::string::npos) break;
    pos = next + separator.size();
  }
  std::string out;
  for (const auto& k : kept) out += separator + k;
  return out;
}

int ADPDerivedNode::parse(xercesc::DOMNode* element, std::string& errorPath) {
  target_.utf8 = utf8;
  target_.givenDataTypes = givenDataTypes;
  appendSegment(errorPath, nodeName(element), kElementSegment);
  int code = target_.parse(element, errorPath);
  if (code != 0) return code;
  appendSegment(errorPath, target_.name(), kAttributeSegment);
  if (!hasChildNodes(element)) return pmmlxform::kAdpMissingContent;

  // Extensions come first; a date-and-time step leaves its parameter there.
  xercesc::DOMNode* current = firstChildElement(element, "");
  bool hasParameter = false;
  std::string parameter;
  while (current != nullptr && nodeName(current) == "Extension") {
    xercesc::DOMNode* action = firstChildElement(current, "Action");
    if (action != nullptr && getAttributeValue(action, "stepKey") == "DateAndTimeFeatures") {
      parameter = getAttributeValue(action, "parameter");
      hasParameter = true;
    }
    current = nextSiblingElement(current, "");
  }
  while (current != nullptr && nodeName(current) == "Value") {
    current = nextSiblingElement(current, "");
  }

  std::string name = nodeName(current);
  std::string function = getAttributeValue(current, "function");
  if (name == "Apply") {
    if (function.empty() || (function == "if" && !hasChildNodes(current))) {
      appendSegment(errorPath, "Apply", kElementSegment);
      appendSegment(errorPath, pmmlxform::kEmptyFunctionMessage, kMessageSegment);
      return pmmlxform::kAdpBadName;
    }
    if (function == "if") {
      // The "if" becomes a DO IF block over its condition and values.
      xercesc::DOMNode* inner = firstChildElement(current, "");
      if (inner == nullptr) {
        appendSegment(errorPath, "Apply", kElementSegment);
        appendSegment(errorPath, function, kAttributeSegment);
        appendSegment(errorPath, pmmlxform::kEmptyIfMessage, kMessageSegment);
        return pmmlxform::kAdpMissingContent;
      }
      if (nodeName(inner) == "Apply" && getAttributeValue(inner, "function").empty()) {
        appendSegment(errorPath, "Apply", kElementSegment);
        appendSegment(errorPath, pmmlxform::kEmptyFunctionMessage, kMessageSegment);
        return pmmlxform::kAdpBadName;
      }
    }
    if (function != kOutlierFunction) {
      code = readMapMissingTo(current, errorPath);
      if (code != 0) return code;
    }
  } else if (name == "FieldRef") {
    code = readMapMissingTo(current, errorPath);
    if (code != 0) return code;
  }

  Expression kind = kindOfElement(name);
  if (kind == Expression::kFunction) {
    if (ADPExpressionNode::isOperator(function)) {
      kind = Expression::kOperator;
    } else if (function == kOutlierFunction) {
      kind = Expression::kOutlier;
    } else if (!ADPFunctionNode::isKnownFunction(function)) {
      // A function the syntax has no counterpart for would otherwise be
      // written as its bare arguments, a wrong value reported as success.
      appendSegment(errorPath, name, kElementSegment);
      appendSegment(errorPath, function, kAttributeSegment);
      return pmmlxform::kAdpUnsupported;
    }
  }

  std::unique_ptr<ADPBaseNode> expression;
  switch (kind) {
    case Expression::kOperator:
      expression = std::make_unique<ADPExpressionNode>();
      break;
    case Expression::kFunction:
      if (hasParameter) setAttributeValue(current, "parameter", parameter);
      expression = std::make_unique<ADPFunctionNode>();
      break;
    case Expression::kOutlier: {
      auto outlier = std::make_unique<ADPOutlierNode>();
      outlier->targetField().setName(target_.name());
      expression = std::move(outlier);
      break;
    }
    case Expression::kMapping: {
      auto mapping = std::make_unique<ADPMappingNode>();
      if (target_.dataType() == "string") mapping->setStringValues();
      mapping->setDataTypes(std::string(), target_.dataType());
      expression = std::move(mapping);
      break;
    }
    case Expression::kNorm:
      expression = std::make_unique<ADPNormNode>();
      break;
    case Expression::kReference:
      expression = std::make_unique<ADPVariableNode>();
      break;
    case Expression::kConstant:
      expression = std::make_unique<ADPValueNode>();
      break;
    case Expression::kRefused:
      appendSegment(errorPath, name, kElementSegment);
      appendSegment(errorPath, kAcceptedElements, kListSegment);
      return pmmlxform::kAdpUnexpectedElement;
  }

  expression->comments = comments;
  code = parseChild(std::move(expression), current, errorPath);
  if (code != 0) return code;
  // A string field is declared wide enough for every literal it can take.
  target_.widenTo(children.front()->longestStringLiteral());
  target_.widenTo(valueWidth(*children.front(), element));
  noteStringMissing(*children.front(), element);
  if (target_.dataType() == "string") {
    // Later fields that read this one see its declared width.
    setAttributeValue(element, "length", std::to_string(target_.width()));
  }
  removeSegment(errorPath);
  return pmmlxform::kAdpOk;
}

int ADPDerivedNode::readMapMissingTo(xercesc::DOMNode* apply, std::string& errorPath) {
  // An Apply or a field reference inside the expression has no command of its
  // own to carry its replacement; dropping it would leave those rows missing.
  std::vector<xercesc::DOMNode*> pending;
  for (xercesc::DOMNode* c = firstChildElement(apply, ""); c != nullptr;
       c = nextSiblingElement(c, "")) {
    pending.push_back(c);
  }
  while (!pending.empty()) {
    xercesc::DOMNode* n = pending.back();
    pending.pop_back();
    const std::string nested = nodeName(n);
    if ((nested == "Apply" || nested == "FieldRef") &&
        !getAttributeValue(n, "mapMissingTo").empty()) {
      appendSegment(errorPath, nested, kElementSegment);
      appendSegment(errorPath, getAttributeValue(n, nested == "Apply" ? "function" : "field"),
                    kAttributeSegment);
      appendSegment(errorPath, kNestedMapMissingMessage, kMessageSegment);
      return pmmlxform::kAdpUnsupported;
    }
    for (xercesc::DOMNode* c = firstChildElement(n, ""); c != nullptr;
         c = nextSiblingElement(c, "")) {
      pending.push_back(c);
    }
  }
  if (getAttributeValue(apply, "mapMissingTo").empty()) return pmmlxform::kAdpOk;
  ADPValueNode value;
  value.utf8 = utf8;
  value.setDataType(target_.dataType() == "string" ? "string" : "double");
  value.setContent(getAttributeValue(apply, "mapMissingTo"));
  const std::string problem = value.literalProblem();
  if (!problem.empty()) {
    appendSegment(errorPath, nodeName(apply), kElementSegment);
    appendSegment(errorPath, "mapMissingTo=" + value.value(), kAttributeSegment);
    appendSegment(errorPath, problem, kMessageSegment);
    return pmmlxform::kAdpBadValue;
  }
  mapMissingTo_ = value.toSyntax();
  if (value.dataType() == "string" && mapMissingTo_.empty()) mapMissingTo_ = "''";
  target_.widenTo(value.longestStringLiteral());
  hasMapMissingTo_ = true;
  return pmmlxform::kAdpOk;
}

std::size_t ADPDerivedNode::fieldWidth(xercesc::DOMNode* element, const std::string& name) {
  const FieldIndex& index = indexOf(element);
  xercesc::DOMNode* const* found = index.fields.find(name);
  if (found == nullptr) return 0;
  xercesc::DOMNode* field = *found;
  if (nodeName(field) == "DerivedField") {
    return std::strtoul(getAttributeValue(field, "length").c_str(), nullptr, 10);
  }
  std::size_t longest = 0;
  for (xercesc::DOMNode* v = firstChildElement(field, "Value"); v != nullptr;
       v = nextSiblingElement(v, "Value")) {
    longest = std::max(longest, getAttributeValue(v, "value").size());
  }
  return longest;
}

std::size_t ADPDerivedNode::valueWidth(const ADPBaseNode& expression, xercesc::DOMNode* element) {
  if (target_.dataType() != "string") return 0;
  if (expression.nodeKind == kVariable) return fieldWidth(element, expression.toSyntax());
  if (expression.nodeKind == kMapping) {
    // A copied value is as wide as the field it comes from.
    const std::string copied = static_cast<const ADPMappingNode&>(expression).copiedField();
    return copied.empty() ? 0 : fieldWidth(element, copied);
  }
  if (expression.nodeKind != kFunction) return 0;
  // A string function gives at most as many characters as its widest field
  // argument; a concat as many as all its parts together.
  const bool concat = static_cast<const ADPFunctionNode&>(expression).functionName() == "concat";
  std::size_t width = 0;
  for (const auto& part : expression.children) {
    const std::size_t one = part->nodeKind == kVariable ? fieldWidth(element, part->toSyntax())
                                                        : part->longestStringLiteral();
    width = concat ? width + one : std::max(width, one);
  }
  return width;
}

std::string ADPDerivedNode::mapMissingCommand(const ADPBaseNode& expression) const {
  if (!hasMapMissingTo_) return std::string();
  if (expression.nodeKind == kFunction &&
      ADPFunctionNode::isAggregate(
          static_cast<const ADPFunctionNode&>(expression).functionName())) {
    return std::string();  // evaluated over the arguments that are there
  }
  // The replacement stands for the value wherever an argument (or the
  // referenced field) is missing.
  std::string test;
  if (expression.nodeKind == kVariable) test = ADPFunctionNode::missingTest(expression);
  for (const auto& argument : expression.children) {
    const std::string one = ADPFunctionNode::missingTest(*argument);
    if (one.empty()) continue;
    test += (test.empty() ? "" : "|") + one;
  }
  if (test.empty()) return std::string();
  return "\nIF (" + test + ") " + target_.name() + " = " + mapMissingTo_ + ".";
}

void ADPDerivedNode::noteStringMissing(const ADPBaseNode& node, xercesc::DOMNode* element) {
  if (node.nodeKind == kVariable) {
    const auto& variable = static_cast<const ADPVariableNode&>(node);
    if (variable.dataType() == "string" && !userMissingCodes(element, variable.name()).empty()) {
      stringMissing_.insert(variable.name());
    }
  }
  // The RECODE kinds send missing codes to their MISSING clause themselves.
  if (node.nodeKind == kMapping || node.nodeKind == kNorm || node.nodeKind == kOutlier) return;
  for (const auto& child : node.children) noteStringMissing(*child, element);
}

std::string ADPDerivedNode::stringMissingTest(const ADPBaseNode& node) const {
  if (stringMissing_.empty()) return std::string();
  std::vector<std::string> names;
  const std::function<void(const ADPBaseNode&)> walk = [&](const ADPBaseNode& n) {
    if (n.nodeKind == kVariable) {
      const std::string& name = static_cast<const ADPVariableNode&>(n).name();
      if (stringMissing_.count(name) != 0 &&
          std::find(names.begin(), names.end(), name) == names.end()) {
        names.push_back(name);
      }
      return;
    }
    // An aggregate leaves its missing arguments out.
    if (n.nodeKind == kFunction &&
        ADPFunctionNode::isAggregate(static_cast<const ADPFunctionNode&>(n).functionName())) {
      return;
    }
    if (n.nodeKind != kExpression && n.nodeKind != kFunction) return;
    for (const auto& child : n.children) walk(*child);
  };
  walk(node);
  std::string test;
  for (const auto& name : names) test += (test.empty() ? "" : "|") + ("MISSING(" + name + ")");
  return test;
}

std::string ADPDerivedNode::stringMissingCommand(const ADPBaseNode& node) const {
  std::string test = stringMissingTest(node);
  if (hasMapMissingTo_ && !test.empty()) {
    // The replacement's own test already covers the fields read directly.
    const std::string direct = mapMissingCommand(node);
    std::string rest;
    std::size_t from = 0;
    while (from <= test.size()) {
      const std::size_t bar = std::min(test.find('|', from), test.size());
      const std::string one = test.substr(from, bar - from);
      if (direct.find(one) == std::string::npos) rest += (rest.empty() ? "" : "|") + one;
      from = bar + 1;
    }
    test = rest;
  }
  if (test.empty()) return std::string();
  std::string value = mapMissingTo_;
  if (!hasMapMissingTo_) value = target_.dataType() == "string" ? "''" : "$SYSMIS";
  return "\nIF (" + test + ") " + target_.name() + " = " + value + ".";
}

std::string ADPDerivedNode::ifBlock(const ADPBaseNode& expression) const {
  const std::string& name = target_.name();
  const auto& args = expression.children;
  const ADPBaseNode& condition = *args[0];
  // A value the condition chooses; a missing one takes the replacement.
  auto assign = [&](const ADPBaseNode& value) {
    std::string text = "COMPUTE " + name + " = " + value.toSyntax() + ".\n";
    const std::string test = ADPFunctionNode::missingTest(value);
    if (hasMapMissingTo_ && !test.empty()) {
      text += "IF (" + test + ") " + name + " = " + mapMissingTo_ + ".\n";
    }
    const std::string codes = stringMissingCommand(value);
    if (!codes.empty()) text += codes.substr(1) + "\n";
    return text;
  };
  // A missing condition (or a false one without an else value) runs no
  // branch and leaves the field missing, as in PMML, also where a variable of
  // its name exists already; with a replacement it is tested first.
  std::string text =
      "COMPUTE " + name + " = " + (target_.dataType() == "string" ? "''" : "$SYSMIS") + ".\n";
  const std::string test = ADPFunctionNode::missingTest(condition);
  if (hasMapMissingTo_ && !test.empty()) {
    text += "DO IF " + test + ".\nCOMPUTE " + name + " = " + mapMissingTo_ + ".\nELSE IF " +
            condition.toSyntax() + ".\n";
  } else {
    text += "DO IF " + condition.toSyntax() + ".\n";
  }
  text += assign(*args[1]);
  if (args.size() > 2) text += "ELSE.\n" + assign(*args[2]);
  // A missing code in the condition makes the whole result missing.
  return text + "END IF." + stringMissingCommand(condition);
}

std::string ADPDerivedNode::toSyntax() const {
  if (children.empty()) return std::string();
  const ADPBaseNode& expression = *children.front();
  const std::string& name = target_.name();
  const bool helperField = !name.empty() && name[0] == '#';
  const std::string computed = "COMPUTE " + name + " = " + expression.toSyntax() + ".";

  std::string text = target_.toSyntax() + "\n";
  bool commented = true;
  switch (expression.nodeKind) {
    case kExpression:
      text += computed + mapMissingCommand(expression) + stringMissingCommand(expression);
      break;
    case kValue:
      text += computed;
      break;
    case kVariable:
      text += computed + mapMissingCommand(expression) + stringMissingCommand(expression) + "\n";
      break;
    case kFunction: {
      const std::string& function = static_cast<const ADPFunctionNode&>(expression).functionName();
      text += function == "if"
                  ? ifBlock(expression)
                  : computed + mapMissingCommand(expression) + stringMissingCommand(expression);
      if (!helperField && function == "recast_to_ordinal") {
        text += "\nVARIABLE LEVEL " + name + " (ORDINAL).";
      } else if (!helperField && function == "recast_to_scale") {
        text += "\nVARIABLE LEVEL " + name + " (SCALE).";
      }
      break;
    }
    case kMapping:
    case kNorm:
      text += "RECODE " + expression.toSyntax();
      if (text.size() > 50) text += "\n  ";
      text += "INTO " + name + ".";
      if (expression.nodeKind == kNorm) {
        text += "\n" + static_cast<const ADPNormNode&>(expression).toComputeSyntax(name);
      }
      commented = false;
      break;
    case kOutlier:
      text = expression.toSyntax();
      commented = false;
      break;
    default:
      commented = false;
      break;
  }

  if (commented && comments) {
    text = "\n** Target - " + target_.getInputs() + " , Inputs - " +
           uniqueJoin(expression.getInputs(), " ") + "." + text;
  }

  if (text.find("VARIABLE LEVEL") == std::string::npos && !helperField) {
    const std::string& optype = target_.optype();
    if (optype == "ordinal") {
      text += "\nVARIABLE LEVEL " + name + " (ORDINAL). \n";
    } else if (optype == "categorical") {
      text += "\nVARIABLE LEVEL " + name + " (NOMINAL). \n";
    }
  }
  return text;
}
