#ifndef PMMLXFORM_SYNTAX_ADP_MAPPING_NODE_H_
#define PMMLXFORM_SYNTAX_ADP_MAPPING_NODE_H_

// A `MapValues` lookup table or a `Discretize` of intervals, written as the
// body of a `RECODE ... INTO` command: the input field, one clause per row or
// bin, then the MISSING and ELSE clauses ("colour ('red' = 1) (ELSE=SYSMIS) ").

#include <cstddef>
#include <string>

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

  std::string inputDataType_;
  std::string outputDataType_;
  ADPValueNode missingValue_;
  ADPValueNode defaultValue_;
  ADPVariableNode inputField_;
  bool elseCopy_ = false;
};

#endif  // PMMLXFORM_SYNTAX_ADP_MAPPING_NODE_H_
