// Function calls: the function table, parse of arguments, call and
// date/time-difference rendering.
#include "syntax/adp_function_node.h"

#include <iterator>
#include <memory>
#include <xercesc/dom/DOM.hpp>

#include "syntax/adp_expression_node.h"
#include "syntax/adp_result_codes.h"
#include "syntax/adp_value_node.h"
#include "syntax/adp_variable_node.h"

namespace {

constexpr const char kIfArgumentsMessage[] = "An if takes a condition and one or two values.";

// PMML function name -> syntax function. An empty syntax name writes the
// arguments alone (the recasts only change the measurement level).
struct Function {
  const char* pmml;
  const char* syntax;
};
constexpr Function kFunctions[] = {
    {"trimend", "RTRIM"},
    {"date_years_difference", "DATEDIFF"},
    {"date_months_difference", "DATEDIFF"},
    {"date_days_difference", "DATEDIFF"},
    {"year-from-date", "XDATE.YEAR"},
    {"month-from-date", "XDATE.MONTH"},
    {"day-from-date", "XDATE.MDAY"},
    {"hour-from-time", "XDATE.HOUR"},
    {"minute-from-time", "XDATE.MINUTE"},
    {"second-from-time", "XDATE.SECOND"},
    {"time_minutes_difference", "DATEDIFF"},
    {"time_seconds_difference", "DATEDIFF"},
    {"time_hours_difference", "DATEDIFF"},
    {"recast_to_scale", ""},
    {"recast_to_ordinal", ""},
    {"ln", "LN"},
    {"exp", "EXP"},
    {"reorder", ""},
    {"not", "NOT"},
    {"abs", "ABS"},
    {"log10", "LG10"},
    {"round", "RND"},
    {"sqrt", "SQRT"},
    {"max", "MAX"},
    {"min", "MIN"},
    {"avg", "MEAN"},
    {"mean", "MEAN"},
    {"sum", "SUM"},
    {"uppercase", "UPCASE"},
    {"mod", "MOD"},
    {"cdf.normal", "CDF.NORMAL"},
    {"cdfnorm", "CDFNORM"},
    {"floor", "TRUNC"},  // truncation, not a floor
    {"trunc", "TRUNC"},
    {"idf.normal", "IDF.NORMAL"},
    {"sysmis", "SYSMIS"},
    {"value", "VALUE"},
    {"pdf.normal", "PDF.NORMAL"},
    {"sd", "SD"},
    {"variance", "VARIANCE"},
    {"concat", "CONCAT"},
    {"length", "LENGTH"},
    {"lower", "LOWER"},
    {"ltrim", "LTRIM"},
    {"rtrim", "RTRIM"},
    {"substr", "SUBSTR"},
    {"if", "IF"},
};

// Date and time differences: the divisor that turns the difference of two
// date/time values (in seconds) into the function's unit.
struct Difference {
  const char* pmml;
  const char* divisor;
};
constexpr Difference kDifferences[] = {
    {"date_years_difference", "/(365.25 * time.days(1))"},
    {"date_months_difference", "/(30.4375 * time.days(1))"},
    {"date_days_difference", "/time.days(1)"},
    {"time_hours_difference", "/TIME.HMS(1)"},
    {"time_minutes_difference", "/TIME.HMS(0,1)"},
    {"time_seconds_difference", ""},
};

const Function* findFunction(const std::string& name) {
  for (const auto& f : kFunctions) {
    if (name == f.pmml) return &f;
  }
  return nullptr;
}

// Removes one pair of outer parentheses: the text begins with "(" and ends
// with ")". The arguments are single operands or fully parenthesised
// expressions, so the two always match.
std::string stripParentheses(const std::string& text) {
  if (text.size() >= 2 && text.front() == '(' && text.back() == ')') {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

// PMML functions that take missing arguments as data: they leave them out,
// as the syntax's statistics functions do.
constexpr const char* kAggregates[] = {"min", "max", "sum", "avg", "mean", "sd", "variance"};

// PMML functions whose value is a string; the syntax has no missing string.
constexpr const char* kStringFunctions[] = {
    "uppercase", "concat", "lower", "ltrim", "rtrim", "trimend", "substr",
};

bool isOneOf(const std::string& name, const char* const* first, const char* const* last) {
  for (; first != last; ++first) {
    if (name == *first) return true;
  }
  return false;
}

}  // namespace

bool ADPFunctionNode::isAggregate(const std::string& function) {
  return isOneOf(function, std::begin(kAggregates), std::end(kAggregates));
}

std::string ADPFunctionNode::missingTest(const ADPBaseNode& node) {
  if (node.nodeKind == kValue) return std::string();
  if (node.nodeKind == kVariable) return "MISSING(" + node.toSyntax() + ")";
  if (node.nodeKind == kFunction &&
      isOneOf(static_cast<const ADPFunctionNode&>(node).functionName(),
              std::begin(kStringFunctions), std::end(kStringFunctions))) {
    return std::string();
  }
  return "SYSMIS(" + stripParentheses(node.toSyntax()) + ")";
}

std::string ADPFunctionNode::syntaxFunctionName(std::string function) {
  const Function* f = findFunction(function);
  return f == nullptr ? std::string() : std::string(f->syntax);
}

bool ADPFunctionNode::isKnownFunction(const std::string& function) {
  return findFunction(function) != nullptr;
}

bool ADPFunctionNode::isSupportedFunction(const std::string& function) {
  return !syntaxFunctionName(function).empty() || function == "recast_to_ordinal" ||
         function == "recast_to_scale";
}

int ADPFunctionNode::parse(xercesc::DOMNode* element, std::string& errorPath) {
  appendSegment(errorPath, nodeName(element), kElementSegment);
  function_ = getAttributeValue(element, "function");
  const std::string parameter = getAttributeValue(element, "parameter");
  appendSegment(errorPath, function_, kAttributeSegment);

  for (xercesc::DOMNode* child = firstChildElement(element, ""); child != nullptr;
       child = nextSiblingElement(child, "")) {
    xercesc::DOMNode* source = child;
    std::string name = nodeName(child);
    std::unique_ptr<ADPBaseNode> argument;
    if (name == "FieldRef") {
      argument = std::make_unique<ADPVariableNode>();
    } else if (name == "Constant") {
      auto value = std::make_unique<ADPValueNode>();
      value->setValue(parameter);
      argument = std::move(value);
    } else if (name == "Apply") {
      std::string childFunction;
      const int code = resolveNestedApply(source, name, childFunction, errorPath);
      if (code != 0) return code;
      // Operators nest inside a function; other functions only inside an
      // "if", whose arguments are written as commands of their own.
      if (ADPExpressionNode::isOperator(childFunction)) {
        argument = std::make_unique<ADPExpressionNode>();
      } else if (function_ == "if" && isSupportedFunction(childFunction)) {
        argument = std::make_unique<ADPFunctionNode>();
      } else {
        appendSegment(errorPath, name, kElementSegment);
        appendSegment(errorPath, childFunction, kAttributeSegment);
        return pmmlxform::kAdpBadName;
      }
    } else {
      appendSegment(errorPath, name, kElementSegment);
      appendSegment(errorPath, "FieldRef,Constant,Apply", kListSegment);
      return pmmlxform::kAdpUnexpectedElement;
    }
    const int code = parseChild(std::move(argument), source, errorPath);
    if (code != 0) return code;
  }
  if (function_ == "if" && (children.size() < 2 || children.size() > 3)) {
    appendSegment(errorPath, kIfArgumentsMessage, kMessageSegment);
    return pmmlxform::kAdpWrongChildCount;
  }
  removeSegment(errorPath);
  return pmmlxform::kAdpOk;
}

std::string ADPFunctionNode::toSyntax() const {
  const std::string syntaxName = syntaxFunctionName(function_);
  std::string text;
  if (syntaxName == "DATEDIFF") {
    // The first argument is the minuend. Every later argument keeps its
    // parentheses: it is subtracted as a whole.
    text = "(";
    for (std::size_t i = 0; i < children.size(); ++i) {
      const std::string arg = children[i]->toSyntax();
      if (i > 0) text += "-";
      text += i == 0 ? stripParentheses(arg) : arg;
    }
    text += ")";
    for (const auto& d : kDifferences) {
      if (function_ == d.pmml) text += d.divisor;
    }
    return text;
  }
  if (children.size() == 1 && (function_ == "floor" || function_ == "round")) {
    const std::string arg = children[0]->toSyntax();
    const std::string inner = stripParentheses(arg);
    // TRUNC cuts towards zero; one less below a negative non-whole value
    // rounds down.
    if (function_ == "floor") return "(TRUNC(" + inner + ")-(" + arg + "<TRUNC(" + inner + ")))";
    // RND takes a half away from zero, PMML's round up: one more on a
    // negative half.
    return "(RND(" + inner + ")+(" + arg + "-TRUNC(" + inner + ")=-0.5))";
  }
  text = syntaxName;
  if (!syntaxName.empty()) text += "(";
  for (std::size_t i = 0; i < children.size(); ++i) {
    if (i > 0) text += ",";
    std::string arg = stripParentheses(children[i]->toSyntax());
    // A string variable is padded with blanks to its width; PMML joins the
    // values themselves.
    if (function_ == "concat" && children[i]->nodeKind == kVariable) arg = "RTRIM(" + arg + ")";
    text += arg;
  }
  if (!syntaxName.empty()) text += ")";
  return text;
}

std::string ADPFunctionNode::getInputs() const {
  std::string inputs;
  for (const auto& child : children) inputs += " " + child->getInputs();
  return inputs;
}
