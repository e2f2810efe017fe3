// The conversion facade: text and stream plumbing around the virtual document
// forms, the validity check, error numbering, and the DOM helpers.
#include <pmmlxform/convert_trans.h>

#include <cstring>
#include <istream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/XMLFormatter.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "host/norvel.h"
#include "trans/call_context.h"
#include "trans/job_result_codes.h"
#include "trans/kept_texts.h"
#include "xml/document_text.h"
#include "xml/dom.h"
#include "xml/parser.h"
#include "xml/writer.h"

using pmmlxform::isElement;
using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;
using xercesc::XMLPlatformUtils;
using xercesc::XMLString;

namespace {

// A shorter text cannot be a transformation description.
constexpr std::size_t kShortestDescription = 6;

// How the XSLT engine reports a terminating xsl:message: this prefix, one
// separating character, the stylesheet's message, a separating character and
// location details that begin with "(".
constexpr char kTerminatePrefix[] = "ElemMessageTerminateExpression:";
constexpr std::size_t kTerminateCut = sizeof(kTerminatePrefix) - 1 + 1;

// The stylesheet's message prefixes, in the order they are tested.
struct StylesheetError {
  const char* prefix;
  int code;
  bool keepText;  // false: the message becomes empty
};
constexpr StylesheetError kStylesheetErrors[] = {
    {"CVT_FuncErr:", pmmlxform::kTransFunctionError, true},
    {"CVT_ReVarsErr:", pmmlxform::kTransVariablesError, true},
    {"CVT_ConvertErr:", pmmlxform::kTransConvertError, false},
};

// A text parsed into a DOM document; the document lives as long as this object
// unless handed over.
class ParsedText {
 public:
  explicit ParsedText(const std::string& text) : errors_(parser_.parseText(text)) {}
  ParsedText(const ParsedText&) = delete;
  ParsedText& operator=(const ParsedText&) = delete;

  bool ok() const { return errors_ == 0; }
  // Hands the document over to the caller, who releases it; document() is
  // null afterwards.
  DOMDocument* adoptDocument() { return parser_.adoptDocument(); }
  // The parser's document, also after errors (possibly partial, possibly null).
  DOMDocument* document() { return parser_.getDocument(); }
  // The document when the parse succeeded, else null.
  DOMDocument* documentIfOk() { return ok() ? parser_.getDocument() : nullptr; }

 private:
  pmmlxform::HardenedDOMParser parser_;
  std::size_t errors_ = 0;
};

// Collects the serialiser's bytes, every one of them: an encoding with zero
// bytes (UTF-16) must not be cut.
class StringTarget : public xercesc::XMLFormatTarget {
 public:
  void writeChars(const XMLByte* const bytes, const XMLSize_t count,
                  xercesc::XMLFormatter* const /*formatter*/) override {
    text_.append(reinterpret_cast<const char*>(bytes), count);
  }
  std::string take() { return std::move(text_); }

