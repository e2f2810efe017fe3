// Overlaps removed by the sorted sweep and the pairwise pass, both compared
// with trimming every item against every earlier one on random recode lists.
#include "trans/overlap_resolution.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>

#include "tests/interval_notation.h"
#include "tests/random_documents.h"
#include "trans/margin_ranks.h"
#include "trans/recode_key_names.h"
#include "trans/recode_keys.h"

namespace {

using namespace pmmlxform;
using testutil::items;
using testutil::Random;
using testutil::Texts;

// The reference: every item trimmed against every earlier one, in list order;
// a split's upper piece goes right after it and is trimmed in its turn.
void trimEveryPair(IntervalList& list) {
  std::size_t j = 1;
  while (j < list.size()) {
    bool removed = false;
    for (std::size_t i = 0; i < j; ++i) {
      if (isMissingValues(list[i]) || isMissingValues(list[j])) continue;
      TrimOutcome outcome = TrimOutcome::keep;
      IntervalItem added;
      if (isElseKey(list[i]) || (isMissingKey(list[i]) && isSysmisKey(list[j]))) {
        outcome = TrimOutcome::drop;
      } else {
        outcome = trimInterval(list[i], list[j], added);
      }
      if (outcome == TrimOutcome::drop) {
        list.erase(list.begin() + j);
        removed = true;
        break;
      }
      if (outcome == TrimOutcome::split) list.insert(list.begin() + j + 1, added);
    }
    if (!removed) ++j;
  }
}

// What a shape of random recode list draws from.
struct Shape {
  const char* name;
  Texts margins;
  int openPercent;     // ends that are open
  int keyPercent;      // special keys (half of them with an interval)
  int missingPercent;  // the variable's own missing values
  bool wellFormed;     // no backward or empty interval, closures spelled as read
  int sweptPercent;    // lists the sweep must answer at least
};

const Texts kKeys = {"mapElseTo",        "recodeElseCopy",    "recodeElseSysmis",
                     "mapMissingTo",     "recodeMissingCopy", "recodeMissingSysmis",
                     "recodeSysmisCopy", "mapSysmisTo",       "recodeIntervalCopy"};

IntervalItem randomItem(Random& random, const Shape& shape) {
  IntervalItem item;
  item.value = random.pick({"1", "2", "3", ""});
  if (random.chance(shape.keyPercent)) {
    item.name = random.pick(kKeys);
    if (random.chance(50)) return item;
  } else if (random.chance(shape.missingPercent)) {
    item.name = "MissingValues";
    item.value.clear();
  }
  item.leftMargin = random.pick(shape.margins);
  item.rightMargin = random.pick(shape.margins);
  item.leftClosure = random.chance(shape.openPercent) ? "open" : "closed";
  item.rightClosure = random.chance(shape.openPercent) ? "Open" : "Closed";
  if (shape.wellFormed) {
    const int order = compareMargins(item.leftMargin, item.rightMargin);
    if (order > 0) std::swap(item.leftMargin, item.rightMargin);
    if (order == 0) {
      item.leftClosure = "closed";
      item.rightClosure = "Closed";
    }
  } else {
    if (random.chance(10)) item.rightClosure = random.pick({"", "X", "open"});
    if (random.chance(5)) item.leftMargin.clear();
  }
  return item;
}

TEST(OverlapResolution, AnswersAsTrimmingEveryPairOnRandomLists) {
  const Shape shapes[] = {
      // clang-format off
      {"closed ranges and values", {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"},
       0, 0, 0, true, 100},
      {"open and closed ends", {"0", "0.5", "1", "1.5", "2", "3", "4", "5", "6"},
       40, 0, 0, true, 50},
      {"range ends", {"LOWEST", "HIGHEST", "1", "2", "3", "4"}, 30, 0, 0, true, 60},
      {"keys and missing values", {"LOWEST", "1", "2", "3", "4", "5", "HIGHEST"},
       20, 25, 15, true, 50},
      {"texts", {"a", "ab", "b", "B", "zz", "1", "2"}, 20, 10, 0, true, 60},
      // Equal values spelled apart: only the pairwise pass answers.
      {"spellings", {"1", "1.0", "1E0", "2", "0.2E1", "3", "LOWEST", "-1.79769313486231E308",
                     "HIGHEST", "1.79769313486231E+308"}, 30, 10, 10, true, 0},
      {"anything", {"LOWEST", "1", "2", "2.0", "3", "x", "HIGHEST"}, 40, 20, 10, false, 0},
      // clang-format on
  };
  unsigned seed = 1;
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    const int lists = 1500;
    int swept = 0;
    for (int n = 0; n < lists; ++n) {
      Random random(seed++);
      IntervalList list;
      const int size = 1 + random.below(12);
      for (int k = 0; k < size; ++k) list.push_back(randomItem(random, shape));
      IntervalList expected = list;
      trimEveryPair(expected);

      const MarginRanks ranks(list);
      IntervalList pairwise = list;
      trimOverlapsPairwise(pairwise, ranks);
      ASSERT_EQ(pairwise, expected) << "seed " << seed - 1;
      IntervalList sweep = list;
      if (sweepOverlaps(sweep, ranks)) {
        ++swept;
        ASSERT_EQ(sweep, expected) << "seed " << seed - 1;
      } else {
        ASSERT_EQ(sweep, list) << "seed " << seed - 1;
      }
      IntervalList resolved = list;
      resolveOverlaps(resolved);
      ASSERT_EQ(resolved, expected) << "seed " << seed - 1;
    }
    EXPECT_GE(swept * 100, lists * shape.sweptPercent) << swept << " of " << lists;
  }
}

// The list the benchmark's many-rules shape makes: ranges i..i+n/2 of which
// every fourth is a value i.5 instead, each cut by all earlier ones.
TEST(OverlapResolution, SweepsOverlappingRangesOfOneRecode) {
  const int n = 400;
  IntervalList list;
  for (int i = 0; i < n; ++i) {
    const std::string low = i % 4 == 3 ? std::to_string(i) + ".5" : std::to_string(i);
    const std::string high = i % 4 == 3 ? low : std::to_string(i + n / 2);
    list.push_back(testutil::item(std::to_string(i) + " [" + low + "," + high + "]"));
  }
  IntervalList expected = list;
  trimEveryPair(expected);
  IntervalList swept = list;
  ASSERT_TRUE(sweepOverlaps(swept, MarginRanks(list)));
  EXPECT_EQ(swept, expected);
}

// Where an earlier interval starts open at a value nothing covers yet, a later
// item holding that value loses it to the trim: the sweep leaves such lists to
// the pairwise pass.
TEST(OverlapResolution, LeavesUncoveredOpenStartsToThePairwisePass) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"a [0,5); b (5,10]; c [0,8]", "a [0,5); b (5,10]"},
      {"b (5,10]; c [5,5]", "b (5,10]"},
      {"b (5,10]; c [5,7]", "b (5,10]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    IntervalList list = items(c.in);
    EXPECT_FALSE(sweepOverlaps(list, MarginRanks(list)));
    resolveOverlaps(list);
    EXPECT_EQ(list, items(c.out));
  }
}

}  // namespace
