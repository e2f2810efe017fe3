// Special recode keys worked out against each other and the missing values, then overlaps removed.
#include "trans/recode_keys.h"

#include <cstddef>
#include <string>

#include "trans/interval_arithmetic.h"
#include "trans/margin_ranks.h"
#include "trans/overlap_resolution.h"
#include "trans/recode_key_names.h"

namespace pmmlxform {

namespace {

IntervalItem namedItem(const char* name, const std::string& value) {
  IntervalItem item;
  item.name = name;
  item.value = value;
  return item;
}

// Makes sure system-missing values get the value of the item at `pos`, unless
// something earlier decides them already: `decided` (a key the pass has gone
// by and may have removed) or an earlier system-missing or missing key (a
// missing key matches system-missing too, and the first key that matches a
// value wins). Otherwise a "mapSysmisTo" with the item's value goes right
// before it. Returns the item's position afterwards.
std::size_t secureSysmis(IntervalList& items, std::size_t pos, bool decided) {
  if (decided) return pos;
  for (std::size_t i = 0; i < pos; ++i) {
    if (isSysmisKey(items[i]) || isMissingKey(items[i])) return pos;
  }
  items.insert(items.begin() + pos, namedItem("mapSysmisTo", items[pos].value));
  return pos + 1;
}

}  // namespace

void resolveRecodeKeys(IntervalList& items) {
  bool missingHandled = false;
  // Whether a key the pass has gone by matches system-missing values: a later
  // key must not map them again.
  bool sysmisDecided = false;
  std::size_t p = 0;
  while (p < items.size()) {
    if (isMissingValues(items[p])) {
      items.erase(items.begin() + p);
      continue;
    }
    if (p + 1 == items.size()) {
      if (items[p].name == "mapElseTo" && !missingHandled) {
        items.insert(items.begin() + p, namedItem("mapMissingTo", items[p].value));
        missingHandled = true;
      }
      if (items[p].name == "mapMissingTo") {
        p = secureSysmis(items, p, sysmisDecided);
        items.erase(items.begin() + p);
      }
      return;
    }
    if (isElseKey(items[p])) {
      if (items[p].name == "mapElseTo" && !missingHandled) {
        // Missing values are recoded like all other values: work the new key
        // through first, in the else key's place.
        items.insert(items.begin() + p, namedItem("mapMissingTo", items[p].value));
        missingHandled = true;
        continue;
      }
      items.erase(items.begin() + p + 1, items.end());
      return;
    }
    if (isMissingKey(items[p])) {
      missingHandled = true;
      std::size_t key = p;
      std::size_t q = key + 1;
      bool keyRemoved = false;
      while (q < items.size()) {
        if (isSysmisKey(items[q])) {
          items.erase(items.begin() + q);
          continue;
        }
        const bool last = q + 1 == items.size();
        if (isMissingValues(items[q])) {
          IntervalItem derived;
          derived.leftClosure = items[q].leftClosure;
          derived.rightClosure = items[q].rightClosure;
          derived.leftMargin = items[q].leftMargin;
          derived.rightMargin = items[q].rightMargin;
          if (items[key].name == "recodeMissingCopy") {
            derived.name = "recodeIntervalCopy";
          } else if (items[key].name == "recodeMissingSysmis") {
            derived.name = "recodeTargetSysmis";
          } else {
            derived.value = items[key].value;  // mapMissingTo: a bin with the key's value
          }
          items.insert(items.begin() + key, derived);
          ++key;
          ++q;
          if (items[key].name == "mapMissingTo") {
            const std::size_t moved = secureSysmis(items, key, sysmisDecided);
            q += moved - key;
            key = moved;
          }
        } else if (last && items[key].name == "mapMissingTo") {
          key = secureSysmis(items, key, sysmisDecided);
        }
        if (last) {
          items.erase(items.begin() + key);
          keyRemoved = true;
          break;
        }
        ++q;
      }
      sysmisDecided = true;
      p = keyRemoved ? key : key + 1;
      continue;
    }
    if (isSysmisKey(items[p])) sysmisDecided = true;
    ++p;
  }
}

void resolveOverlaps(IntervalList& items) {
  const MarginRanks ranks(items);
  if (!sweepOverlaps(items, ranks)) trimOverlapsPairwise(items, ranks);
}

}  // namespace pmmlxform
