// Operator expressions: the operator table, parse of operands, infix rendering.
#include "syntax/adp_expression_node.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>
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

// True when the operand is a constant, which is never missing.
bool isConstant(const ADPBaseNode& operand) { return operand.nodeKind == ADPBaseNode::kValue; }

// True when the operand can take the value 0 (false): anything but a
// constant other than 0.
bool canBeZero(const ADPBaseNode& operand) {
  if (!isConstant(operand)) return true;
  const std::string& value = static_cast<const ADPValueNode&>(operand).value();
  char* end = nullptr;
  const double number = std::strtod(value.c_str(), &end);
  return end != value.c_str() && *end == '\0' && number == 0.0;
}

// True when the operand can be true: anything but the constant 0.
bool canBeTrue(const ADPBaseNode& operand) { return !isConstant(operand) || !canBeZero(operand); }

// True when the syntax can give a value where `missing` is missing, because
// `other` can be 0 (0*x, 0/x, x**0) or decide the result (x AND false,
// x OR true); PMML gives missing whenever an operand is missing.
bool absorbsMissing(const std::string& function, const ADPBaseNode& missing,
                    const ADPBaseNode& other, bool otherIsLeft) {
  if (isConstant(missing)) return false;
  if (function == "*" || function == "and") return canBeZero(other);
  if (function == "/") return otherIsLeft && canBeZero(other);
  if (function == "pow" || function == "power") return !otherIsLeft && canBeZero(other);
  if (function == "or") return canBeTrue(other);
  return false;
}

// Functions that give no value for some values of their arguments (a
// logarithm or root of a negative number, an overflow, MOD by 0).
constexpr const char* kPartialFunctions[] = {"ln",  "log10",      "sqrt",       "exp",
                                             "mod", "idf.normal", "cdf.normal", "pdf.normal"};

bool isPartial(const ADPBaseNode& node) {
  if (node.nodeKind == ADPBaseNode::kExpression) {
    const auto& expression = static_cast<const ADPExpressionNode&>(node);
    const std::string& f = expression.functionName();
    if (f == "/") return expression.children.size() == 2 && canBeZero(*expression.children[1]);
    return f == "pow" || f == "power";  // a negative base, 0 to a negative power
  }
  if (node.nodeKind != ADPBaseNode::kFunction) return false;
  const std::string& f = static_cast<const ADPFunctionNode&>(node).functionName();
  return ADPFunctionNode::isAggregate(f) ||
         std::find_if(std::begin(kPartialFunctions), std::end(kPartialFunctions),
                      [&](const char* p) { return f == p; }) != std::end(kPartialFunctions);
}

// Terms that are 0 where the operand has a value and missing where PMML
// reads it as missing: x-x for each numeric field it reads (an operator or a
// function over fields is missing when one of them is), the whole value for
// an aggregate, which is missing only when all its arguments are, and for a
// function or power that can give no value for values of its arguments. Built from
// the fields rather than the operand's text, so that nested guards do not
// repeat whole expressions. A string is never missing in the syntax.
void collectMissingTerms(const ADPBaseNode& node, std::vector<std::string>& terms) {
  std::string term;
  if (node.nodeKind == ADPBaseNode::kVariable) {
    const auto& field = static_cast<const ADPVariableNode&>(node);
    if (field.dataType() != "string") term = "(" + field.name() + "-" + field.name() + ")";
  } else if (isPartial(node)) {
    const std::string text = node.toSyntax();
    term = "(" + text + "-" + text + ")";
  } else {
    for (const auto& child : node.children) collectMissingTerms(*child, terms);
    return;
  }
  if (!term.empty() && std::find(terms.begin(), terms.end(), term) == terms.end()) {
    terms.push_back(term);
  }
}

// Longest text of the tests a run of arithmetic repeats (below). A test that
// repeats an operand holding another tested run grows with each level; past
// this the field is refused rather than written at a size that doubles with
// every level.
constexpr std::size_t kLongestGuards = 64 * 1024;

// True when the language would give 0 where PMML gives no value: it takes
// 0/x as 0 also for x = 0, while a division by zero has no value in PMML.
bool needsZeroTest(const std::string& function, const ADPBaseNode& dividend,
                   const ADPBaseNode& divisor) {
  return function == "/" && canBeZero(dividend) && canBeZero(divisor);
}