 private:
  std::string text_;
};

// Serialises a result document to `text`, in the document's encoding (UTF-8
// for documents the library builds). Pretty-printing is for merged documents
// only. Returns the empty text on success, otherwise why the document cannot
// be written (`text` is then left alone).
std::string serialise(DOMDocument* document, bool prettyPrint, std::string& text) {
  if (pmmlxform::writeDocumentText(*document, prettyPrint, text)) return std::string();
  xercesc::DOMImplementation* impl = nullptr;
  {
    XMLText feature("Core");
    impl = xercesc::DOMImplementationRegistry::getDOMImplementation(feature.get());
  }
  std::unique_ptr<xercesc::DOMLSSerializer, pmmlxform::Releaser> serializer(
      impl->createLSSerializer(XMLPlatformUtils::fgMemoryManager));
  std::unique_ptr<xercesc::DOMLSOutput, pmmlxform::Releaser> output(
      impl->createLSOutput(XMLPlatformUtils::fgMemoryManager));
  StringTarget target;
  output->setByteStream(&target);
  if (prettyPrint) {
    xercesc::DOMConfiguration* config = serializer->getDomConfig();
    if (config->canSetParameter(xercesc::XMLUni::fgDOMWRTFormatPrettyPrint, true)) {
      config->setParameter(xercesc::XMLUni::fgDOMWRTFormatPrettyPrint, true);
    }
  }
  std::string error = pmmlxform::writeNode(*serializer, document, *output);
  if (error.empty()) text = target.take();
  return error;
}

// Serialises a result document into `text`, then destroys the document.
// Returns serialise's answer.
std::string serialiseAndRelease(DOMDocument*& document, bool prettyPrint, std::string& text) {
  pmmlxform::OwnedDocument owned(document);
  document = nullptr;
  return serialise(owned.get(), prettyPrint, text);
}

// Runs `body`, the work of an entry point. An exception met on the way (one of
// the XML library, of the XSLT engine or a standard one) becomes code 9 with
// its text after `prefix` in `message`, taken while the object, and with it
// the XML platform, is still alive; the XML library's out-of-memory exception
// passes.
template <typename Body>
int guarded(std::string& message, const char* prefix, Body&& body) {
  try {
    return body();
  } catch (...) {
    message = prefix + pmmlxform::currentExceptionText();
    return pmmlxform::kTransRunError;
  }
}

// A copy of `element` without its children, in `document`: what a shallow
// importNode makes of it (its name, and every attribute given in the text,
// defaulted ones left out), built directly where that gives the same nodes,
// without the import's node per attribute value and its notifications.
DOMElement* copyElement(DOMDocument* document, const DOMElement* element) {
  if (!pmmlxform::copiesAsText(element)) {
    return static_cast<DOMElement*>(document->importNode(element, false));
  }
  DOMElement* copy = document->createElement(element->getNodeName());
  const xercesc::DOMNamedNodeMap* attributes = element->getAttributes();
  const XMLSize_t count = attributes == nullptr ? 0 : attributes->getLength();
  for (XMLSize_t i = 0; i < count; ++i) {
    const auto* attribute = static_cast<const xercesc::DOMAttr*>(attributes->item(i));
    if (attribute->getSpecified()) copy->setAttribute(attribute->getName(), attribute->getValue());
  }
  return copy;
}

}  // namespace

ConvertTrans::ConvertTrans() : transDocument(nullptr), needMerging(true) {
  pmmlxform::initializeXmlPlatform();
}

ConvertTrans::ConvertTrans(const ConvertTrans& other)
    : stylesheetPath(other.stylesheetPath), transDocument(nullptr), needMerging(other.needMerging) {
  pmmlxform::initializeXmlPlatform();
  if (other.transDocument != nullptr) {
    transDocument = static_cast<DOMDocument*>(other.transDocument->cloneNode(true));
  }
}

ConvertTrans& ConvertTrans::operator=(const ConvertTrans& other) {
  if (this == &other) return *this;
  DOMDocument* copy = nullptr;
  if (other.transDocument != nullptr) {
    copy = static_cast<DOMDocument*>(other.transDocument->cloneNode(true));
  }
  if (transDocument != nullptr) transDocument->release();
  transDocument = copy;
  stylesheetPath = other.stylesheetPath;
  needMerging = other.needMerging;
  return *this;
}

ConvertTrans::~ConvertTrans() {
  pmmlxform::dropKeptTexts(this);
  if (transDocument != nullptr) {
    transDocument->release();
    transDocument = nullptr;
  }
  pmmlxform::terminateXmlPlatform();
}

void ConvertTrans::setNeedMerging(bool value) { needMerging = value; }

bool ConvertTrans::getNeedMerging() { return needMerging; }

int ConvertTrans::transform(DOMDocument* /*input*/, DOMDocument*& /*output*/, std::string& message,
                            std::vector<TmsEndInfo>& /*vars*/) {
  message = "internal error";
  return pmmlxform::kTransBadInput;
}

