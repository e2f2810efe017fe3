#ifndef PMMLXFORM_TRANS_RECODE_KEYS_H_
#define PMMLXFORM_TRANS_RECODE_KEYS_H_

// A variable's recode list resolved the way the host recodes: the first rule
// that matches a value wins. The special keys ("mapElseTo", "recodeMissingCopy",
// ...) are worked out against each other and against the variable's missing
// values, then every item loses what earlier items already cover.

#include "trans/interval_arithmetic.h"

namespace pmmlxform {

// Works the special recode keys out against each other and against the
// variable's missing values; no missing-value item is left afterwards.
void resolveRecodeKeys(IntervalList& items);

// Removes from every item what earlier items already cover: a sorted sweep,
// O(n log n) in the number of items, wherever it answers as trimming every
// pair would (trans/overlap_resolution.h).
void resolveOverlaps(IntervalList& items);

}  // namespace pmmlxform

#endif  // PMMLXFORM_TRANS_RECODE_KEYS_H_
