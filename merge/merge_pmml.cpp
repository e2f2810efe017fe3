// The merge of transformation PMML into model PMML: one document in which the
// model scores from raw fields.
#include <pmmlxform/convert_trans_to_pmml.h>

#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "merge/in_place_copy.h"
#include "merge/input_treatment.h"
#include "merge/own_call.h"
#include "merge/raw_field_tracing.h"
#include "merge/repeated_texts.h"
#include "merge/schema_placement.h"
#include "trans/job_result_codes.h"
#include "trans/kept_texts.h"
#include "xml/dom.h"
#include "xml/parser.h"
#include "xml/writer.h"

using pmmlxform::isElement;
using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;

namespace {

using pmmlxform::OwnedDocument;
// A node out of its document, released with what it still holds.
using OwnedNode = std::unique_ptr<DOMNode, pmmlxform::Releaser>;

// The order the PMML schema gives the children of the two dictionaries:
// Extension, DefineFunction, then the fields (DataField or DerivedField), then
// Taxonomy.
int dictionaryRank(const std::string& kind) {
  if (kind == "Extension") return 0;
  if (kind == "DefineFunction") return 1;
  if (kind == "Taxonomy") return 3;
  return 2;
}

// Whether the transformation's dictionary `source` can stand as the result's
// as it is: adding its element children one by one to an empty dictionary
// would rebuild it. It has no attributes (a made dictionary has none), its
// children come in the order dictionaryRank gives, and their names are ASCII
// and distinct ignoring case, so that none repeats an earlier one.
template <typename Kinds>
bool standsAsDictionary(DOMElement* source, Kinds& kinds) {
  const xercesc::DOMNamedNodeMap* attributes = source->getAttributes();
  if (attributes != nullptr && attributes->getLength() != 0) return false;
  std::unordered_set<std::u16string> names;
  int rank = 0;
  for (DOMNode* child = source->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (!isElement(child)) continue;
    const int childRank = dictionaryRank(kinds.of(child->getNodeName()));
    if (childRank < rank) return false;
    rank = childRank;
    std::u16string key;
    for (const XMLCh* c = pmmlxform::attributeText(static_cast<DOMElement*>(child), u"name");
         *c != 0; ++c) {
      if (*c >= 0x80) return false;
      key.push_back(*c >= u'A' && *c <= u'Z' ? static_cast<XMLCh>(*c - u'A' + u'a') : *c);
    }
    if (!names.insert(key).second) return false;
  }
  return true;
}

}  // namespace

// Adds `child` to a dictionary after the children of its own kind and before
// those the schema puts later, so that functions of one document never end up
// behind the fields of the other.
void ConvertTransToPMML::addToDictionary(DOMElement* dictionary, DOMElement* child) {
  if (pmmlxform::NameIndex* index = pmmlxform::CallContext::indexOf(this, dictionary)) {
    index->insert(child);
    return;
  }
  const int rank = dictionaryRank(transcode(child->getNodeName()));
  DOMNode* before = dictionary->getFirstChild();
  for (; before != nullptr; before = before->getNextSibling()) {
    if (isElement(before) && dictionaryRank(transcode(before->getNodeName())) > rank) break;
  }
  dictionary->insertBefore(child, before);
}

