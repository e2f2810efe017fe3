// The RECODE node of MapValues and Discretize: tables, bins, margins and the
// clauses for missing input.
#include "syntax/adp_mapping_node.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "tests/adp_support.h"
#include "tests/test_util.h"

namespace {

using adptest::bin;
using adptest::Case;
using adptest::check;
using adptest::row;

// RECODE bodies: `option` is the derived field's data type.
void checkMapping(const std::vector<Case>& cases) {
  check<ADPMappingNode>(cases, [](ADPMappingNode& n, const std::string& type) {
    if (type == "string") n.setStringValues();
    n.setDataTypes("", type);
  });
}
std::string mapValues(const std::string& content, const std::string& attributes = "") {
  return "<MapValues outputColumn='to' " + attributes + ">" + content + "</MapValues>";
}
std::string rows(const std::string& content) {
  return "<InlineTable>" + content + "</InlineTable>";
}
const std::string kPair = "<FieldColumnPair field='colour' column='from' dataType='string'/>";
const std::string kColours = rows(row("red", "1") + row("blue", "2"));
const std::string kElseCopy = "<Extension name='recodeElseCopy'/>";

TEST(MappingNode, WritesTablesAndBins) {
  const std::string body = "colour ('red' = 1) ('blue' = 2) ";
  checkMapping({
      {"worked example", mapValues(kPair + kColours), 0, body + "(ELSE=SYSMIS) ", "integer"},
      {"pair missing", mapValues(kColours), 6, "X.MapValues.InlineTable[FieldColumnPair]"},
      // Nothing follows the extension: the check meets no element and reads no further.
      {"extension only", mapValues(kElseCopy), 6, "X.MapValues[FieldColumnPair]"},
      {"string default over two lines", mapValues(kPair, "defaultValue='a&#13;HOST'"), 8,
       "X.MapValues(defaultValue=a\rHOST){String holds a line break.}", "string"},
  });
}

// RECODE clauses give every value the PMML's value: a margin that a closed
// range and the bins' closures take differently, missing input next to a
// default value (the syntax differential test's fixed cases walk the closures,
// defaults and cells by column name).
std::string discretize(const std::string& bins, const std::string& attributes = "") {
  return "<Discretize field='x' " + attributes + ">" + bins + "</Discretize>";
}
std::string interval(const std::string& value, const std::string& closure, const std::string& low,
                     const std::string& high) {
  std::string margins;
  if (!low.empty()) margins += " leftMargin='" + low + "'";
  if (!high.empty()) margins += " rightMargin='" + high + "'";
  return bin(value, "<Interval closure='" + closure + "'" + margins + "/>");
}

TEST(MappingNode, GivesMarginsAndMissingInputThePmmlValue) {
  checkMapping({
      {"margins with one value share a clause, a number written twice counts once",
       discretize(interval("1", "openOpen", "0", "10") + interval("2", "openClosed", "10.0", "20"),
                  "defaultValue='5'"),
       0, "x (0 10 = 5) (0 THRU 10 = 1) (10.0 THRU 20 = 2) (MISSING=SYSMIS) (ELSE=5) ", "integer"},
      {"a string input has no system-missing value",
       mapValues(kPair + kColours, "defaultValue='5'"), 0,
       "colour ('red' = 1) ('blue' = 2) (ELSE=5) ", "integer"},
      {"the named output cell is missing",
       mapValues(kPair + rows("<row><from>red</from><other>1</other></row>")), 10,
       "X.MapValues.row.row", "integer"},
  });
}

// The node parsed from `expression` in a document whose data dictionary holds
// `dataFields`, so that it reads the user-missing codes of its input.
template <typename Node, typename Render>
void checkWithDictionary(const std::string& dataFields, const std::vector<Case>& cases,
                         Render render) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testutil::Documents docs;
    Node node;
    node.utf8 = true;
    if constexpr (std::is_same_v<Node, ADPMappingNode>) {
      if (c.option == "string") node.setStringValues();
      node.setDataTypes("", c.option);
    }
    std::string path = "X";
    xercesc::DOMElement* root = docs.element("<PMML><DataDictionary>" + dataFields +
                                             "</DataDictionary>" + c.xml + "</PMML>");
    ASSERT_EQ(node.parse(root->getLastElementChild(), path), 0) << path;
    EXPECT_EQ(render(node), c.pathOrText);
  }
}

TEST(MappingNode, SendsUserMissingCodesToTheMissingClause) {
  const std::string fields =
      "<DataField name='x' dataType='double'><Value value='99' property='missing'/>"
      "<Value value='-1' property='missing'/></DataField>"
      "<DataField name='s' dataType='string'><Value value='dk' property='missing'/></DataField>";
  const std::string xPair = "<FieldColumnPair field='x' column='k' dataType='double'/>";
  const std::string sPair = "<FieldColumnPair field='s' column='k' dataType='string'/>";
  checkWithDictionary<ADPMappingNode>(
      fields,
      {
          {"a code on a margin is left to the MISSING clause",
           discretize(interval("1", "closedOpen", "-1", "10")), 0,
           "x (MISSING=SYSMIS) (10 = SYSMIS) (-1 THRU 10 = 1) (ELSE=SYSMIS) ", "integer"},
          {"a numeric key", mapValues(xPair + rows("<row><k>99.0</k><to>5</to></row>")), 0,
           "x (MISSING=SYSMIS) (99.0 = 5) (ELSE=SYSMIS) ", "integer"},
          {"a string key with trailing blanks",
           mapValues(sPair + rows("<row><k>dk </k><to>a</to></row>"), "defaultValue='b'"), 0,
           "s (MISSING='') ('dk ' = 'a') (ELSE='b') ", "string"},
      },
      [](const ADPMappingNode& n) { return n.toSyntax(); });
}

}  // namespace
