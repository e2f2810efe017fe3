// The "intervals" extension function: reads a variable's recode rules from the
// engine's nodes, resolves them, and hands the result back as engine nodes.
#include "trans/interval_parser.h"

#include <cstddef>
#include <string>
#include <xalanc/PlatformSupport/AttributesImpl.hpp>
#include <xalanc/XPath/MutableNodeRefList.hpp>
#include <xalanc/XPath/NodeRefListBase.hpp>
#include <xalanc/XPath/XObject.hpp>
#include <xalanc/XPath/XObjectFactory.hpp>
#include <xalanc/XPath/XPathExecutionContext.hpp>
#include <xalanc/XalanDOM/XalanDocument.hpp>
#include <xalanc/XalanDOM/XalanDocumentFragment.hpp>
#include <xalanc/XalanDOM/XalanElement.hpp>
#include <xalanc/XalanDOM/XalanNamedNodeMap.hpp>
#include <xalanc/XalanDOM/XalanNode.hpp>
#include <xalanc/XalanTransformer/XalanDocumentBuilder.hpp>
#include <xalanc/XalanTransformer/XalanTransformer.hpp>
#include <xercesc/sax2/ContentHandler.hpp>

#include "host/norvel.h"
#include "host/vendor.h"
#include "trans/decimal_text.h"
#include "trans/engine_nodes.h"
#include "trans/interval_arithmetic.h"
#include "trans/recode_items.h"
#include "trans/recode_keys.h"
#include "trans/xslt_driver.h"

namespace {

using pmmlxform::attribute;
using pmmlxform::firstElementChild;
using pmmlxform::hasName;
using pmmlxform::IntervalItem;
using pmmlxform::IntervalList;
using pmmlxform::kHighest;
using pmmlxform::kLowest;
using pmmlxform::margin;
using pmmlxform::toUtf16;
using xalanc::XalanDOMString;
using xalanc::XalanNode;

// Reads an "Interval" first child into the item; without one the item carries
// no interval. The closure's first letter decides the left end ("o", "p", "e"
// or "n": "open", otherwise "closed"); the right end is the rest after "open"
// or "closed", empty when the text is too short to hold one.
void readInterval(const XalanNode* node, IntervalItem& item) {
  const XalanNode* interval = firstElementChild(node);
  if (interval == nullptr || !hasName(interval->getNodeName(), u"Interval")) return;
  const std::string closure = attribute(interval, u"closure");
  const bool open = !closure.empty() && std::string("open").find(closure[0]) != std::string::npos;
  const std::size_t rest = open ? 4 : 6;
  item.leftClosure = open ? "open" : "closed";
  item.rightClosure = closure.size() > rest ? closure.substr(rest) : std::string();
  item.leftMargin = margin(attribute(interval, u"leftMargin"), kLowest);
  item.rightMargin = margin(attribute(interval, u"rightMargin"), kHighest);
}

// The variable's own missing values: single "Value"s with property "missing"
// and one range given by the "invalidRangeLower"/"invalidRangeUpper" pair.
void readMissingValues(const XalanNode* dataField, IntervalList& items) {
  std::string lower, upper;
  for (const XalanNode* child = dataField->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (child->getNodeType() != XalanNode::ELEMENT_NODE) continue;
    const XalanDOMString& name = child->getNodeName();
    if (hasName(name, u"Value")) {
      if (attribute(child, u"property") == "missing") {
        IntervalItem item;
        item.name = "MissingValues";
        item.leftClosure = "closed";
        item.rightClosure = "Closed";
        item.leftMargin = item.rightMargin = attribute(child, u"value");
        items.push_back(item);
      }
    } else if (hasName(name, u"Extension")) {
      const std::string which = attribute(child, u"name");
      if (which == "invalidRangeLower") {
        lower = margin(attribute(child, u"value"), kLowest);
      } else if (which == "invalidRangeUpper") {
        upper = margin(attribute(child, u"value"), kHighest);
      }
      if (!lower.empty() && !upper.empty()) {
        IntervalItem item;
        item.name = "MissingValues";
        item.leftClosure = "closed";
        item.rightClosure = "Closed";
        item.leftMargin = lower;
        item.rightMargin = upper;
        items.push_back(item);
        lower.clear();
        upper.clear();
      }
    }
  }
}

void readNode(const XalanNode* node, IntervalList& items) {
  const XalanDOMString& name = node->getNodeName();
  if (hasName(name, u"Extension") || hasName(name, u"DiscretizeBin")) {
    IntervalItem item;
    if (hasName(name, u"Extension")) {
      item.value = attribute(node, u"value");
      item.name = attribute(node, u"name");
    } else {
      item.value = attribute(node, u"binValue");
    }
    readInterval(node, item);
    items.push_back(item);
  } else if (hasName(name, u"DataField")) {
    readMissingValues(node, items);
  }
}

// Writes the items as SAX events: <Intervals> holding an "Extension" per key,
// then a "DiscretizeBin" per bin, as the next child of the document element
// that open() starts.
class FragmentWriter {
 public:
  explicit FragmentWriter(xercesc::ContentHandler& handler) : handler_(handler) {}