// The divisor as an operand text: a signed one in parentheses.
std::string divisorText(const ADPBaseNode& divisor) {
  std::string text = operandText(divisor);
  if (text.size() > 1 && text[0] == '-') text = "(" + text + ")";
  return text;
}

// A logical operand as 1 or 0 (missing stays missing): comparisons and
// logical operators give that already, other values are tested against 0.
std::string truthText(const ADPBaseNode& operand, const std::string& text) {
  if (operand.nodeKind == ADPBaseNode::kExpression) {
    const std::string& f = static_cast<const ADPExpressionNode&>(operand).functionName();
    if (!ADPExpressionNode::isArithmetic(f)) return text;
  }
  if (operand.nodeKind == ADPBaseNode::kFunction &&
      static_cast<const ADPFunctionNode&>(operand).functionName() == "not") {
    return text;
  }
  return "(" + text + "~=0)";
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
        auto inner = std::make_unique<ADPExpressionNode>();
        inner->inArithmetic_ = isArithmetic(function_);
        operand = std::move(inner);
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
  if (!inArithmetic_ && isArithmetic(function_)) {
    std::vector<std::string> terms;
    collectGuardTerms(terms);
    std::size_t size = 0;
    for (const auto& term : terms) size += term.size();
    if (size > kLongestGuards) {
      appendSegment(errorPath, pmmlxform::kLongGuardsMessage, kMessageSegment);
      return pmmlxform::kAdpUnsupported;
    }
  }
  removeSegment(errorPath);
  return pmmlxform::kAdpOk;
}

std::string ADPExpressionNode::toSyntax() const {
  if (children.size() != 2) return std::string();
  const ADPBaseNode& leftNode = *children[0];
  const ADPBaseNode& rightNode = *children[1];
  std::string left = operandText(leftNode);
  std::string right = operandText(rightNode);
  if (right.size() > 1 && right[0] == '-') right = "(" + right + ")";
  const bool power = function_ == "pow" || function_ == "power";
  // "**" binds more tightly than a sign: -2**2 is -(2**2).
  if (power && left.size() > 1 && left[0] == '-') left = "(" + left + ")";

  const bool guardLeft = absorbsMissing(function_, leftNode, rightNode, false);
  const bool guardRight = absorbsMissing(function_, rightNode, leftNode, true);
  if (function_ == "and" || function_ == "or") {
    if (!guardLeft && !guardRight) return "(" + left + operatorSymbol(function_) + right + ")";
    // The sum of the two truth values is missing when either is.
    return "(" + truthText(leftNode, left) + "+" + truthText(rightNode, right) +
           (function_ == "and" ? "=2)" : ">0)");
  }
  std::string text = "(" + left + operatorSymbol(function_) + right;
  // Adding 0, or missing where a guarded operand is, makes the result
  // missing there. Arithmetic is missing wherever one of its operands is,
  // so the outermost operator of a run of arithmetic writes the guards of
  // the whole run once.
  if (!inArithmetic_ && isArithmetic(function_)) {
    std::vector<std::string> terms;
    collectGuardTerms(terms);
    for (const auto& term : terms) text += "+" + term;
  }
  return text + ")";
}

bool ADPExpressionNode::isArithmetic(const std::string& function) {
  return function == "+" || function == "-" || function == "*" || function == "/" ||
         function == "pow" || function == "power";
}

void ADPExpressionNode::collectGuardTerms(std::vector<std::string>& terms) const {
  if (children.size() != 2 || !isArithmetic(function_)) return;
  if (absorbsMissing(function_, *children[0], *children[1], false)) {
    collectMissingTerms(*children[0], terms);
  }
  if (needsZeroTest(function_, *children[0], *children[1])) {
    // 1/(d~=0) is missing where the divisor is 0 or missing, 1 elsewhere.
    const std::string term = "(1/(" + divisorText(*children[1]) + "~=0)-1)";
    if (std::find(terms.begin(), terms.end(), term) == terms.end()) terms.push_back(term);
  } else if (absorbsMissing(function_, *children[1], *children[0], true)) {
    collectMissingTerms(*children[1], terms);
  }
  for (const auto& child : children) {
    if (child->nodeKind == kExpression) {
      const auto& inner = static_cast<const ADPExpressionNode&>(*child);
      if (inner.inArithmetic_) inner.collectGuardTerms(terms);
    }
  }
}

std::string ADPExpressionNode::getInputs() const {
  if (children.size() != 2) return std::string();
  return children[0]->getInputs() + " " + children[1]->getInputs();
}
