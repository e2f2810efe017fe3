#ifndef PMMLXFORM_CONVERT_TRANS_H_
#define PMMLXFORM_CONVERT_TRANS_H_

/// @file
/// ConvertTrans, the conversion facade.

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

/// @brief The conversion facade: texts and streams in and out, the validity
/// check and the numbering of the stylesheet's messages.
///
/// It owns what every conversion shares: the XML platform's lifetime, turning
/// input texts and streams into DOM documents, turning result documents back
/// into text, the validity check and the numbering of the stylesheet's error
/// messages. The conversions themselves are the virtual document forms of
/// transform() and mergePMML(); this class answers them with fixed errors, and
/// the derived class ::ConvertTransToPMML, which the host creates, does the
/// work.
///
/// Result codes of the facade:
/// - 0: success
/// - 1: transform: a text of 5 characters or fewer while no description is held, or text that is
///   not well-formed XML (also a hostile document refused by the parser); this class's own
///   conversion answers 1 with "internal error"
/// - 2: the stylesheet stopped with "CVT_FuncErr:" (an unknown function or a wrong number of
///   arguments); the message is its text after the prefix
/// - 3: the stylesheet stopped with "CVT_ReVarsErr:" (a variable defined twice or not known); the
///   message is its text after the prefix
/// - 4: the stylesheet stopped with a message of no known prefix; the message is that text
/// - 5: the stylesheet stopped with "CVT_ConvertErr:" (an entry that cannot be converted); the
///   message is emptied, and lastStylesheetMessage() holds the stylesheet's text after the prefix
/// - 6: merge: the transformation document is missing, has no document element, is empty or not
///   well-formed
/// - 7: merge: the same for the model document
/// - 9: an engine failure that is not a stylesheet termination (message unchanged); this class's
///   own merge answers 9 with "run error". The text and stream forms also answer 9 for a result
///   document that cannot be written as text ("ConvertTransException: the result cannot be
///   written: " and what stopped it; for a merge "exception in mergePMML:" and the same), and
///   every form for an exception of the XML library, the XSLT engine or the standard library
///   (that prefix and the exception's text): no exception leaves an operation but the XML
///   library's out-of-memory one.
///
/// Texts are 8-bit, in the host's local code page unless said otherwise.
///
/// @par Ownership
/// A result document handed out through a `DOMDocument*&` belongs to the
/// caller, who releases it (`release()`) before the last ::ConvertTrans object
/// is destroyed (the objects keep the XML platform alive). The text and stream
/// forms release their result documents themselves. Input documents are never
/// changed and stay the caller's.
///
/// @par Threads
/// An object must not be used by two threads at once. Conversions from
/// different objects may be started on different threads: they take a
/// process-wide lock and run one after the other. The process's standard
/// streams are left alone: the XSLT engine's warnings go through its own
/// reporting and are dropped. Constructing and destroying objects changes the
/// XML platform's initialisation count, which the library guards with a
/// process-wide lock: objects may be made and destroyed, and ::ADP_Convert
/// functions called, on several threads at once.
class PMMLXFORM_API ConvertTrans {
 public:
  /// Initialises the XML platform for the object's lifetime; no description is
  /// held and merging is on.
  ConvertTrans();
  /// Copies the stylesheet path, the merging flag and a deep copy of the held
  /// transformation description; the copy owns its description alone.
  /// @param other the object copied.
  ConvertTrans(const ConvertTrans& other);
  /// Replaces this object's stylesheet path, merging flag and held description
  /// by copies of `other`'s.
  /// @param other the object copied.
  /// @return this object.
  ConvertTrans& operator=(const ConvertTrans& other);
  /// Releases the held description and gives back the XML platform reference.
  virtual ~ConvertTrans();

