#ifndef PMMLXFORM_TRANS_RECODE_ITEMS_H_
#define PMMLXFORM_TRANS_RECODE_ITEMS_H_

// The items of a numeric recode, read from the description's own elements in
// the XSLT engine's source tree: one item per input of every rule, in order,
// then the missing values the source variable declares. Each item is what the
// item elements of the "intervals" extension function say for that input
// (docs/intervals.md), so both functions resolve the same list.

#include <string>
#include <xalanc/XalanDOM/XalanNode.hpp>

#include "trans/interval_arithmetic.h"

namespace pmmlxform {

// A margin's text, or `end` ("LOWEST" / "HIGHEST") when the text is empty or
// names that end.
std::string margin(const std::string& text, const char* end);

// Appends the items of the checked "Recode" element `recode` (every rule holds
// one of To, ToCopy, ToSystemMissing) and of the missing values of `declared`,
// the "Variable" element that declares its source, or null.
void readRecodeItems(const xalanc::XalanNode* recode, const xalanc::XalanNode* declared,
                     IntervalList& items);

}  // namespace pmmlxform

#endif  // PMMLXFORM_TRANS_RECODE_ITEMS_H_
