// A numeric recode's items read from the description's elements.
#include "trans/recode_items.h"

#include <xalanc/XalanDOM/XalanNamedNodeMap.hpp>

#include "trans/engine_nodes.h"

namespace pmmlxform {

namespace {

using xalanc::XalanNode;

// How an unbounded end of a missing range is written in the DataDictionary.
constexpr char kLowestNumber[] = "-1.79769313486231E+308";
constexpr char kHighestNumber[] = "1.79769313486231E+308";

// `text` without its trailing blanks, which carry no meaning in the host's
// values.
std::string trimmed(std::string text) {
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

bool hasAttribute(const XalanNode* node, const std::u16string& name) {
  const xalanc::XalanNamedNodeMap* attributes = node->getAttributes();
  for (XalanNode::IndexType i = 0; attributes != nullptr && i < attributes->getLength(); ++i) {
    const XalanNode* attr = attributes->item(i);
    if (attr != nullptr && hasName(attr->getNodeName(), name)) return true;
  }
  return false;
}

bool isElement(const XalanNode* node, const std::u16string& name) {
  return node->getNodeType() == XalanNode::ELEMENT_NODE && hasName(node->getNodeName(), name);
}

// One end of an input's interval: the first of the attributes `bound` and
// "value" in document order gives the margin, unless every one of them is
// `keyword` (or there is none), which leaves that end unbounded.
std::string intervalEnd(const XalanNode* input, const std::u16string& bound,
                        const char16_t* keyword, const char* end) {
  const xalanc::XalanNamedNodeMap* attributes = input->getAttributes();
  const XalanNode* first = nullptr;
  bool bounded = false;
  for (XalanNode::IndexType i = 0; attributes != nullptr && i < attributes->getLength(); ++i) {
    const XalanNode* attr = attributes->item(i);
    if (attr == nullptr) continue;
    const xalanc::XalanDOMString& name = attr->getNodeName();
    if (!hasName(name, bound) && !hasName(name, u"value")) continue;
    if (!(attr->getNodeValue() == keyword)) bounded = true;
    const bool before = first == nullptr || (attr->isIndexed() && first->isIndexed() &&
                                             attr->getIndex() < first->getIndex());
    if (before) first = attr;
  }
  return margin(bounded ? toUtf8(first->getNodeValue()) : std::string(), end);
}

void setInterval(const XalanNode* input, IntervalItem& item) {
  item.leftClosure = "closed";
  item.rightClosure = "Closed";
  item.leftMargin = intervalEnd(input, u"low", u"LOWEST", kLowest);
  item.rightMargin = intervalEnd(input, u"high", u"HIGHEST", kHighest);
}

// The value of the first of the rule's outputs that carries one.
std::string outputValue(const XalanNode* rule, bool toOnly) {
  for (const XalanNode* child = rule->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    const bool output =
        isElement(child, u"To") ||
        (!toOnly && (isElement(child, u"ToCopy") || isElement(child, u"ToSystemMissing")));
    if (!output) continue;
    if (hasAttribute(child, u"value")) return attribute(child, u"value");
  }
  return std::string();
}

// The name of the key a SystemMissing, Missing or Else input stands for.
const char* keyName(const XalanNode* input, bool toValue, bool toCopy) {
  if (isElement(input, u"SystemMissing")) return toValue ? "mapSysmisTo" : "recodeSysmisCopy";
  if (isElement(input, u"Missing")) {
    return toValue ? "mapMissingTo" : toCopy ? "recodeMissingCopy" : "recodeMissingSysmis";
  }
  return toValue ? "mapElseTo" : toCopy ? "recodeElseCopy" : "recodeElseSysmis";
}

void readRule(const XalanNode* rule, IntervalList& items) {
  bool toValue = false, toCopy = false;
  for (const XalanNode* child = rule->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    toValue = toValue || isElement(child, u"To");
    toCopy = toCopy || isElement(child, u"ToCopy");
  }
  for (const XalanNode* input = rule->getFirstChild(); input != nullptr;
       input = input->getNextSibling()) {
    const bool value = isElement(input, u"Value");
    if (value || isElement(input, u"Range")) {
      IntervalItem item;
      if (toValue) {
        item.value = trimmed(outputValue(rule, true));
      } else if (toCopy && value) {
        item.value = attribute(input, u"value");
      } else {
        item.name = toCopy ? "recodeRangeCopy" : "recodeRangeSysmis";
      }
      setInterval(input, item);
      items.push_back(item);
    } else if (isElement(input, u"SystemMissing") || isElement(input, u"Missing") ||
               isElement(input, u"Else")) {
      IntervalItem item;
      item.name = keyName(input, toValue, toCopy);
      if (toValue) item.value = trimmed(outputValue(rule, false));
      items.push_back(item);
    }
  }
}

IntervalItem missingValues(std::string lower, std::string upper) {
  IntervalItem item;
  item.name = "MissingValues";
  item.leftClosure = "closed";
  item.rightClosure = "Closed";
  item.leftMargin = std::move(lower);
  item.rightMargin = std::move(upper);
  return item;
}

// The declared missing values: each range, then each single value.
void readMissingValues(const XalanNode* declared, IntervalList& items) {
  for (const XalanNode* child = declared->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (!isElement(child, u"MissingRange")) continue;
    const std::string low = attribute(child, u"low");
    const std::string high = attribute(child, u"high");
    items.push_back(missingValues(margin(low == "LOWEST" ? kLowestNumber : low, kLowest),
                                  margin(high == "HIGHEST" ? kHighestNumber : high, kHighest)));
  }
  for (const XalanNode* child = declared->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (!isElement(child, u"Missing")) continue;
    const std::string value = trimmed(attribute(child, u"value"));
    items.push_back(missingValues(value, value));
  }
}

}  // namespace

std::string margin(const std::string& text, const char* end) {
  return text.empty() || expandMargin(text) == end ? end : text;
}

void readRecodeItems(const XalanNode* recode, const XalanNode* declared, IntervalList& items) {
  for (const XalanNode* rule = recode->getFirstChild(); rule != nullptr;
       rule = rule->getNextSibling()) {
    if (isElement(rule, u"Rule")) readRule(rule, items);
  }
  if (declared != nullptr) readMissingValues(declared, items);
}

}  // namespace pmmlxform
