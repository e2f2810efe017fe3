#ifndef PMMLXFORM_TRANS_XSLT_DRIVER_H_
#define PMMLXFORM_TRANS_XSLT_DRIVER_H_

// Runs an XSLT stylesheet over a DOM document and hands the output back as a
// new DOM document. ConvertXML keeps the XML platform initialised while a
// converter exists; ConvertByXSLT is the XSLT engine's converter, which offers
// the stylesheet the extension functions "intervals" (IntervalParser) and
// "recode-intervals" (RecodeIntervals) in the Xalan extension namespace.
//
// One transformation runs at a time in the process: the running transformer
// is published in currentTransformer (the extension functions build their
// results there) and the process's standard error stream is captured while the engine
// runs. Concurrent convert calls from different threads wait for each other.

#include <atomic>
#include <istream>
#include <string>
#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMNode.hpp>

namespace XALAN_CPP_NAMESPACE {
class FormatterListener;
class XalanTransformer;
}  // namespace XALAN_CPP_NAMESPACE

class ConvertXML {
 public:
  ConvertXML();
  virtual ~ConvertXML();
  ConvertXML(const ConvertXML&) = delete;
  ConvertXML& operator=(const ConvertXML&) = delete;

  // Converts the document `source` with the stylesheet text read from
  // `stylesheet`. Returns the empty text on success, with a new document in
  // `result` (owned by the caller; null when the output is not a well-formed
  // document); otherwise an error text, `result` left untouched.
  virtual std::string convert(xercesc::DOMNode* source, std::istream& stylesheet,
                              xercesc::DOMDocument*& result) = 0;
};

class ConvertByXSLT : public ConvertXML {
 public:
  ConvertByXSLT();
  ~ConvertByXSLT() override;

  // Error texts: the engine's last error, or "ConvertByXSLTException:" followed
  // by the text of an exception met on the way (a standard one, or one of the
  // XML library or the engine); none leaves a converter.
  std::string convert(xercesc::DOMNode* source, std::istream& stylesheet,
                      xercesc::DOMDocument*& result) override;
  // Converts the same way but hands the output to `listener` as it is made,
  // with no document built. `sourceText`, when given, is the text `source`
  // was parsed from; the engine reads it instead of the document's text where
  // the two say the same. Returns the empty text on success, else an error
  // text as convert does.
  std::string convertInto(xercesc::DOMNode* source, std::istream& stylesheet,
                          xalanc::FormatterListener& listener,
                          const std::string* sourceText = nullptr);

  // The transformer of the running conversion, null otherwise.
  static std::atomic<xalanc::XalanTransformer*> currentTransformer;
};

#endif  // PMMLXFORM_TRANS_XSLT_DRIVER_H_
