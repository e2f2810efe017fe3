// ConvertTransToPMML: transformation descriptions to transformation PMML
// through the stylesheet, with accumulation of successive descriptions and the
// PMML 4.3 stamp on the result.
#include <pmmlxform/convert_trans_to_pmml.h>

#include <exception>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "host/havrik.h"
#include "host/norvel.h"
#include "host/vendor.h"
#include "merge/own_call.h"
#include "trans/job_result_codes.h"
#include "trans/kept_texts.h"
#include "trans/result_writer.h"
#include "trans/xslt_driver.h"
#include "xml/dom.h"
#include "xml/parser.h"
#include "xml/writer.h"

using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;

namespace {

// The document element of every transformation description.
constexpr XMLCh kDescriptionRoot[] = u"TransformationDescription";

// The stamp of produced PMML.
constexpr char kPmmlVersion[] = "4.3";
constexpr char kPmmlNamespace[] = "http://www.dmg.org/PMML-4_3";
constexpr char kSchemaInstanceNamespace[] = "http://www.w3.org/2001/XMLSchema-instance";
constexpr char kSchemaFile[] = "pmml-4-3.xsd";

// Prefixes of the stamping failures; the exception's own text follows directly.
constexpr char kHeaderException[] = "AddHeaderElementException:";
constexpr char kApplicationException[] = "AddHeaderApplicationElementException:";
constexpr char kAttributeException[] = "SetAttributeException:";

DOMElement* firstElementChild(DOMNode* parent) {
  if (parent == nullptr) return nullptr;
  for (DOMNode* child = parent->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (child->getNodeType() == DOMNode::ELEMENT_NODE) return static_cast<DOMElement*>(child);
  }
  return nullptr;
}

DOMDocument* deepCopy(const DOMDocument* document) {
  return document == nullptr ? nullptr : static_cast<DOMDocument*>(document->cloneNode(true));
}

using pmmlxform::OwnedDocument;

// The attributes stamped on produced PMML, in the order they are set: on the
// PMML element, on its Header, and on the Header's Application.
struct Stamp {
  using Attributes = std::vector<std::pair<const char*, std::string>>;
  Attributes pmml, header, application;
};

Stamp stamp() {
  const havrik::AppParams params = havrik::GetAppParams();
  const std::string copyright =
      params.copyright.empty() ? std::string(pmmlxform::kVendorCopyright) : params.copyright;
  return {{{"version", kPmmlVersion},
           {"xmlns", kPmmlNamespace},
           {"xmlns:xsi", kSchemaInstanceNamespace},
           {"xsi:schemaLocation", std::string(kPmmlNamespace) + " " + kSchemaFile}},
          {{"copyright", copyright}},
          {{"name", params.name}, {"version", params.version}}};
}

// The stamp as the result writer takes it, each text made XML text as
// setAttribute makes it.
pmmlxform::ResultStamp resultStamp() {
  const auto convert = [](const Stamp::Attributes& attributes) {
    pmmlxform::ResultStamp::Attributes converted;
    for (const auto& [name, value] : attributes) {
      const XMLText xmlName(name);
      const XMLText xmlValue(value);
      converted.emplace_back(xmlName.get(), xmlValue.get());
    }
    return converted;
  };
  const Stamp values = stamp();
  return {convert(values.pmml), convert(values.header), convert(values.application)};
}

void setAttribute(DOMElement* element, const char* name, const std::string& value) {
  const XMLText xmlName(name);
  const XMLText xmlValue(value);
  element->setAttribute(xmlName.get(), xmlValue.get());
}

}  // namespace

