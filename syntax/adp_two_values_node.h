#ifndef PMMLXFORM_SYNTAX_ADP_TWO_VALUES_NODE_H_
#define PMMLXFORM_SYNTAX_ADP_TWO_VALUES_NODE_H_

// One clause of a `RECODE` value list, read from a `MapValues` table `row`
// ("'red' = 1"), a `DiscretizeBin` ("18 THRU 65 = 2") or the `Interval` inside
// a bin ("LOWEST THRU 18"). The mapping node wraps the text in "(" and ") ".

#include <cstddef>
#include <string>
#include <vector>

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
  // Set before parse for a row: the names of the input and output cells.
  // When both are given (and differ) the cells are found by name; otherwise
  // the first cell is the input and the second the output.
  void setColumns(const std::string& input, const std::string& output) {
    inputColumn_ = input;
    outputColumn_ = output;
  }

  // A bin's margins, for telling where its interval and the closed RECODE
  // range written for it take a value differently: only at a margin.
  struct Margin {
    double number;
    std::string text;  // as the range writes it
  };
  // The margins the bin's interval gives; false when one is not a number.
  bool binMargins(std::vector<Margin>& margins) const;
  // Whether a bin takes the number: by its interval's closure, or (`asRange`)
  // as the closed RECODE range written for it does.
  bool binHolds(double x, bool asRange) const;
  // What a row or a bin maps to, as written.
  std::string resultText() const;
  // What a row maps from, as the document gives it.
  std::string keyText() const;

 private:
  int parseRow(xercesc::DOMNode* element, std::string& errorPath);
  int parseBin(xercesc::DOMNode* element, std::string& errorPath);
  int parseInterval(xercesc::DOMNode* element, std::string& errorPath);
  // The first cell of a row with the name; null when there is none.
  xercesc::DOMNode* cellNamed(xercesc::DOMNode* row, const std::string& column) const;
  // Adds the value of one column of a row.
  int addColumn(xercesc::DOMNode* row, xercesc::DOMNode* column, const std::string& dataType,
                std::string& errorPath);

  std::string firstDataType_;
  std::string secondDataType_;
  std::string inputColumn_;
  std::string outputColumn_;
  // An interval's `closure`; closed at both ends when absent.
  std::string closure_;
  // "mapping" for a row or a bin, "interval" for an interval; empty before parse.
  std::string clauseKind_;
};

namespace pmmlxform {
// The number a RECODE reads from a numeric literal as written (the same
// double whatever the locale); false when the text is not a numeric literal.
bool recodeNumber(const std::string& text, double& number);
// Whether the RECODE matches a string value to a string literal: trailing
// blanks do not count.
bool sameRecodeString(const std::string& a, const std::string& b);
}  // namespace pmmlxform

#endif  // PMMLXFORM_SYNTAX_ADP_TWO_VALUES_NODE_H_