  void open() {
    handler_.startDocument();
    start(u"Results", attrs_);
  }

  void write(const IntervalList& items) {
    attrs_.clear();
    start(u"Intervals", attrs_);
    for (const IntervalItem& item : items) {
      if (item.name.empty()) continue;
      attrs_.clear();
      add(u"extender", pmmlxform::kVendorExtender);
      add(u"name", item.name);
      if (!item.value.empty() || item.name == "mapSysmisTo") add(u"value", item.value);
      start(u"Extension", attrs_);
      if (!item.leftClosure.empty() && !item.rightClosure.empty()) interval(item);
      end(u"Extension");
    }
    for (const IntervalItem& item : items) {
      if (!item.name.empty()) continue;
      attrs_.clear();
      add(u"binValue", item.value);
      start(u"DiscretizeBin", attrs_);
      interval(item);
      end(u"DiscretizeBin");
    }
    end(u"Intervals");
  }

 private:
  using Attributes = xalanc::AttributesImpl;

  void add(const char16_t* name, const std::string& value) {
    static const XMLCh kCdata[] = u"CDATA";
    attrs_.addAttribute(name, kCdata, toUtf16(value).c_str());
  }
  void start(const char16_t* name, const Attributes& attrs) {
    handler_.startElement(u"", u"", name, attrs);
  }
  void end(const char16_t* name) { handler_.endElement(u"", u"", name); }

  void interval(const IntervalItem& item) {
    attrs_.clear();
    add(u"closure", item.leftClosure + item.rightClosure);
    if (item.leftMargin != kLowest) add(u"leftMargin", item.leftMargin);
    if (item.rightMargin != kHighest) add(u"rightMargin", item.rightMargin);
    start(u"Interval", attrs_);
    end(u"Interval");
  }

  xercesc::ContentHandler& handler_;
  // The attributes of the element being started; the handler copies them.
  Attributes attrs_;
};

// How many calls' results one document builder takes.
constexpr std::size_t kResultsPerBuilder = 1024;
// How many results the builder in IntervalParser::lastBuilder holds.
std::size_t resultsInLastBuilder = 0;

void reportError(xalanc::XPathExecutionContext& executionContext, const XalanNode* context,
                 const xalanc::Locator* locator, const char16_t* text) {
  const xalanc::XPathExecutionContext::GetCachedString guard(executionContext);
  XalanDOMString& message = guard.get();
  message = text;
  executionContext.problem(xalanc::XPathExecutionContext::eXPath,
                           xalanc::XPathExecutionContext::eError, message, locator, context);
}

}  // namespace

IntervalParser::~IntervalParser() = default;

