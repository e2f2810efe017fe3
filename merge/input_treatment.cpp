// The model's treatment of a derived input, written into the derived field so
// that standard scorers apply it to the merged document.
#include "merge/input_treatment.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>
#include <xercesc/util/XMLString.hpp>

#include "host/vendor.h"
#include "merge/field_references.h"
#include "xml/dom.h"

using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;
using xercesc::XMLString;

namespace pmmlxform {
namespace {

using Text = std::basic_string<XMLCh>;

// The untreated field keeps the transformation's definition under the input's
// name with this suffix, and a number from 2 on when that name is taken.
constexpr XMLCh kUntreatedSuffix[] = u"_untreated";
// Kinds of element whose "name" an untreated field's name must not repeat.
constexpr const XMLCh* kNamedFields[] = {u"DataField", u"DerivedField", u"OutputField",
                                         u"MiningField"};

bool named(const DOMNode* node, const XMLCh* kind) {
  return isElement(node) && XMLString::equals(node->getNodeName(), kind);
}

std::vector<DOMElement*> children(DOMElement* parent, const XMLCh* kind) {
  std::vector<DOMElement*> result;
  for (DOMNode* child = parent->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (named(child, kind)) result.push_back(static_cast<DOMElement*>(child));
  }
  return result;
}

Text attribute(DOMElement* element, const XMLCh* name) {
  return pmmlxform::attributeText(element, name);
}

bool sameName(const XMLCh* a, const XMLCh* b) { return XMLString::compareIString(a, b) == 0; }

DOMElement* findField(const NameIndexes& indexes, DOMElement* dictionary, const XMLCh* name) {
  if (NameIndex* index = indexes.find(dictionary)) return index->find(name);
  for (DOMNode* child = dictionary->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (isElement(child) &&
        sameName(pmmlxform::attributeText(static_cast<DOMElement*>(child), u"name"), name)) {
      return static_cast<DOMElement*>(child);
    }
  }
  return nullptr;
}

// The container of derived inputs that the mining schema's reconciliation
// puts first.
DOMElement* derivedInputs(DOMElement* miningSchema) {
  DOMNode* first = miningSchema->getFirstChild();
  while (first != nullptr && !isElement(first)) first = first->getNextSibling();
  if (!named(first, u"Extension")) return nullptr;
  auto* container = static_cast<DOMElement*>(first);
  const std::string extender(kVendorExtender);
  return attribute(container, u"extender") == Text(extender.begin(), extender.end()) &&
                 attribute(container, u"name") == u"DerivedFields"
             ? container
             : nullptr;
}

// What the model does to one input before scoring it, read from its mining
// field and its data field.
struct Treatment {
  bool replaced = false;
  Text replacement;
  std::vector<Text> missing;  // values the model's field declares missing
  bool invalidAsMissing = false;
  std::vector<Text> valid, invalid;
  std::vector<ModelFieldValues::Interval> intervals;  // valid ranges
  bool continuous = false;
  Text outliers;  // "asMissingValues", "asExtremeValues" or other
  bool hasLow = false, hasHigh = false;
  Text low, high;

