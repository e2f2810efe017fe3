#ifndef PMMLXFORM_TRANS_RECODE_KEY_NAMES_H_
#define PMMLXFORM_TRANS_RECODE_KEY_NAMES_H_

// The kinds of recode items, told apart by their names.

#include "trans/interval_arithmetic.h"

namespace pmmlxform {

// A key that matches every value no earlier item matched.
inline bool isElseKey(const IntervalItem& item) {
  return item.name == "recodeElseCopy" || item.name == "recodeElseSysmis" ||
         item.name == "mapElseTo";
}

// A key that matches the variable's missing values, system-missing included.
inline bool isMissingKey(const IntervalItem& item) {
  return item.name == "recodeMissingCopy" || item.name == "recodeMissingSysmis" ||
         item.name == "mapMissingTo";
}

// A key that matches system-missing values only.
inline bool isSysmisKey(const IntervalItem& item) {
  return item.name == "recodeSysmisCopy" || item.name == "mapSysmisTo";
}

// One interval of the variable's own missing values.
inline bool isMissingValues(const IntervalItem& item) { return item.name == "MissingValues"; }

}  // namespace pmmlxform

#endif  // PMMLXFORM_TRANS_RECODE_KEY_NAMES_H_
