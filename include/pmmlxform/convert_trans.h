#ifndef PMMLXFORM_CONVERT_TRANS_H_
#define PMMLXFORM_CONVERT_TRANS_H_

// ConvertTrans: the conversion facade. It owns what every conversion shares:
// the XML platform's lifetime, turning input texts and streams into DOM
// documents, turning result documents back into text, the validity check and
// the numbering of the stylesheet's error messages. The conversions themselves
// are the virtual document forms; this class answers them with fixed errors,
// ConvertTransToPMML does the work.
//
// Result codes: 0 success; 1 input too short or not well-formed XML, or no
// conversion available ("internal error"); 2 to 5 and 9 numbered from the
// stylesheet's message by getErrorNo; 6 transformation document missing or
// empty; 7 model document missing or empty; 9 no merge available ("run error").
// Texts are 8-bit, in the host's local code page unless said otherwise.

#include <pmmlxform/export.h>
#include <pmmlxform/tms_records.h>

#include <iosfwd>
#include <string>
#include <vector>
#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
class DOMElement;
class DOMNode;
XERCES_CPP_NAMESPACE_END

class PMMLXFORM_API ConvertTrans {
 public:
  // Each object keeps the XML platform initialised for its own lifetime.
  ConvertTrans();
  // Copies the stylesheet path, the merging flag and a deep copy of the held
  // transformation description; the copy owns its description alone.
  ConvertTrans(const ConvertTrans& other);
  ConvertTrans& operator=(const ConvertTrans& other);
  virtual ~ConvertTrans();

  // Document form: converts a transformation description. The result document
  // (out) belongs to the caller. This class: "internal error", 1.
  virtual int transform(xercesc::DOMDocument* input, xercesc::DOMDocument*& output,
                        std::string& message, std::vector<TmsEndInfo>& vars);
  // Text form: parses `input`, converts it, writes the result into `output`
  // whenever a result document exists. 1 for a text of 5 characters or fewer
  // while no description is held, or for text that is not well-formed XML
  // (output and message untouched). An empty text converts the held
  // description again.
  virtual int transform(std::string input, std::string& output, std::string& message,
                        std::vector<TmsEndInfo>& vars);
  // Stream form: the text form on the whole stream; writes the result only on 0.
  int transform(std::istream& input, std::ostream& output, std::string& message,
                std::vector<TmsEndInfo>& vars);

  // Document form: merges transformation PMML into model PMML. The result
  // document (out) belongs to the caller. This class: 6 / 7 for a missing
  // document or one without document element, else "run error", 9.
  virtual int mergePMML(xercesc::DOMDocument* trans, xercesc::DOMDocument* model,
                        xercesc::DOMDocument*& output, std::string& message,
                        std::vector<TmsEndInfo>& dataFields, std::vector<TmsEndInfo>& derivedFields,
                        std::vector<TmsMiningFieldInfo>& miningFields);
  // Text form: writes the pretty-printed result into `output` whenever a result
  // document exists. Text that is not well-formed XML counts as a missing
  // document (6 for the transformation, 7 for the model).
  int mergePMML(std::string trans, std::string model, std::string& output, std::string& message,
                std::vector<TmsEndInfo>& dataFields, std::vector<TmsEndInfo>& derivedFields,
                std::vector<TmsMiningFieldInfo>& miningFields);
  // Stream forms: read both streams whole; 6 for an empty transformation
  // stream, 7 for an empty model stream, else the text form.
  int mergePMML(std::istream& trans, std::istream& model, std::string& output, std::string& message,
                std::vector<TmsEndInfo>& dataFields, std::vector<TmsEndInfo>& derivedFields,
                std::vector<TmsMiningFieldInfo>& miningFields);
  // Writes the result to `output` only on 0.
  int mergePMML(std::istream& trans, std::istream& model, std::ostream& output,
                std::string& message, std::vector<TmsEndInfo>& dataFields,
                std::vector<TmsEndInfo>& derivedFields,
                std::vector<TmsMiningFieldInfo>& miningFields);

  // A full conversion whose output is dropped: `errorNo` receives its code,
  // `message` its message; true exactly when the code is 0. Like any
  // conversion it updates the held transformation description.
  bool isValidTransXML(std::string input, int& errorNo, std::string& message);
  bool isValidTransXML(std::istream& input, int& errorNo, std::string& message);
  bool isValidTransXML(xercesc::DOMDocument* input, int& errorNo, std::string& message);

  // Numbers a stylesheet termination message and rewrites it in place to the
  // stylesheet's own words: 0 empty; 2 "CVT_FuncErr:"; 3 "CVT_ReVarsErr:";
  // 4 any other terminating message; 5 "CVT_ConvertErr:" (message emptied);
  // 9 not a terminating message (message untouched).
  int getErrorNo(std::string& message);

  // true (the default): each new description is merged into the held one;
  // false: it replaces the held one.
  void setNeedMerging(bool needMerging);
  bool getNeedMerging();

 protected:
  // The element that `path` names from `start` (steps separated by "/": an
  // element name, "*" for any element, "@attr=value" for an element among the
  // current one and its following siblings whose attribute equals the value
  // ignoring case, "@attr" for one that has the attribute). `index` counts the
  // matches of the last step from 0. Null when nothing matches. An empty path
  // gives `start` itself when it is an element, else null.
  xercesc::DOMElement* getTheElement(xercesc::DOMNode* start, std::string path, int index);
  // The first element child of `parent` whose "name" equals that of `element`,
  // ignoring case; null when none does.
  xercesc::DOMElement* findElement(xercesc::DOMElement* parent, xercesc::DOMElement* element);
  // A copy of `element` owned by `document`, not attached anywhere; keeps
  // element children and text children holding a letter, digit or "."; drops
  // everything else.
  xercesc::DOMElement* importElement(xercesc::DOMDocument* document, xercesc::DOMElement* element);
  // XML text to the local code page, and to UTF-8. Null gives the empty text.
  std::string transcode(const XMLCh* text);
  std::string UTF16To8(const XMLCh* text);

  std::string stylesheetPath;
  // The transformation description held between calls; owned, may be null.
  xercesc::DOMDocument* transDocument;
  bool needMerging;
};

#endif  // PMMLXFORM_CONVERT_TRANS_H_
