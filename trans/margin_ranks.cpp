// Margin texts ranked by value, each text expanded and parsed once.
#include "trans/margin_ranks.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "trans/decimal_text.h"

namespace pmmlxform {

namespace {

// A margin text read once for compareMargins' total order:
// "LOWEST" < numbers (by value) < other texts (bytewise) < "HIGHEST".
struct MarginKey {
  enum Rank { kLowest = 0, kNumber = 1, kText = 2, kHighest = 3 };
  Rank rank = kText;
  Decimal number;
  const std::string* text = nullptr;
};

MarginKey keyOf(const std::string& text) {
  MarginKey key;
  key.text = &text;
  const std::string expanded = expandMargin(text);
  if (expanded == kLowest) {
    key.rank = MarginKey::kLowest;
  } else if (expanded == kHighest) {
    key.rank = MarginKey::kHighest;
  } else if (parseDecimal(expanded, key.number)) {
    key.rank = MarginKey::kNumber;
  }
  return key;
}

// As compareMargins on the two texts.
int compareKeys(const MarginKey& a, const MarginKey& b) {
  if (a.rank != b.rank) return a.rank < b.rank ? -1 : 1;
  if (a.rank == MarginKey::kNumber) return compareDecimals(a.number, b.number);
  if (a.rank == MarginKey::kText) {
    const int c = a.text->compare(*b.text);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  return 0;
}

}  // namespace

MarginRanks::MarginRanks(const IntervalList& items) {
  std::vector<MarginKey> keys;
  for (const IntervalItem& item : items) {
    for (const std::string* text : {&item.leftMargin, &item.rightMargin}) {
      // The map's own copy of the text outlives any change to `items`.
      const auto added = rankOf_.emplace(*text, 0);
      if (added.second) keys.push_back(keyOf(added.first->first));
    }
  }
  // Stable, so that the first text of a rank is the first in list order.
  std::stable_sort(keys.begin(), keys.end(),
                   [](const MarginKey& a, const MarginKey& b) { return compareKeys(a, b) < 0; });
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const bool tied = k > 0 && compareKeys(keys[k - 1], keys[k]) == 0;
    if (tied) {
      oneTextPerRank_ = false;
    } else {
      textOf_.push_back(keys[k].text);
    }
    rankOf_[*keys[k].text] = static_cast<int>(textOf_.size()) - 1;
  }
}

}  // namespace pmmlxform
