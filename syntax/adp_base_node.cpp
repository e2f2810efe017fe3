// The node base: ownership of children, DOM helpers and the error path.
#include "syntax/adp_base_node.h"

#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "host/norvel.h"
#include "syntax/adp_literal.h"
#include "syntax/adp_result_codes.h"
#include "xml/dom.h"

using pmmlxform::attributeText;

namespace {
constexpr const char kNestedIfMessage[] = "An if can only be a field's whole expression.";
}  // namespace

ADPBaseNode::~ADPBaseNode() {
  // Children go first to last, as they were attached.
  for (auto& child : children) child.reset();
  children.clear();
}

std::string ADPBaseNode::getInputs() const { return std::string(); }

std::string ADPBaseNode::toAlternateSyntax() const { return "Not supported now."; }

std::size_t ADPBaseNode::longestStringLiteral() const {
  std::size_t longest = 0;
  for (const auto& child : children) {
    const std::size_t n = child->longestStringLiteral();
    if (n > longest) longest = n;
  }
  return longest;
}

void ADPBaseNode::appendSegment(std::string& errorPath, const std::string& text, int form) {
  if (text.empty()) return;
  switch (form) {
    case kElementSegment:
      errorPath += "." + text;
      break;
    case kAttributeSegment:
      errorPath += "(" + text + ")";
      break;
    case kListSegment:
      errorPath += "[" + text + "]";
      break;
    default:
      errorPath += "{" + text + "}";
      break;
  }
}

void ADPBaseNode::removeSegment(std::string& errorPath) {
  const std::size_t dot = errorPath.rfind('.');
  if (dot != std::string::npos) errorPath.erase(dot);
}

std::string ADPBaseNode::toLocalString(const XMLCh* text) const {
  std::string out;
  if (utf8) {
    norvel::appendU16AsU8(out, text);
    return out;
  }
  char* converted = norvel::QORVMBTranscodeGeneric(text);
  out = converted;
  norvel::QORVMBRelease(&converted);
  return out;
}

std::basic_string<XMLCh> ADPBaseNode::toXMLString(const std::string& text) const {
  std::basic_string<XMLCh> out;
  if (utf8) {
    norvel::appendU8AsU16(out, text.c_str());
    return out;
  }
  XMLCh* converted = norvel::QORVMBTranscodeGeneric(text.c_str());
  out = converted;
  norvel::QORVMBRelease(&converted);
  return out;
}

namespace {

// Widens a short ASCII text into `out` (zero-terminated), as the UTF-8
// conversion would; false for a longer text or one beyond ASCII.
template <std::size_t N>
bool widenAscii(const std::string& text, XMLCh (&out)[N]) {
  if (text.size() >= N) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0 || c >= 0x80) return false;
    out[i] = c;
  }
  out[text.size()] = 0;
  return true;
}

}  // namespace

std::string ADPBaseNode::getAttributeValue(const xercesc::DOMNode* node,
                                           const std::string& name) const {
  if (node == nullptr || node->getNodeType() != xercesc::DOMNode::ELEMENT_NODE) return {};
  XMLCh ascii[32];
  if (utf8 && widenAscii(name, ascii)) return toLocalString(attributeText(node, ascii));
  return toLocalString(attributeText(node, toXMLString(name).c_str()));
}

void ADPBaseNode::setAttributeValue(xercesc::DOMNode* node, const std::string& name,
                                    const std::string& value) const {
  if (node == nullptr || node->getNodeType() != xercesc::DOMNode::ELEMENT_NODE) return;
  auto* element = static_cast<xercesc::DOMElement*>(node);
  // Setting the value an attribute holds already leaves the document as it
  // is, and the DOM's write is costly: it is left out.
  auto set = [element](const XMLCh* name16, const XMLCh* value16) {
    const xercesc::DOMAttr* held = element->getAttributeNode(name16);
    if (held != nullptr && xercesc::XMLString::equals(attributeText(element, name16), value16)) {
      return;
    }
    element->setAttribute(name16, value16);
  };
  XMLCh asciiName[32], asciiValue[32];
  if (utf8 && widenAscii(name, asciiName) && widenAscii(value, asciiValue)) {
    set(asciiName, asciiValue);
    return;
  }
  set(toXMLString(name).c_str(), toXMLString(value).c_str());
}

std::string ADPBaseNode::dataTypeOf(const xercesc::DOMNode* node) const {
  if (givenDataTypes != nullptr) {
    if (const std::string* const* given = givenDataTypes->find(node)) return **given;
  }
  return getAttributeValue(node, "dataType");
}

namespace {

bool isAscii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// An ASCII name equals a DOM name exactly when their characters do, whatever
// the encoding; comparing them directly spares a conversion per element.
bool equalsAscii(const XMLCh* domName, const std::string& name) {
  std::size_t i = 0;
  for (; i < name.size(); ++i) {
    if (domName[i] != static_cast<XMLCh>(name[i])) return false;
  }
  return domName[i] == 0;
}

}  // namespace

xercesc::DOMNode* ADPBaseNode::elementFrom(xercesc::DOMNode* node, const std::string& name) const {
  const bool ascii = isAscii(name);
  for (; node != nullptr; node = node->getNextSibling()) {
    if (node->getNodeType() != xercesc::DOMNode::ELEMENT_NODE) continue;
    if (name.empty()) return node;
    if (ascii ? equalsAscii(node->getNodeName(), name) : nodeName(node) == name) return node;
  }
  return nullptr;
}

xercesc::DOMNode* ADPBaseNode::firstChildElement(const xercesc::DOMNode* parent,
                                                 const std::string& name) const {
  return parent == nullptr ? nullptr : elementFrom(parent->getFirstChild(), name);
}

