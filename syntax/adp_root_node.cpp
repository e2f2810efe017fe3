// The document: outline checks, DOM preparation, roles, and the role command.
#include "syntax/adp_root_node.h"

#include <algorithm>
#include <memory>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLString.hpp>

#include "syntax/adp_derived_node.h"
#include "syntax/adp_result_codes.h"
#include "xml/dom.h"

using pmmlxform::attributeText;

namespace {

// Elements that name the field they read in their `field` attribute.
constexpr const char* kFieldReferences[] = {"FieldRef", "Discretize", "FieldColumnPair",
                                            "NormContinuous"};

// Role lists wrap before a name once the names on the line pass this length.
constexpr std::size_t kRoleLineLength = 80;

bool isFieldReference(const std::string& name) {
  for (const char* r : kFieldReferences) {
    if (name == r) return true;
  }
  return false;
}

// Appends "\n  /KEYWORD " and the names, blank-separated, wrapping long lists.
void appendRole(std::string& text, const char* keyword, const std::vector<std::string>& names,
                bool wrap) {
  if (names.empty()) return;
  text += "\n  /";
  text += keyword;
  text += " ";
  std::size_t running = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += " ";
    if (wrap && running > kRoleLineLength) {
      text += "\n        ";
      running = 0;
    }
    text += names[i];
    running += names[i].size();
  }
}

const XMLCh kField16[] = u"field";

}  // namespace

FieldReferenceIndex& ADPRootNode::referenceIndex(xercesc::DOMNode* container) {
  auto& slot = references_[container];
  if (slot == nullptr) slot = std::make_unique<FieldReferenceIndex>(container);
  return *slot;
}

void ADPRootNode::setOptions(const std::string& targetName, const std::string& sourceName,
                             bool skipRoles, bool useUtf8, bool withComments) {
  targetName_ = targetName;
  sourceName_ = sourceName;
  skipRoles_ = skipRoles;
  utf8 = useUtf8;
  comments = withComments;
  backMode_ = !targetName.empty() || !sourceName.empty();
}

void ADPRootNode::clearRoles() {
  noneRole_.clear();
  targetRole_.clear();
  inputRole_.clear();
}

int ADPRootNode::parse(xercesc::DOMNode* element, std::string& errorPath) {
  usedFields_.clear();
  references_.clear();
  givenDataTypes_.clear();
  givenDataTypes = &givenDataTypes_;
  errorPath = "ADPTransformation";
  const std::string name = nodeName(element);
  appendSegment(errorPath, name, kElementSegment);
  if (name != "PMML") {
    appendSegment(errorPath, "PMML", kListSegment);
    return pmmlxform::kAdpUnexpectedElement;
  }
  if (!hasChildNodes(element)) return pmmlxform::kAdpMissingContent;

  xercesc::DOMNode* dataDictionary = firstChildElement(element, "DataDictionary");
  if (dataDictionary == nullptr) {
    appendSegment(errorPath, "DataDictionary", kElementSegment);
    return pmmlxform::kAdpMissingDictionary;
  }
  xercesc::DOMNode* transformations = firstChildElement(element, "TransformationDictionary");
  appendSegment(errorPath, "TransformationDictionary", kElementSegment);
  if (transformations == nullptr) return pmmlxform::kAdpMissingDictionary;

  xercesc::DOMNode* container = transformations;
  if (backMode_) {
    // The target's inverse: Extension / AutomatedDataPreparation / TargetInverse.
    struct Step {
      const char* element;
      int missingCode;
    };
    const Step steps[] = {{"Extension", pmmlxform::kAdpMissingDictionary},
                          {"AutomatedDataPreparation", pmmlxform::kAdpMissingDictionary},
                          {"TargetInverse", pmmlxform::kAdpNoTargetInverse}};
    for (const auto& step : steps) {
      container = firstChildElement(container, step.element);
      appendSegment(errorPath, step.element, kElementSegment);
      if (container == nullptr) return step.missingCode;
    }
  } else if (!skipRoles_) {
    int code = collectRoles(dataDictionary, errorPath);
    if (code == 0) code = collectRoles(transformations, errorPath);
    if (code != 0) return code;
  }

  prepareFields(container, dataDictionary);
  return convertFields(container, errorPath);
}

