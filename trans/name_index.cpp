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

bool NameIndex::before(const Entry& a, const Entry& b) const {
  if (ranked_ && a.rank != b.rank) return a.rank < b.rank;
  return a.sequence < b.sequence;
}

void NameIndex::place(std::vector<Entry>& bucket, const Entry& entry, bool ranked) {
  // Buckets are short and mostly grow at their end.
  auto at = bucket.end();
  while (at != bucket.begin()) {
    const Entry& previous = *(at - 1);
    const bool after = ranked && previous.rank != entry.rank ? previous.rank < entry.rank
                                                             : previous.sequence < entry.sequence;
    if (after) break;
    --at;
  }
  bucket.insert(at, entry);
}

void NameIndex::add(xercesc::DOMElement* child) {
  const int rank = ranked_ ? rankOf(child->getNodeName()) : 0;
  if (ranked_ && firstOfRank_[rank] == nullptr) firstOfRank_[rank] = child;
  const Entry entry{child, rank, next_++};
  all_.push_back(entry);
  if (ranked_) {
    // A dictionary only grows: a known start moves only to an earlier new child.
    const auto start = starts_.find(child->getNodeName());
    if (start != starts_.end() && (start->second == kNone || before(entry, all_[start->second]))) {
      start->second = all_.size() - 1;
    }
  }
  place(byName_[nameKey(child->getAttribute(kName))], entry, ranked_);
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

xercesc::DOMElement* NameIndex::find(const XMLCh* name) {
  const auto bucket = byName_.find(nameKey(name));
  if (bucket == byName_.end()) return nullptr;
  for (const Entry& entry : bucket->second) {
    if (entry.element->getParentNode() != parent_) continue;  // moved away since
    if (xercesc::XMLString::compareIString(entry.element->getAttribute(kName), name) == 0) {
      return entry.element;
    }
  }
  return nullptr;
}

void NameIndex::buildLocal() {
  localBuilt_ = true;
  for (const Entry& entry : all_) {
    const std::string name = localText(entry.element->getAttribute(kName));
    byLocalName_[nameKey(name)].emplace_back(entry, name);
  }
  for (auto& bucket : byLocalName_) {
    std::stable_sort(bucket.second.begin(), bucket.second.end(),
                     [this](const auto& a, const auto& b) { return before(a.first, b.first); });
  }
}

const NameIndex::Entry* NameIndex::startOf(const XMLCh* kind) {
  auto present = [this](const Entry& e) { return e.element->getParentNode() == parent_; };
  auto named = [kind](const Entry& e) {
    return xercesc::XMLString::equals(e.element->getNodeName(), kind);
  };
  const std::u16string key(kind);
  auto known = starts_.find(key);
  if (ranked_) {
    if (known == starts_.end() || (known->second != kNone && !present(all_[known->second]))) {
      std::size_t best = kNone;
      for (std::size_t i = 0; i < all_.size(); ++i) {
        if (present(all_[i]) && named(all_[i]) && (best == kNone || before(all_[i], all_[best]))) {
          best = i;
        }
      }
      known = starts_.insert_or_assign(key, best).first;
    }
  } else {
    // Children are only removed or appended, so the start only moves on.
    if (known == starts_.end()) known = starts_.emplace(key, 0).first;
    std::size_t& at = known->second;
    if (at == kNone) at = 0;
    while (at < all_.size() && !(present(all_[at]) && named(all_[at]))) ++at;
    return at < all_.size() ? &all_[at] : nullptr;
  }
  return known->second == kNone ? nullptr : &all_[known->second];
}

xercesc::DOMElement* NameIndex::findFrom(const XMLCh* kind, const std::string& name) {
  if (!localBuilt_) buildLocal();
  const auto bucket = byLocalName_.find(nameKey(name));
  if (bucket == byLocalName_.end()) return nullptr;
  const Entry* start = startOf(kind);
  if (start == nullptr) return nullptr;
  for (const auto& [entry, text] : bucket->second) {
    if (entry.element->getParentNode() != parent_ || before(entry, *start)) continue;
    if (xercesc::XMLString::compareIString(text.c_str(), name.c_str()) == 0) return entry.element;
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
