// The "recode-intervals" extension function: a numeric recode's items read
// from the description, resolved as "intervals" resolves them.
#include "trans/recode_intervals.h"

#include <xalanc/XPath/MutableNodeRefList.hpp>
#include <xalanc/XPath/NodeRefListBase.hpp>
#include <xalanc/XPath/XObject.hpp>
#include <xalanc/XPath/XObjectFactory.hpp>
#include <xalanc/XPath/XPathExecutionContext.hpp>

#include "trans/interval_parser.h"
#include "trans/recode_items.h"
#include "trans/xslt_driver.h"

namespace {

// The first node of a node-set argument, or null.
const xalanc::XalanNode* firstNode(const xalanc::XObjectPtr& argument) {
  const xalanc::NodeRefListBase& nodes = argument->nodeset();
  return nodes.getLength() == 0 ? nullptr : nodes.item(0);
}

}  // namespace

RecodeIntervals::~RecodeIntervals() = default;

xalanc::XObjectPtr RecodeIntervals::execute(xalanc::XPathExecutionContext& executionContext,
                                            xalanc::XalanNode* context,
                                            const XObjectArgVectorType& args,
                                            const xalanc::Locator* locator) const {
  if (args.size() != 2) {
    generalError(executionContext, context, locator);
    xalanc::XPathExecutionContext::BorrowReturnMutableNodeRefList result(executionContext);
    return executionContext.getXObjectFactory().createNodeSet(result);
  }
  pmmlxform::IntervalList items;
  if (ConvertByXSLT::currentTransformer.load() != nullptr) {
    if (const xalanc::XalanNode* recode = firstNode(args[0])) {
      pmmlxform::readRecodeItems(recode, firstNode(args[1]), items);
    }
  }
  return IntervalParser::resolved(executionContext, context, locator, items,
                                  IntervalParser::Answer::kHolder);
}

RecodeIntervals* RecodeIntervals::clone(xalanc::MemoryManager& manager) const {
  return xalanc::XalanCopyConstruct(manager, *this);
}

const xalanc::XalanDOMString& RecodeIntervals::getError(xalanc::XalanDOMString& result) const {
  result = u"The recode-intervals() function accepts two arguments!";
  return result;
}