  bool clips() const { return outliers == u"asExtremeValues" && (hasLow || hasHigh); }
  bool outliersMissing() const { return outliers == u"asMissingValues" && (hasLow || hasHigh); }
  // Whether values outside the valid values or ranges are invalid: intervals
  // restrict a continuous field, whose valid values count in addition (an
  // interval without margins takes every value); the valid values of a
  // categorical or ordinal field, when it lists any, are all it takes.
  bool restricted() const {
    if (!continuous) return !valid.empty();
    for (const ModelFieldValues::Interval& interval : intervals) {
      if (!interval.hasLeft && !interval.hasRight) return false;
    }
    return !intervals.empty();
  }
  bool checksValidity() const { return invalidAsMissing && (!invalid.empty() || restricted()); }
  // Whether the model can see another value than the transformation computed.
  bool needed() const {
    return replaced || !missing.empty() || checksValidity() || clips() || outliersMissing();
  }
};

Treatment readTreatment(DOMElement* miningField, const ModelFieldValues* values) {
  Treatment t;
  t.replaced = miningField->hasAttribute(u"missingValueReplacement");
  t.replacement = attribute(miningField, u"missingValueReplacement");
  // Invalid values are returned as an invalid result by default, which no
  // expression can give; "asIs" needs nothing, "asMissing" is written out.
  t.invalidAsMissing = attribute(miningField, u"invalidValueTreatment") == u"asMissing";
  t.outliers = attribute(miningField, u"outliers");
  t.hasLow = miningField->hasAttribute(u"lowValue");
  t.hasHigh = miningField->hasAttribute(u"highValue");
  t.low = attribute(miningField, u"lowValue");
  t.high = attribute(miningField, u"highValue");
  if (values == nullptr) return t;
  values->values(t.missing, t.invalid, t.valid);
  t.intervals = values->intervals();
  // A mining field's optype overrides its data field's.
  t.continuous = miningField->hasAttribute(u"optype")
                     ? attribute(miningField, u"optype") == u"continuous"
                     : values->continuous;
  return t;
}

// Builds the expressions of the treated field in the merged document.
class Writer {
 public:
  Writer(DOMDocument* document, Text input, Text dataType)
      : document_(document), input_(std::move(input)), dataType_(std::move(dataType)) {}

  DOMElement* input() {
    DOMElement* ref = document_->createElement(u"FieldRef");
    ref->setAttribute(u"field", input_.c_str());
    return ref;
  }
  // A value of the input's own type.
  DOMElement* value(const Text& text) { return constant(text, dataType_); }
  DOMElement* number(const Text& text) { return constant(text, u"double"); }
  DOMElement* apply(const XMLCh* function, std::vector<DOMElement*> arguments) {
    DOMElement* apply = document_->createElement(u"Apply");
    apply->setAttribute(u"function", function);
    for (DOMElement* argument : arguments) apply->appendChild(argument);
    return apply;
  }
  // One condition of several, joined by `function`; a single one stands alone.
  DOMElement* join(const XMLCh* function, std::vector<DOMElement*> conditions) {
    return conditions.size() == 1 ? conditions.front() : apply(function, std::move(conditions));
  }
  // The negation of `condition`, without a double "not".
  DOMElement* negate(DOMElement* condition) {
    if (XMLString::equals(pmmlxform::attributeText(condition, u"function"), u"not")) {
      DOMNode* inner = condition->getFirstChild();
      if (isElement(inner) && inner->getNextSibling() == nullptr) {
        condition->removeChild(inner);
        condition->release();
        return static_cast<DOMElement*>(inner);
      }
    }
    return apply(u"not", {condition});
  }
  DOMElement* isIn(const std::vector<Text>& values) {
    std::vector<DOMElement*> arguments{input()};
    for (const Text& v : values) arguments.push_back(value(v));
    return apply(u"isIn", std::move(arguments));
  }
  // Whether the input lies in `interval`, which has at least one margin.
  DOMElement* inside(const ModelFieldValues::Interval& interval) {
    const Text& closure = interval.closure;
    const bool leftClosed = closure == u"closedClosed" || closure == u"closedOpen";
    const bool rightClosed = closure == u"closedClosed" || closure == u"openClosed";
    std::vector<DOMElement*> sides;
    if (interval.hasLeft) {
      sides.push_back(
          apply(leftClosed ? u"greaterOrEqual" : u"greaterThan", {input(), number(interval.left)}));
    }
    if (interval.hasRight) {
      sides.push_back(
          apply(rightClosed ? u"lessOrEqual" : u"lessThan", {input(), number(interval.right)}));
    }
    return join(u"and", std::move(sides));
  }