int ConvertTrans::transform(std::string input, std::string& output, std::string& message,
                            std::vector<TmsEndInfo>& vars) {
  return guarded(message, pmmlxform::kTransFailureMessage, [&] {
    if (transDocument == nullptr && input.size() < kShortestDescription) {
      return pmmlxform::kTransBadInput;
    }
    DOMDocument* result = nullptr;
    int code;
    {
      ParsedText parsed(input);
      // An empty text (possible only while a description is held) converts the
      // held description again.
      if (!input.empty() && !parsed.ok()) return pmmlxform::kTransBadInput;
      // The conversion may keep the parsed description as the held one instead
      // of copying it, read the text itself, and write the result's text
      // directly, with no document; the derived class decides.
      pmmlxform::CallContext call(this);
      call.offer(parsed.document(), [&parsed] { return parsed.adoptDocument(); });
      call.sourceText = &input;
      code = transform(parsed.document(), result, message, vars);
      if (call.resultWritten) {
        output = std::move(call.resultText);
        return code;
      }
    }
    // A result that cannot be written is no result; a failed conversion keeps
    // its own code and message.
    if (result != nullptr) {
      const std::string error = serialiseAndRelease(result, false, output);
      if (!error.empty() && code == pmmlxform::kTransOk) {
        message =
            std::string(pmmlxform::kTransFailureMessage) + pmmlxform::kCannotWriteMessage + error;
        code = pmmlxform::kTransRunError;
      }
    }
    return code;
  });
}

int ConvertTrans::transform(std::istream& input, std::ostream& output, std::string& message,
                            std::vector<TmsEndInfo>& vars) {
  return guarded(message, pmmlxform::kTransFailureMessage, [&] {
    std::string text;
    const int code = transform(pmmlxform::readAll(input), text, message, vars);
    if (code == pmmlxform::kTransOk) output << text;
    return code;
  });
}

int ConvertTrans::mergePMML(DOMDocument* trans, DOMDocument* model, DOMDocument*& /*output*/,
                            std::string& message, std::vector<TmsEndInfo>& /*dataFields*/,
                            std::vector<TmsEndInfo>& /*derivedFields*/,
                            std::vector<TmsMiningFieldInfo>& /*miningFields*/) {
  if (trans == nullptr) return pmmlxform::kMrgBadTransformation;
  if (model == nullptr) return pmmlxform::kMrgBadModel;
  if (trans->getDocumentElement() == nullptr) return pmmlxform::kMrgBadTransformation;
  if (model->getDocumentElement() == nullptr) return pmmlxform::kMrgBadModel;
  message = "run error";
  return pmmlxform::kMrgRunError;
}

int ConvertTrans::mergePMML(std::string trans, std::string model, std::string& output,
                            std::string& message, std::vector<TmsEndInfo>& dataFields,
                            std::vector<TmsEndInfo>& derivedFields,
                            std::vector<TmsMiningFieldInfo>& miningFields) {
  return guarded(message, pmmlxform::kMrgFailureMessage, [&] {
    DOMDocument* result = nullptr;
    int code;
    {
      // Each text is this call's own copy, not needed once parsed.
      ParsedText transParsed(trans);
      std::string().swap(trans);
      ParsedText modelParsed(model);
      std::string().swap(model);
      // The merge may let the inputs go once read; the derived class decides.
      pmmlxform::CallContext call(this);
      call.offer(transParsed.document(), [&transParsed] { return transParsed.adoptDocument(); });
      call.offer(modelParsed.document(), [&modelParsed] { return modelParsed.adoptDocument(); });
      // A text that did not parse (malformed or refused as hostile) would leave
      // a partial document; it counts as a missing one.
      code = mergePMML(transParsed.documentIfOk(), modelParsed.documentIfOk(), result, message,
                       dataFields, derivedFields, miningFields);
    }
    // Written once the inputs are gone: the merged document and its text need
    // the memory the parsed inputs held. A merged document that cannot be
    // written is no result.
    if (result != nullptr) {
      const std::string error = serialiseAndRelease(result, true, output);
      if (!error.empty() && (code == pmmlxform::kMrgOk || code == pmmlxform::kMrgConflict)) {
        message =
            std::string(pmmlxform::kMrgFailureMessage) + pmmlxform::kCannotWriteMessage + error;
        code = pmmlxform::kMrgRunError;
      }
    }
    return code;
  });
}

