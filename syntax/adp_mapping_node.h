#ifndef PMMLXFORM_SYNTAX_ADP_MAPPING_NODE_H_
#define PMMLXFORM_SYNTAX_ADP_MAPPING_NODE_H_

// A `MapValues` lookup table or a `Discretize` of intervals, written as the
// body of a `RECODE ... INTO` command: the input field, one clause per row or
// bin, then the MISSING and ELSE clauses ("colour ('red' = 1) (ELSE=SYSMIS) ").

#include <cstddef>
#include <string>
#include <vector>

#include "syntax/adp_base_node.h"
#include "syntax/adp_value_node.h"
#include "syntax/adp_variable_node.h"

class ADPMappingNode final : public ADPBaseNode {
 public:
  ADPMappingNode() : ADPBaseNode(kMapping) {}

  std::string toSyntax() const override;
  int parse(xercesc::DOMNode* element, std::string& errorPath) override;
  // The rows' and bins' outputs and the missing and default values.
  std::size_t longestStringLiteral() const override;
  // The field an unmatched value is copied from (ELSE=COPY); empty when none.
  std::string copiedField() const { return elseCopy_ ? inputField_.name() : std::string(); }

  // Set before parse: the input type (parse replaces it with the document's)
  // and the output type, the data type of the derived field.
  void setDataTypes(const std::string& input, const std::string& output) {
    inputDataType_ = input;
    outputDataType_ = output;
  }
  // Set before parse for a string field: the missing and default values are
  // then written as strings.
  void setStringValues() {
    missingValue_.setDataType("string");
    defaultValue_.setDataType("string");
  }

 private:
  int parseMapValues(xercesc::DOMNode* element, std::string& errorPath);
  int parseDiscretize(xercesc::DOMNode* element, std::string& errorPath);
  // Reads mapMissingTo and defaultValue; both must be writable literals.
  int readMissingAndDefault(xercesc::DOMNode* element, std::string& errorPath);
  // Parses one row or bin and attaches it.
  int addClause(xercesc::DOMNode* element, std::string& errorPath);

  // What the ELSE clause gives: COPY, the default value, or missing.
  std::string elseResult() const;
  // The MISSING clause, empty when missing input needs none: the ELSE clause
  // and the rows would give it the value PMML gives it.
  std::string missingClause() const;
  // True when a row or bin takes one of the input's user-missing codes, which
  // must then reach the MISSING clause first.
  bool clausesTakeUserMissing() const;
  // Clauses for the margins that a closed range gives another value than the
  // bins' closures do: a value on a margin shared by two bins, or on an end
  // that its interval leaves out.
  std::vector<std::string> marginClauses() const;
  bool isUserMissing(double number) const;

  std::string inputDataType_;
  std::string outputDataType_;
  ADPValueNode missingValue_;
  ADPValueNode defaultValue_;
  ADPVariableNode inputField_;
  bool elseCopy_ = false;
  bool discretize_ = false;
  // The table's input and output column names.
  std::string inputColumn_;
  std::string outputColumn_;
  // The user-missing codes the data dictionary declares for the input field.
  std::vector<std::string> inputMissing_;
};

#endif  // PMMLXFORM_SYNTAX_ADP_MAPPING_NODE_H_
