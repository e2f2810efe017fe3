// Margin texts ranked by value, each text expanded and parsed once.
#include "trans/margin_ranks.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace pmmlxform {

MarginRanks::MarginRanks(const IntervalList& items) {
  std::vector<MarginKey> keys;
  for (const IntervalItem& item : items) {
    for (const std::string* text : {&item.leftMargin, &item.rightMargin}) {
      // The map's own copy of the text outlives any change to `items`.
      const auto added = rankOf_.emplace(*text, 0);
      if (added.second) keys.push_back(marginKey(added.first->first));
    }
  }
  // Stable, so that the first text of a rank is the first in list order.
  std::stable_sort(keys.begin(), keys.end(), [](const MarginKey& a, const MarginKey& b) {
    return compareMarginKeys(a, b) < 0;
  });
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const bool tied = k > 0 && compareMarginKeys(keys[k - 1], keys[k]) == 0;
    if (tied) {
      oneTextPerRank_ = false;
    } else {
      textOf_.push_back(keys[k].text);
    }
    rankOf_[*keys[k].text] = static_cast<int>(textOf_.size()) - 1;
  }
}

}  // namespace pmmlxform
