// Earlier recode items cut out of later ones: a sorted sweep, and a pairwise pass for any list.
#include "trans/overlap_resolution.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "trans/interval_arithmetic.h"
#include "trans/margin_ranks.h"
#include "trans/recode_key_names.h"

namespace pmmlxform {

namespace {

// Whether trimInterval reads the item as an interval.
bool hasInterval(const IntervalItem& item) {
  return !item.leftMargin.empty() && !item.rightMargin.empty();
}

// A position between values: 2 * rank lies just below the value of the rank,
// 2 * rank + 1 just above it. An interval runs from its left cut to its right
// cut and holds a value exactly when it holds the cuts around it.
int leftCut(const IntervalItem& item, const MarginRanks& ranks) {
  return 2 * ranks.rank(item.leftMargin) + (item.leftClosure == "closed" ? 0 : 1);
}
int rightCut(const IntervalItem& item, const MarginRanks& ranks) {
  return 2 * ranks.rank(item.rightMargin) + (item.rightClosure == "Closed" ? 1 : 0);
}

// Whether the sweep's answer is the trims' answer for this item's interval
// (see sweepOverlaps).
bool sweepable(const IntervalItem& item, const MarginRanks& ranks) {
  if (item.leftClosure != "open" && item.leftClosure != "closed") return false;
  if (item.rightClosure != "Open" && item.rightClosure != "Closed") return false;
  return leftCut(item, ranks) < rightCut(item, ranks);
}

// The values covered by the items resolved so far, as ranges of cuts: first
// cut -> last cut, apart from each other (touching ranges are merged).
using Coverage = std::map<int, int>;

bool coversValue(const Coverage& coverage, int rank) {
  auto it = coverage.upper_bound(2 * rank);
  if (it == coverage.begin()) return false;
  return std::prev(it)->second >= 2 * rank + 1;
}

// Appends to `pieces` the parts of [first, last] that `coverage` leaves,
// lowest first, and merges [first, last] into `coverage`.
void cutAndCover(Coverage& coverage, int first, int last,
                 std::vector<std::pair<int, int>>& pieces) {
  auto it = coverage.upper_bound(first);
  if (it != coverage.begin() && std::prev(it)->second >= first) --it;
  const auto mergeFrom = it;
  int from = first, low = first, high = last;
  for (; it != coverage.end() && it->first <= last; ++it) {
    if (it->first > from) pieces.emplace_back(from, it->first);
    from = std::max(from, it->second);
    low = std::min(low, it->first);
    high = std::max(high, it->second);
  }
  if (from < last) pieces.emplace_back(from, last);
  coverage.erase(mergeFrom, it);
  coverage.emplace(low, high);
}

IntervalItem piece(const IntervalItem& item, int first, int last, const MarginRanks& ranks) {
  IntervalItem result = item;
  result.leftMargin = ranks.text(first / 2);
  result.leftClosure = first % 2 == 0 ? "closed" : "open";
  result.rightMargin = ranks.text(last / 2);
  result.rightClosure = last % 2 == 1 ? "Closed" : "Open";
  return result;
}

}  // namespace

bool sweepOverlaps(IntervalList& items, const MarginRanks& ranks) {
  if (!ranks.oneTextPerRank()) return false;
  for (const IntervalItem& item : items) {
    if (!isMissingValues(item) && hasInterval(item) && !sweepable(item, ranks)) return false;
  }
  Coverage coverage;
  // Values at which a resolved interval starts open with no earlier item
  // covering them: a later item holding one is trimmed by that interval
  // before anything removes the value from it.
  std::set<int> openStarts;
  bool elseKept = false, missingKept = false;
  IntervalList resolved;
  resolved.reserve(items.size());
  std::vector<std::pair<int, int>> pieces;
  for (const IntervalItem& item : items) {
    if (isMissingValues(item)) {
      resolved.push_back(item);
      continue;
    }
    // The first else key drops all later items, the first missing key the
    // later system-missing keys, whatever trims come before.
    if (elseKept || (missingKept && isSysmisKey(item))) continue;
    if (hasInterval(item)) {
      const int first = leftCut(item, ranks), last = rightCut(item, ranks);
      const auto open = openStarts.lower_bound((first + 1) / 2);
      if (open != openStarts.end() && 2 * *open + 1 <= last) return false;
      const bool startUncovered = first % 2 == 1 && !coversValue(coverage, first / 2);
      pieces.clear();
      cutAndCover(coverage, first, last, pieces);
      if (pieces.empty()) continue;
      if (startUncovered && pieces.front().first == first) openStarts.insert(first / 2);
      // An else key's first piece drops the pieces above it, as it drops every later item.
      if (isElseKey(item)) pieces.resize(1);
      for (const auto& cut : pieces) resolved.push_back(piece(item, cut.first, cut.second, ranks));
    } else {
      resolved.push_back(item);
    }
    elseKept = elseKept || isElseKey(item);
    missingKept = missingKept || isMissingKey(item);
  }
  items.swap(resolved);
  return true;
}

void trimOverlapsPairwise(IntervalList& items, const MarginRanks& ranks) {
  // An item's value range as ranks (low <= high), and whether it trims later
  // items at all (trimInterval skips backward intervals).
  struct Span {
    bool ranged = false;
    bool trims = false;
    int low = 0;
    int high = 0;
  };
  auto spanOf = [&ranks](const IntervalItem& item) {
    Span span;
    if (isMissingValues(item) || !hasInterval(item)) return span;
    const int left = ranks.rank(item.leftMargin), right = ranks.rank(item.rightMargin);
    span.ranged = true;
    span.trims = left <= right;
    span.low = std::min(left, right);
    span.high = std::max(left, right);
    return span;
  };
  std::vector<Span> spans;
  spans.reserve(items.size());
  for (const IntervalItem& item : items) spans.push_back(spanOf(item));

  // The first else key and the first missing key among the resolved items.
  const std::size_t none = SIZE_MAX;
  std::size_t firstElse = none, firstMissing = none;
  std::size_t j = 0;
  while (j < items.size()) {
    bool removed = false;
    if (j > 0 && !isMissingValues(items[j])) {
      const std::size_t dropAt =
          isSysmisKey(items[j]) ? std::min(firstElse, firstMissing) : firstElse;
      for (std::size_t i = 0; i < j; ++i) {
        TrimOutcome outcome = TrimOutcome::keep;
        IntervalItem added;
        if (i == dropAt) {
          outcome = TrimOutcome::drop;
        } else {
          const Span& a = spans[i];
          const Span& b = spans[j];
          if (!a.trims || !b.ranged || a.high < b.low || a.low > b.high) continue;
          outcome = trimInterval(items[i], items[j], added);
          spans[j] = spanOf(items[j]);
        }
        if (outcome == TrimOutcome::drop) {
          items.erase(items.begin() + j);
          spans.erase(spans.begin() + j);
          removed = true;
          break;
        }
        if (outcome == TrimOutcome::split) {
          spans.insert(spans.begin() + j + 1, spanOf(added));
          items.insert(items.begin() + j + 1, std::move(added));
        }
      }
    }
    if (removed) continue;
    if (firstElse == none && isElseKey(items[j])) firstElse = j;
    if (firstMissing == none && isMissingKey(items[j])) firstMissing = j;
    ++j;
  }
}

}  // namespace pmmlxform
