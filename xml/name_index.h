#ifndef PMMLXFORM_XML_NAME_INDEX_H_
#define PMMLXFORM_XML_NAME_INDEX_H_

// Hash indexes over the children of an element by their "name" attribute, for
// the merge, which looks up every field of growing dictionaries and mining
// schemas. An index answers exactly as a scan of the children in document
// order would: the first match, names compared ignoring case as the scans
// compare them. The merge keeps its indexes in the context of its call
// (trans/call_context.h); lookups of elements without an index scan.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>
#include <xercesc/dom/DOMElement.hpp>

namespace pmmlxform {

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
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  // Entries are named by their position in all_, which is the order they
  // were indexed in.
  struct Entry {
    xercesc::DOMElement* element;
    int rank;
    bool present;  // false once removed
    // The next entry of the same name key, in child order, or kNone.
    std::size_t nextByName;
    std::size_t nextByLocalName;
  };
  // Hash of a name key to the first entry of that key's chain: open
  // addressing, keys that collide share a chain (lookups compare the names).
  class Heads {
   public:
    std::size_t& operator[](std::uint64_t key);
    std::size_t find(std::uint64_t key) const;

   private:
    std::vector<std::pair<std::uint64_t, std::size_t>> slots_;
    std::size_t used_ = 0;
  };
  bool before(std::size_t a, std::size_t b) const;
  void add(xercesc::DOMElement* child);
  // Links `entry` into the chain starting at `head` after every entry before it.
  void link(std::size_t& head, std::size_t entry, std::size_t Entry::*next);
  void addLocal(std::size_t entry);
  void buildLocal();
  // The position of the child the scan for `kind` starts at, or kNone.
  std::size_t startOf(const XMLCh* kind);

  xercesc::DOMElement* parent_;
  bool ranked_;
  std::vector<Entry> all_;  // every child ever indexed
  Heads byName_;
  bool localBuilt_ = false;
  Heads byLocalName_;
  std::vector<std::string> localNames_;  // per entry, once built
  // Per kind: the position in all_ of the child the scan starts at.
  std::vector<std::pair<std::u16string, std::size_t>> starts_;
  xercesc::DOMElement* firstOfRank_[4] = {nullptr, nullptr, nullptr, nullptr};
};

// The indexes of one merge, by parent element.
class NameIndexes {
 public:
  // The index of `parent`, made on first use.
  NameIndex& index(xercesc::DOMElement* parent, bool ranked);
  // The index of `parent`, or null when none was made.
  NameIndex* find(const xercesc::DOMElement* parent) const;
  void clear() { indexes_.clear(); }

 private:
  std::unordered_map<const xercesc::DOMElement*, std::unique_ptr<NameIndex>> indexes_;
};

}  // namespace pmmlxform

#endif  // PMMLXFORM_XML_NAME_INDEX_H_
