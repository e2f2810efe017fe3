// The node table against a standard map, on random runs of additions,
// replacements, lookups and clears over nodes at aligned addresses.
#include "syntax/node_table.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <unordered_map>
#include <vector>

namespace {

TEST(NodeTable, AnswersAsAStandardMap) {
  std::mt19937 random(20261209);
  // Stand-ins for nodes: addresses 8 or 64 bytes apart, as allocators give them.
  std::vector<std::uint64_t> storage(4096);
  for (int run = 0; run < 40; ++run) {
    const std::size_t stride = run % 2 == 0 ? 1 : 8;
    const std::size_t keys = 1 + random() % (storage.size() / stride);
    auto node = [&](std::size_t i) { return static_cast<const void*>(&storage[i * stride]); };
    NodeTable<std::size_t> table;
    std::unordered_map<const void*, std::size_t> expected;
    if (run % 3 == 0) table.reserve(random() % 2000);
    for (int step = 0; step < 5000; ++step) {
      const void* key = node(random() % keys);
      const unsigned choice = random() % 100;
      if (choice < 45) {
        const std::size_t value = random();
        table.set(key, value);
        expected[key] = value;
      } else if (choice < 99) {
        const std::size_t* found = table.find(key);
        const auto known = expected.find(key);
        ASSERT_EQ(found != nullptr, known != expected.end());
        if (found != nullptr) {
          ASSERT_EQ(*found, known->second);
        }
      } else {
        table.clear();
        expected.clear();
      }
      ASSERT_EQ(table.size(), expected.size());
      ASSERT_EQ(table.find(nullptr), nullptr);
    }
  }
}

}  // namespace
