#ifndef PMMLXFORM_SYNTAX_ADP_EXPRESSION_NODE_H_
#define PMMLXFORM_SYNTAX_ADP_EXPRESSION_NODE_H_

// A two-operand operator `Apply` (arithmetic, comparison, logical), written as
// a fully parenthesised infix expression such as "(age*2)". Its operands are
// field references, constants, operators and supported functions.

#include <string>
#include <vector>

#include "syntax/adp_base_node.h"

class ADPExpressionNode final : public ADPBaseNode {
 public:
  ADPExpressionNode() : ADPBaseNode(kExpression) {}

  std::string toSyntax() const override;
  std::string getInputs() const override;
  int parse(xercesc::DOMNode* element, std::string& errorPath) override;

  const std::string& functionName() const { return function_; }

  // True for the PMML function names written as operators.
  static bool isOperator(const std::string& function);
  // The syntax symbol of an operator; empty for any other name.
  static std::string operatorSymbol(const std::string& function);
  // True for + - * / and the powers.
  static bool isArithmetic(const std::string& function);

 private:
  // The terms that keep this run of arithmetic missing where PMML gives
  // missing: those of its own operators and of the arithmetic under them.
  void collectGuardTerms(std::vector<std::string>& terms) const;

  std::string function_;
  // Set when the parent is arithmetic too; the parent then writes the guards.
  bool inArithmetic_ = false;
};

#endif  // PMMLXFORM_SYNTAX_ADP_EXPRESSION_NODE_H_
