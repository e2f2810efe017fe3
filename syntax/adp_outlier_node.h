#ifndef PMMLXFORM_SYNTAX_ADP_OUTLIER_NODE_H_
#define PMMLXFORM_SYNTAX_ADP_OUTLIER_NODE_H_

// An `Apply` of "outlierHandle" (input field, treatment, then three or four
// parameters), written as whole commands: the target set to $SYSMIS, then a
// `DO IF` block that sets values beyond the cut-offs "centre-spread*factor"
// and "centre+spread*factor" to the cut-off or to $SYSMIS and copies the rest.

#include <string>

#include "syntax/adp_base_node.h"
#include "syntax/adp_variable_node.h"

class ADPOutlierNode final : public ADPBaseNode {
 public:
  ADPOutlierNode() : ADPBaseNode(kOutlier) {}

  std::string toSyntax() const override;
  int parse(xercesc::DOMNode* element, std::string& errorPath) override;

  // The derived field the block writes; its name is set before parse.
  ADPVariableNode& targetField() { return targetField_; }

 private:
  // True when outliers become the cut-off, false when they become $SYSMIS.
  bool extreme_ = false;
  ADPVariableNode inputField_;
  ADPVariableNode targetField_;
};

#endif  // PMMLXFORM_SYNTAX_ADP_OUTLIER_NODE_H_