xercesc::DOMNode* ADPBaseNode::nextSiblingElement(const xercesc::DOMNode* node,
                                                  const std::string& name) const {
  return node == nullptr ? nullptr : elementFrom(node->getNextSibling(), name);
}

std::string ADPBaseNode::nodeName(const xercesc::DOMNode* node) const {
  return node == nullptr ? std::string() : toLocalString(node->getNodeName());
}

bool ADPBaseNode::hasChildNodes(const xercesc::DOMNode* node) {
  return node != nullptr && node->hasChildNodes();
}

std::string ADPBaseNode::nameProblem(const std::string& name) const {
  // Checked on the UTF-16 form of the 8-bit text, so that a character the
  // local code page could not hold (written as "?") is refused too; the
  // length counts the bytes that are written.
  using pmmlxform::NameProblem;
  struct Refusal {
    NameProblem problem;
    const char* message;
  };
  static constexpr Refusal kRefusals[] = {
      {NameProblem::kMalformed, pmmlxform::kBadNameMessage},
      {NameProblem::kReservedWord, pmmlxform::kReservedWordMessage},
      {NameProblem::kSystemVariable, pmmlxform::kSystemVariableMessage},
      {NameProblem::kTooLong, pmmlxform::kLongNameMessage},
      {NameProblem::kFirstCharacter, pmmlxform::kFirstCharacterMessage},
  };
  const NameProblem problem = pmmlxform::checkVariableName(toXMLString(name).c_str(), name.size());
  for (const auto& refusal : kRefusals) {
    if (refusal.problem == problem) return refusal.message;
  }
  return std::string();
}

const ADPBaseNode::FieldIndex& ADPBaseNode::indexOf(const xercesc::DOMNode* element) {
  if (!fieldIndex) fieldIndex = std::make_shared<FieldIndex>();
  if (fieldIndex->built) return *fieldIndex;
  fieldIndex->built = true;
  const xercesc::DOMDocument* document = element == nullptr ? nullptr : element->getOwnerDocument();
  xercesc::DOMNode* pmml = document == nullptr ? nullptr : document->getDocumentElement();
  for (const char* dictionary : {"TransformationDictionary", "DataDictionary"}) {
    const bool data = std::string(dictionary) == "DataDictionary";
    if (data && fieldIndex->dataDictionary) {
      for (const DictionaryEntry& entry : *fieldIndex->dataDictionary) {
        fieldIndex->fields.emplace(entry.name, entry.element);
        if (entry.dataField) fieldIndex->dataFields.emplace(entry.name, entry.element);
      }
      continue;
    }
    for (xercesc::DOMNode* f = firstChildElement(firstChildElement(pmml, dictionary), "");
         f != nullptr; f = nextSiblingElement(f, "")) {
      const std::string name = getAttributeValue(f, "name");
      fieldIndex->fields.emplace(name, f);
      if (data && nodeName(f) == "DataField") fieldIndex->dataFields.emplace(name, f);
    }
  }
  return *fieldIndex;
}

std::vector<std::string> ADPBaseNode::userMissingCodes(const xercesc::DOMNode* element,
                                                       const std::string& field) {
  std::vector<std::string> codes;
  const FieldIndex& index = indexOf(element);
  xercesc::DOMNode* const* found = index.dataFields.find(field);
  if (found == nullptr) return codes;
  for (xercesc::DOMNode* v = firstChildElement(*found, "Value"); v != nullptr;
       v = nextSiblingElement(v, "Value")) {
    if (getAttributeValue(v, "property") == "missing") {
      codes.push_back(getAttributeValue(v, "value"));
    }
  }
  return codes;
}

int ADPBaseNode::resolveNestedApply(xercesc::DOMNode*& element, std::string& name,
                                    std::string& function, std::string& errorPath) const {
  function = getAttributeValue(element, "function");
  if (function.empty()) {
    appendSegment(errorPath, name, kElementSegment);
    return pmmlxform::kAdpBadName;
  }
  if (function != "if") return pmmlxform::kAdpOk;
  if (!hasChildNodes(element)) {
    appendSegment(errorPath, "Apply", kElementSegment);
    appendSegment(errorPath, pmmlxform::kEmptyFunctionMessage, kMessageSegment);
    return pmmlxform::kAdpBadName;
  }
  if (firstChildElement(element, "") == nullptr) {
    appendSegment(errorPath, "Apply", kElementSegment);
    appendSegment(errorPath, function, kAttributeSegment);
    appendSegment(errorPath, pmmlxform::kEmptyIfMessage, kMessageSegment);
    return pmmlxform::kAdpMissingContent;
  }
  // An "if" is written as a DO IF block of its own field; inside an
  // expression it has no syntax, and its condition alone is a wrong value.
  appendSegment(errorPath, "Apply", kElementSegment);
  appendSegment(errorPath, function, kAttributeSegment);
  appendSegment(errorPath, kNestedIfMessage, kMessageSegment);
  return pmmlxform::kAdpUnsupported;
}

int ADPBaseNode::parseChild(std::unique_ptr<ADPBaseNode> child, xercesc::DOMNode* element,
                            std::string& errorPath) {
  child->utf8 = utf8;
  if (!child->fieldIndex) child->fieldIndex = fieldIndex;
  if (child->givenDataTypes == nullptr) child->givenDataTypes = givenDataTypes;
  const int code = child->parse(element, errorPath);
  if (code != 0) return code;
  attach(std::move(child));
  return 0;
}

void ADPBaseNode::attach(std::unique_ptr<ADPBaseNode> child) {
  child->utf8 = utf8;
  children.push_back(std::move(child));
}
