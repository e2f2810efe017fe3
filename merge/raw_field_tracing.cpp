// Tracing derived inputs to raw fields, each derived field walked once.
#include "merge/raw_field_tracing.h"

#include <algorithm>
#include <utility>

namespace pmmlxform {

namespace {
constexpr std::uint32_t kUnresolved = 0;
constexpr std::uint32_t kRaw = 1;
constexpr std::uint32_t kFirstField = 2;
}  // namespace

RawFieldTracer::RawFieldTracer(ReferencesOf referencesOf, DerivedNamed derivedNamed)
    : referencesOf_(std::move(referencesOf)), derivedNamed_(std::move(derivedNamed)) {}

std::uint32_t RawFieldTracer::nameId(const std::string& name) {
  const auto [at, added] = nameIds_.emplace(name, static_cast<std::uint32_t>(names_.size()));
  if (added) {
    names_.push_back(name);
    nameFields_.push_back(kUnresolved);
    nameStamps_.push_back(0);
  }
  return at->second;
}

std::uint32_t RawFieldTracer::fieldId(xercesc::DOMElement* element) {
  const auto [at, added] = fieldIds_.emplace(element, static_cast<std::uint32_t>(fields_.size()));
  if (added) {
    fields_.push_back(Field{element, {}});
    fieldStamps_.push_back(0);
  }
  return at->second;
}

std::int32_t RawFieldTracer::fieldOf(std::uint32_t name) {
  if (nameFields_[name] == kUnresolved) {
    xercesc::DOMElement* element = derivedNamed_(names_[name]);
    const std::uint32_t resolved = element == nullptr ? kRaw : kFirstField + fieldId(element);
    nameFields_[name] = resolved;
  }
  const std::uint32_t resolved = nameFields_[name];
  return resolved == kRaw ? kNone : static_cast<std::int32_t>(resolved - kFirstField);
}

const std::vector<std::uint32_t>& RawFieldTracer::referencesOf(std::uint32_t field) {
  if (!fields_[field].referencesKnown) {
    std::vector<std::uint32_t> ids;
    for (const std::string& name : referencesOf_(fields_[field].element)) {
      ids.push_back(nameId(name));
    }
    fields_[field].references = std::move(ids);
    fields_[field].referencesKnown = true;
  }
  return fields_[field].references;
}

std::uint32_t RawFieldTracer::nextStamp() {
  if (++stamp_ == 0) {
    std::fill(nameStamps_.begin(), nameStamps_.end(), 0);
    std::fill(fieldStamps_.begin(), fieldStamps_.end(), 0);
    stamp_ = 1;
  }
  return stamp_;
}

bool RawFieldTracer::walk(std::uint32_t field, Entry& result, std::uint32_t& needed) {
  const std::uint32_t stamp = nextStamp();
  // The list as getOriginalVars holds it: raw names kept (`raws`), derived
  // ones pending from `head` on. A name is on the list while its stamp is this
  // walk's; a derived name leaves it when expanded and may come back.
  std::vector<std::uint32_t> raws;
  std::vector<std::uint32_t> queue;
  std::size_t head = 0;
  std::size_t pendingDerived = 0;
  auto append = [&](std::uint32_t name) {
    if (nameStamps_[name] == stamp) return;
    nameStamps_[name] = stamp;
    queue.push_back(name);
    if (fieldOf(name) != kNone) ++pendingDerived;
  };
  auto expand = [&](std::uint32_t of) {
    // Copied: resolving names may add fields and move the vector they live in.
    const std::vector<std::uint32_t> references = referencesOf(of);
    for (const std::uint32_t name : references) append(name);
  };
  expand(field);
  while (head < queue.size()) {
    const std::uint32_t name = queue[head++];
    const std::int32_t derived = fieldOf(name);
    if (derived == kNone) {
      raws.push_back(name);
      continue;
    }
    --pendingDerived;
    nameStamps_[name] = 0;
    const auto next = static_cast<std::uint32_t>(derived);
    if (fieldStamps_[next] == stamp) continue;
    if (pendingDerived == 0 && !fields_[next].inProgress) {
      // Only raw names follow: the rest of the walk is the walk of `next`.
      if (fields_[next].entry == kNone) {
        needed = next;
        return false;
      }
      raws.insert(raws.end(), queue.begin() + static_cast<std::ptrdiff_t>(head), queue.end());
      result.prefix = std::move(raws);
      result.tail = fields_[next].entry;
      return true;
    }
    fieldStamps_[next] = stamp;
    expand(next);
  }
  result.prefix = std::move(raws);
  result.tail = kNone;
  return true;
}

std::int32_t RawFieldTracer::store(Entry entry) {
  if (entry.tail != kNone) {
    // A prefix that the linked list starts with anyway adds nothing.
    const std::vector<std::uint32_t>& linked = entries_[entry.tail].prefix;
    if (entry.prefix.size() <= linked.size() &&
        std::equal(entry.prefix.begin(), entry.prefix.end(), linked.begin())) {
      return entry.tail;
    }
  }
  entries_.push_back(std::move(entry));
  return static_cast<std::int32_t>(entries_.size() - 1);
}

void RawFieldTracer::compute(std::uint32_t field) {
  // The fields whose lists wait on the one above them; a walk that reaches a
  // field on this stack (a cycle) walks through it instead of waiting.
  std::vector<std::uint32_t> stack{field};
  while (!stack.empty()) {
    const std::uint32_t top = stack.back();
    if (fields_[top].entry != kNone) {
      fields_[top].inProgress = false;
      stack.pop_back();
      continue;
    }
    fields_[top].inProgress = true;
    Entry result;
    std::uint32_t needed = 0;
    if (walk(top, result, needed)) {
      fields_[top].entry = store(std::move(result));
    } else {
      stack.push_back(needed);
    }
  }
}

std::vector<std::string> RawFieldTracer::rawFieldsOf(xercesc::DOMElement* derived) {
  const std::uint32_t field = fieldId(derived);
  compute(field);
  std::vector<std::string> names;
  const std::uint32_t stamp = nextStamp();
  for (std::int32_t entry = fields_[field].entry; entry != kNone; entry = entries_[entry].tail) {
    for (const std::uint32_t name : entries_[entry].prefix) {
      if (nameStamps_[name] == stamp) continue;
      nameStamps_[name] = stamp;
      names.push_back(names_[name]);
    }
  }
  return names;
}

}  // namespace pmmlxform
