// Indexes of child elements by name that answer as the scans they replace.
#include "trans/name_index.h"

#include <algorithm>
#include <atomic>
#include <type_traits>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLString.hpp>

#include "host/norvel.h"

namespace pmmlxform {

namespace {

constexpr XMLCh kName[] = u"name";

thread_local NameIndexScope* currentScope = nullptr;
std::atomic<bool> indexingEnabled{true};

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

bool isElement(const xercesc::DOMNode* node) {
  return node != nullptr && node->getNodeType() == xercesc::DOMNode::ELEMENT_NODE;
}

}  // namespace

std::u16string nameKey(const XMLCh* name) {
  std::u16string key;
  if (name == nullptr) return key;
  for (; *name != 0; ++name) key.push_back(keyChar<char16_t>(*name));
  return key;
}

std::string nameKey(const std::string& name) {
  std::string key;
  key.reserve(name.size());
  for (char c : name) key.push_back(keyChar<char>(c));
  return key;
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

void NameIndex::place(std::vector<std::size_t>& bucket, std::size_t entry) const {
  // Buckets are short and mostly grow at their end.
  auto at = bucket.end();
  while (at != bucket.begin() && !before(*(at - 1), entry)) --at;
  bucket.insert(at, entry);
}

void NameIndex::add(xercesc::DOMElement* child) {
  const int rank = ranked_ ? rankOf(child->getNodeName()) : 0;
  if (ranked_ && firstOfRank_[rank] == nullptr) firstOfRank_[rank] = child;
  const std::size_t entry = all_.size();
  all_.push_back({child, rank, true});
  if (ranked_) {
    // A dictionary only grows: a known start moves only to an earlier new child.
    const auto start = starts_.find(child->getNodeName());
    if (start != starts_.end() && (start->second == kNone || before(entry, start->second))) {
      start->second = entry;
    }
  }
  place(byName_[nameKey(child->getAttribute(kName))], entry);
  if (localBuilt_) {
    const std::string name = localText(child->getAttribute(kName));
    auto& bucket = byLocalName_[nameKey(name)];
    bucket.emplace_back(entry, name);
    for (auto at = bucket.end() - 1; at != bucket.begin() && before(at->first, (at - 1)->first);
         --at) {
      std::swap(*at, *(at - 1));
    }
  }
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
      for (std::size_t i = 0; i < all_.size(); ++i) {
        if (all_[i].present && all_[i].rank == all_[entry].rank && (next == kNone || i < next)) {
          next = i;
        }
      }
      first = next == kNone ? nullptr : all_[next].element;
    }
    return true;
  };
  // The child is found under its name, unless that changed since it was indexed.
  const auto bucket = byName_.find(nameKey(child->getAttribute(kName)));
  if (bucket != byName_.end()) {
    for (std::size_t entry : bucket->second) {
      if (mark(entry)) return;
    }
  }
  for (std::size_t entry = 0; entry < all_.size(); ++entry) {
    if (mark(entry)) return;
  }
}

xercesc::DOMElement* NameIndex::find(const XMLCh* name) {
  const auto bucket = byName_.find(nameKey(name));
  if (bucket == byName_.end()) return nullptr;
  for (std::size_t entry : bucket->second) {
    const Entry& e = all_[entry];
    if (e.present && xercesc::XMLString::compareIString(e.element->getAttribute(kName), name) == 0) {
      return e.element;
    }
  }
  return nullptr;
}

void NameIndex::buildLocal() {
  localBuilt_ = true;
  for (std::size_t entry = 0; entry < all_.size(); ++entry) {
    const std::string name = localText(all_[entry].element->getAttribute(kName));
    byLocalName_[nameKey(name)].emplace_back(entry, name);
  }
  for (auto& bucket : byLocalName_) {
    std::stable_sort(bucket.second.begin(), bucket.second.end(),
                     [this](const auto& a, const auto& b) { return before(a.first, b.first); });
  }
}

std::size_t NameIndex::startOf(const XMLCh* kind) {
  auto named = [this, kind](std::size_t entry) {
    return all_[entry].present && xercesc::XMLString::equals(all_[entry].element->getNodeName(), kind);
  };
  const std::u16string key(kind);
  auto known = starts_.find(key);
  if (ranked_) {
    if (known == starts_.end() || (known->second != kNone && !all_[known->second].present)) {
      std::size_t best = kNone;
      for (std::size_t i = 0; i < all_.size(); ++i) {
        if (named(i) && (best == kNone || before(i, best))) best = i;
      }
      known = starts_.insert_or_assign(key, best).first;
    }
    return known->second;
  }
  // Children are only removed or appended, so the start only moves on.
  if (known == starts_.end()) known = starts_.emplace(key, 0).first;
  std::size_t& at = known->second;
  if (at == kNone) at = 0;
  while (at < all_.size() && !named(at)) ++at;
  return at < all_.size() ? at : kNone;
}

xercesc::DOMElement* NameIndex::findFrom(const XMLCh* kind, const std::string& name) {
  if (!localBuilt_) buildLocal();
  const auto bucket = byLocalName_.find(nameKey(name));
  if (bucket == byLocalName_.end()) return nullptr;
  const std::size_t start = startOf(kind);
  if (start == kNone) return nullptr;
  for (const auto& [entry, text] : bucket->second) {
    if (!all_[entry].present || before(entry, start)) continue;
    if (xercesc::XMLString::compareIString(text.c_str(), name.c_str()) == 0) {
      return all_[entry].element;
    }
  }
  return nullptr;
}

NameIndexScope::NameIndexScope() {
  if (currentScope == nullptr) currentScope = this;
}

NameIndexScope::~NameIndexScope() {
  if (currentScope == this) currentScope = nullptr;
}

NameIndex& NameIndexScope::index(xercesc::DOMElement* parent, bool ranked) {
  auto& slot = indexes_[parent];
  if (slot == nullptr) slot = std::make_unique<NameIndex>(parent, ranked);
  return *slot;
}

NameIndex* NameIndexScope::lookup(const xercesc::DOMElement* parent) {
  if (currentScope == nullptr || !indexingEnabled.load()) return nullptr;
  const auto found = currentScope->indexes_.find(parent);
  return found == currentScope->indexes_.end() ? nullptr : found->second.get();
}

void NameIndexScope::setEnabled(bool enabled) { indexingEnabled.store(enabled); }

}  // namespace pmmlxform
