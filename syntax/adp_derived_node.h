#ifndef PMMLXFORM_SYNTAX_ADP_DERIVED_NODE_H_
#define PMMLXFORM_SYNTAX_ADP_DERIVED_NODE_H_

// One converted PMML `DerivedField`: reads the field and the first expression
// element under it, and writes every command for the field: an optional
// "** Target - ..." comment, `STRING` for a string field, the computing command
// (`COMPUTE ...`, `RECODE ... INTO`, or an outlier `DO IF` block) and
// `VARIABLE LEVEL` for ordinal and nominal fields.

#include <string>

#include "syntax/adp_base_node.h"
#include "syntax/adp_variable_node.h"

class ADPDerivedNode final : public ADPBaseNode {
 public:
  ADPDerivedNode() : ADPBaseNode(kDerived) {}

  std::string toSyntax() const override;
  int parse(xercesc::DOMNode* element, std::string& errorPath) override;

  // The field the node defines; its name may be preset before parse.
  ADPVariableNode& target() { return target_; }
  const ADPVariableNode& target() const { return target_; }

  // " a b a" with separator " " -> " a b": each token once, in order, each
  // after the separator; a leading separator of the list is skipped.
  static std::string uniqueJoin(const std::string& list, const std::string& separator);

 private:
  ADPVariableNode target_;
};

#endif  // PMMLXFORM_SYNTAX_ADP_DERIVED_NODE_H_
