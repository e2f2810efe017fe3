#ifndef PMMLXFORM_SYNTAX_ADP_DERIVED_NODE_H_
#define PMMLXFORM_SYNTAX_ADP_DERIVED_NODE_H_

// One converted PMML `DerivedField`: reads the field and the first expression
// element under it, and writes every command for the field: an optional
// "** Target - ..." comment, `STRING` for a string field, the computing command
// (`COMPUTE ...`, `RECODE ... INTO`, or an outlier `DO IF` block) and
// `VARIABLE LEVEL` for ordinal and nominal fields.

#include <memory>
#include <set>
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
  // Reads the replacement for missing arguments of the field's Apply (or for
  // its missing field reference), and refuses one nested inside it.
  int readMapMissingTo(xercesc::DOMNode* apply, std::string& errorPath);
  // Declared width of a string field of the document (0 when unknown).
  std::size_t fieldWidth(xercesc::DOMNode* element, const std::string& name);
  // Width a string field needs for what a field reference or a string
  // function over fields gives; 0 for a field that is not a string.
  std::size_t valueWidth(const ADPBaseNode& expression, xercesc::DOMNode* element);
  // "\nIF (test) name = replacement." after the COMPUTE; empty when none.
  std::string mapMissingCommand(const ADPBaseNode& expression) const;
  // The DO IF block of an "if" function.
  std::string ifBlock(const ADPBaseNode& expression) const;
  // Notes the string fields `node` reads that declare user-missing codes.
  void noteStringMissing(const ADPBaseNode& node, xercesc::DOMNode* element);
  // "MISSING(a)|MISSING(b)" for the noted string fields `node` reads outside
  // aggregates; empty when it reads none.
  std::string stringMissingTest(const ADPBaseNode& node) const;
  // "\nIF (test) name = value." that gives the field the value PMML gives
  // when one of those fields holds a missing code; empty when none is read.
  std::string stringMissingCommand(const ADPBaseNode& node) const;

  ADPVariableNode target_;
  std::string mapMissingTo_;
  bool hasMapMissingTo_ = false;
  // String fields read with user-missing codes: the language reads a code of
  // a string as the value it is, PMML as a missing value.
  std::set<std::string> stringMissing_;
};

#endif  // PMMLXFORM_SYNTAX_ADP_DERIVED_NODE_H_
