// Special recode keys worked out and overlaps removed, the first rule winning.
#include "trans/recode_keys.h"

#include <gtest/gtest.h>

#include "tests/interval_notation.h"

namespace {

using namespace pmmlxform;
using testutil::items;

TEST(RecodeKeys, ResolvesSpecialKeysThenOverlapsFirstItemWins) {
  const struct {
    char pass;  // 'k': resolveRecodeKeys, 'o': resolveOverlaps
    const char* in;
    const char* out;
  } cases[] = {
      // clang-format off
      // Missing to sysmis takes every missing interval after the key.
      {'k', "recodeMissingSysmis; MissingValues: [1,1]; MissingValues: [LOWEST,-5]",
            "recodeTargetSysmis: [1,1]; recodeTargetSysmis: [LOWEST,-5]"},
      {'k', "1 [0,1]; mapMissingTo=7", "1 [0,1]; mapSysmisTo=7"},
      {'k', "mapSysmisTo=3; mapMissingTo=7", "mapSysmisTo=3"},
      {'k', "mapElseTo=9", "mapSysmisTo=9; mapElseTo=9"},
      {'k', "recodeElseCopy; 1 [0,1]; MissingValues: [5,5]", "recodeElseCopy"},
      {'k', "recodeMissingSysmis; mapSysmisTo=4", "recodeMissingSysmis"},
      {'k', "recodeMissingCopy; 1 [0,1]", "1 [0,1]"},
      {'k', "MissingValues: [5,5]; recodeMissingSysmis; 1 [0,1]", "1 [0,1]"},
      {'k', "1 [0,1]; 2 [0,1]", "1 [0,1]; 2 [0,1]"},
      {'k', "", ""},
      {'o', "1 [0,5]; 2 [0,5]", "1 [0,5]"},
      {'o', "recodeElseSysmis; 1 [0,5]; mapSysmisTo=1", "recodeElseSysmis"},
      {'o', "recodeMissingCopy; recodeSysmisCopy; 1 [0,5]", "recodeMissingCopy; 1 [0,5]"},
      // Split pieces are trimmed by the other earlier items too.
      {'o', "a [2,3]; b [6,7]; c [0,10]", "a [2,3]; b [6,7]; c [0,2); c (3,6); c (7,10]"},
      // Backwards intervals end the pass.
      {'o', "a [20,1]; b [10,5]", "a [20,1]; b [10,5]"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    IntervalList list = items(c.in);
    if (c.pass == 'o') {
      resolveOverlaps(list);
    } else {
      resolveRecodeKeys(list);
    }
    EXPECT_EQ(list, items(c.out));
  }
}

// The first key that matches system-missing decides for it: a later key must
// not be secured a "mapSysmisTo" of its own. (A later system-missing key of
// the description's own stays, as the first-match order already makes it
// dead; the stylesheet reads the first one.) Both passes run,
// as the extension function runs them; the rule lists are the items the
// stylesheet makes, the variable's missing values last.
TEST(RecodeKeys, FirstKeyMatchingSystemMissingDecidesForIt) {
  const struct {
    const char* rules;
    const char* in;
    const char* out;
  } cases[] = {
      // clang-format off
      {"(SYSMIS=SYSMIS)(MISSING=9)(1 THRU 5=1)",
       "recodeSysmisCopy; mapMissingTo=9; 1 [1,5]; MissingValues: [99,99]",
       "recodeSysmisCopy; 9 [99,99]; 1 [1,5]"},
      // The copying key was removed when its walk reached the end; the later
      // key still must not map system-missing.
      {"(MISSING=COPY)(MISSING=1)", "recodeMissingCopy; mapMissingTo=1; MissingValues: [99,99]",
       "recodeIntervalCopy: [99,99]"},
      {"(MISSING=COPY)(0 THRU 1=1)(MISSING=4)", "recodeMissingCopy; 1 [0,1]; mapMissingTo=4",
       "1 [0,1]"},
      {"(SYSMIS=COPY)(SYSMIS=0.5)", "recodeSysmisCopy; mapSysmisTo=0.5",
       "recodeSysmisCopy; mapSysmisTo=0.5"},
      {"(-5 THRU 5, SYSMIS=COPY)(ELSE=7)",
       "recodeRangeCopy: [-5,5]; recodeSysmisCopy; mapElseTo=7; MissingValues: [99,99]",
       "recodeRangeCopy: [-5,5]; recodeSysmisCopy; 7 [99,99]; mapElseTo=7"},
      {"(SYSMIS=SYSMIS)(3=1)(ELSE=42)", "recodeSysmisCopy; 1 [3,3]; mapElseTo=42",
       "recodeSysmisCopy; 1 [3,3]; mapElseTo=42"},
      {"(MISSING=SYSMIS)(ELSE=5)", "recodeMissingSysmis; mapElseTo=5", "mapElseTo=5"},
      // Where the value-giving key comes first it still maps system-missing.
      {"(MISSING=7)(SYSMIS=COPY)(0 THRU 1=1)", "mapMissingTo=7; recodeSysmisCopy; 1 [0,1]",
       "mapSysmisTo=7; 1 [0,1]"},
      {"(SYSMIS=3)(MISSING=7)", "mapSysmisTo=3; mapMissingTo=7; MissingValues: [99,99]",
       "mapSysmisTo=3; 7 [99,99]"},
      {"(0 THRU 1=1)(ELSE=9)", "1 [0,1]; mapElseTo=9; MissingValues: [99,99]",
       "1 [0,1]; 9 [99,99]; mapSysmisTo=9; mapElseTo=9"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rules);
    IntervalList list = items(c.in);
    resolveRecodeKeys(list);
    resolveOverlaps(list);
    EXPECT_EQ(list, items(c.out));
  }
}

}  // namespace
