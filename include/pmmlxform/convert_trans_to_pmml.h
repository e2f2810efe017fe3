#ifndef PMMLXFORM_CONVERT_TRANS_TO_PMML_H_
#define PMMLXFORM_CONVERT_TRANS_TO_PMML_H_

/// @file
/// ConvertTransToPMML, the class the host creates and keeps across calls.

#include <pmmlxform/convert_trans.h>
#include <pmmlxform/export.h>
#include <pmmlxform/tms_records.h>

#include <string>
#include <vector>

/// @brief Turns transformation descriptions into transformation PMML and
/// merges that into model PMML, reporting the variables and mining fields it
/// produced.
///
/// Keep one object for a session: while merging is on (the default) every
/// description is accumulated onto the ones before it and each call converts
/// them all; setNeedMerging(false) makes every call convert its own
/// description only. The text, stream and document forms of transform() and
/// mergePMML(), and isValidTransXML(), are inherited from ::ConvertTrans and
/// reach the overrides of this class.
///
/// @code
/// ConvertTransToPMML convert;        // runs transformation.xsl of the application directory
/// std::string pmml, message;
/// std::vector<TmsEndInfo> vars;      // appended to: one record per DerivedField of the result
/// int code = convert.transform(descriptionText, pmml, message, vars);
/// @endcode
///
/// Ownership and thread rules are those of ::ConvertTrans: result documents
/// handed out through `DOMDocument*&` belong to the caller; one object must
/// not be used by two threads at once.
class PMMLXFORM_API ConvertTransToPMML : public ConvertTrans {
 public:
  /// Sets the stylesheet path to "transformation.xsl" in the host's
  /// application directory (`PMMLXFORM_APP_DIR`, by default the library's own
  /// `share/pmmlxform/` directory).
  ConvertTransToPMML();
  /// Copies as ConvertTrans(const ConvertTrans&) does.
  /// @param other the object copied.
  ConvertTransToPMML(const ConvertTransToPMML& other);
  /// Assigns as ConvertTrans::operator=() does.
  /// @param other the object copied.
  /// @return this object.
  ConvertTransToPMML& operator=(const ConvertTransToPMML& other);
  /// Releases the held description.
  ~ConvertTransToPMML() override;

  /// @brief Converts a transformation description into transformation PMML.
  ///
  /// Merges `input` into the held description (or replaces it when merging is
  /// off), runs the stylesheet over it, stamps the result as PMML 4.3 (see
  /// setPmmlAndHeaderInfo()) and reports its variables. When no document comes
  /// out (codes 2 to 5, and 9 other than a missing stylesheet) the held
  /// description is put back as it was before the call. A document without
  /// document element never replaces the held one.
  /// @param input the description; stays the caller's.
  /// @param output receives the result document, which belongs to the caller
  ///   (null when none was produced).
  /// @param message receives the failure's text.
  /// @param vars receives (appended) one record per DerivedField or DataField
  ///   child of the result's TransformationDictionary, in document order.
  /// @return 0 success; 1 "ConvertTransToPMMLException: can't merge input
  ///   trans file." (merging is on and the held description's root has no
  ///   element child to accumulate under); 1 "ConvertTransToPMMLException: not
  ///   a transformation description: the document element must be
  ///   TransformationDescription, holding Transformations." (the held
  ///   description is left as it was); 2, 3, 4, 5 numbered from the
  ///   stylesheet's message by getErrorNo(); 9 "ConvertTransToPMMLException:
  ///   can't open xslt file." followed by the path (the description is kept
  ///   for the next call), or the engine's text followed by
  ///   "ConvertTransToPMMLException: Output Trans xml empty!" when the
  ///   stylesheet failed or wrote no well-formed document (also when the
  ///   description carries a character that XML 1.0 output cannot hold into
  ///   it), or the text of an exception met on the way followed by the same.
  int transform(xercesc::DOMDocument* input, xercesc::DOMDocument*& output, std::string& message,
                std::vector<TmsEndInfo>& vars) override;
  // The text and stream forms, reaching the document form above.
  using ConvertTrans::transform;
  /// @brief Stamps a document as PMML 4.3: the stamp transform() applies to
  /// its result.
  ///
  /// Sets version "4.3", the PMML 4.3 and XML Schema instance namespaces and
  /// the schema location on the PMML root, adds a Header (first child) and an
  /// Application inside it where missing, and writes the copyright and the
  /// host application's name and version (`PMMLXFORM_COPYRIGHT`,
  /// `PMMLXFORM_APP_NAME`, `PMMLXFORM_APP_VERSION`).
  /// @param document the document stamped in place; stays the caller's.
  /// @param message receives (appended) the text of a failure.
  /// @return false for a null document, one without a PMML root, or a failure.
  bool setPmmlAndHeaderInfo(xercesc::DOMDocument* document, std::string& message);

