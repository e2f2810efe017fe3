#ifndef PMMLXFORM_CONVERT_TRANS_TO_PMML_H_
#define PMMLXFORM_CONVERT_TRANS_TO_PMML_H_

// ConvertTransToPMML: the class the host creates and keeps across calls. It
// turns transformation descriptions into transformation PMML and merges that
// into model PMML, reporting the variables and mining fields it produced.

#include <pmmlxform/convert_trans.h>
#include <pmmlxform/export.h>
#include <pmmlxform/tms_records.h>

#include <string>
#include <vector>

class PMMLXFORM_API ConvertTransToPMML : public ConvertTrans {
 public:
  // Runs the stylesheet "transformation.xsl" of the host's application directory.
  ConvertTransToPMML();
  ConvertTransToPMML(const ConvertTransToPMML& other);
  ConvertTransToPMML& operator=(const ConvertTransToPMML& other);
  ~ConvertTransToPMML() override;

  // --- Transformation PMML -------------------------------------------------
  // Document form: merges `input` into the held description (or replaces it
  // when merging is off), runs the stylesheet over it, stamps the result as
  // PMML 4.3 and appends its DerivedField/DataField records to `vars`. The
  // result document (out) belongs to the caller. 0 success; 1 the held
  // description cannot take `input`; 9 the stylesheet cannot be opened (path in
  // the message) or the engine failed; 2 to 5 numbered from the stylesheet's
  // message. When no document comes out, the held description is put back as
  // it was before the call.
  int transform(xercesc::DOMDocument* input, xercesc::DOMDocument*& output, std::string& message,
                std::vector<TmsEndInfo>& vars) override;
  // The text and stream forms, reaching the document form above.
  using ConvertTrans::transform;
  // Sets version "4.3" and the namespaces on the PMML root, adds Header (first
  // child) and Application where missing, writes the copyright and the host
  // application's name and version. False for a null document, one without a
  // PMML root, or a failure (text appended to `message`).
  bool setPmmlAndHeaderInfo(xercesc::DOMDocument* document, std::string& message);

 protected:
  // Accumulates `input` into the held description: its root's first element
  // child receives copies of the elements under the first element child of
  // `input`'s root. False only when the held description has no such child.
  bool mergeTransXML(xercesc::DOMDocument* input);
  // -------------------------------------------------------------------------

  // Append one record per DerivedField or DataField child of `parent`, in
  // document order; other children are skipped. Always true.
  bool getVarsInfo(xercesc::DOMElement* parent, std::vector<TmsEndInfo>& vars);
  // Append one record per MiningField child of `miningSchema`. Always true.
  bool getMiningInfo(xercesc::DOMElement* miningSchema, std::vector<TmsMiningFieldInfo>& fields);

  // Set by the model check when it refused a segmented mining model.
  bool segmentedModel;
};

#endif  // PMMLXFORM_CONVERT_TRANS_TO_PMML_H_
