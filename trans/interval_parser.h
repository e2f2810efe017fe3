#ifndef PMMLXFORM_TRANS_INTERVAL_PARSER_H_
#define PMMLXFORM_TRANS_INTERVAL_PARSER_H_

// The XSLT extension function "intervals". The stylesheet hands it one
// variable's recode rules as "Extension" (special keys), "DiscretizeBin"
// (value ranges) and "DataField" (the variable's own missing values) elements,
// in a node-set or in the result tree fragment that holds them; it returns PMML "Extension"
// elements for the resolved keys followed by "DiscretizeBin" elements for the resolved,
// non-overlapping bins. The host's recode semantics apply: the first rule that matches a value
// wins.
//
// This class is the engine-facing part: it reads the items and writes the
// result; the arithmetic lives in trans/interval_arithmetic.h, the resolution
// passes in trans/recode_keys.h.

#include <xalanc/XPath/Function.hpp>

#include "trans/interval_arithmetic.h"

namespace XALAN_CPP_NAMESPACE {
class XalanDocumentBuilder;
}

class IntervalParser : public xalanc::Function {
 public:
  IntervalParser() = default;
  IntervalParser(const IntervalParser&) = default;
  ~IntervalParser() override;

  // The builder of the last call's result in the running conversion. It takes
  // the results of a bounded number of calls, then a later call starts
  // another; the transformer owns every builder until the conversion ends,
  // because a stylesheet may hold any result (in a variable) for as long as
  // it runs. The driver clears it for each run.
  static xalanc::XalanDocumentBuilder* lastBuilder;

  using xalanc::Function::execute;
  xalanc::XObjectPtr execute(xalanc::XPathExecutionContext& executionContext,
                             xalanc::XalanNode* context, const XObjectArgVectorType& args,
                             const xalanc::Locator* locator) const override;
  IntervalParser* clone(xalanc::MemoryManager& manager) const override;

  // What a call answers with: the resolved keys and bins themselves, or the
  // one element that holds them as its children. A stylesheet reaches the keys
  // of the second with a child step; any path or filter over the first makes
  // the engine copy the whole node-set into document order, growing its list
  // one node at a time (time that grows with the square of the number of
  // bins).
  enum class Answer { kItems, kHolder };

  // Resolves `items` (emptied on the way) and returns the resolved keys and
  // bins as `answer` says; a call outside a conversion stops the
  // transformation with the engine's error instead.
  static xalanc::XObjectPtr resolved(xalanc::XPathExecutionContext& executionContext,
                                     xalanc::XalanNode* context, const xalanc::Locator* locator,
                                     pmmlxform::IntervalList& items, Answer answer);

 protected:
  const xalanc::XalanDOMString& getError(xalanc::XalanDOMString& result) const override;

 private:
  IntervalParser& operator=(const IntervalParser&) = delete;
};

#endif  // PMMLXFORM_TRANS_INTERVAL_PARSER_H_