int ADPRootNode::convertFields(xercesc::DOMNode* container, std::string& errorPath) {
  int converted = 0;
  const auto index = std::make_shared<FieldIndex>();
  index->dataDictionary = dataDictionaryEntries_;
  for (xercesc::DOMNode* child = firstChildElement(container, ""); child != nullptr;
       child = nextSiblingElement(child, "")) {
    const std::string name = nodeName(child);
    if (name == "DerivedField") {
      if (!isFieldUsed(child)) continue;
      ++converted;
      auto field = std::make_unique<ADPDerivedNode>();
      field->comments = comments;
      field->fieldIndex = index;
      if (backMode_) {
        field->target().setName(targetName_);
        xercesc::DOMNode* reference = firstFieldReference(child);
        if (reference == nullptr) return pmmlxform::kAdpNoFieldReference;
        // An empty source name keeps the field the inverse reads.
        if (!sourceName_.empty()) {
          const std::basic_string<XMLCh> before(
              static_cast<xercesc::DOMElement*>(reference)->getAttribute(kField16));
          setAttributeValue(reference, "field", sourceName_);
          referenceIndex(container).renamed(static_cast<xercesc::DOMElement*>(reference), before);
        }
      }
      const int code = parseChild(std::move(field), child, errorPath);
      if (code != 0) return code;
    } else if (name == "DefineFunction" || (!backMode_ && name == "Extension")) {
      // Function definitions are not converted; the dictionary's Extension
      // elements hold the inverse and other data-preparation records.
      continue;
    } else {
      appendSegment(errorPath, name, kElementSegment);
      appendSegment(errorPath, "DerivedField,DefineFunction", kListSegment);
      return pmmlxform::kAdpUnexpectedElement;
    }
  }
  if (converted == 0) {
    appendSegment(errorPath, "DerivedField is zero", kMessageSegment);
    return backMode_ ? pmmlxform::kAdpNoTargetInverse : pmmlxform::kAdpNoDerivedField;
  }
  errorPath.clear();
  return pmmlxform::kAdpOk;
}

bool ADPRootNode::isFieldUsed(xercesc::DOMNode* field) {
  // A disabled field is used when a later used field refers to it; every
  // reference to it is renamed on the way. The later field is tested the same
  // way, so the test recurses along chains of disabled fields; it runs on a
  // stack of its own, because a document decides how long a chain is.
  struct Pending {
    xercesc::DOMNode* field;
    std::string name;
    std::basic_string<XMLCh> name16;     // the name as references hold it
    std::basic_string<XMLCh> renamed16;  // "#" + name; empty when references keep the name
    bool used;
    FieldReferenceIndex* index;
    std::size_t at;  // the position searched up to
  };
  std::vector<Pending> pending;
  // Decides `f` at once when it can; otherwise starts testing its later fields.
  auto begin = [&](xercesc::DOMNode* f, bool& used) {
    if (const bool* known = usedFields_.find(f)) {
      used = *known;
      return true;
    }
    xercesc::DOMNode* extension = firstChildElement(f, "Extension");
    if (extension == nullptr ||
        getAttributeValue(firstChildElement(extension, "UsageType"), "value") == "enable") {
      used = true;
      usedFields_.set(f, true);
      return true;
    }
    const std::string name = getAttributeValue(f, "name");
    const bool rename = !name.empty() && name[0] != '#';
    FieldReferenceIndex* index = &referenceIndex(f->getParentNode());
    pending.push_back({f, name, toXMLString(name),
                       rename ? toXMLString("#" + name) : std::basic_string<XMLCh>(), false, index,
                       index->position(f)});
    return false;
  };

  bool used = false;
  if (begin(field, used)) return used;
  for (;;) {
    bool opened = false;
    // Only the later fields that refer to the name are visited: each is
    // renamed, and tested unless the answer is known.
    while (!opened) {
      Pending& top = pending.back();
      std::size_t at = 0;
      xercesc::DOMNode* later = top.index->nextReferring(top.name16, top.at, at);
      if (later == nullptr) break;
      top.at = at;
      if (!top.renamed16.empty()) top.index->rename(top.name16, at, top.renamed16);
      if (!top.used) {
        bool laterUsed = false;
        if (begin(later, laterUsed)) {
          top.used = laterUsed;
        } else {
          opened = true;
        }
      }
    }
    if (opened) continue;
    const Pending done = pending.back();
    pending.pop_back();
    if (done.used && !done.name.empty() && done.name[0] != '#') {
      setAttributeValue(done.field, "name", "#" + done.name);
    }
    usedFields_.set(done.field, done.used);
    if (pending.empty()) return done.used;
    pending.back().used = done.used;
  }
}

