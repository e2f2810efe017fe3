#ifndef PMMLXFORM_TRANS_RECODE_INTERVALS_H_
#define PMMLXFORM_TRANS_RECODE_INTERVALS_H_

// The XSLT extension function "recode-intervals": resolves one numeric recode
// straight from the description, with no item elements built for it. Its
// arguments are the checked "Recode" element and the "Variable" element that
// declares its source (an empty node-set for a source that a recode or compute
// defines); it reads their items as trans/recode_items.h says and answers
// with one "Intervals" element whose children are what "intervals" returns for
// the same items.

#include <xalanc/XPath/Function.hpp>

class RecodeIntervals : public xalanc::Function {
 public:
  RecodeIntervals() = default;
  RecodeIntervals(const RecodeIntervals&) = default;
  ~RecodeIntervals() override;

  using xalanc::Function::execute;
  xalanc::XObjectPtr execute(xalanc::XPathExecutionContext& executionContext,
                             xalanc::XalanNode* context, const XObjectArgVectorType& args,
                             const xalanc::Locator* locator) const override;
  RecodeIntervals* clone(xalanc::MemoryManager& manager) const override;

 protected:
  const xalanc::XalanDOMString& getError(xalanc::XalanDOMString& result) const override;

 private:
  RecodeIntervals& operator=(const RecodeIntervals&) = delete;
};

#endif  // PMMLXFORM_TRANS_RECODE_INTERVALS_H_