xalanc::XObjectPtr IntervalParser::execute(xalanc::XPathExecutionContext& executionContext,
                                           xalanc::XalanNode* context,
                                           const XObjectArgVectorType& args,
                                           const xalanc::Locator* locator) const {
  if (args.size() != 1) {
    generalError(executionContext, context, locator);
    xalanc::XPathExecutionContext::BorrowReturnMutableNodeRefList result(executionContext);
    return executionContext.getXObjectFactory().createNodeSet(result);
  }
  // The items come as a node-set or as the result tree fragment that holds
  // them: read in place, a fragment needs no conversion into a node-set
  // (which the engine keeps until the conversion ends).
  IntervalList items;
  if (ConvertByXSLT::currentTransformer.load() != nullptr) {
    if (args[0]->getType() == xalanc::XObject::eTypeResultTreeFrag) {
      for (const XalanNode* node = args[0]->rtree().getFirstChild(); node != nullptr;
           node = node->getNextSibling()) {
        readNode(node, items);
      }
    } else {
      const xalanc::NodeRefListBase& nodes = args[0]->nodeset();
      for (xalanc::NodeRefListBase::size_type i = 0; i < nodes.getLength(); ++i) {
        if (nodes.item(i) != nullptr) readNode(nodes.item(i), items);
      }
    }
  }
  return resolved(executionContext, context, locator, items, Answer::kItems);
}

xalanc::XObjectPtr IntervalParser::resolved(xalanc::XPathExecutionContext& executionContext,
                                            xalanc::XalanNode* context,
                                            const xalanc::Locator* locator, IntervalList& items,
                                            Answer answer) {
  xalanc::XPathExecutionContext::BorrowReturnMutableNodeRefList result(executionContext);
  xalanc::XalanTransformer* transformer = ConvertByXSLT::currentTransformer.load();
  if (transformer == nullptr) {
    reportError(executionContext, context, locator,
                u"The interval-parse() function runs only inside a conversion!");
    return executionContext.getXObjectFactory().createNodeSet(result);
  }
  pmmlxform::resolveRecodeKeys(items);
  pmmlxform::resolveOverlaps(items);

  // The transformer owns the builder and its document until it is destroyed
  // at the end of the conversion, so the returned nodes live as long as the
  // stylesheet may hold them. One builder takes the results of
  // kResultsPerBuilder calls, each under an element of its own, which saves a
  // document per call and keeps the transformer's list of builders short.
  if (lastBuilder == nullptr || resultsInLastBuilder == kResultsPerBuilder) {
    lastBuilder = transformer->createDocumentBuilder();
    resultsInLastBuilder = 0;
    if (lastBuilder == nullptr) {
      reportError(executionContext, context, locator,
                  u"The interval-parse() function could not build its result!");
      return executionContext.getXObjectFactory().createNodeSet(result);
    }
    FragmentWriter(*lastBuilder->getContentHandler()).open();
  }
  FragmentWriter(*lastBuilder->getContentHandler()).write(items);
  ++resultsInLastBuilder;
  items.clear();

  XalanNode* root = lastBuilder->getDocument()->getDocumentElement()->getLastChild();
  if (answer == Answer::kHolder) {
    result->addNode(root);
  } else {
    for (XalanNode* child = root->getFirstChild(); child != nullptr;
         child = child->getNextSibling()) {
      result->addNode(child);
    }
  }
  return executionContext.getXObjectFactory().createNodeSet(result);
}

xalanc::XalanDocumentBuilder* IntervalParser::lastBuilder = nullptr;

IntervalParser* IntervalParser::clone(xalanc::MemoryManager& manager) const {
  return xalanc::XalanCopyConstruct(manager, *this);
}

const xalanc::XalanDOMString& IntervalParser::getError(xalanc::XalanDOMString& result) const {
  result = u"The interval-parse() function accepts one argument!";
  return result;
}