int ADPRootNode::collectRoles(xercesc::DOMNode* dictionary, std::string& errorPath) {
  const bool isDataDictionary = nodeName(dictionary) == "DataDictionary";
  for (xercesc::DOMNode* field = firstChildElement(dictionary, ""); field != nullptr;
       field = nextSiblingElement(field, "")) {
    const std::string kind = nodeName(field);
    const bool isDataField = kind == "DataField";
    if (!isDataField && !(kind == "DerivedField" && isFieldUsed(field))) continue;

    const std::string name = getAttributeValue(field, "name");
    xercesc::DOMNode* extension = firstChildElement(field, "Extension");
    xercesc::DOMNode* usage = firstChildElement(extension, "UsageType");
    if (usage == nullptr) continue;
    std::vector<std::string>* role = nullptr;
    if (getAttributeValue(usage, "value") == "disable") {
      if (!isDataField) continue;
      role = &noneRole_;
    } else {
      xercesc::DOMNode* fieldClass = firstChildElement(extension, "ClassOfField");
      if (fieldClass == nullptr) continue;
      const std::string value = getAttributeValue(fieldClass, "value");
      role = (value == "transformed target" || value == "target") ? &targetRole_ : &inputRole_;
    }
    const std::string problem = nameProblem(name);
    if (!problem.empty()) {
      // The path names the dictionary the field stands in.
      if (isDataDictionary) {
        removeSegment(errorPath);
        appendSegment(errorPath, "DataDictionary", kElementSegment);
      }
      appendSegment(errorPath, kind, kElementSegment);
      appendSegment(errorPath, name, kAttributeSegment);
      appendSegment(errorPath, problem, kMessageSegment);
      return pmmlxform::kAdpBadName;
    }
    role->push_back(name);
  }
  return pmmlxform::kAdpOk;
}

bool ADPRootNode::answersDataTypes(const xercesc::DOMNode* dictionary) {
  // Only the two dictionaries answer (in back mode the container does not).
  const XMLCh* kind = dictionary == nullptr ? nullptr : dictionary->getNodeName();
  return xercesc::XMLString::equals(kind, u"DataDictionary") ||
         xercesc::XMLString::equals(kind, u"TransformationDictionary");
}

void ADPRootNode::addDataType(FirstByName<std::string>& types, const xercesc::DOMNode* field) {
  const XMLCh* kind = field->getNodeName();
  if (xercesc::XMLString::equals(kind, u"DataField") ||
      xercesc::XMLString::equals(kind, u"DerivedField")) {
    // The first field of a name answers for it.
    types.emplace(getAttributeValue(field, "name"), getAttributeValue(field, "dataType"));
  }
}

