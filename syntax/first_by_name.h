#ifndef PMMLXFORM_SYNTAX_FIRST_BY_NAME_H_
#define PMMLXFORM_SYNTAX_FIRST_BY_NAME_H_

// A map from names to the value first given for each, for the indexes the
// syntax job builds over every field of a document: entries sit in one array
// and an open-addressing table of their hashes finds them, so that adding a
// name costs no allocation of its own (short names stay inside the entry) and
// a lookup compares names only where the hashes agree.

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

template <typename Value, typename Text = std::string>
class FirstByName {
 public:
  // Room for `count` names without growing the table.
  void reserve(std::size_t count) {
    entries_.reserve(count);
    std::size_t slots = 16;
    while (slots * 3 < count * 4) slots *= 2;
    if (slots > slots_.size()) rehash(slots);
  }

  // Adds the name with the value unless the name is there already; true when added.
  bool emplace(Text name, Value value) {
    if ((entries_.size() + 1) * 4 > slots_.size() * 3)
      rehash(std::max<std::size_t>(16, slots_.size() * 2));
    const std::size_t hash = std::hash<Text>()(name);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
      Slot& slot = slots_[at];
      if (slot.entry == 0) {
        entries_.push_back({std::move(name), std::move(value)});
        slot = {hash, entries_.size()};
        return true;
      }
      if (slot.hash == hash && entries_[slot.entry - 1].name == name) return false;
    }
  }

  // The value of the name, or null.
  const Value* find(const Text& name) const {
    if (slots_.empty()) return nullptr;
    const std::size_t hash = std::hash<Text>()(name);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
      const Slot& slot = slots_[at];
      if (slot.entry == 0) return nullptr;
      if (slot.hash == hash && entries_[slot.entry - 1].name == name) {
        return &entries_[slot.entry - 1].value;
      }
    }
  }

  std::size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    Text name;
    Value value;
  };
  struct Slot {
    std::size_t hash;
    std::size_t entry;  // position in entries_ plus one; 0 for a free slot
  };

  // A table of `count` slots (a power of two) over the entries.
  void rehash(std::size_t count) {
    std::vector<Slot> slots(count, Slot{0, 0});
    const std::size_t mask = count - 1;
    for (const Slot& old : slots_) {
      if (old.entry == 0) continue;
      std::size_t at = old.hash & mask;
      while (slots[at].entry != 0) at = (at + 1) & mask;
      slots[at] = old;
    }
    slots_.swap(slots);
  }

  std::vector<Entry> entries_;
  std::vector<Slot> slots_;
};

#endif  // PMMLXFORM_SYNTAX_FIRST_BY_NAME_H_