  /// @brief Document form: converts a transformation description.
  ///
  /// This class answers 1 with the message "internal error";
  /// ConvertTransToPMML::transform() does the conversion.
  /// @param input the description; stays the caller's.
  /// @param output receives the result document, which belongs to the caller
  ///   (null when none was produced).
  /// @param message receives the failure's text.
  /// @param vars receives (appended) one record per variable of the result.
  /// @return a result code of the table above.
  virtual int transform(xercesc::DOMDocument* input, xercesc::DOMDocument*& output,
                        std::string& message, std::vector<TmsEndInfo>& vars);
  /// @brief Text form: parses `input`, converts it, and writes the result
  /// document into `output` whenever one was produced, whatever the code. A
  /// document that cannot be written as text (a control character that XML
  /// 1.0 cannot hold) leaves `output` alone and turns 0 into 9.
  /// @param input the description as XML text. The empty text converts the held
  ///   description again.
  /// @param output receives the result as XML text (not pretty-printed).
  /// @param message receives the failure's text.
  /// @param vars receives (appended) one record per variable of the result.
  /// @return a result code; 1 for a text of 5 characters or fewer while no
  ///   description is held, or text that is not well-formed XML (output and
  ///   message untouched).
  virtual int transform(std::string input, std::string& output, std::string& message,
                        std::vector<TmsEndInfo>& vars);
  /// @brief Stream form: the text form on the whole of `input`; writes the
  /// result to `output` only on 0.
  /// @param input the description, read to its end.
  /// @param output receives the result as XML text on success.
  /// @param message receives the failure's text.
  /// @param vars receives (appended) one record per variable of the result.
  /// @return a result code of the table above.
  int transform(std::istream& input, std::ostream& output, std::string& message,
                std::vector<TmsEndInfo>& vars);

  /// @brief Document form: merges transformation PMML into model PMML.
  ///
  /// This class answers 6 or 7 for a missing document or one without document
  /// element, otherwise 9 with "run error"; ConvertTransToPMML::mergePMML()
  /// does the merge.
  /// @param trans the transformation PMML; stays the caller's.
  /// @param model the model PMML; stays the caller's.
  /// @param output receives the merged document, which belongs to the caller
  ///   (null when none was produced).
  /// @param message receives the failure's text.
  /// @param dataFields receives (appended) the data fields of the result.
  /// @param derivedFields receives (appended) the derived fields of the result.
  /// @param miningFields receives (appended) the mining fields of the result.
  /// @return a result code of the table above.
  virtual int mergePMML(xercesc::DOMDocument* trans, xercesc::DOMDocument* model,
                        xercesc::DOMDocument*& output, std::string& message,
                        std::vector<TmsEndInfo>& dataFields, std::vector<TmsEndInfo>& derivedFields,
                        std::vector<TmsMiningFieldInfo>& miningFields);
  /// @brief Text form: parses both texts, merges them and writes the
  /// pretty-printed result into `output` whenever a document was produced.
  ///
  /// Text that is not well-formed XML counts as a missing document.
  /// @param trans the transformation PMML as XML text.
  /// @param model the model PMML as XML text.
  /// @param output receives the merged document as XML text.
  /// @param message receives the failure's text.
  /// @param dataFields receives (appended) the data fields of the result.
  /// @param derivedFields receives (appended) the derived fields of the result.
  /// @param miningFields receives (appended) the mining fields of the result.
  /// @return a result code; 6 for the transformation, 7 for the model.
  int mergePMML(std::string trans, std::string model, std::string& output, std::string& message,
                std::vector<TmsEndInfo>& dataFields, std::vector<TmsEndInfo>& derivedFields,
                std::vector<TmsMiningFieldInfo>& miningFields);
  /// @brief Stream form with text output: reads both streams whole, then the
  /// text form.
  /// @param trans the transformation PMML, read to its end.
  /// @param model the model PMML, read to its end.
  /// @param output receives the merged document as XML text.
  /// @param message receives the failure's text.
  /// @param dataFields receives (appended) the data fields of the result.
  /// @param derivedFields receives (appended) the derived fields of the result.
  /// @param miningFields receives (appended) the mining fields of the result.
  /// @return a result code; 6 for an empty transformation stream, 7 for an
  ///   empty model stream (both are read first).
  int mergePMML(std::istream& trans, std::istream& model, std::string& output, std::string& message,
                std::vector<TmsEndInfo>& dataFields, std::vector<TmsEndInfo>& derivedFields,
                std::vector<TmsMiningFieldInfo>& miningFields);
  /// @brief Stream form with stream output: as the form above, and writes the
  /// result to `output` only on 0.
  /// @param trans the transformation PMML, read to its end.
  /// @param model the model PMML, read to its end.
  /// @param output receives the merged document as XML text on success.
  /// @param message receives the failure's text.
  /// @param dataFields receives (appended) the data fields of the result.
  /// @param derivedFields receives (appended) the derived fields of the result.
  /// @param miningFields receives (appended) the mining fields of the result.
  /// @return a result code of the table above.
  int mergePMML(std::istream& trans, std::istream& model, std::ostream& output,
                std::string& message, std::vector<TmsEndInfo>& dataFields,
                std::vector<TmsEndInfo>& derivedFields,
                std::vector<TmsMiningFieldInfo>& miningFields);