int ConvertTransToPMML::mergePMML(DOMDocument* trans, DOMDocument* model, DOMDocument*& output,
                                  std::string& message, std::vector<TmsEndInfo>& dataFields,
                                  std::vector<TmsEndInfo>& derivedFields,
                                  std::vector<TmsMiningFieldInfo>& miningFields) {
  pmmlxform::keptText(this, pmmlxform::KeptText::kRefusalReason).clear();
  // The indexes live in the context of the facade call that runs the merge,
  // or in one of the merge's own when it is called directly; they hold for
  // this merge alone, so they go when it ends.
  std::optional<pmmlxform::CallContext> ownContext;
  pmmlxform::CallContext* context = pmmlxform::CallContext::of(this);
  if (context == nullptr) context = &ownContext.emplace(this);
  pmmlxform::NameIndexes& indexes = context->indexes;
  indexes.clear();
  struct Forget {
    pmmlxform::NameIndexes& indexes;
    ~Forget() { indexes.clear(); }
  } forget{indexes};
  // Inputs the call parsed for this merge alone go once read.
  pmmlxform::CallContext* call = pmmlxform::ownCall(this);
  try {
    if (!checkTransPMML(trans)) return pmmlxform::kMrgBadTransformation;
    if (!checkModelPMML(model)) {
      return segmentedModel ? pmmlxform::kMrgSegmentedModel : pmmlxform::kMrgBadModel;
    }

    xercesc::DOMImplementation* impl = nullptr;
    {
      const XMLText feature("Core");
      impl = xercesc::DOMImplementationRegistry::getDOMImplementation(feature.get());
    }
    if (impl == nullptr) {
      message = pmmlxform::kMrgNoDomMessage;
      return pmmlxform::kMrgRunError;
    }

    int code = pmmlxform::kMrgOk;
    // Counts a refusal of compareVars that names the conflicting variable.
    auto compare = [&](DOMElement* existing, DOMElement* incoming) {
      std::string conflict;
      if (!compareVars(existing, incoming, conflict) && !conflict.empty()) {
        code = pmmlxform::kMrgConflict;
        message = conflict;
      }
    };

    // Read before the transformation's document may come to hold the result.
    DOMElement* source = getTheElement(trans, "PMML/TransformationDictionary", 0);
    DOMElement* transData = getTheElement(trans, "PMML/DataDictionary", 0);
    // The result is built in the transformation's document when the call
    // parsed it for this merge alone and it writes as a new one; its children
    // leave it, the old document element kept aside to be read.
    const bool inPlace =
        call != nullptr && trans != model && pmmlxform::writesAsMade(trans) && call->take(trans);
    OwnedDocument work(inPlace ? trans : impl->createDocument());
    OwnedNode transRoot;
    if (inPlace) {
      transRoot.reset(trans->getDocumentElement());
      while (DOMNode* child = work->getFirstChild()) {
        work->removeChild(child);
        if (child != transRoot.get()) child->release();
      }
    }
    // A field of the transformation as the result holds it.
    auto copyField = [&](DOMElement* field) {
      return inPlace ? pmmlxform::keepInPlace(field) : importElement(work.get(), field);
    };

    DOMElement* root =
        static_cast<DOMElement*>(work->importNode(model->getDocumentElement(), false));
    work->appendChild(root);

    DOMElement* header = getTheElement(model, "PMML/Header", 0);
    if (header == nullptr) return pmmlxform::kMrgBadModel;
    root->appendChild(importElement(work.get(), header));
    if (DOMElement* task = getTheElement(model, "PMML/MiningBuildTask", 0)) {
      root->appendChild(importElement(work.get(), task));
    }

    auto convert = [this](const XMLCh* text) { return transcode(text); };
    pmmlxform::RepeatedTexts<decltype(convert)> kinds(convert);
    const XMLText dataDictionaryName("DataDictionary");
    const XMLText transDictionaryName("TransformationDictionary");
    DOMElement* dictionary = work->createElement(dataDictionaryName.get());
    // The transformation's own dictionary, when it is in the result's document
    // and would be rebuilt as it is, stays the result's: its fields then move
    // once, with it, rather than each out of it and into a made one.
    const bool keepsSource = inPlace && source != nullptr && standsAsDictionary(source, kinds);
    DOMElement* transDictionary = nullptr;
    if (keepsSource) {
      source->getParentNode()->removeChild(source);
      DOMNode* next = nullptr;
      for (DOMNode* child = source->getFirstChild(); child != nullptr; child = next) {
        next = child->getNextSibling();
        if (!isElement(child)) source->removeChild(child)->release();
      }
      pmmlxform::siftInPlace(source);
      transDictionary = source;
    } else {
      transDictionary = work->createElement(transDictionaryName.get());
    }
    root->appendChild(dictionary);
    root->appendChild(transDictionary);
    // Every field is looked up by name in these dictionaries and the mining
    // schemas; indexes answer as the scans would, in time independent of size.
    indexes.index(dictionary, true);
    indexes.index(transDictionary, true);
    // The model's treatment of derived inputs, carried into the derived fields.
    pmmlxform::InputTreatments treatments(
        [&](DOMElement* field) { addToDictionary(transDictionary, field); }, indexes);

    // The transformation's derived fields; a repeated name keeps the first,
    // which is compared with the newcomer.
    if (source == nullptr) return pmmlxform::kMrgBadTransformation;
    DOMNode* next = nullptr;
    for (DOMNode* child = keepsSource ? nullptr : source->getFirstChild(); child != nullptr;
         child = next) {
      next = child->getNextSibling();
      if (!isElement(child)) continue;
      auto* element = static_cast<DOMElement*>(child);
      if (DOMElement* found = findElement(transDictionary, element)) {
        compare(found, element);
      } else {
        addToDictionary(transDictionary, copyField(element));
      }
    }
    for (DOMNode* child = transDictionary->getFirstChild(); child != nullptr;
         child = child->getNextSibling()) {
      if (isElement(child) && kinds.of(child->getNodeName()) == "DerivedField") {
        treatments.fromTransformation(static_cast<DOMElement*>(child));
      }
    }

    // The transformation's data fields, copied now so that the transformation
    // can go before the model's fields are merged; they are merged after them.
    std::vector<DOMElement*> transDataFields;
    if (transData != nullptr) {
      for (DOMNode* child = transData->getFirstChild(); child != nullptr; child = next) {
        next = child->getNextSibling();
        if (isElement(child)) transDataFields.push_back(copyField(static_cast<DOMElement*>(child)));
      }
    }

    // The transformation is read.
    transRoot.reset();
    if (call != nullptr) call->release(trans);
    trans = nullptr;

    // The model's own derived fields, unless the transformation defines them.
    if (DOMElement* modelDerived = getTheElement(model, "PMML/TransformationDictionary", 0)) {
      for (DOMNode* child = modelDerived->getFirstChild(); child != nullptr;
           child = child->getNextSibling()) {
        if (!isElement(child)) continue;
        auto* element = static_cast<DOMElement*>(child);
        if (findElement(transDictionary, element) == nullptr) {
          addToDictionary(transDictionary, importElement(work.get(), element));
        }
      }
    }

    // The model's data fields. One that a transformation computes becomes that
    // derived field's value list instead.
    DOMElement* modelDictionary = getTheElement(model, "PMML/DataDictionary", 0);
    if (modelDictionary == nullptr) return pmmlxform::kMrgBadModel;
    for (DOMNode* child = modelDictionary->getFirstChild(); child != nullptr;
         child = child->getNextSibling()) {
      if (!isElement(child)) continue;
      auto* element = static_cast<DOMElement*>(child);
      DOMElement* derived = findElement(transDictionary, element);
      DOMElement* data = findElement(dictionary, element);
      if (data != nullptr) {
        compare(data, element);
      } else if (derived != nullptr) {
        treatments.modelField(derived, element);
        clearValues(derived);
        copyValues(element, derived);
      } else {
        addToDictionary(dictionary, importElement(work.get(), element));
      }
    }

    // The transformation's data fields; a name already there keeps the field
    // it has, which is compared with the newcomer.
    if (transData == nullptr) return pmmlxform::kMrgBadTransformation;
    for (DOMElement* element : transDataFields) {
      if (DOMElement* found = findElement(dictionary, element)) {
        compare(found, element);
        element->release();
      } else {
        addToDictionary(dictionary, element);
      }
    }

    // The model elements and trailing Extensions, copied first so that the
    // model goes before the mining schemas are rewritten: what the rewriting
    // adds never takes memory while the model still does. The copies stay out
    // of the result until their turn, since the treatments read its names.
    struct Part {
      DOMElement* copy;
      const char* schemaPath;  // null for an Extension
      // The copy of the mining schema, and its fields, held out of it until it
      // is rewritten.
      DOMElement* schema;
      pmmlxform::HeldFields fields;
    };
    auto import = [&](DOMElement* element) { return importElement(work.get(), element); };
    std::vector<Part> parts;
    for (DOMNode* sibling = modelDictionary->getNextSibling(); sibling != nullptr;
         sibling = sibling->getNextSibling()) {
      if (!isElement(sibling)) continue;
      auto* element = static_cast<DOMElement*>(sibling);
      const char* schemaPath = nullptr;
      for (DOMNode* child = element->getFirstChild(); child != nullptr;
           child = child->getNextSibling()) {
        if (!isElement(child)) continue;
        const std::string name = transcode(child->getNodeName());
        if (name == "NearestNeighborModels") {
          schemaPath = "NearestNeighborModels/NearestNeighborModel/MiningSchema";
          break;
        }
        if (name == "MiningSchema") {
          schemaPath = "MiningSchema";
          break;
        }
      }
      if (schemaPath != nullptr) {
        Part& part = parts.emplace_back(Part{nullptr, schemaPath, nullptr, {}});
        part.copy = pmmlxform::importHoldingSchema(work.get(), element,
                                                   getTheElement(element, schemaPath, 0), import,
                                                   part.schema, part.fields);
      } else if (transcode(element->getNodeName()) == "Extension") {
        parts.push_back({importElement(work.get(), element), nullptr, nullptr, {}});
      }
    }

    if (call != nullptr) call->release(model);
    model = nullptr;

    // A schema's held fields placed where dealMiningSchema would leave them
    // once appended, when that can be told beforehand.
    auto placeHeld = [&](DOMElement* schema, const std::vector<DOMNode*>& fields) {
      pmmlxform::RawFieldTracer tracer(
          [this](DOMElement* element) {
            std::vector<std::string> names;
            getRelativeVars(element, names);
            return names;
          },
          [this, transDictionary](const std::string& name) {
            return findVariable(transDictionary, "DerivedField", name);
          });
      // What findElement finds in the indexed dictionary.
      pmmlxform::NameIndex& derivedFields = indexes.index(transDictionary, true);
      const pmmlxform::SchemaRewriting rewriting{
          [&derivedFields](const XMLCh* name) { return derivedFields.find(name); },
          [&tracer](DOMElement* derived) { return tracer.rawFieldsOf(derived); },
          [this](const XMLCh* text) { return transcode(text); },
          [this, schema](std::vector<std::string>& names, std::string& error) {
            return addMiningFields(schema, names, error);
          }};
      return pmmlxform::placeHeldSchema(schema, fields, indexes, rewriting);
    };

    // Each mining schema rewritten to name raw fields, in document order.
    DOMElement* lastSchema = nullptr;
    for (const Part& part : parts) {
      if (part.schemaPath == nullptr) {
        root->appendChild(part.copy);
        continue;
      }
      lastSchema = part.schema;
      const std::vector<DOMNode*> fields =
          lastSchema == nullptr ? std::vector<DOMNode*>() : part.fields.make(work.get());
      if (lastSchema != nullptr && !placeHeld(lastSchema, fields)) {
        for (DOMNode* field : fields) lastSchema->appendChild(field);
        indexes.index(lastSchema, false);
        if (!dealMiningSchema(lastSchema, transDictionary, message)) code = pmmlxform::kMrgConflict;
      }
      root->appendChild(part.copy);
      treatments.carry(lastSchema, transDictionary);
    }

    getVarsInfo(getTheElement(work.get(), "PMML/TransformationDictionary", 0), derivedFields);
    getVarsInfo(getTheElement(work.get(), "PMML/DataDictionary", 0), dataFields);
    if (lastSchema != nullptr) getMiningInfo(lastSchema, miningFields);

    output = work.release();
    return code;
  } catch (...) {
    // Standard exceptions, and the XML library's own, which stand outside the
    // standard family, alike; only their text leaves.
    message = std::string(pmmlxform::kMrgFailureMessage) + pmmlxform::currentExceptionText();
  }
  return pmmlxform::kMrgRunError;
}
