#ifndef PMMLXFORM_TRANS_NAME_INDEX_H_
#define PMMLXFORM_TRANS_NAME_INDEX_H_

// Hash indexes over the children of an element by their "name" attribute, for
// the merge, which looks up every field of growing dictionaries and mining
// schemas. An index answers exactly as a scan of the children in document
// order would: the first match, names compared ignoring case as the scans
// compare them. While a NameIndexScope is alive on a thread, the lookups of
// ConvertTrans and ConvertTransToPMML answer from the indexes registered in it
// for the elements they are asked about, and scan every other element.

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>
#include <xercesc/dom/DOMElement.hpp>

namespace pmmlxform {

// A key that all names equal ignoring case share (and some others too, which
// the caller's own comparison then tells apart): ASCII letters lower-cased,
// and "i", "k", "s" and every code unit outside ASCII made one placeholder,
// since case mappings take some letters outside ASCII to those three.
std::u16string nameKey(const XMLCh* name);
std::string nameKey(const std::string& name);

class NameIndex {
 public:
  // `ranked`: the parent is a dictionary whose children are kept in the order
  // Extension, DefineFunction, fields, Taxonomy (see insert).
  NameIndex(xercesc::DOMElement* parent, bool ranked);
  NameIndex(const NameIndex&) = delete;
  NameIndex& operator=(const NameIndex&) = delete;

  // Inserts `child` into a ranked parent after the children of its rank and
  // before those of a later rank, or at the end of an unranked one.
  void insert(xercesc::DOMElement* child);
  // Removes `child` from the parent. Children leave an indexed parent only
  // this way, so the index knows its children without asking the document.
  void remove(xercesc::DOMElement* child);
  // The first element child whose "name" equals `name` ignoring case (the
  // XML library's comparison), or null.
  xercesc::DOMElement* find(const XMLCh* name);
  // From the first child element called `kind` on, the first element child
  // whose "name", in the local code page, equals `name` ignoring case.
  xercesc::DOMElement* findFrom(const XMLCh* kind, const std::string& name);

 private:
  struct Entry {
    xercesc::DOMElement* element;
    int rank;
    bool present;  // false once removed
  };
  // Entries are named by their position in all_, which is the order they
  // were indexed in.
  bool before(std::size_t a, std::size_t b) const;
  void add(xercesc::DOMElement* child);
  void place(std::vector<std::size_t>& bucket, std::size_t entry) const;
  void buildLocal();
  // The position of the child the scan for `kind` starts at, or kNone.
  std::size_t startOf(const XMLCh* kind);
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  xercesc::DOMElement* parent_;
  bool ranked_;
  std::vector<Entry> all_;  // every child ever indexed
  std::unordered_map<std::u16string, std::vector<std::size_t>> byName_;
  bool localBuilt_ = false;
  std::unordered_map<std::string, std::vector<std::pair<std::size_t, std::string>>> byLocalName_;
  // Per kind: the position in all_ of the child the scan starts at.
  std::unordered_map<std::u16string, std::size_t> starts_;
  xercesc::DOMElement* firstOfRank_[4] = {nullptr, nullptr, nullptr, nullptr};
};

// Registers indexes for the running thread; lookups consult them until the
// scope ends. Scopes do not nest.
class NameIndexScope {
 public:
  NameIndexScope();
  ~NameIndexScope();
  NameIndexScope(const NameIndexScope&) = delete;
  NameIndexScope& operator=(const NameIndexScope&) = delete;

  NameIndex& index(xercesc::DOMElement* parent, bool ranked);
  // The index registered for `parent` in the thread's scope, or null.
  static NameIndex* lookup(const xercesc::DOMElement* parent);
  // Off, scopes register nothing: every lookup scans (for comparisons).
  static void setEnabled(bool enabled);

 private:
  std::unordered_map<const xercesc::DOMElement*, std::unique_ptr<NameIndex>> indexes_;
};

}  // namespace pmmlxform

#endif  // PMMLXFORM_TRANS_NAME_INDEX_H_
