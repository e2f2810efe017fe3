// Filling the variable and mining-field records from a produced document.
#include <pmmlxform/convert_trans_to_pmml.h>
#include <pmmlxform/tms_records.h>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLString.hpp>

#include "merge/repeated_texts.h"
#include "xml/dom.h"
#include "xml/writer.h"

using xercesc::DOMElement;
using xercesc::DOMNode;

namespace {

// usageType of a MiningField that does not say.
constexpr char kDefaultUsage[] = "active";

}  // namespace

bool ConvertTransToPMML::getVarsInfo(DOMElement* parent, std::vector<TmsEndInfo>& vars) {
  if (parent == nullptr) return true;
  const XMLText name("name");
  const XMLText displayName("displayName");
  const XMLText dataType("dataType");
  const XMLText optype("optype");
  auto convert = [this](const XMLCh* text) { return transcode(text); };
  pmmlxform::RepeatedTexts<decltype(convert)> types(convert);
  TmsEndInfo info;
  for (DOMNode* child = parent->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (child->getNodeType() != DOMNode::ELEMENT_NODE) continue;
    // The full node name: a namespace prefix makes it a different element.
    const XMLCh* kind = child->getNodeName();
    if (!xercesc::XMLString::equals(kind, u"DerivedField") &&
        !xercesc::XMLString::equals(kind, u"DataField")) {
      continue;
    }
    // Values read from their text nodes, sparing the attributes' accessors.
    info.name = UTF16To8(pmmlxform::attributeText(child, name.get()));
    info.displayName = UTF16To8(pmmlxform::attributeText(child, displayName.get()));
    info.dataType = types.of(pmmlxform::attributeText(child, dataType.get()));
    info.optype = types.of(pmmlxform::attributeText(child, optype.get()));
    vars.push_back(info);
  }
  return true;
}

bool ConvertTransToPMML::getMiningInfo(DOMElement* miningSchema,
                                       std::vector<TmsMiningFieldInfo>& fields) {
  if (miningSchema == nullptr) return true;
  const XMLText name("name");
  const XMLText usageType("usageType");
  auto convert = [this](const XMLCh* text) { return transcode(text); };
  pmmlxform::RepeatedTexts<decltype(convert)> texts(convert);
  TmsMiningFieldInfo info;
  for (DOMNode* child = miningSchema->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (child->getNodeType() != DOMNode::ELEMENT_NODE) continue;
    if (texts.of(child->getNodeName()) != "MiningField") continue;
    info.name = UTF16To8(pmmlxform::attributeText(child, name.get()));
    info.usageType = texts.of(pmmlxform::attributeText(child, usageType.get()));
    if (info.usageType.empty()) info.usageType = kDefaultUsage;
    fields.push_back(info);
  }
  return true;
}
