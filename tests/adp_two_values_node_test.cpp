// One RECODE clause from a table row or a bin, and the dates and times a
// clause cannot hold.
#include "syntax/adp_two_values_node.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/adp_support.h"

namespace {

using adptest::bin;
using adptest::check;
using adptest::row;

TEST(TwoValuesNode, WritesClausesAndRefusesDatesAndTimes) {
  // `option` is "input/output" data types.
  const std::string noRecode = "{A date or time cannot be a RECODE value.}";
  check<ADPTwoValuesNode>(
      {
          {"row, column names not read", "<row><a>blue</a><b>2</b></row>", 0, "'blue' = 2",
           "string/integer"},
          {"zero is a margin", "<Interval leftMargin='0' rightMargin='0'/>", 0, "0 THRU 0"},
          {"string bin", bin("young", "<Interval rightMargin='18'/>"), 0,
           "LOWEST THRU 18 = 'young'", "/string"},
          {"open ends of a date interval", bin("1", "<Interval/>"), 0, "LOWEST THRU HIGHEST = 1",
           "date/"},
          {"empty output", row("1", ""), 8, "X.row.row{Value is empty}"},
          {"three columns", "<row><a>1</a><b>2</b><c>3</c></row>", 9, "X.row{More than two rows}"},
          // A RECODE clause takes no DATE.MDY or TIME.HMS call.
          {"date input", row("12/31/2020", "1"), 8, "X.row.from(12/31/2020)" + noRecode,
           "date/integer"},
          {"date bin value", bin("1/2/2000", "<Interval/>"), 8,
           "X.DiscretizeBin(1/2/2000)" + noRecode, "/date"},
      },
      [](ADPTwoValuesNode& n, const std::string& types) {
        const auto slash = types.find('/');
        n.setDataTypes(types.substr(0, slash),
                       slash == std::string::npos ? "" : types.substr(slash + 1));
      });
}

}  // namespace
