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

 public:
  // --- Merging transformation PMML into model PMML ---

  // Builds one document in which the model scores from raw fields: the model's
  // root, header and model elements, one DataDictionary with the fields of both
  // documents, one TransformationDictionary with the derived fields of both,
  // value lists moved onto the derived fields that compute model fields, and
  // mining schemas naming the raw fields behind derived inputs. Reports the data
  // fields, derived fields and the last reconciled mining schema's fields
  // (appended to the vectors). The result document (out) belongs to the caller.
  // Codes: 0 merged; 4 merged with a field conflict (message: the conflicting
  // name); 6 transformation document not acceptable; 7 model document not
  // acceptable; 8 model holds a segmented MiningModel; 9 no DOM implementation
  // or an exception (message says which). No document on 6 to 9.
  int mergePMML(xercesc::DOMDocument* trans, xercesc::DOMDocument* model,
                xercesc::DOMDocument*& output, std::string& message,
                std::vector<TmsEndInfo>& dataFields, std::vector<TmsEndInfo>& derivedFields,
                std::vector<TmsMiningFieldInfo>& miningFields) override;
  // The text and stream forms reach the override above.
  using ConvertTrans::mergePMML;

 protected:
  // Document checks before a merge. Transformation PMML: PMML, Header,
  // DataDictionary, optional MiningBuildTask, TransformationDictionary. Model
  // PMML: version 3.2 or 4.0 and later, Header, dictionaries, one model element
  // of a known kind starting with its MiningSchema (or an Extension), followed
  // by Extensions only. A MiningModel with segments is refused and sets
  // segmentedModel.
  bool checkTransPMML(xercesc::DOMDocument* document);
  bool checkModelPMML(xercesc::DOMDocument* document);

  // Value lists. clearValues drops the Value children and the Extensions other
  // than "stringLength" of `target`; copyValues moves the value list of a model
  // DataField onto the DerivedField that computes it (missing values and invalid
  // ranges in a "MissingValues" extension, intervals in "VariableInterval"
  // extensions) and copies its optype. Both always true.
  bool clearValues(xercesc::DOMElement* target);
  bool copyValues(xercesc::DOMElement* source, xercesc::DOMElement* target);
  // Appends the canonical keys of the field's missing values and invalid
  // ranges to `keys`. Always true.
  bool getValueList(xercesc::DOMElement* field, std::vector<std::string>& keys);
  // True when every key of `first` occurs in `second`.
  bool compareValueList(std::vector<std::string>& first, std::vector<std::string>& second);
  // A number in exponent notation as a plain decimal text; other texts pass
  // through. Exponents beyond +-1000 give "HIGHEST" / "LOWEST" (by sign) or "0".
  std::string formatNumber(std::string number);

  // Mining schema reconciliation. getRelativeVars appends the fields that the
  // element's descendants refer to; getOriginalVars reduces a name list to the
  // names that are not derived fields of `dictionary`, tracing chains (a derived
  // field is expanded once, so cycles end); addMiningFields appends a MiningField
  // for each name the schema lacks (false, with the name in `error`, when a name
  // is the predicted field); dealMiningSchema moves the schema's derived inputs
  // into a "DerivedFields" extension and adds their raw fields.
  bool getRelativeVars(xercesc::DOMElement* element, std::vector<std::string>& names);
  bool getOriginalVars(xercesc::DOMElement* dictionary, std::vector<std::string>& names);
  bool addMiningFields(xercesc::DOMElement* miningSchema, std::vector<std::string>& names,
                       std::string& error);
  bool dealMiningSchema(xercesc::DOMElement* miningSchema, xercesc::DOMElement* dictionary,
                        std::string& error);
  // Compares an existing variable with an incoming one of the same name: true,
  // with the existing variable's name as message, when both are DataField or
  // DerivedField and their names agree ignoring case. A false answer with a
  // non-empty message is a conflict.
  bool compareVars(xercesc::DOMElement* existing, xercesc::DOMElement* incoming,
                   std::string& message);

  // The variable `name` among the children of `parent`: the first `kind`
  // child, then it and its following siblings whose "name" equals `name`
  // ignoring case. Unlike a path lookup, a name holding "/" is found as it is.
  xercesc::DOMElement* findVariable(xercesc::DOMElement* parent, const char* kind,
                                    const std::string& name);
  // Adds `child` to a DataDictionary or TransformationDictionary in the order
  // the PMML schema gives their children: Extension, DefineFunction, fields,
  // Taxonomy; within one kind, in the order added.
  void addToDictionary(xercesc::DOMElement* dictionary, xercesc::DOMElement* child);

  // --- Records ---

  // Append one record per DerivedField or DataField child of `parent`, in
  // document order; other children are skipped. Always true.
  bool getVarsInfo(xercesc::DOMElement* parent, std::vector<TmsEndInfo>& vars);
  // Append one record per MiningField child of `miningSchema`. Always true.
  bool getMiningInfo(xercesc::DOMElement* miningSchema, std::vector<TmsMiningFieldInfo>& fields);

  // Set by the model check when it refused a segmented mining model.
  bool segmentedModel;
};

#endif  // PMMLXFORM_CONVERT_TRANS_TO_PMML_H_