 protected:
  /// @brief Accumulates `input` into the held description: its root's first
  /// element child receives copies of the elements under the first element
  /// child of `input`'s root.
  /// @param input the description accumulated; stays the caller's.
  /// @return false only when the held description has no such child.
  bool mergeTransXML(xercesc::DOMDocument* input);

 public:
  // --- Merging transformation PMML into model PMML ---

  /// @brief Merges transformation PMML into model PMML.
  ///
  /// Builds one new document in which the model scores from raw fields: the
  /// model's root, header and model elements, one DataDictionary with the
  /// fields of both documents, one TransformationDictionary with the derived
  /// fields of both, value lists moved onto the derived fields that compute
  /// model fields, and mining schemas naming the raw fields behind derived
  /// inputs. The input documents are not changed.
  /// @param trans the transformation PMML; stays the caller's.
  /// @param model the model PMML; stays the caller's.
  /// @param output receives the merged document, which belongs to the caller;
  ///   none on 6 to 9.
  /// @param message receives the conflicting name (4) or the exception's text
  ///   (9); left as passed on 6, 7 and 8.
  /// @param dataFields receives (appended) the data fields of the result.
  /// @param derivedFields receives (appended) the derived fields of the result.
  /// @param miningFields receives (appended) the fields of the last reconciled
  ///   mining schema.
  /// @return 0 merged; 4 merged, but a raw field behind a derived model input
  ///   is the model's target (message: its name); 6 the transformation document
  ///   is not transformation PMML; 7 the model document is not model PMML the
  ///   merge takes; 8 the model holds a segmented MiningModel; 9 no DOM
  ///   implementation, or an exception ("exception in mergePMML:" and its text).
  ///   The merged document holds the texts of the inputs as they are; the text
  ///   and stream forms answer 9 when it cannot be written as XML 1.0 text.
  int mergePMML(xercesc::DOMDocument* trans, xercesc::DOMDocument* model,
                xercesc::DOMDocument*& output, std::string& message,
                std::vector<TmsEndInfo>& dataFields, std::vector<TmsEndInfo>& derivedFields,
                std::vector<TmsMiningFieldInfo>& miningFields) override;
  // The text and stream forms reach the override above.
  using ConvertTrans::mergePMML;
  /// @brief Why the last merge refused a document (codes 6, 7 and 8, whose
  /// message stays empty).
  /// @return the reason, as "version "4.4.1" is not accepted: ..." or "no
  ///   TransformationDictionary where it belongs (after DataDictionary): found
  ///   TreeModel"; the empty text after a merge that took both documents.
  const std::string& lastRefusalReason() const;

 protected:
  /// Document check before a merge: true for transformation PMML (PMML,
  /// Header, DataDictionary, optional MiningBuildTask, TransformationDictionary).
  bool checkTransPMML(xercesc::DOMDocument* document);
  /// Document check before a merge: true for model PMML of version 3.2 or 4.0
  /// and later (Header, dictionaries, one model element of a known kind
  /// starting with its MiningSchema, or an Extension, followed by Extensions
  /// only). A MiningModel with segments is refused and sets segmentedModel.
  bool checkModelPMML(xercesc::DOMDocument* document);

