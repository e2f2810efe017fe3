// Derived fields: choosing the expression node, and the commands of one field.
#include "syntax/adp_derived_node.h"

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
      // The first element of the "if" is the expression; the rest is not read.
      xercesc::DOMNode* inner = firstChildElement(current, "");
      if (inner == nullptr) {
        appendSegment(errorPath, "Apply", kElementSegment);
        appendSegment(errorPath, function, kAttributeSegment);
        appendSegment(errorPath, pmmlxform::kEmptyIfMessage, kMessageSegment);
        return pmmlxform::kAdpMissingContent;
      }
      current = inner;
      name = nodeName(current);
      function = getAttributeValue(current, "function");
      if (name == "Apply" && function.empty()) {
        appendSegment(errorPath, "Apply", kElementSegment);
        appendSegment(errorPath, pmmlxform::kEmptyFunctionMessage, kMessageSegment);
        return pmmlxform::kAdpBadName;
      }
    }
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
  removeSegment(errorPath);
  return pmmlxform::kAdpOk;
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
    case kValue:
      text += computed;
      break;
    case kVariable:
      text += computed + "\n";
      break;
    case kFunction: {
      text += computed;
      const std::string& function = static_cast<const ADPFunctionNode&>(expression).functionName();
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
