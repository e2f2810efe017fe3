#ifndef PMMLXFORM_TRANS_OVERLAP_RESOLUTION_H_
#define PMMLXFORM_TRANS_OVERLAP_RESOLUTION_H_

// Two ways of removing from every recode item what earlier items cover, both
// answering as trimming every item against every earlier one in list order
// with trimInterval does. resolveOverlaps (trans/recode_keys.h) runs the sweep
// and, on the lists the sweep cannot answer for, the pairwise pass.

#include "trans/interval_arithmetic.h"
#include "trans/margin_ranks.h"

namespace pmmlxform {

// Sorted sweep, O(n log n) in the number of items: every item loses the union
// of the earlier items' ranges, which is kept as merged ranges. That is what
// the trims amount to when each trim cuts exactly the earlier interval's
// values out: one text per value, closures "open"/"closed" and
// "Open"/"Closed", no empty or backward interval, and no interval that starts
// open at a value no item before it covers while a later item holds that
// value (trimInterval drops the value from the later item when their starts
// meet). On any other list returns false and leaves `items` as they were.
bool sweepOverlaps(IntervalList& items, const MarginRanks& ranks);

// Every item trimmed against every earlier one in list order with
// trimInterval, skipping the pairs whose value ranges lie apart (such a trim
// changes nothing). Any list; compares ranks of all pairs at worst.
void trimOverlapsPairwise(IntervalList& items, const MarginRanks& ranks);

}  // namespace pmmlxform

#endif  // PMMLXFORM_TRANS_OVERLAP_RESOLUTION_H_
