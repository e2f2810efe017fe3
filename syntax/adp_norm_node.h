#ifndef PMMLXFORM_SYNTAX_ADP_NORM_NODE_H_
#define PMMLXFORM_SYNTAX_ADP_NORM_NODE_H_

// A `NormContinuous` with two `LinearNorm` points, written as the body of a
// clipping `RECODE` ("age (18 THRU 90 = Copy)(ELSE = SYSMIS)") and, through
// toComputeSyntax, the `COMPUTE` that rescales the result from the points'
// `orig` to their `norm` values.

#include <string>
#include <vector>

#include "syntax/adp_base_node.h"

class ADPNormNode final : public ADPBaseNode {
 public:
  ADPNormNode() : ADPBaseNode(kNorm) {}

  std::string toSyntax() const override;
  int parse(xercesc::DOMNode* element, std::string& errorPath) override;

  // The rescaling of `target` in place, after the RECODE into it; with
  // comments a "** Targe - ..." line comes first. A missing replacement is a
  // value on the normalised scale, so it is set after the rescaling.
  std::string toComputeSyntax(const std::string& target) const;

 private:
  // Reads orig and norm of one LinearNorm point; both must be numbers.
  int readPoint(xercesc::DOMNode* point, std::string& orig, std::string& norm,
                std::string& errorPath) const;
  // True when a range of the RECODE takes one of the input's user-missing
  // codes, which must then reach a MISSING clause first.
  bool rangesTakeUserMissing() const;
  // True when the points map every value to itself.
  bool rescalesToItself() const;

  std::string field_;
  std::string outliers_;
  std::string missingReplacement_;
  std::string lowerBound_;
  std::string lowerNorm_;
  std::string upperBound_;
  std::string upperNorm_;
  // The user-missing codes the data dictionary declares for the field.
  std::vector<std::string> inputMissing_;
};

#endif  // PMMLXFORM_SYNTAX_ADP_NORM_NODE_H_
