#ifndef PMMLXFORM_MERGE_INPUT_TREATMENT_H_
#define PMMLXFORM_MERGE_INPUT_TREATMENT_H_

// A model treats its inputs before it scores them: a value its DataField lists
// as missing counts as missing, an invalid value may count as missing, an
// outlier may be clipped, and a missing value may be replaced. Once a merge
// turns such an input into a derived field, standard scorers no longer treat
// it (they read neither the vendor extensions the merge keeps nor a mining
// field of a derived field), so the merged document states the treatment in
// the derived field itself:
//
//   <DerivedField name="net_x2">            the model-facing field, treated
//     <Apply function="if"> isMissing(net_x2_untreated) -> replacement,
//                           missing code or invalid -> replacement,
//                           otherwise net_x2_untreated (clipped if asked) </Apply>
//   <DerivedField name="net_x2_untreated">  the transformation's definition
//
// The transformation's other derived fields read the untreated field, the
// model and the model's own derived fields the treated one, exactly as when the
// transformation's output is fed to the model.

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "xml/name_index.h"

namespace pmmlxform {

// What a model's data field says about the values of its input, read once
// when the field is met: the merge lets the model go before the treatments
// are written.
struct ModelFieldValues {
  using Text = std::basic_string<XMLCh>;
  struct Interval {
    bool hasLeft = false, hasRight = false;
    Text left, right, closure;
  };
  explicit ModelFieldValues(xercesc::DOMElement* dataField);
  // The Values' texts by their property: "missing", "invalid", or any other.
  void values(std::vector<Text>& missing, std::vector<Text>& invalid,
              std::vector<Text>& valid) const;
  // The valid ranges.
  const std::vector<Interval>& intervals() const;

  bool continuous = false;  // the field's optype is "continuous"

 private:
  struct Lists {
    std::vector<Interval> intervals;
    // Each Value as one code unit for its property and its text ended by a 0:
    // one allocation for a field's whole list.
    Text values;
  };
  // Null for a field without Values and Intervals, as most are: the merge
  // keeps one of these per model field while the model is still there.
  std::unique_ptr<Lists> lists_;
};

class InputTreatments {
 public:
  // `add` places a new derived field in the merged transformation dictionary;
  // `indexes` are the merge's.
  InputTreatments(std::function<void(xercesc::DOMElement*)> add, const NameIndexes& indexes);
  ~InputTreatments();
  InputTreatments(const InputTreatments&) = delete;
  InputTreatments& operator=(const InputTreatments&) = delete;

  // `derived` is one of the transformation's derived fields in the merged
  // dictionary (only those are treated: a model's own derived fields keep the
  // meaning they had in the model).
  void fromTransformation(xercesc::DOMElement* derived);
  // `dataField`, the model's field of the same name, is about to become the
  // value list of `derived`: sets aside what the transformation's definition
  // holds besides its expression, and reads the model field's missing values
  // and valid values (the model field is not read again).
  void modelField(xercesc::DOMElement* derived, xercesc::DOMElement* dataField);
  // For each derived input that `miningSchema` moved into its "DerivedFields"
  // container, writes the treatment its mining field and model field ask for
  // into the derived field of `dictionary`. A derived field is treated once,
  // by the first schema that names it.
  void carry(xercesc::DOMElement* miningSchema, xercesc::DOMElement* dictionary);

 private:
  using Text = std::basic_string<XMLCh>;
  static constexpr std::uint32_t kNone = static_cast<std::uint32_t>(-1);
  // What modelField read for one derived field: the model field's values, and
  // what the transformation's definition held besides its expression before
  // the model's value list replaced it (its optype, and unattached elements).
  // Small, since the merge keeps one per derived input while the model is
  // still there.
  struct Kept {
    explicit Kept(xercesc::DOMElement* dataField) : values(dataField) {}
    ModelFieldValues values;
    bool hasOriginal = false;  // false once a treatment took it
    bool hasOptype = false;
    std::uint32_t optype = 0;                      // in optypes_
    std::uint32_t firstChild = 0, childCount = 0;  // in keptChildren_
  };

  void treat(xercesc::DOMElement* derived, xercesc::DOMElement* miningField);
  // A name for the untreated copy of `input` that no field of the document
  // has yet, ignoring case.
  Text untreatedName(xercesc::DOMDocument* document, const Text& input);
  // Learns the field names of the parts of the document not seen before.
  void learnNames(xercesc::DOMDocument* document);
  bool nameTaken(const Text& name) const;
  // The position in kept_ of what modelField read for the transformation's
  // field `derived` (kNone before it did), or null for a field that is not
  // the transformation's.
  std::uint32_t* keptOf(xercesc::DOMElement* derived);
  std::uint32_t optypeId(const Text& optype);
  // Keys the references met so far by name.
  void indexReferences();

  std::function<void(xercesc::DOMElement*)> add_;
  const NameIndexes& indexes_;
  // The transformation's derived fields, each with its position in kept_ or
  // kNone; sorted by address once looked up.
  std::vector<std::pair<xercesc::DOMElement*, std::uint32_t>> transformation_;
  bool sorted_ = true;
  std::vector<Kept> kept_;
  std::vector<xercesc::DOMElement*> keptChildren_;
  std::vector<Text> optypes_;
  std::set<xercesc::DOMElement*> treated_;
  // The field references in the transformation's fields, and the names of the
  // document's fields, by a key that names equal ignoring case share. The
  // references are keyed when the first treatment needs them (the merge lets
  // the model go first, so the keys never take memory while it does); until
  // then nothing renames one.
  std::vector<xercesc::DOMElement*> unkeyedReferences_;
  std::unordered_map<Text, std::vector<xercesc::DOMElement*>> references_;
  std::unordered_map<Text, std::vector<Text>> names_;
  std::set<const xercesc::DOMNode*> learned_;
};

}  // namespace pmmlxform

#endif  // PMMLXFORM_MERGE_INPUT_TREATMENT_H_
