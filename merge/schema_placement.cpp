// Copying a model part with its mining schema's fields held aside, and placing
// them where the schema's rewriting leaves them.
#include "merge/schema_placement.h"

#include <string>
#include <type_traits>
#include <unordered_set>
#include <vector>
#include <xercesc/util/XMLString.hpp>

#include "merge/repeated_texts.h"
#include "merge/vendor_extension.h"
#include "xml/dom.h"
#include "xml/writer.h"

namespace pmmlxform {

namespace {

using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;

constexpr XMLCh kName[] = u"name";
constexpr XMLCh kUsageType[] = u"usageType";
constexpr XMLCh kMiningField[] = u"MiningField";

// A key that all names equal ignoring case share, as the schema's lookups
// compare them (see xml/name_index.cpp): ASCII letters lower-cased; "i", "k",
// "s" and every code unit outside ASCII one placeholder.
template <typename Char>
std::string nameKey(const Char* name) {
  std::string key;
  for (; *name != 0; ++name) {
    const auto c = static_cast<std::make_unsigned_t<Char>>(*name);
    char k = c >= 0x80 ? '*' : static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (k == 'i' || k == 'k' || k == 's') k = '*';
    key.push_back(k);
  }
  return key;
}

bool isAscii(const XMLCh* text) {
  for (; *text != 0; ++text) {
    if (*text >= 0x80) return false;
  }
  return true;
}

bool isTargetUsage(const std::string& usage) { return usage == "predicted" || usage == "target"; }

// A derived input of the schema and what its rewriting adds.
struct Input {
  DOMElement* field;
  bool target;
  std::vector<std::string> rawFields;
};

}  // namespace

bool HeldFields::addAsText(const DOMElement* field) {
  // As in importElement: a copy made of the attributes' texts, and no
  // children a copy keeps.
  if (!xercesc::XMLString::equals(field->getNodeName(), kMiningField) || !copiesAsText(field)) {
    return false;
  }
  for (const DOMNode* child = field->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (keptByCopy(child)) return false;
  }
  const xercesc::DOMNamedNodeMap* attributes = field->getAttributes();
  const XMLSize_t count = attributes == nullptr ? 0 : attributes->getLength();
  for (XMLSize_t i = 0; i < count; ++i) {
    const auto* attribute = static_cast<const xercesc::DOMAttr*>(attributes->item(i));
    if (!attribute->getSpecified()) continue;
    (texts_ += attribute->getName()).push_back(0);
    // A value held as one text node is read from it, sparing the attribute's
    // own accessor.
    const DOMNode* text = singleText(attribute);
    (texts_ += text != nullptr ? text->getNodeValue() : attribute->getValue()).push_back(0);
  }
  texts_.push_back(0);
  nodes_.push_back(nullptr);
  return true;
}

std::vector<DOMNode*> HeldFields::make(DOMDocument* document) const {
  std::vector<DOMNode*> copies;
  copies.reserve(nodes_.size());
  const XMLCh* text = texts_.c_str();
  for (DOMNode* node : nodes_) {
    if (node != nullptr) {
      copies.push_back(node);
      continue;
    }
    // What importElement's copy sets: the element, and each attribute in turn.
    DOMElement* copy = document->createElement(kMiningField);
    while (*text != 0) {
      const XMLCh* name = text;
      const XMLCh* value = name + xercesc::XMLString::stringLen(name) + 1;
      copy->setAttribute(name, value);
      text = value + xercesc::XMLString::stringLen(value) + 1;
    }
    ++text;
    copies.push_back(copy);
  }
  return copies;
}

namespace {

// The copy of `path[depth]`, whose descendants down the path follow it; the
// kept children of `schema` go to `held`.
DOMElement* copyDown(DOMDocument* document, const std::vector<DOMElement*>& path, std::size_t depth,
                     const std::function<DOMElement*(DOMElement*)>& import, DOMElement*& schemaCopy,
                     HeldFields& held) {
  DOMElement* source = path[depth];
  const bool isSchema = depth + 1 == path.size();
  const DOMNode* below = isSchema ? nullptr : path[depth + 1];
  // A shallow import copies what importElement copies of the element itself.
  auto* copy = static_cast<DOMElement*>(document->importNode(source, false));
  for (DOMNode* child = source->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (!keptByCopy(child)) continue;
    if (isSchema && isElement(child) && held.addAsText(static_cast<DOMElement*>(child))) continue;
    DOMNode* made = nullptr;
    if (child == below) {
      made = copyDown(document, path, depth + 1, import, schemaCopy, held);
    } else if (isElement(child)) {
      made = import(static_cast<DOMElement*>(child));
    } else if (child->getNodeType() == DOMNode::TEXT_NODE) {
      made = document->createTextNode(child->getNodeValue());
    } else {
      made = document->createCDATASection(child->getNodeValue());
    }
    if (isSchema) {
      held.add(made);
    } else {
      copy->appendChild(made);
    }
  }
  if (isSchema) schemaCopy = copy;
  return copy;
}

}  // namespace

DOMElement* importHoldingSchema(DOMDocument* document, DOMElement* element, DOMElement* schema,
                                const std::function<DOMElement*(DOMElement*)>& import,
                                DOMElement*& schemaCopy, HeldFields& held) {
  schemaCopy = nullptr;
  // The elements from `element` down to `schema`, when `schema` is inside it.
  std::vector<DOMElement*> path;
  for (DOMNode* node = schema; node != nullptr; node = node->getParentNode()) {
    if (!isElement(node)) break;
    path.insert(path.begin(), static_cast<DOMElement*>(node));
    if (node == element) return copyDown(document, path, 0, import, schemaCopy, held);
  }
  return import(element);
}

bool placeHeldSchema(DOMElement* schema, const std::vector<DOMNode*>& held, NameIndexes& indexes,
                     const SchemaRewriting& rewriting) {
  auto convert = [&rewriting](const XMLCh* text) { return rewriting.localText(text); };
  RepeatedTexts<decltype(convert)> usages(convert);
  auto keyOf = [&rewriting](const XMLCh* name) {
    return isAscii(name) ? nameKey(name) : nameKey(rewriting.localText(name).c_str());
  };
  // The inputs in schema order, and the keys of the names a raw field must not
  // have for the placement to end as the rewriting does.
  std::vector<Input> inputs;
  std::vector<bool> isInput(held.size(), false);
  std::unordered_set<std::string> barred;
  for (std::size_t at = 0; at < held.size(); ++at) {
    if (!isElement(held[at])) continue;
    auto* field = static_cast<DOMElement*>(held[at]);
    const XMLCh* name = pmmlxform::attributeText(field, kName);
    const bool target = isTargetUsage(usages.of(pmmlxform::attributeText(field, kUsageType)));
    if (DOMElement* derived = rewriting.derivedNamed(name)) {
      isInput[at] = true;
      inputs.push_back({field, target, rewriting.rawFieldsOf(derived)});
      barred.insert(keyOf(name));
    } else if (target || !xercesc::XMLString::equals(field->getNodeName(), kMiningField)) {
      barred.insert(keyOf(name));
    }
  }
  for (const Input& input : inputs) {
    if (input.target) continue;
    for (const std::string& raw : input.rawFields) {
      // A field added for a raw name that names a derived field is itself
      // rewritten as an input later on.
      if (barred.count(nameKey(raw.c_str())) != 0) return false;
      const XMLText name(raw);
      if (rewriting.derivedNamed(name.get()) != nullptr) return false;
    }
  }

  for (std::size_t at = 0; at < held.size(); ++at) {
    if (!isInput[at]) schema->appendChild(held[at]);
  }
  indexes.index(schema, false);
  if (!inputs.empty()) {
    DOMElement* container = createVendorExtension(schema->getOwnerDocument(), "DerivedFields");
    for (const Input& input : inputs) container->appendChild(input.field);
    schema->insertBefore(container, schema->getFirstChild());
  }
  for (Input& input : inputs) {
    std::string error;
    if (!input.target) rewriting.addMiningFields(input.rawFields, error);
  }
  return true;
}

}  // namespace pmmlxform