int ConvertTrans::mergePMML(std::istream& trans, std::istream& model, std::string& output,
                            std::string& message, std::vector<TmsEndInfo>& dataFields,
                            std::vector<TmsEndInfo>& derivedFields,
                            std::vector<TmsMiningFieldInfo>& miningFields) {
  return guarded(message, pmmlxform::kMrgFailureMessage, [&] {
    std::string transText = pmmlxform::readAll(trans);
    std::string modelText = pmmlxform::readAll(model);
    if (transText.empty()) return pmmlxform::kMrgBadTransformation;
    if (modelText.empty()) return pmmlxform::kMrgBadModel;
    return mergePMML(std::move(transText), std::move(modelText), output, message, dataFields,
                     derivedFields, miningFields);
  });
}

int ConvertTrans::mergePMML(std::istream& trans, std::istream& model, std::ostream& output,
                            std::string& message, std::vector<TmsEndInfo>& dataFields,
                            std::vector<TmsEndInfo>& derivedFields,
                            std::vector<TmsMiningFieldInfo>& miningFields) {
  return guarded(message, pmmlxform::kMrgFailureMessage, [&] {
    std::string text;
    const int code =
        mergePMML(trans, model, text, message, dataFields, derivedFields, miningFields);
    if (code == pmmlxform::kMrgOk) output << text;
    return code;
  });
}

bool ConvertTrans::isValidTransXML(std::string input, int& errorNo, std::string& message) {
  errorNo = guarded(message, pmmlxform::kTransFailureMessage, [&] {
    std::vector<TmsEndInfo> vars;
    std::string output;
    return transform(std::move(input), output, message, vars);
  });
  return errorNo == pmmlxform::kTransOk;
}

bool ConvertTrans::isValidTransXML(std::istream& input, int& errorNo, std::string& message) {
  errorNo = guarded(message, pmmlxform::kTransFailureMessage, [&] {
    std::vector<TmsEndInfo> vars;
    std::ostringstream output;
    return transform(input, output, message, vars);
  });
  return errorNo == pmmlxform::kTransOk;
}

bool ConvertTrans::isValidTransXML(DOMDocument* input, int& errorNo, std::string& message) {
  errorNo = guarded(message, pmmlxform::kTransFailureMessage, [&] {
    std::vector<TmsEndInfo> vars;
    DOMDocument* output = nullptr;
    const int code = transform(input, output, message, vars);
    if (output != nullptr) output->release();
    return code;
  });
  return errorNo == pmmlxform::kTransOk;
}

int ConvertTrans::getErrorNo(std::string& message) {
  std::string& stylesheetMessage =
      pmmlxform::keptText(this, pmmlxform::KeptText::kStylesheetMessage);
  stylesheetMessage.clear();
  if (message.empty()) return pmmlxform::kTransOk;
  if (message.compare(0, sizeof(kTerminatePrefix) - 1, kTerminatePrefix) != 0) {
    return pmmlxform::kTransRunError;
  }
  // Keep the stylesheet's own message: drop the location details with the
  // character that separates them, then the engine's prefix and its separator.
  const std::size_t paren = message.find('(');
  std::string rest = paren == std::string::npos ? message : message.substr(0, paren - 1);
  rest = rest.size() > kTerminateCut ? rest.substr(kTerminateCut) : std::string();
  for (const StylesheetError& error : kStylesheetErrors) {
    const std::size_t length = std::strlen(error.prefix);
    if (rest.compare(0, length, error.prefix) == 0) {
      stylesheetMessage = rest.substr(length);
      message = error.keepText ? stylesheetMessage : std::string();
      return error.code;
    }
  }
  message = rest;
  stylesheetMessage = rest;
  return pmmlxform::kTransOtherStylesheetError;
}

const std::string& ConvertTrans::lastStylesheetMessage() const {
  return pmmlxform::keptText(this, pmmlxform::KeptText::kStylesheetMessage);
}