void ADPRootNode::prepareFields(xercesc::DOMNode* container, xercesc::DOMNode* dataDictionary) {
  // Each child of the container is visited once, for the declared length of
  // a string field, its data type, and the references below it. A child's
  // length is measured before any reference takes a data type, so that it
  // reads the types the document gives.

  // Longest `value` of an element's Value children, in bytes of the converted text.
  auto longestValue = [this](const xercesc::DOMNode* element) {
    std::size_t longest = 0;
    for (xercesc::DOMNode* v = firstChildElement(element, "Value"); v != nullptr;
         v = nextSiblingElement(v, "Value")) {
      const std::size_t n = getAttributeValue(v, "value").size();
      if (n > longest) longest = n;
    }
    return longest;
  };
  // First FieldRef in the subtree of `node`, the node itself included. The
  // FieldColumnPair of a table counts too: a table that copies unmatched
  // values writes its input's values, which would otherwise be cut short.
  auto firstFieldRef = [this](xercesc::DOMNode* node) {
    std::vector<xercesc::DOMNode*> pending{node};
    while (!pending.empty()) {
      xercesc::DOMNode* n = pending.back();
      pending.pop_back();
      const std::string name = nodeName(n);
      if (name == "FieldRef" || name == "FieldColumnPair") return n;
      std::vector<xercesc::DOMNode*> kids;
      for (xercesc::DOMNode* c = firstChildElement(n, ""); c != nullptr;
           c = nextSiblingElement(c, "")) {
        kids.push_back(c);
      }
      pending.insert(pending.end(), kids.rbegin(), kids.rend());
    }
    return static_cast<xercesc::DOMNode*>(nullptr);
  };
  // The first FieldRef from a container child onwards (its subtree, then the
  // following children's), remembered per child so that a run of fields
  // without references is searched once.
  std::unordered_map<const xercesc::DOMNode*, xercesc::DOMNode*> fromChild;
  auto firstFieldRefFrom = [&](xercesc::DOMNode* start) {
    std::vector<xercesc::DOMNode*> walked;
    xercesc::DOMNode* found = nullptr;
    for (xercesc::DOMNode* n = start; n != nullptr; n = nextSiblingElement(n, "")) {
      const auto known = fromChild.find(n);
      if (known != fromChild.end()) {
        found = known->second;
        break;
      }
      walked.push_back(n);
      found = firstFieldRef(n);
      if (found != nullptr) break;
    }
    for (const auto* n : walked) fromChild[n] = found;
    return found;
  };

  // The data dictionary's children, read once for the lengths, the data
  // types and the field index of the conversion.
  auto entries = std::make_shared<std::vector<DictionaryEntry>>();
  FirstByName<xercesc::DOMNode*> dataFields;  // the first DataField of each name
  FirstByName<std::string> dataFieldTypes;
  const bool dictionaryTyped = answersDataTypes(dataDictionary);
  for (xercesc::DOMNode* f = firstChildElement(dataDictionary, ""); f != nullptr;
       f = nextSiblingElement(f, "")) {
    const bool dataField = xercesc::XMLString::equals(f->getNodeName(), u"DataField");
    entries->push_back({f, getAttributeValue(f, "name"), dataField});
    if (dataField) dataFields.emplace(entries->back().name, f);
    if (dictionaryTyped) addDataType(dataFieldTypes, f);
  }
  // Declares the length of a DerivedField of type string.
  auto measure = [&](xercesc::DOMNode* field) {
    if (getAttributeValue(field, "dataType") != "string") return;
    std::size_t length = longestValue(field);
    if (length == 0) {
      xercesc::DOMNode* reference = firstFieldRefFrom(field);
      if (reference != nullptr) {
        const std::string source = getAttributeValue(reference, "field");
        if (xercesc::DOMNode* const* found = dataFields.find(source)) {
          length = longestValue(*found);
        }
      }
    }
    setAttributeValue(field, "length", std::to_string(length));
  };

  // Data types: the container's fields answer first, then the data dictionary's.
  FirstByName<std::string> containerTypes;
  const bool containerTyped = answersDataTypes(container);
  for (xercesc::DOMNode* child = firstChildElement(container, ""); child != nullptr;
       child = nextSiblingElement(child, "")) {
    if (xercesc::XMLString::equals(child->getNodeName(), u"DerivedField")) measure(child);
    if (containerTyped) addDataType(containerTypes, child);
  }

  // Elements that name a field take its type, once every length is measured.
  const std::vector<xercesc::DOMElement*>& naming = referenceIndex(container).namingElements();
  givenDataTypes_.reserve(naming.size());
  for (xercesc::DOMElement* element : naming) {
    const std::string field = toLocalString(attributeText(element, kField16));
    std::string type;
    if (const std::string* own = containerTypes.find(field)) type = *own;
    if (type.empty()) {
      if (const std::string* data = dataFieldTypes.find(field)) type = *data;
    }
    if (type.empty()) continue;
    // The type as the element's attribute would hold it and a reader convert it back.
    auto given = givenTypes_.find(type);
    if (given == givenTypes_.end()) {
      given = givenTypes_.emplace(type, toLocalString(toXMLString(type).c_str())).first;
    }
    givenDataTypes_.set(element, &given->second);
  }
  // The field index finds the same dictionary from the document element.
  const xercesc::DOMDocument* document = container->getOwnerDocument();
  dataDictionaryEntries_.reset();
  if (document != nullptr && dataDictionary->getParentNode() == document->getDocumentElement()) {
    dataDictionaryEntries_ = std::move(entries);
  }
}

xercesc::DOMNode* ADPRootNode::firstFieldReference(xercesc::DOMNode* element) {
  for (xercesc::DOMNode* child = firstChildElement(element, ""); child != nullptr;
       child = nextSiblingElement(child, "")) {
    if (isFieldReference(nodeName(child))) return child;
    if (xercesc::DOMNode* inner = firstFieldReference(child)) return inner;
  }
  return nullptr;
}

std::string ADPRootNode::toSyntax() const {
  std::string text;
  for (const auto& child : children) text += child->toSyntax();
  if (!text.empty()) text += "\n";
  if (noneRole_.empty() && targetRole_.empty() && inputRole_.empty()) return text;
  text += "VARIABLE ROLE";
  appendRole(text, "NONE", noneRole_, true);
  appendRole(text, "TARGET", targetRole_, false);
  appendRole(text, "INPUT", inputRole_, true);
  text += ".\n";
  return text;
}
