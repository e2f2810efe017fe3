// The name map of the syntax job's indexes against the standard map whose
// emplace keeps the first value of each name.
#include "syntax/first_by_name.h"

#include <gtest/gtest.h>

#include <string>
#include <unordered_map>

#include "tests/random_documents.h"

namespace {

TEST(FirstByName, KeepsTheFirstValueOfEachName) {
  FirstByName<int> names;
  EXPECT_EQ(names.find("a"), nullptr);  // an empty map answers too
  const struct {
    const char* name;
    int value;
    bool added;
  } steps[] = {
      {"a", 1, true}, {"b", 2, true},  {"a", 3, false},
      {"", 4, true},  {"", 5, false},  {"a long name beyond the short form", 6, true},
      {"A", 7, true}, {"b ", 8, true}, {"a long name beyond the short form", 9, false},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(names.emplace(step.name, step.value), step.added) << step.name;
  }
  const struct {
    const char* name;
    int value;  // 0: absent
  } lookups[] = {{"a", 1}, {"b", 2},  {"", 4},  {"a long name beyond the short form", 6},
                 {"A", 7}, {"b ", 8}, {"c", 0}, {"a ", 0}};
  for (const auto& lookup : lookups) {
    const int* found = names.find(lookup.name);
    EXPECT_EQ(found == nullptr ? 0 : *found, lookup.value) << lookup.name;
  }
  EXPECT_EQ(names.size(), 6u);
}

TEST(FirstByName, AnswersAsTheStandardMapOverGrowingTables) {
  testutil::Random r(20261207);
  for (int round = 0; round < 20; ++round) {
    FirstByName<int, std::u16string> names;
    std::unordered_map<std::u16string, int> expected;
    if (r.chance(50)) names.reserve(static_cast<std::size_t>(r.below(3000)));
    const int count = r.below(3000);
    for (int i = 0; i < count; ++i) {
      const std::string name8 = r.name() + std::to_string(r.below(count + 1));
      const std::u16string name(name8.begin(), name8.end());
      ASSERT_EQ(names.emplace(name, i), expected.emplace(name, i).second) << name8;
      const std::string probe8 = r.name() + std::to_string(r.below(count + 1));
      const std::u16string probe(probe8.begin(), probe8.end());
      const int* found = names.find(probe);
      const auto known = expected.find(probe);
      ASSERT_EQ(found == nullptr, known == expected.end()) << probe8;
      if (found != nullptr) {
        ASSERT_EQ(*found, known->second) << probe8;
      }
    }
    ASSERT_EQ(names.size(), expected.size());
  }
}

}  // namespace