DOMElement* ConvertTrans::getTheElement(DOMNode* start, std::string path, int index) {
  if (start == nullptr) return nullptr;
  if (path.empty()) return isElement(start) ? static_cast<DOMElement*>(start) : nullptr;
  DOMNode* current = start;
  for (;;) {
    const std::size_t slash = path.find('/');
    const std::string step = path.substr(0, slash);
    const std::string rest = slash == std::string::npos ? std::string() : path.substr(slash + 1);
    const bool last = rest.empty();

    // Candidates: an element step looks at the current node's children (the
    // document element for a document node); an attribute step at the current
    // node and its following siblings.
    const bool attributeStep = !step.empty() && step[0] == '@';
    DOMNode* candidate = nullptr;
    if (attributeStep) {
      candidate = current;
    } else if (current->getNodeType() == DOMNode::DOCUMENT_NODE) {
      candidate = static_cast<DOMDocument*>(current)->getDocumentElement();
    } else if (current->getNodeType() == DOMNode::ELEMENT_NODE) {
      candidate = current->getFirstChild();
    } else {
      return nullptr;
    }

    // "@attr=value" compares the attribute's value with the value, both in the
    // local code page, ignoring case; "@attr" asks only that the attribute exists.
    std::unique_ptr<XMLText> attribute;
    std::unique_ptr<XMLText> name;
    std::string value;
    bool compareValue = false;
    if (attributeStep) {
      const std::size_t equals = step.find('=');
      attribute = std::make_unique<XMLText>(step.substr(1, equals - 1));
      if (equals != std::string::npos) {
        compareValue = true;
        XMLText xmlValue(step.substr(equals + 1));
        value = transcode(xmlValue.get());
      }
    } else if (step != "*") {
      name = std::make_unique<XMLText>(step);
    }

    DOMElement* next = nullptr;
    int count = 0;
    for (; candidate != nullptr; candidate = candidate->getNextSibling()) {
      if (!isElement(candidate)) continue;
      auto* element = static_cast<DOMElement*>(candidate);
      bool match;
      if (attributeStep) {
        if (compareValue) {
          match = XMLString::compareIString(
                      transcode(pmmlxform::attributeText(element, attribute->get())).c_str(),
                      value.c_str()) == 0;
        } else {
          match = element->hasAttribute(attribute->get());
        }
      } else {
        match = name == nullptr || XMLString::equals(element->getNodeName(), name->get());
      }
      if (!match) continue;
      if (!last) {
        next = element;
        break;
      }
      if (count == index) return element;
      ++count;
    }
    // The first match of an earlier step is final: no other branch is tried.
    if (next == nullptr) return nullptr;
    current = next;
    path = rest;
  }
}

DOMElement* ConvertTrans::findElement(DOMElement* parent, DOMElement* element) {
  if (parent == nullptr || element == nullptr) return nullptr;
  static constexpr XMLCh nameAttribute[] = u"name";
  const XMLCh* name = pmmlxform::attributeText(element, nameAttribute);
  if (pmmlxform::NameIndex* index = pmmlxform::CallContext::indexOf(this, parent)) {
    return index->find(name);
  }
  for (DOMNode* child = parent->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (!isElement(child)) continue;
    auto* candidate = static_cast<DOMElement*>(child);
    if (XMLString::compareIString(pmmlxform::attributeText(candidate, nameAttribute), name) == 0) {
      return candidate;
    }
  }
  return nullptr;
}

DOMElement* ConvertTrans::importElement(DOMDocument* document, DOMElement* element) {
  if (document == nullptr || element == nullptr) return nullptr;
  DOMElement* copy = copyElement(document, element);
  for (DOMNode* child = element->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    // Text in any script stays (an Array of category names, an annotation),
    // and a CDATA section stays one.
    if (!pmmlxform::keptByCopy(child)) continue;
    if (isElement(child)) {
      copy->appendChild(importElement(document, static_cast<DOMElement*>(child)));
    } else if (child->getNodeType() == DOMNode::TEXT_NODE) {
      copy->appendChild(document->createTextNode(child->getNodeValue()));
    } else {
      copy->appendChild(document->createCDATASection(child->getNodeValue()));
    }
  }
  return copy;
}

std::string ConvertTrans::transcode(const XMLCh* text) {
  char* converted = norvel::QORVMBTranscodeGeneric(text);
  std::string result(converted);
  norvel::QORVMBRelease(&converted);
  return result;
}

std::string ConvertTrans::UTF16To8(const XMLCh* text) {
  std::string result;
  if (text == nullptr) return result;
  norvel::QORVMBU16ToU8(result, std::basic_string<XMLCh>(text));
  return result;
}
