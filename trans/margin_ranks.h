#ifndef PMMLXFORM_TRANS_MARGIN_RANKS_H_
#define PMMLXFORM_TRANS_MARGIN_RANKS_H_

// Every margin text of a recode list ranked by value once, so that resolving
// the list compares integers instead of expanding two texts per comparison.

#include <string>
#include <unordered_map>
#include <vector>

#include "trans/interval_arithmetic.h"

namespace pmmlxform {

class MarginRanks {
 public:
  // Ranks the margins of every item of `items`. O(m log m) for m distinct texts.
  explicit MarginRanks(const IntervalList& items);

  // The rank of a margin text of the list: ranks order as compareMargins
  // orders the texts, and texts that compare equal share their rank.
  int rank(const std::string& text) const { return rankOf_.at(text); }

  // Whether no two different texts share a rank (e.g. no "1" beside "1.0").
  bool oneTextPerRank() const { return oneTextPerRank_; }

  // The first text (in list order) of `rank`; the only one when oneTextPerRank().
  const std::string& text(int rank) const { return *textOf_[rank]; }

 private:
  std::unordered_map<std::string, int> rankOf_;
  std::vector<const std::string*> textOf_;
  bool oneTextPerRank_ = true;
};

}  // namespace pmmlxform

#endif  // PMMLXFORM_TRANS_MARGIN_RANKS_H_
