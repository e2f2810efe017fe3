#ifndef PMMLXFORM_SYNTAX_NODE_TABLE_H_
#define PMMLXFORM_SYNTAX_NODE_TABLE_H_

// A map from DOM nodes to small values, for the per-node records the syntax
// job keeps over every field of a document: one open-addressing array of
// (node, value) slots, so that adding a node costs no allocation of its own
// and a lookup mostly touches one slot.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

template <typename Value>
class NodeTable {
 public:
  // Room for `count` nodes without growing the table.
  void reserve(std::size_t count) {
    std::size_t slots = 16;
    while (slots * 3 < count * 4) slots *= 2;
    if (slots > slots_.size()) rehash(slots);
  }

  void clear() {
    slots_.clear();
    size_ = 0;
  }

  std::size_t size() const { return size_; }

  // The value of `node`; null when the table holds none (always for null).
  const Value* find(const void* node) const {
    if (node == nullptr || slots_.empty()) return nullptr;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash(node) & mask;; at = (at + 1) & mask) {
      const Slot& slot = slots_[at];
      if (slot.node == node) return &slot.value;
      if (slot.node == nullptr) return nullptr;
    }
  }

  // Gives `node` (not null) the value, in place of any it had.
  void set(const void* node, Value value) {
    if ((size_ + 1) * 4 > slots_.size() * 3) rehash(slots_.empty() ? 16 : slots_.size() * 2);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash(node) & mask;; at = (at + 1) & mask) {
      Slot& slot = slots_[at];
      if (slot.node == nullptr) {
        slot = {node, std::move(value)};
        ++size_;
        return;
      }
      if (slot.node == node) {
        slot.value = std::move(value);
        return;
      }
    }
  }

 private:
  struct Slot {
    const void* node = nullptr;
    Value value{};
  };

  // Nodes sit at aligned addresses: their bits are mixed before masking.
  static std::size_t hash(const void* node) {
    std::uint64_t x = reinterpret_cast<std::uintptr_t>(node);
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    return static_cast<std::size_t>(x);
  }

  void rehash(std::size_t slots) {
    std::vector<Slot> old(slots);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (Slot& slot : old) {
      if (slot.node == nullptr) continue;
      std::size_t at = hash(slot.node) & mask;
      while (slots_[at].node != nullptr) at = (at + 1) & mask;
      slots_[at] = std::move(slot);
    }
  }

  std::vector<Slot> slots_;
  std::size_t size_ = 0;
};

#endif  // PMMLXFORM_SYNTAX_NODE_TABLE_H_