  /// @brief Whether a transformation description converts: a full conversion
  /// whose output is dropped.
  ///
  /// Like any conversion it updates the held transformation description.
  /// @param input the description as XML text.
  /// @param errorNo receives the conversion's result code.
  /// @param message receives the conversion's message.
  /// @return true exactly when `errorNo` is 0.
  bool isValidTransXML(std::string input, int& errorNo, std::string& message);
  /// @brief Stream form of the validity check.
  /// @param input the description, read to its end.
  /// @param errorNo receives the conversion's result code.
  /// @param message receives the conversion's message.
  /// @return true exactly when `errorNo` is 0.
  bool isValidTransXML(std::istream& input, int& errorNo, std::string& message);
  /// @brief Document form of the validity check.
  /// @param input the description; stays the caller's.
  /// @param errorNo receives the conversion's result code.
  /// @param message receives the conversion's message.
  /// @return true exactly when `errorNo` is 0.
  bool isValidTransXML(xercesc::DOMDocument* input, int& errorNo, std::string& message);

  /// @brief Numbers a stylesheet termination message and rewrites it in place
  /// to the stylesheet's own words.
  ///
  /// The message is cut at its first "(", where the engine's location details
  /// begin.
  /// @param message the engine's message; rewritten in place.
  /// @return 0 for an empty message; 2 "CVT_FuncErr:"; 3 "CVT_ReVarsErr:";
  ///   4 any other terminating message; 5 "CVT_ConvertErr:" (message
  ///   emptied); 9 not a terminating message (message untouched).
  int getErrorNo(std::string& message);
  /// @brief The stylesheet's own words for the last failure it stopped with.
  ///
  /// getErrorNo() keeps them here whatever it leaves in the message: for code 5
  /// the reason the entry cannot be converted (as "entry 3, Variable "species":
  /// a string variable needs a width of at least 1"), which the message does not
  /// carry; for codes 2 to 4 the same text as the message.
  /// @return the text after the stylesheet's prefix; the empty text when the
  ///   last conversion of this object, or the last getErrorNo() call, was not
  ///   a stylesheet termination.
  const std::string& lastStylesheetMessage() const;

  /// @brief Chooses whether a new description is accumulated onto the held one.
  /// @param needMerging true (the default): each new description is merged into
  ///   the held one; false: it replaces the held one.
  void setNeedMerging(bool needMerging);
  /// @return whether new descriptions are merged into the held one.
  bool getNeedMerging();

 protected:
  /// @brief The element that `path` names from `start`.
  /// @param start the node the path starts from.
  /// @param path steps separated by "/": an element name, "*" for any element,
  ///   "@attr=value" for an element among the current one and its following
  ///   siblings whose attribute equals the value ignoring case, "@attr" for one
  ///   that has the attribute.
  /// @param index counts the matches of the last step from 0.
  /// @return the element, or null when nothing matches. An empty path gives
  ///   `start` itself when it is an element, else null.
  xercesc::DOMElement* getTheElement(xercesc::DOMNode* start, std::string path, int index);
  /// @brief The first element child of `parent` whose "name" equals that of
  /// `element`, ignoring case.
  /// @param parent the element searched.
  /// @param element the element whose name is looked for.
  /// @return the child, or null when none matches.
  xercesc::DOMElement* findElement(xercesc::DOMElement* parent, xercesc::DOMElement* element);
  /// @brief A copy of `element` owned by `document`, not attached anywhere.
  ///
  /// Keeps element children, and text and CDATA children holding an ASCII
  /// letter or digit, a "." or any character beyond ASCII; drops layout,
  /// text of ASCII punctuation alone, comments and processing instructions.
  /// @param document the document that owns the copy.
  /// @param element the element copied.
  /// @return the copy.
  xercesc::DOMElement* importElement(xercesc::DOMDocument* document, xercesc::DOMElement* element);
  /// @brief XML text to the local code page.
  /// @param text a null-terminated UTF-16 text, or null.
  /// @return the converted text; the empty text for null.
  std::string transcode(const XMLCh* text);
  /// @brief XML text to UTF-8.
  /// @param text a null-terminated UTF-16 text, or null.
  /// @return the converted text; the empty text for null.
  std::string UTF16To8(const XMLCh* text);

  /// Path of the stylesheet that transform() runs.
  std::string stylesheetPath;
  /// The transformation description held between calls; owned, may be null.
  xercesc::DOMDocument* transDocument;
  /// Whether new descriptions are merged into the held one.
  bool needMerging;
};

#endif  // PMMLXFORM_CONVERT_TRANS_H_
