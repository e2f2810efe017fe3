#ifndef PMMLXFORM_SYNTAX_ADP_TWO_VALUES_NODE_H_
#define PMMLXFORM_SYNTAX_ADP_TWO_VALUES_NODE_H_

// One clause of a `RECODE` value list, read from a `MapValues` table `row`
// ("'red' = 1"), a `DiscretizeBin` ("18 THRU 65 = 2") or the `Interval` inside
// a bin ("LOWEST THRU 18"). The mapping node wraps the text in "(" and ") ".

#include <cstddef>
#include <string>

#include "syntax/adp_base_node.h"

class ADPTwoValuesNode final : public ADPBaseNode {
 public:
  ADPTwoValuesNode() : ADPBaseNode(kTwoValues) {}

  std::string toSyntax() const override;
  int parse(xercesc::DOMNode* element, std::string& errorPath) override;
  // Only what the clause maps to counts: a row's output or a bin's value.
  std::size_t longestStringLiteral() const override;

  // Set before parse. Row: the input value's type, then the output value's.
  // Bin: the type of its interval's margins, then the bin value's. Interval:
  // the margins' type; the second is not used.
  void setDataTypes(const std::string& first, const std::string& second) {
    firstDataType_ = first;
    secondDataType_ = second;
  }

 private:
  int parseRow(xercesc::DOMNode* element, std::string& errorPath);
  int parseBin(xercesc::DOMNode* element, std::string& errorPath);
  int parseInterval(xercesc::DOMNode* element, std::string& errorPath);
  // Adds the value of one column of a row.
  int addColumn(xercesc::DOMNode* row, xercesc::DOMNode* column, const std::string& dataType,
                std::string& errorPath);

  std::string firstDataType_;
  std::string secondDataType_;
  // "mapping" for a row or a bin, "interval" for an interval; empty before parse.
  std::string clauseKind_;
};

#endif  // PMMLXFORM_SYNTAX_ADP_TWO_VALUES_NODE_H_