 private:
  DOMElement* constant(const Text& text, const Text& dataType) {
    DOMElement* constant = document_->createElement(u"Constant");
    if (!dataType.empty()) constant->setAttribute(u"dataType", dataType.c_str());
    constant->appendChild(document_->createTextNode(text.c_str()));
    return constant;
  }

  DOMDocument* document_;
  Text input_;
  Text dataType_;
};

// The condition, for a present input, under which the model takes it as
// missing; null when it never does.
DOMElement* missingCondition(const Treatment& t, Writer& w) {
  std::vector<DOMElement*> parts;
  if (!t.missing.empty()) parts.push_back(w.isIn(t.missing));
  if (t.checksValidity()) {
    std::vector<DOMElement*> invalid;
    if (!t.invalid.empty()) invalid.push_back(w.isIn(t.invalid));
    const bool restricted = t.restricted();
    std::vector<DOMElement*> valid;
    if (restricted && !t.valid.empty()) valid.push_back(w.isIn(t.valid));
    if (restricted && t.continuous) {
      for (const ModelFieldValues::Interval& interval : t.intervals) {
        valid.push_back(w.inside(interval));
      }
    }
    if (restricted) invalid.push_back(w.negate(w.join(u"or", std::move(valid))));
    if (!invalid.empty()) parts.push_back(w.join(u"or", std::move(invalid)));
  }
  if (t.outliersMissing()) {
    std::vector<DOMElement*> outside;
    if (t.hasLow) outside.push_back(w.apply(u"lessThan", {w.input(), w.number(t.low)}));
    if (t.hasHigh) outside.push_back(w.apply(u"greaterThan", {w.input(), w.number(t.high)}));
    parts.push_back(w.join(u"or", std::move(outside)));
  }
  return parts.empty() ? nullptr : w.join(u"or", std::move(parts));
}

// The present input as the model scores it: clipped to its outlier bounds when
// the model asks for that.
DOMElement* presentValue(const Treatment& t, Writer& w) {
  DOMElement* result = w.input();
  if (!t.clips()) return result;
  if (t.hasHigh) {
    result = w.apply(
        u"if", {w.apply(u"greaterThan", {w.input(), w.number(t.high)}), w.number(t.high), result});
  }
  if (t.hasLow) {
    result = w.apply(u"if",
                     {w.apply(u"lessThan", {w.input(), w.number(t.low)}), w.number(t.low), result});
  }
  return result;
}

// The treated input: a missing input, or one the model takes as missing,
// becomes the replacement, or stays missing (an "if" without its else part
// gives missing when its condition is false).
DOMElement* treatedValue(const Treatment& t, Writer& w) {
  DOMElement* present = presentValue(t, w);
  DOMElement* condition = missingCondition(t, w);
  if (condition != nullptr) {
    present = t.replaced ? w.apply(u"if", {condition, w.value(t.replacement), present})
                         : w.apply(u"if", {w.negate(condition), present});
  }
  if (t.replaced) {
    return w.apply(u"if", {w.apply(u"isMissing", {w.input()}), w.value(t.replacement), present});
  }
  return w.apply(u"if", {w.apply(u"isNotMissing", {w.input()}), present});
}

// A key that all names equal ignoring case share (and some others, which the
// exact comparison then tells apart): ASCII letters in lower case, and "i",
// "k", "s" and every code unit beyond ASCII one placeholder, since case
// mappings take some letters beyond ASCII to those three.
Text nameKey(const XMLCh* name) {
  Text key;
  for (; name != nullptr && *name != 0; ++name) {
    XMLCh c = *name;
    if (c >= u'A' && c <= u'Z') c = static_cast<XMLCh>(c - u'A' + u'a');
    if (c >= 0x80 || c == u'i' || c == u'k' || c == u's') c = u'*';
    key.push_back(c);
  }
  return key;
}

// The expression of a derived field: its first child that is neither an
// Extension nor a Value.
DOMElement* expressionOf(DOMElement* derived) {
  for (DOMNode* child = derived->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (isElement(child) && !named(child, u"Extension") && !named(child, u"Value")) {
      return static_cast<DOMElement*>(child);
    }
  }
  return nullptr;
}

// The derived field that holds `node`, or null.
const DOMNode* enclosingField(const DOMNode* node) {
  while (node != nullptr && !named(node, u"DerivedField")) node = node->getParentNode();
  return node;
}

// Every element below `element` (itself included), in document order. The
// path down is kept here: asking the library for a parent costs far more than
// a step.
template <typename Visit>
void forEachElement(DOMElement* element, Visit visit) {
  std::vector<DOMNode*> ancestors;
  DOMNode* node = element;
  while (node != nullptr) {
    if (isElement(node)) visit(static_cast<DOMElement*>(node));
    if (isElement(node) && node->getFirstChild() != nullptr) {
      ancestors.push_back(node);
      node = node->getFirstChild();
      continue;
    }
    while (node != element && node->getNextSibling() == nullptr) {
      node = ancestors.back();
      ancestors.pop_back();
    }
    node = node == element ? nullptr : node->getNextSibling();
  }
}

}  // namespace

namespace {
// The code units that stand for a Value's property in ModelFieldValues.
constexpr XMLCh kMissingValue = u'm';
constexpr XMLCh kInvalidValue = u'i';
constexpr XMLCh kValidValue = u'v';
}  // namespace

ModelFieldValues::ModelFieldValues(DOMElement* dataField) {
  Lists lists;
  Text& values = lists.values;
  for (DOMElement* value : children(dataField, u"Value")) {
    // Read in place: the texts are only compared and appended.
    const XMLCh* property = pmmlxform::attributeText(value, u"property");
    values.push_back(XMLString::equals(property, u"missing")   ? kMissingValue
                     : XMLString::equals(property, u"invalid") ? kInvalidValue
                                                               : kValidValue);
    // A text holds no 0: XML cannot carry one.
    values += pmmlxform::attributeText(value, u"value");
    values.push_back(0);
  }
  values.shrink_to_fit();
  std::vector<Interval>& intervals = lists.intervals;
  for (DOMElement* element : children(dataField, u"Interval")) {
    Interval interval;
    interval.hasLeft = element->hasAttribute(u"leftMargin");
    interval.hasRight = element->hasAttribute(u"rightMargin");
    interval.left = attribute(element, u"leftMargin");
    interval.right = attribute(element, u"rightMargin");
    interval.closure = attribute(element, u"closure");
    intervals.push_back(std::move(interval));
  }
  if (!values.empty() || !intervals.empty()) lists_ = std::make_unique<Lists>(std::move(lists));
  continuous = attribute(dataField, u"optype") == u"continuous";
}

const std::vector<ModelFieldValues::Interval>& ModelFieldValues::intervals() const {
  static const std::vector<Interval> none;
  return lists_ == nullptr ? none : lists_->intervals;
}

void ModelFieldValues::values(std::vector<Text>& missing, std::vector<Text>& invalid,
                              std::vector<Text>& valid) const {
  if (lists_ == nullptr) return;
  const Text& list = lists_->values;
  for (std::size_t at = 0; at < list.size();) {
    const XMLCh property = list[at++];
    const std::size_t end = list.find(XMLCh(0), at);
    Text text = list.substr(at, end - at);
    at = end + 1;
    if (property == kMissingValue) {
      missing.push_back(std::move(text));
    } else if (property == kInvalidValue) {
      invalid.push_back(std::move(text));
    } else {
      valid.push_back(std::move(text));
    }
  }
}

InputTreatments::InputTreatments(std::function<void(DOMElement*)> add, const NameIndexes& indexes)
    : add_(std::move(add)), indexes_(indexes) {}

InputTreatments::~InputTreatments() {
  for (const Kept& kept : kept_) {
    if (!kept.hasOriginal) continue;
    for (std::uint32_t i = 0; i < kept.childCount; ++i) {
      keptChildren_[kept.firstChild + i]->release();
    }
  }
}

std::uint32_t* InputTreatments::keptOf(DOMElement* derived) {
  if (!sorted_) {
    // A field met twice keeps the entry that has a position.
    std::sort(transformation_.begin(), transformation_.end());
    transformation_.erase(
        std::unique(transformation_.begin(), transformation_.end(),
                    [](const auto& a, const auto& b) { return a.first == b.first; }),
        transformation_.end());
    sorted_ = true;
  }
  const auto found = std::lower_bound(
      transformation_.begin(), transformation_.end(), derived,
      [](const auto& entry, DOMElement* element) { return entry.first < element; });
  if (found == transformation_.end() || found->first != derived) return nullptr;
  return &found->second;
}

std::uint32_t InputTreatments::optypeId(const Text& optype) {
  // Fields repeat a few optypes; the search stays a few comparisons long.
  constexpr std::size_t kSearched = 8;
  for (std::size_t i = 0; i < optypes_.size() && i < kSearched; ++i) {
    if (optypes_[i] == optype) return static_cast<std::uint32_t>(i);
  }
  optypes_.push_back(optype);
  return static_cast<std::uint32_t>(optypes_.size() - 1);
}

void InputTreatments::fromTransformation(DOMElement* derived) {
  transformation_.emplace_back(derived, kNone);
  sorted_ = false;
  forEachElement(derived, [this](DOMElement* element) {
    if (isFieldReference(element->getNodeName())) {
      unkeyedReferences_.push_back(element);
    }
  });
}

void InputTreatments::modelField(DOMElement* derived, DOMElement* dataField) {
  std::uint32_t* position = keptOf(derived);
  if (position == nullptr || (*position != kNone && kept_[*position].hasOriginal)) return;
  // The first model field of the name gives the values.
  if (*position == kNone) {
    *position = static_cast<std::uint32_t>(kept_.size());
    kept_.emplace_back(dataField);
  }
  // The value list that the model's field is about to replace: the values and
  // extensions are set aside, a "stringLength" extension, which stays, is copied.
  Kept& original = kept_[*position];
  original.hasOriginal = true;
  original.hasOptype = derived->hasAttribute(u"optype");
  original.optype = optypeId(attribute(derived, u"optype"));
  original.firstChild = static_cast<std::uint32_t>(keptChildren_.size());
  DOMNode* next = nullptr;
  for (DOMNode* child = derived->getFirstChild(); child != nullptr; child = next) {
    next = child->getNextSibling();
    if (named(child, u"Value") ||
        (named(child, u"Extension") &&
         attribute(static_cast<DOMElement*>(child), u"name") != u"stringLength")) {
      keptChildren_.push_back(static_cast<DOMElement*>(derived->removeChild(child)));
    } else if (named(child, u"Extension")) {
      keptChildren_.push_back(static_cast<DOMElement*>(child->cloneNode(true)));
    }
  }
  original.childCount = static_cast<std::uint32_t>(keptChildren_.size()) - original.firstChild;
}

void InputTreatments::carry(DOMElement* miningSchema, DOMElement* dictionary) {
  if (miningSchema == nullptr || dictionary == nullptr) return;
  DOMElement* container = derivedInputs(miningSchema);
  if (container == nullptr) return;
  for (DOMElement* field : children(container, u"MiningField")) {
    const Text usage = attribute(field, u"usageType");
    if (usage == u"predicted" || usage == u"target") continue;
    DOMElement* derived = findField(indexes_, dictionary, pmmlxform::attributeText(field, u"name"));
    if (derived == nullptr || keptOf(derived) == nullptr) continue;
    if (!treated_.insert(derived).second) continue;
    treat(derived, field);
  }
}

void InputTreatments::learnNames(DOMDocument* document) {
  DOMElement* root = document->getDocumentElement();
  for (DOMNode* part = root->getFirstChild(); part != nullptr; part = part->getNextSibling()) {
    if (!isElement(part) || !learned_.insert(part).second) continue;
    forEachElement(static_cast<DOMElement*>(part), [this](DOMElement* element) {
      for (const XMLCh* kind : kNamedFields) {
        if (XMLString::equals(element->getNodeName(), kind)) {
          const XMLCh* name = pmmlxform::attributeText(element, u"name");
          names_[nameKey(name)].push_back(name);
        }
      }
    });
  }
}

void InputTreatments::indexReferences() {
  for (DOMElement* reference : unkeyedReferences_) {
    references_[nameKey(pmmlxform::attributeText(reference, u"field"))].push_back(reference);
  }
  unkeyedReferences_.clear();
  unkeyedReferences_.shrink_to_fit();
}

bool InputTreatments::nameTaken(const Text& name) const {
  const auto bucket = names_.find(nameKey(name.c_str()));
  if (bucket == names_.end()) return false;
  for (const Text& other : bucket->second) {
    if (sameName(other.c_str(), name.c_str())) return true;
  }
  return false;
}

Text InputTreatments::untreatedName(DOMDocument* document, const Text& input) {
  learnNames(document);
  const Text base = input + kUntreatedSuffix;
  Text name = base;
  for (int n = 2; nameTaken(name); ++n) {
    const std::string digits = std::to_string(n);
    name = base + Text(digits.begin(), digits.end());
  }
  names_[nameKey(name.c_str())].push_back(name);
  return name;
}

void InputTreatments::treat(DOMElement* derived, DOMElement* miningField) {
  const std::uint32_t* keptAt = keptOf(derived);
  Kept* kept = keptAt == nullptr || *keptAt == kNone ? nullptr : &kept_[*keptAt];
  const Treatment t = readTreatment(miningField, kept == nullptr ? nullptr : &kept->values);
  DOMElement* expression = expressionOf(derived);
  if (!t.needed() || expression == nullptr) return;

  DOMDocument* document = derived->getOwnerDocument();
  const Text name = attribute(derived, u"name");
  const Text untreatedFieldName = untreatedName(document, name);

  // The transformation's definition under the new name: its own expression
  // (moved, so that references into it stay where they are indexed), values
  // and extensions.
  DOMNode* position = expression->getNextSibling();
  DOMElement* untreated = nullptr;
  if (kept != nullptr && kept->hasOriginal) {
    untreated = static_cast<DOMElement*>(derived->cloneNode(false));
    if (kept->hasOptype) {
      untreated->setAttribute(u"optype", optypes_[kept->optype].c_str());
    } else {
      untreated->removeAttribute(u"optype");
    }
    const auto first = keptChildren_.begin() + kept->firstChild;
    const auto last = first + kept->childCount;
    for (auto child = first; child != last; ++child) {
      if (named(*child, u"Extension")) untreated->appendChild(*child);
    }
    untreated->appendChild(expression);
    for (auto child = first; child != last; ++child) {
      if (!named(*child, u"Extension")) untreated->appendChild(*child);
    }
    kept->hasOriginal = false;
  } else {
    untreated = static_cast<DOMElement*>(derived->cloneNode(true));
    untreated->replaceChild(expression, expressionOf(untreated))->release();
  }
  untreated->setAttribute(u"name", untreatedFieldName.c_str());

  // The transformation's other fields read the value it computed.
  indexReferences();
  for (DOMElement* reference : references_[nameKey(name.c_str())]) {
    if (sameName(pmmlxform::attributeText(reference, u"field"), name.c_str()) &&
        enclosingField(reference) != untreated) {
      reference->setAttribute(u"field", untreatedFieldName.c_str());
    }
  }

  Writer writer(document, untreatedFieldName, attribute(derived, u"dataType"));
  derived->insertBefore(treatedValue(t, writer), position);
  add_(untreated);
}

}  // namespace pmmlxform
