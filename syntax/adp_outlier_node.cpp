// Outlier handling: the DO IF block that pulls in or drops values beyond the cut-offs.
#include "syntax/adp_outlier_node.h"

#include <memory>
#include <xercesc/dom/DOM.hpp>

#include "syntax/adp_result_codes.h"
#include "syntax/adp_value_node.h"

namespace {

// Treatment text -> whether outliers become the cut-off values.
struct Treatment {
  const char* text;
  bool extreme;
};
constexpr Treatment kTreatments[] = {
    {"asMissingValues", false},
    {"asExtremeValues", true},
};
constexpr const char kAcceptedTreatments[] = "asMissingValues,asExtremeValues";

constexpr const char kOutlierFunction[] = "outlierHandle";
// The centre, the spread and the factor, then an optional divisor under a root.
constexpr std::size_t kFewestParameters = 3;
constexpr std::size_t kMostParameters = 4;
constexpr const char kParameterCountMessage[] = "The parameter number of outlierHandle is wrong.";

}  // namespace

int ADPOutlierNode::parse(xercesc::DOMNode* element, std::string& errorPath) {
  inputField_.utf8 = utf8;
  inputField_.givenDataTypes = givenDataTypes;
  targetField_.utf8 = utf8;
  const std::string name = nodeName(element);
  appendSegment(errorPath, name, kElementSegment);
  if (name != "Apply") {
    appendSegment(errorPath, "Apply", kListSegment);
    return pmmlxform::kAdpUnexpectedElement;
  }
  const std::string function = getAttributeValue(element, "function");
  appendSegment(errorPath, function, kAttributeSegment);
  if (function != kOutlierFunction) return pmmlxform::kAdpUnsupported;

  xercesc::DOMNode* current = firstChildElement(element, "");
  if (current == nullptr) return pmmlxform::kAdpMissingContent;
  std::string childName = nodeName(current);
  if (childName != "FieldRef") {
    appendSegment(errorPath, childName, kElementSegment);
    appendSegment(errorPath, "FieldRef", kListSegment);
    return pmmlxform::kAdpUnexpectedElement;
  }
  int code = inputField_.parse(current, errorPath);
  if (code != 0) return code;

  // The treatment; a FieldRef alone reads as a missing one (no name).
  current = nextSiblingElement(current, "");
  childName = nodeName(current);
  if (childName != "Constant") {
    appendSegment(errorPath, childName, kElementSegment);
    appendSegment(errorPath, "Constant", kListSegment);
    return pmmlxform::kAdpUnexpectedElement;
  }
  // Only a string-typed treatment is read; any other leaves outliers missing.
  extreme_ = false;
  if (dataTypeOf(current) == "string") {
    const std::string treatment = toLocalString(current->getTextContent());
    const Treatment* found = nullptr;
    for (const auto& t : kTreatments) {
      if (treatment == t.text) found = &t;
    }
    if (found == nullptr) {
      appendSegment(errorPath, "Constant", kElementSegment);
      appendSegment(errorPath, treatment, kAttributeSegment);
      appendSegment(errorPath, kAcceptedTreatments, kListSegment);
      return pmmlxform::kAdpBadName;
    }
    extreme_ = found->extreme;
  }

  // The parameters: constants, and a field only in the last of four places.
  for (current = nextSiblingElement(current, ""); current != nullptr;
       current = nextSiblingElement(current, "")) {
    childName = nodeName(current);
    std::unique_ptr<ADPBaseNode> parameter;
    if (childName == "Constant") {
      parameter = std::make_unique<ADPValueNode>();
    } else if (childName == "FieldRef" && children.size() == kFewestParameters) {
      parameter = std::make_unique<ADPVariableNode>();
    } else {
      appendSegment(errorPath, childName, kElementSegment);
      appendSegment(errorPath, "Constant, FieldRef", kListSegment);
      return pmmlxform::kAdpUnexpectedElement;
    }
    code = parseChild(std::move(parameter), current, errorPath);
    if (code != 0) return code;
  }
  if (children.size() < kFewestParameters || children.size() > kMostParameters) {
    appendSegment(errorPath, kParameterCountMessage, kMessageSegment);
    return pmmlxform::kAdpWrongChildCount;
  }
  removeSegment(errorPath);
  return pmmlxform::kAdpOk;
}

std::string ADPOutlierNode::toSyntax() const {
  if (children.size() < kFewestParameters || children.size() > kMostParameters) {
    return std::string();
  }
  std::string spread = children[1]->toSyntax() + "*" + children[2]->toSyntax();
  if (children.size() == kMostParameters) {
    // A divisor of exactly "1" changes nothing and is left out.
    const std::string divisor = children[3]->toSyntax();
    if (divisor != "1") spread += "/SQRT(" + divisor + ")";
  }
  const std::string centre = children[0]->toSyntax();
  const std::string lower = centre + "-" + spread;
  const std::string upper = centre + "+" + spread;
  const std::string& target = targetField_.name();
  const std::string& input = inputField_.name();
  const std::string compute = "COMPUTE " + target + " = ";
  // The tests are strict: a value equal to a cut-off is copied.
  std::string text = "\n" + compute + "$SYSMIS.\n";
  text += "DO IF (" + input + " < " + lower + ").\n";
  text += compute + (extreme_ ? lower : "$SYSMIS") + ".\n";
  text += "ELSE IF (" + input + " > " + upper + ").\n";
  text += compute + (extreme_ ? upper : "$SYSMIS") + ".\n";
  text += "ELSE.\n";
  text += compute + input + ".\n";
  return text + "END IF.";
}
