// Operator expressions: the operator table, parse of operands, infix rendering.
#include "syntax/adp_expression_node.h"

#include <memory>
#include <xercesc/dom/DOM.hpp>

#include "syntax/adp_function_node.h"
#include "syntax/adp_result_codes.h"
#include "syntax/adp_value_node.h"
#include "syntax/adp_variable_node.h"

namespace {

// PMML operator name -> the symbol written between the operands.
struct Operator {
  const char* function;
  const char* symbol;
};
constexpr Operator kOperators[] = {
    {"+", "+"},
    {"-", "-"},
    {"*", "*"},
    {"/", "/"},
    {"power", "**"},
    {"pow", "**"},
    {"and", "&"},
    {"or", "|"},
    {"equal", "="},
    {"notEqual", "~="},
    {"lessThan", "<"},
    {"greaterThan", ">"},
    {"greaterOrEqual", ">="},
    {"lessOrEqual", "<="},
};

// An operand's text. A function written as its bare argument list (a recast
// over an expression, "a+b") is put in parentheses, so that it keeps its value
// next to an operator that binds more tightly.
std::string operandText(const ADPBaseNode& operand) {
  std::string text = operand.toSyntax();
  // A name or a single (signed) number needs none.
  if (operand.nodeKind == ADPBaseNode::kFunction &&
      static_cast<const ADPFunctionNode&>(operand).isBareList() &&
      text.find_first_of("+-*/&|=~<>, ", 1) != std::string::npos) {
    text = "(" + text + ")";
  }
  return text;
}

}  // namespace

bool ADPExpressionNode::isOperator(const std::string& function) {
  for (const auto& op : kOperators) {
    if (function == op.function) return true;
  }
  return false;
}

std::string ADPExpressionNode::operatorSymbol(const std::string& function) {
  for (const auto& op : kOperators) {
    if (function == op.function) return op.symbol;
  }
  return std::string();
}

int ADPExpressionNode::parse(xercesc::DOMNode* element, std::string& errorPath) {
  const std::string function = getAttributeValue(element, "function");
  appendSegment(errorPath, nodeName(element), kElementSegment);
  appendSegment(errorPath, function, kAttributeSegment);
  if (function.empty()) return pmmlxform::kAdpBadName;
  if (!isOperator(function)) return pmmlxform::kAdpUnsupported;
  function_ = function;
  if (!hasChildNodes(element)) return pmmlxform::kAdpMissingContent;

  for (xercesc::DOMNode* child = firstChildElement(element, ""); child != nullptr;
       child = nextSiblingElement(child, "")) {
    xercesc::DOMNode* source = child;
    std::string name = nodeName(child);
    std::unique_ptr<ADPBaseNode> operand;
    if (name == "Apply") {
      std::string childFunction;
      const int code = resolveNestedApply(source, name, childFunction, errorPath);
      if (code != 0) return code;
      if (isOperator(childFunction)) {
        operand = std::make_unique<ADPExpressionNode>();
      } else if (ADPFunctionNode::isSupportedFunction(childFunction)) {
        operand = std::make_unique<ADPFunctionNode>();
      } else {
        appendSegment(errorPath, name, kElementSegment);
        appendSegment(errorPath, childFunction, kAttributeSegment);
        return pmmlxform::kAdpUnsupported;
      }
    } else if (name == "FieldRef") {
      operand = std::make_unique<ADPVariableNode>();
    } else if (name == "Constant") {
      operand = std::make_unique<ADPValueNode>();
    } else {
      appendSegment(errorPath, name, kElementSegment);
      appendSegment(errorPath, "Apply,FieldRef,Constant", kListSegment);
      return pmmlxform::kAdpUnexpectedElement;
    }
    const int code = parseChild(std::move(operand), source, errorPath);
    if (code != 0) return code;
  }

  if (children.size() != 2) {
    appendSegment(errorPath, "Expression must have two arguments.", kMessageSegment);
    return pmmlxform::kAdpWrongChildCount;
  }
  removeSegment(errorPath);
  return pmmlxform::kAdpOk;
}

std::string ADPExpressionNode::toSyntax() const {
  if (children.size() != 2) return std::string();
  std::string text = "(" + operandText(*children[0]) + operatorSymbol(function_);
  std::string right = operandText(*children[1]);
  if (right.size() > 1 && right[0] == '-') right = "(" + right + ")";
  return text + right + ")";
}

std::string ADPExpressionNode::getInputs() const {
  if (children.size() != 2) return std::string();
  return children[0]->getInputs() + " " + children[1]->getInputs();
}
