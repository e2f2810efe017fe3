// Normalisation: the clipping RECODE body and the rescaling COMPUTE.
#include "syntax/adp_norm_node.h"

#include <xercesc/dom/DOM.hpp>

#include "syntax/adp_literal.h"
#include "syntax/adp_result_codes.h"
#include "syntax/adp_two_values_node.h"

namespace {

// `outliers` -> the clause that follows the copy range. The empty value
// (missing values replaced, outliers kept) copies what lies outside.
struct Treatment {
  const char* outliers;
  bool clipped;      // values beyond a point become that point
  const char* tail;  // otherwise, written directly after the copy range
};
constexpr Treatment kTreatments[] = {
    {"asExtremeValues", true, ""},
    {"asMissingValues", false, "(ELSE = SYSMIS)"},
    {"", false, "(ELSE = COPY)"},
};
constexpr const char kAcceptedOutliers[] = "asExtremeValues,asMissingValues";

const Treatment* findTreatment(const std::string& outliers) {
  for (const auto& t : kTreatments) {
    if (outliers == t.outliers) return &t;
  }
  return nullptr;
}

}  // namespace

int ADPNormNode::parse(xercesc::DOMNode* element, std::string& errorPath) {
  appendSegment(errorPath, nodeName(element), kElementSegment);
  const std::string outliers = getAttributeValue(element, "outliers");
  const std::string missing = getAttributeValue(element, "mapMissingTo");
  // A normalisation that neither treats outliers nor replaces missing values
  // is not one the data preparation writes.
  if (outliers.empty() && missing.empty()) return pmmlxform::kAdpBadName;
  outliers_ = outliers;
  missingReplacement_ = pmmlxform::numericLiteralText(missing);
  if (findTreatment(outliers_) == nullptr) {
    appendSegment(errorPath, outliers_, kAttributeSegment);
    appendSegment(errorPath, kAcceptedOutliers, kListSegment);
    return pmmlxform::kAdpUnsupported;
  }
  if (!missing.empty() && !pmmlxform::isNumericLiteral(missing)) {
    appendSegment(errorPath, "mapMissingTo=" + missing, kAttributeSegment);
    appendSegment(errorPath, pmmlxform::kNotNumberMessage, kMessageSegment);
    return pmmlxform::kAdpBadValue;
  }

  const std::string field = getAttributeValue(element, "field");
  if (field.empty()) {
    appendSegment(errorPath, "field", kMessageSegment);
    return pmmlxform::kAdpBadName;
  }
  const std::string problem = nameProblem(field);
  if (!problem.empty()) {
    appendSegment(errorPath, field, kAttributeSegment);
    appendSegment(errorPath, problem, kMessageSegment);
    return pmmlxform::kAdpBadName;
  }
  field_ = field;
  appendSegment(errorPath, field_, kAttributeSegment);
  inputMissing_ = userMissingCodes(element, field_);

  // Exactly two points; the first is the lower one, whatever their order.
  struct Point {
    std::string& orig;
    std::string& norm;
  };
  const Point points[] = {{lowerBound_, lowerNorm_}, {upperBound_, upperNorm_}};
  xercesc::DOMNode* point = nullptr;
  for (const auto& p : points) {
    point = point == nullptr ? firstChildElement(element, "") : nextSiblingElement(point, "");
    if (point == nullptr) {
      appendSegment(errorPath, "LinearNorm", kMessageSegment);
      return pmmlxform::kAdpMissingContent;
    }
    const int code = readPoint(point, p.orig, p.norm, errorPath);
    if (code != 0) return code;
  }
  if (nextSiblingElement(point, "") != nullptr) {
    appendSegment(errorPath, "Too many nodes", kMessageSegment);
    return pmmlxform::kAdpWrongChildCount;
  }
  removeSegment(errorPath);
  return pmmlxform::kAdpOk;
}

