#ifndef PMMLXFORM_CONVERT_TRANS_TO_PMML_H_
#define PMMLXFORM_CONVERT_TRANS_TO_PMML_H_

// ConvertTransToPMML: the class the host creates and keeps across calls. It
// turns transformation descriptions into transformation PMML and merges that
// into model PMML, reporting the variables and mining fields it produced.

#include <pmmlxform/convert_trans.h>
#include <pmmlxform/export.h>
#include <pmmlxform/tms_records.h>

#include <vector>

class PMMLXFORM_API ConvertTransToPMML : public ConvertTrans {
 public:
  // Runs the stylesheet "transformation.xsl" of the host's application directory.
  ConvertTransToPMML();
  ConvertTransToPMML(const ConvertTransToPMML& other);
  ConvertTransToPMML& operator=(const ConvertTransToPMML& other);
  ~ConvertTransToPMML() override;

 protected:
  // Append one record per DerivedField or DataField child of `parent`, in
  // document order; other children are skipped. Always true.
  bool getVarsInfo(xercesc::DOMElement* parent, std::vector<TmsEndInfo>& vars);
  // Append one record per MiningField child of `miningSchema`. Always true.
  bool getMiningInfo(xercesc::DOMElement* miningSchema, std::vector<TmsMiningFieldInfo>& fields);

  // Set by the model check when it refused a segmented mining model.
  bool segmentedModel;
};

#endif  // PMMLXFORM_CONVERT_TRANS_TO_PMML_H_
