#ifndef PMMLXFORM_TRANS_INTERVAL_PARSER_H_
#define PMMLXFORM_TRANS_INTERVAL_PARSER_H_

// The XSLT extension function "intervals". The stylesheet hands it one
// variable's recode rules as "Extension" (special keys), "DiscretizeBin"
// (value ranges) and "DataField" (the variable's own missing values) elements,
// in a node-set or in the result tree fragment that holds them; it returns PMML "Extension" elements for the resolved keys
// followed by "DiscretizeBin" elements for the resolved, non-overlapping bins.
// The host's recode semantics apply: the first rule that matches a
// value wins.
//
// The interval arithmetic and the two resolution passes are static members so
// that they can be used (and tested) without a running transformation.

#include <string>
#include <xalanc/XPath/Function.hpp>

#include "trans/interval_item.h"

namespace XALAN_CPP_NAMESPACE {
class XalanDocumentBuilder;
}

class IntervalParser : public xalanc::Function {
 public:
  IntervalParser() = default;
  IntervalParser(const IntervalParser&) = default;
  ~IntervalParser() override;

  // The builder of the last call's result in the running conversion, which
  // the next call destroys (the stylesheet copies each result at once, so
  // results need not live longer; kept, they made each conversion's memory
  // and time grow with every recode). The driver clears it for each run.
  static xalanc::XalanDocumentBuilder* lastBuilder;

  using xalanc::Function::execute;
  xalanc::XObjectPtr execute(xalanc::XPathExecutionContext& executionContext,
                             xalanc::XalanNode* context, const XObjectArgVectorType& args,
                             const xalanc::Locator* locator) const override;
  IntervalParser* clone(xalanc::MemoryManager& manager) const override;

  // Rewrites number text in exponent notation as plain decimal text; the
  // largest double (+/-1.79769313486231E+308) becomes "HIGHEST" / "LOWEST".
  // Other texts come back unchanged.
  static std::string expandNumber(const std::string& text);

  // Negative, zero or positive as bound `a` lies below, at or above bound `b`.
  // Total order: "LOWEST" < numbers (by value) < other texts (bytewise) < "HIGHEST".
  static int compareMargins(const std::string& a, const std::string& b);

  // Cuts the interval of the earlier item `a` out of the later item `b`. On
  // TrimOutcome::split, `added` receives the upper piece of `b`.
  static TrimOutcome trimInterval(const IntervalItem& a, IntervalItem& b, IntervalItem& added);

  // Works the special recode keys out against each other and against the
  // variable's missing values; no missing-value item is left afterwards.
  static void resolveRecodeKeys(IntervalList& items);

  // Removes from every item what earlier items already cover.
  static void resolveOverlaps(IntervalList& items);

 protected:
  const xalanc::XalanDOMString& getError(xalanc::XalanDOMString& result) const override;

 private:
  IntervalParser& operator=(const IntervalParser&) = delete;
};

#endif  // PMMLXFORM_TRANS_INTERVAL_PARSER_H_