int ADPNormNode::readPoint(xercesc::DOMNode* point, std::string& orig, std::string& norm,
                           std::string& errorPath) const {
  const std::string name = nodeName(point);
  if (name != "LinearNorm") {
    appendSegment(errorPath, name, kElementSegment);
    appendSegment(errorPath, "LinearNorm", kListSegment);
    return pmmlxform::kAdpUnexpectedElement;
  }
  struct Attribute {
    const char* name;
    std::string& value;
  };
  const Attribute attributes[] = {{"orig", orig}, {"norm", norm}};
  for (const auto& a : attributes) {
    a.value = getAttributeValue(point, a.name);
    if (a.value.empty()) {
      appendSegment(errorPath, "LinearNorm", kElementSegment);
      return pmmlxform::kAdpBadName;
    }
    if (!pmmlxform::isNumericLiteral(a.value)) {
      appendSegment(errorPath, "LinearNorm", kElementSegment);
      appendSegment(errorPath, std::string(a.name) + "=" + a.value, kAttributeSegment);
      appendSegment(errorPath, pmmlxform::kNotNumberMessage, kMessageSegment);
      return pmmlxform::kAdpBadValue;
    }
    a.value = pmmlxform::numericLiteralText(a.value);
  }
  return pmmlxform::kAdpOk;
}

std::string ADPNormNode::toSyntax() const {
  if (lowerBound_.empty() || lowerNorm_.empty() || upperBound_.empty() || upperNorm_.empty()) {
    return std::string();
  }
  const Treatment* treatment = findTreatment(outliers_);
  if (treatment == nullptr) return std::string();
  std::string text = field_;
  if (!missingReplacement_.empty()) {
    text += " ( MISSING = " + missingReplacement_ + " )";
  } else if (rangesTakeUserMissing()) {
    // Missing input gives a missing result.
    text += " ( MISSING = SYSMIS )";
  }
  text += " (" + lowerBound_ + " THRU " + upperBound_ + " = Copy)";
  if (treatment->clipped) {
    text += " (LOWEST THRU " + lowerBound_ + " = " + lowerBound_ + ") (" + upperBound_ +
            " THRU HIGHEST = " + upperBound_ + ")";
  }
  return text + treatment->tail;
}

bool ADPNormNode::rangesTakeUserMissing() const {
  const Treatment* treatment = findTreatment(outliers_);
  double low = 0;
  double high = 0;
  if (treatment == nullptr || !pmmlxform::recodeNumber(lowerBound_, low) ||
      !pmmlxform::recodeNumber(upperBound_, high)) {
    return false;
  }
  for (const auto& code : inputMissing_) {
    double x = 0;
    if (!pmmlxform::recodeNumber(code, x)) continue;
    if ((low <= x && x <= high) || (treatment->clipped && (x <= low || x >= high))) return true;
  }
  return false;
}

bool ADPNormNode::rescalesToItself() const {
  double values[4] = {0, 0, 0, 0};
  const std::string* texts[4] = {&lowerBound_, &lowerNorm_, &upperBound_, &upperNorm_};
  for (int i = 0; i < 4; ++i) {
    if (!pmmlxform::recodeNumber(*texts[i], values[i])) return false;
  }
  return values[0] == values[1] && values[2] == values[3];
}

std::string ADPNormNode::toComputeSyntax(const std::string& target) const {
  std::string text;
  if (comments) {
    // "Targe" and "Input" as written, unlike the "** Target - ..." line of other fields.
    text = "** Targe - " + target + " , Input - " + target + " " + lowerBound_ + " " + upperBound_ +
           " " + lowerNorm_ + " " + upperNorm_ + " .\n";
  }
  text += "COMPUTE " + target + " = " + lowerNorm_ + " + (" + target + "-" + lowerBound_ + ")*(" +
          upperNorm_ + "-" + lowerNorm_ + ")/(" + upperBound_ + "-" + lowerBound_ + ").";
  // The RECODE put the replacement in on the input's scale, and the rescaling
  // moved it; where that changes it, missing input is given it again.
  if (!missingReplacement_.empty() && !rescalesToItself()) {
    text += "\nIF (MISSING(" + field_ + ")) " + target + " = " + missingReplacement_ + ".";
  }
  return text;
}
