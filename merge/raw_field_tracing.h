#ifndef PMMLXFORM_MERGE_RAW_FIELD_TRACING_H_
#define PMMLXFORM_MERGE_RAW_FIELD_TRACING_H_

// The raw fields behind the derived inputs of one mining schema, each derived
// field traced once however many inputs reach it.
//
// The list for a derived field is the one getRelativeVars then getOriginalVars
// give: its references, then a breadth-first walk that replaces each derived
// name by the references of its field (each field expanded once, the traced
// field itself once more when met again), raw names kept in the order they
// first appear. A walk whose only pending derived name is some field `c`
// continues exactly as the walk of `c` does, so its list is the raw names met
// so far followed by the list of `c` without those: the tracer stores that
// as a link to the list of `c` instead of walking `c` again. A chain of
// derived fields then costs one step per field, and a list equal to the one it
// links to is that list itself.

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>
#include <xercesc/dom/DOMElement.hpp>

namespace pmmlxform {

class RawFieldTracer {
 public:
  // The names `element` references, once each, in document order.
  using ReferencesOf = std::function<std::vector<std::string>(xercesc::DOMElement*)>;
  // The derived field of that name, or null for a raw field.
  using DerivedNamed = std::function<xercesc::DOMElement*(const std::string&)>;

  RawFieldTracer(ReferencesOf referencesOf, DerivedNamed derivedNamed);

  // The raw fields behind `derived`. The dictionary the callbacks read must
  // not change while the tracer is used.
  std::vector<std::string> rawFieldsOf(xercesc::DOMElement* derived);

 private:
  static constexpr std::int32_t kNone = -1;
  // A list of raw names: `prefix`, then the list of entry `tail` without the
  // names of `prefix`.
  struct Entry {
    std::vector<std::uint32_t> prefix;
    std::int32_t tail = kNone;
  };
  struct Field {
    xercesc::DOMElement* element;
    std::vector<std::uint32_t> references;
    bool referencesKnown = false;
    bool inProgress = false;
    std::int32_t entry = kNone;
  };

  std::uint32_t nameId(const std::string& name);
  std::uint32_t fieldId(xercesc::DOMElement* element);
  // The field a name stands for, or kNone for a raw name.
  std::int32_t fieldOf(std::uint32_t name);
  const std::vector<std::uint32_t>& referencesOf(std::uint32_t field);
  void compute(std::uint32_t field);
  // Walks `field`; false with `needed` set when the walk reaches a field
  // whose list is still to be made.
  bool walk(std::uint32_t field, Entry& result, std::uint32_t& needed);
  std::int32_t store(Entry entry);
  std::uint32_t nextStamp();

  ReferencesOf referencesOf_;
  DerivedNamed derivedNamed_;
  std::vector<std::string> names_;
  std::unordered_map<std::string, std::uint32_t> nameIds_;
  // Per name: 0 unresolved, 1 raw, 2 + field id.
  std::vector<std::uint32_t> nameFields_;
  std::vector<Field> fields_;
  std::unordered_map<xercesc::DOMElement*, std::uint32_t> fieldIds_;
  std::vector<Entry> entries_;
  // Per name and per field: the walk that last marked it.
  std::vector<std::uint32_t> nameStamps_;
  std::vector<std::uint32_t> fieldStamps_;
  std::uint32_t stamp_ = 0;
};

}  // namespace pmmlxform

#endif  // PMMLXFORM_MERGE_RAW_FIELD_TRACING_H_