  /// Drops the Value children and the Extensions other than "stringLength" of
  /// `target`. Always true.
  bool clearValues(xercesc::DOMElement* target);
  /// Moves the value list of a model DataField (`source`) onto the
  /// DerivedField that computes it (`target`): missing values and invalid
  /// ranges in a "MissingValues" extension, intervals in "VariableInterval"
  /// extensions; copies its optype. Always true.
  bool copyValues(xercesc::DOMElement* source, xercesc::DOMElement* target);
  /// Appends the canonical keys of the field's missing values and invalid
  /// ranges to `keys`. Always true.
  bool getValueList(xercesc::DOMElement* field, std::vector<std::string>& keys);
  /// True when every key of `first` occurs in `second`.
  bool compareValueList(std::vector<std::string>& first, std::vector<std::string>& second);
  /// A number in exponent notation as a plain decimal text; other texts pass
  /// through. Exponents beyond +-1000 give "HIGHEST" / "LOWEST" (by sign) or "0".
  std::string formatNumber(std::string number);

  /// Mining schema reconciliation: appends to `names` the fields that the
  /// element's descendants refer to.
  bool getRelativeVars(xercesc::DOMElement* element, std::vector<std::string>& names);
  /// Reduces a name list to the names that are not derived fields of
  /// `dictionary`, tracing chains (a derived field is expanded once, so
  /// cycles end).
  bool getOriginalVars(xercesc::DOMElement* dictionary, std::vector<std::string>& names);
  /// Appends a MiningField for each name the schema lacks; false, with the
  /// name in `error`, when a name is the predicted field.
  bool addMiningFields(xercesc::DOMElement* miningSchema, std::vector<std::string>& names,
                       std::string& error);
  /// Moves the schema's derived inputs into a "DerivedFields" extension and
  /// adds their raw fields; false, with the name in `error`, on a target
  /// conflict.
  bool dealMiningSchema(xercesc::DOMElement* miningSchema, xercesc::DOMElement* dictionary,
                        std::string& error);
  /// Compares an existing variable with an incoming one of the same name: true,
  /// with the existing variable's name as message, when both are DataField or
  /// DerivedField and their names agree ignoring case. A false answer with a
  /// non-empty message is a conflict.
  bool compareVars(xercesc::DOMElement* existing, xercesc::DOMElement* incoming,
                   std::string& message);

  /// The variable `name` among the children of `parent`: the first `kind`
  /// child, then it and its following siblings whose "name" equals `name`
  /// ignoring case. Unlike a path lookup, a name holding "/" is found as it is.
  xercesc::DOMElement* findVariable(xercesc::DOMElement* parent, const char* kind,
                                    const std::string& name);
  /// Adds `child` to a DataDictionary or TransformationDictionary in the order
  /// the PMML schema gives their children: Extension, DefineFunction, fields,
  /// Taxonomy; within one kind, in the order added.
  void addToDictionary(xercesc::DOMElement* dictionary, xercesc::DOMElement* child);

  // --- Records ---

  /// Append one record per DerivedField or DataField child of `parent`, in
  /// document order; other children are skipped. Always true.
  bool getVarsInfo(xercesc::DOMElement* parent, std::vector<TmsEndInfo>& vars);
  /// Append one record per MiningField child of `miningSchema`. Always true.
  bool getMiningInfo(xercesc::DOMElement* miningSchema, std::vector<TmsMiningFieldInfo>& fields);

  /// Set by the model check when it refused a segmented mining model.
  bool segmentedModel;
};

#endif  // PMMLXFORM_CONVERT_TRANS_TO_PMML_H_
