// Indexes of child elements by name that answer as the scans they replace.
#include "xml/name_index.h"

#include <algorithm>
#include <type_traits>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLString.hpp>

#include "host/norvel.h"
#include "xml/dom.h"

namespace pmmlxform {

namespace {

constexpr XMLCh kName[] = u"name";

template <typename Char>
Char keyChar(Char c) {
  using Unsigned = typename std::make_unsigned<Char>::type;
  if (static_cast<Unsigned>(c) >= 0x80) return static_cast<Char>('*');
  const Char lower = (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
  if (lower == 'i' || lower == 'k' || lower == 's') return static_cast<Char>('*');
  return lower;
}

// The order of the dictionary children.
int rankOf(const XMLCh* kind) {
  if (xercesc::XMLString::equals(kind, u"Extension")) return 0;
  if (xercesc::XMLString::equals(kind, u"DefineFunction")) return 1;
  if (xercesc::XMLString::equals(kind, u"Taxonomy")) return 3;
  return 2;
}

// The name in the local code page, converted as the scans convert it.
std::string localText(const XMLCh* text) {
  char* converted = norvel::QORVMBTranscodeGeneric(text);
  std::string result(converted);
  norvel::QORVMBRelease(&converted);
  return result;
}

// A hash of the key that all names equal ignoring case share (and some others
// too, which the lookups' own comparison then tells apart): ASCII letters
// lower-cased, and "i", "k", "s" and every code unit outside ASCII made one
// placeholder, since case mappings take some letters outside ASCII to those
// three. FNV-1a over the key's code units.
template <typename Char>
std::uint64_t nameHash(const Char* name) {
  std::uint64_t hash = 14695981039346656037ULL;
  if (name == nullptr) return hash;
  for (; *name != 0; ++name) {
    hash ^= static_cast<std::uint64_t>(keyChar<Char>(*name)) & 0xFFFF;
    hash *= 1099511628211ULL;
  }
  return hash;
}

}  // namespace

std::size_t& NameIndex::Heads::operator[](std::uint64_t key) {
  if ((used_ + 1) * 4 > slots_.size() * 3) {
    // Grow to keep probes short; slots keep their keys, so rehash them.
    std::vector<std::pair<std::uint64_t, std::size_t>> old(
        std::max<std::size_t>(16, slots_.size() * 2), {0, kNone});
    old.swap(slots_);
    used_ = 0;
    for (const auto& [oldKey, head] : old) {
      if (head != kNone) (*this)[oldKey] = head;
    }
  }
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = static_cast<std::size_t>(key) & mask;; at = (at + 1) & mask) {
    auto& slot = slots_[at];
    if (slot.second == kNone) {
      slot.first = key;
      ++used_;
      return slot.second;
    }
    if (slot.first == key) return slot.second;
  }
}

std::size_t NameIndex::Heads::find(std::uint64_t key) const {
  if (slots_.empty()) return kNone;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = static_cast<std::size_t>(key) & mask;; at = (at + 1) & mask) {
    const auto& slot = slots_[at];
    if (slot.second == kNone) return kNone;
    if (slot.first == key) return slot.second;
  }
}

NameIndex::NameIndex(xercesc::DOMElement* parent, bool ranked) : parent_(parent), ranked_(ranked) {
  for (xercesc::DOMNode* child = parent->getFirstChild(); child != nullptr;
       child = child->getNextSibling()) {
    if (isElement(child)) add(static_cast<xercesc::DOMElement*>(child));
  }
}

bool NameIndex::before(std::size_t a, std::size_t b) const {
  if (ranked_ && all_[a].rank != all_[b].rank) return all_[a].rank < all_[b].rank;
  return a < b;
}

void NameIndex::link(std::size_t& head, std::size_t entry, std::size_t Entry::*next) {
  // Chains are short and mostly grow at their end.
  if (head == kNone || before(entry, head)) {
    all_[entry].*next = head;
    head = entry;
    return;
  }
  std::size_t at = head;
  while (all_[at].*next != kNone && before(all_[at].*next, entry)) at = all_[at].*next;
  all_[entry].*next = all_[at].*next;
  all_[at].*next = entry;
}

void NameIndex::add(xercesc::DOMElement* child) {
  const int rank = ranked_ ? rankOf(child->getNodeName()) : 0;
  if (ranked_ && firstOfRank_[rank] == nullptr) firstOfRank_[rank] = child;
  const std::size_t entry = all_.size();
  all_.push_back({child, rank, true, kNone, kNone});
  if (ranked_) {
    // A dictionary only grows: a known start moves only to an earlier new child.
    for (auto& [kind, start] : starts_) {
      if (xercesc::XMLString::equals(kind.c_str(), child->getNodeName()) &&
          (start == kNone || before(entry, start))) {
        start = entry;
      }
    }
  }
  link(byName_[nameHash(pmmlxform::attributeText(child, kName))], entry, &Entry::nextByName);
  if (localBuilt_) addLocal(entry);
}

