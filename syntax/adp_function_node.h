#ifndef PMMLXFORM_SYNTAX_ADP_FUNCTION_NODE_H_
#define PMMLXFORM_SYNTAX_ADP_FUNCTION_NODE_H_

// A named-function `Apply`, written as a syntax function call such as
// "RND(income)", or for date and time differences as an arithmetic formula
// such as "(d1-d2)/time.days(1)". Arguments are field references, constants
// and operator expressions.

#include <string>

#include "syntax/adp_base_node.h"

class ADPFunctionNode final : public ADPBaseNode {
 public:
  ADPFunctionNode() : ADPBaseNode(kFunction) {}

  std::string toSyntax() const override;
  std::string getInputs() const override;
  int parse(xercesc::DOMNode* element, std::string& errorPath) override;

  // The PMML function name, as the document writes it.
  const std::string& functionName() const { return function_; }

  // The syntax function of a PMML function; empty for a name outside the table
  // and for the table's entries that are written as a bare argument list.
  static std::string syntaxFunctionName(std::string function);
  // True for every name of the function table, bare entries included.
  static bool isKnownFunction(const std::string& function);
  // True for a name with a syntax function and for the two recasts.
  static bool isSupportedFunction(const std::string& function);
  // True for the functions that leave missing arguments out (min, sum, ...).
  static bool isAggregate(const std::string& function);
  // A logical test that is true where PMML reads the argument as missing;
  // empty for a constant and for a string value, which cannot be missing.
  static std::string missingTest(const ADPBaseNode& node);
  // True when the function is written as its bare argument list.
  bool isBareList() const { return syntaxFunctionName(function_).empty(); }

 private:
  std::string function_;
};

#endif  // PMMLXFORM_SYNTAX_ADP_FUNCTION_NODE_H_