int ConvertTransToPMML::transform(DOMDocument* input, DOMDocument*& output, std::string& message,
                                  std::vector<TmsEndInfo>& vars) {
  // What it takes to put the held description back as it was when no
  // document comes out (one faulty description must not take the accumulated
  // ones with it): the replaced document itself, or the last entry before
  // those this call appends. Cheaper than copying the whole description.
  DOMElement* inputRoot = input == nullptr ? nullptr : input->getDocumentElement();
  pmmlxform::keptText(this, pmmlxform::KeptText::kStylesheetMessage).clear();
  // Any other document would convert to an empty PMML, or add nothing to the
  // held description, and pass for a valid description.
  if (inputRoot != nullptr &&
      !xercesc::XMLString::equals(inputRoot->getNodeName(), kDescriptionRoot)) {
    message = pmmlxform::kTransNotDescriptionMessage;
    return pmmlxform::kTransBadInput;
  }
  const bool replaces = (inputRoot != nullptr || transDocument == nullptr) &&
                        (!needMerging || transDocument == nullptr);
  OwnedDocument before;
  DOMElement* entries = nullptr;
  DOMNode* lastEntry = nullptr;
  if (replaces) {
    before.reset(transDocument);
    transDocument = nullptr;
  } else if (inputRoot != nullptr) {
    entries = firstElementChild(transDocument->getDocumentElement());
    if (entries != nullptr) lastEntry = entries->getLastChild();
  }
  auto restore = [&] {
    if (replaces) {
      if (transDocument != nullptr) transDocument->release();
      transDocument = before.release();
    } else if (entries != nullptr) {
      DOMNode* added =
          lastEntry == nullptr ? entries->getFirstChild() : lastEntry->getNextSibling();
      while (added != nullptr) {
        DOMNode* next = added->getNextSibling();
        entries->removeChild(added)->release();
        added = next;
      }
    }
  };
  try {
    if (!mergeTransXML(input)) {
      restore();
      message = pmmlxform::kTransCannotMergeMessage;
      return pmmlxform::kTransBadInput;
    }

    ConvertByXSLT converter;
    norvel::ExtNameStr name;
    name.SetGeneric(stylesheetPath);
    std::ifstream stylesheet;
    // Whether the stream opened decides, not what Open returns.
    name.Open(stylesheet, norvel::ExtNameStr::kRead);
    if (!stylesheet.is_open()) {
      // The accumulated description stays: the next call with the stylesheet
      // in place converts it.
      message = std::string(pmmlxform::kTransNoStylesheetMessage) + stylesheetPath;
      return pmmlxform::kTransRunError;
    }

    // The text form may take the result as text, written as the output is made
    // when it has the shape the writer knows; any other output is converted
    // again below, through a document.
    pmmlxform::CallContext* call = pmmlxform::ownCall(this);
    if (call != nullptr && call->sourceText != nullptr && !call->resultWritten) {
      const pmmlxform::ResultStamp values = resultStamp();
      std::string text;
      pmmlxform::ResultTextWriter writer(values, text);
      // The engine may read the text the description came from when the held
      // description is the one this call parsed.
      const std::string* sourceText = transDocument == input ? call->sourceText : nullptr;
      message = converter.convertInto(transDocument, stylesheet, writer, sourceText);
      if (!message.empty()) {
        restore();
        message += pmmlxform::kTransNoOutputMessage;
        return getErrorNo(message);
      }
      if (writer.complete()) {
        for (const pmmlxform::FieldAttributes& field : writer.fields()) {
          TmsEndInfo info;
          info.name = UTF16To8(field.name.c_str());
          info.displayName = UTF16To8(field.displayName.c_str());
          info.dataType = transcode(field.dataType.c_str());
          info.optype = transcode(field.optype.c_str());
          vars.push_back(info);
        }
        call->resultText = std::move(text);
        call->resultWritten = true;
        return getErrorNo(message);
      }
      stylesheet.clear();
      stylesheet.seekg(0);
    }

    // Whether this run produced a document decides, whatever the caller's
    // pointer held before; it is left alone when nothing comes out.
    DOMDocument* result = nullptr;
    message = converter.convert(transDocument, stylesheet, result);
    stylesheet.close();

    if (result != nullptr) {
      OwnedDocument stamped(result);
      setPmmlAndHeaderInfo(stamped.get(), message);
      DOMElement* dictionary = getTheElement(stamped.get(), "PMML/TransformationDictionary", 0);
      if (dictionary != nullptr) getVarsInfo(dictionary, vars);
      output = stamped.release();
    } else {
      restore();
      message += pmmlxform::kTransNoOutputMessage;
    }
    return getErrorNo(message);
  } catch (...) {
    // An exception of the XML library or the engine met on the way: no
    // document comes out, and the held description is put back.
    message = pmmlxform::currentExceptionText() + pmmlxform::kTransNoOutputMessage;
    restore();
    return pmmlxform::kTransRunError;
  }
}

bool ConvertTransToPMML::mergeTransXML(DOMDocument* input) {
  // A document without root element adds nothing; in particular the empty
  // text that asks for the held description to be converted again must not
  // replace it.
  DOMElement* inputRoot = input == nullptr ? nullptr : input->getDocumentElement();
  if (inputRoot == nullptr && transDocument != nullptr) return true;

  if (!needMerging || transDocument == nullptr) {
    // A description the text form parsed for this call alone becomes the held
    // one as it is; any other stays the caller's and is copied.
    pmmlxform::CallContext* call = pmmlxform::ownCall(this);
    DOMDocument* copy = call != nullptr && call->take(input) ? input : deepCopy(input);
    if (transDocument != nullptr) transDocument->release();
    transDocument = copy;
    return true;
  }

  DOMElement* target = firstElementChild(transDocument->getDocumentElement());
  if (target == nullptr) return false;
  DOMElement* entries = firstElementChild(inputRoot);
  if (entries == nullptr) return true;
  for (DOMNode* child = entries->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (child->getNodeType() != DOMNode::ELEMENT_NODE) continue;
    target->appendChild(transDocument->importNode(child, true));
  }
  return true;
}

bool ConvertTransToPMML::setPmmlAndHeaderInfo(DOMDocument* document, std::string& message) {
  if (document == nullptr) return false;
  DOMElement* pmml = getTheElement(document, "PMML", 0);
  if (pmml == nullptr) return false;

  DOMElement* header = getTheElement(document, "PMML/Header", 0);
  if (header == nullptr) {
    try {
      const XMLText headerName("Header");
      header = document->createElement(headerName.get());
      pmml->insertBefore(header, pmml->getFirstChild());
    } catch (...) {
      message += std::string(kHeaderException) + pmmlxform::currentExceptionText();
      return false;
    }
  }

  DOMElement* application = getTheElement(document, "PMML/Header/Application", 0);
  if (application == nullptr) {
    try {
      const XMLText applicationName("Application");
      application = document->createElement(applicationName.get());
      header->appendChild(application);
    } catch (...) {
      message += std::string(kApplicationException) + pmmlxform::currentExceptionText();
      return false;
    }
  }

  const Stamp values = stamp();
  try {
    for (const auto& [name, value] : values.pmml) setAttribute(pmml, name, value);
    for (const auto& [name, value] : values.header) setAttribute(header, name, value);
    for (const auto& [name, value] : values.application) setAttribute(application, name, value);
  } catch (...) {
    message += std::string(kAttributeException) + pmmlxform::currentExceptionText();
    return false;
  }
  return true;
}