void NameIndex::addLocal(std::size_t entry) {
  localNames_.push_back(localText(pmmlxform::attributeText(all_[entry].element, kName)));
  link(byLocalName_[nameHash(localNames_[entry].c_str())], entry, &Entry::nextByLocalName);
}

void NameIndex::insert(xercesc::DOMElement* child) {
  xercesc::DOMNode* next = nullptr;
  if (ranked_) {
    // Before the first child of a later rank.
    for (int r = rankOf(child->getNodeName()) + 1; r < 4 && next == nullptr; ++r) {
      next = firstOfRank_[r];
    }
  }
  parent_->insertBefore(child, next);
  add(child);
}

void NameIndex::remove(xercesc::DOMElement* child) {
  parent_->removeChild(child);
  auto mark = [this, child](std::size_t entry) {
    if (all_[entry].element != child || !all_[entry].present) return false;
    all_[entry].present = false;
    xercesc::DOMElement*& first = firstOfRank_[all_[entry].rank];
    if (first == child) {
      // The earliest child of that rank still there takes its place.
      std::size_t next = kNone;
      for (std::size_t i = 0; i < all_.size() && next == kNone; ++i) {
        if (all_[i].present && all_[i].rank == all_[entry].rank) next = i;
      }
      first = next == kNone ? nullptr : all_[next].element;
    }
    return true;
  };
  // The child is found under its name, unless that changed since it was indexed.
  for (std::size_t entry = byName_.find(nameHash(pmmlxform::attributeText(child, kName)));
       entry != kNone; entry = all_[entry].nextByName) {
    if (mark(entry)) return;
  }
  for (std::size_t entry = 0; entry < all_.size(); ++entry) {
    if (mark(entry)) return;
  }
}

xercesc::DOMElement* NameIndex::find(const XMLCh* name) {
  for (std::size_t entry = byName_.find(nameHash(name)); entry != kNone;
       entry = all_[entry].nextByName) {
    const Entry& e = all_[entry];
    if (e.present &&
        xercesc::XMLString::compareIString(pmmlxform::attributeText(e.element, kName), name) == 0) {
      return e.element;
    }
  }
  return nullptr;
}

void NameIndex::buildLocal() {
  localBuilt_ = true;
  localNames_.reserve(all_.size());
  for (std::size_t entry = 0; entry < all_.size(); ++entry) addLocal(entry);
}

std::size_t NameIndex::startOf(const XMLCh* kind) {
  auto named = [this, kind](std::size_t entry) {
    return all_[entry].present &&
           xercesc::XMLString::equals(all_[entry].element->getNodeName(), kind);
  };
  auto known = std::find_if(starts_.begin(), starts_.end(), [kind](const auto& start) {
    return xercesc::XMLString::equals(start.first.c_str(), kind);
  });
  const bool fresh = known == starts_.end();
  if (fresh) {
    starts_.emplace_back(kind, ranked_ ? kNone : 0);
    known = starts_.end() - 1;
  }
  std::size_t& at = known->second;
  if (ranked_) {
    if (fresh || (at != kNone && !all_[at].present)) {
      std::size_t best = kNone;
      for (std::size_t i = 0; i < all_.size(); ++i) {
        if (named(i) && (best == kNone || before(i, best))) best = i;
      }
      at = best;
    }
    return at;
  }
  // Children are only removed or appended, so the start only moves on.
  if (at == kNone) at = 0;
  while (at < all_.size() && !named(at)) ++at;
  return at < all_.size() ? at : kNone;
}

xercesc::DOMElement* NameIndex::findFrom(const XMLCh* kind, const std::string& name) {
  if (!localBuilt_) buildLocal();
  std::size_t entry = byLocalName_.find(nameHash(name.c_str()));
  if (entry == kNone) return nullptr;
  const std::size_t start = startOf(kind);
  if (start == kNone) return nullptr;
  for (; entry != kNone; entry = all_[entry].nextByLocalName) {
    if (!all_[entry].present || before(entry, start)) continue;
    if (xercesc::XMLString::compareIString(localNames_[entry].c_str(), name.c_str()) == 0) {
      return all_[entry].element;
    }
  }
  return nullptr;
}

NameIndex& NameIndexes::index(xercesc::DOMElement* parent, bool ranked) {
  auto& slot = indexes_[parent];
  if (slot == nullptr) slot = std::make_unique<NameIndex>(parent, ranked);
  return *slot;
}

NameIndex* NameIndexes::find(const xercesc::DOMElement* parent) const {
  const auto found = indexes_.find(parent);
  return found == indexes_.end() ? nullptr : found->second.get();
}

}  // namespace pmmlxform
