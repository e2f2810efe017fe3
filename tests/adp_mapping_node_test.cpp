// RECODE bodies: MapValues and Discretize, line breaks, MISSING and ELSE clauses.
#include "syntax/adp_mapping_node.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/adp_support.h"

namespace {

struct Case {
  const char* name;
  std::string xml;
  std::string outputType;  // the derived field's data type
  int code;
  std::string pathOrText;  // the rendered text on success, the error path otherwise
};

void check(const Case& c) {
  SCOPED_TRACE(c.name);
  ADPMappingNode node;
  if (c.outputType == "string") node.setStringValues();
  node.setDataTypes("", c.outputType);
  adptest::expectParsed(node, c.xml, c.code, c.pathOrText);
}

std::string row(const std::string& from, const std::string& to) {
  return "<row><from>" + from + "</from><to>" + to + "</to></row>";
}
const std::string kPair = "<FieldColumnPair field='colour' column='from' dataType='string'/>";
const std::string kColours =
    "<InlineTable>" + row("red", "1") + row("blue", "2") + "</InlineTable>";
const std::string kElseCopy = "<Extension name='recodeElseCopy'/>";

std::string mapValues(const std::string& content, const std::string& attributes = "") {
  return "<MapValues outputColumn='to' " + attributes + ">" + content + "</MapValues>";
}

TEST(MappingNode, WritesTheRecodeBodyOfATable) {
  const Case cases[] = {
      {"worked example", mapValues(kPair + kColours), "integer", 0,
       "colour ('red' = 1) ('blue' = 2) (ELSE=SYSMIS) "},
      {"missing value", mapValues(kPair + kColours, "mapMissingTo='0'"), "integer", 0,
       "colour ('red' = 1) ('blue' = 2) (MISSING=0) (ELSE=SYSMIS) "},
      {"default value", mapValues(kPair + kColours, "defaultValue='0'"), "integer", 0,
       "colour ('red' = 1) ('blue' = 2) (ELSE=0) "},
      {"else copy beats the default", mapValues(kElseCopy + kPair + kColours, "defaultValue='0'"),
       "integer", 0, "colour ('red' = 1) ('blue' = 2) (ELSE=COPY) "},
      {"another extension is ignored", mapValues("<Extension name='other'/>" + kPair + kColours),
       "integer", 0, "colour ('red' = 1) ('blue' = 2) (ELSE=SYSMIS) "},
      {"string field without default",
       mapValues("<FieldColumnPair field='n' column='from' dataType='integer'/><InlineTable>" +
                 row("1", "one") + "</InlineTable>"),
       "string", 0, "n (1 = 'one') (ELSE='') "},
      {"string field with missing and default",
       mapValues("<FieldColumnPair field='n' column='from'/>", "mapMissingTo='?' defaultValue='x'"),
       "string", 0, "n (MISSING='?') (ELSE='x') "},
      {"pair only", mapValues(kPair), "integer", 0, "colour (ELSE=SYSMIS) "},
      {"empty table", mapValues(kPair + "<InlineTable/>"), "integer", 0, "colour (ELSE=SYSMIS) "},
      {"untyped pair writes numbers",
       mapValues("<FieldColumnPair field='k'/><InlineTable>" + row("1", "10") + "</InlineTable>"),
       "double", 0, "k (1 = 10) (ELSE=SYSMIS) "},
  };
  for (const auto& c : cases) check(c);
}

TEST(MappingNode, WritesTheRecodeBodyOfBins) {
  const std::string bins =
      "<DiscretizeBin binValue='1'><Interval closure='openClosed' "
      "rightMargin='18'/></DiscretizeBin>"
      "<DiscretizeBin binValue='2'><Interval closure='openClosed' leftMargin='18' "
      "rightMargin='65'/></DiscretizeBin>"
      "<DiscretizeBin binValue='3'><Interval closure='openOpen' leftMargin='65'/></DiscretizeBin>";
  const Case cases[] = {
      {"open ends", "<Discretize field='age'>" + bins + "</Discretize>", "integer", 0,
       "age (LOWEST THRU 18 = 1) (18 THRU 65 = 2) (65 THRU HIGHEST = 3) \n      (ELSE=SYSMIS) "},
      {"missing and default", "<Discretize field='age' mapMissingTo='0' defaultValue='9'/>",
       "integer", 0, "age (MISSING=0) (ELSE=9) "},
      {"string bins",
       "<Discretize field='age' dataType='integer'><DiscretizeBin binValue='young'>"
       "<Interval rightMargin='30'/></DiscretizeBin></Discretize>",
       "string", 0, "age (LOWEST THRU 30 = 'young') (ELSE='') "},
      {"no bins", "<Discretize field='age'/>", "integer", 0, "age (ELSE=SYSMIS) "},
  };
  for (const auto& c : cases) check(c);
}

TEST(MappingNode, BreaksLongClauseListsIntoLines) {
  // Each clause is "(" + a 16-character row text + ") ": 19 characters; the
  // fifth takes the buffer to 95.
  std::string rows;
  for (int i = 0; i < 7; ++i) rows += row("abcdefghi" + std::to_string(i), "1");
  const std::string clauses =
      "('abcdefghi0' = 1) ('abcdefghi1' = 1) ('abcdefghi2' = 1) "
      "('abcdefghi3' = 1) ('abcdefghi4' = 1) ";
  check({"seven rows", mapValues(kPair + "<InlineTable>" + rows + "</InlineTable>"), "integer", 0,
         "colour \n      " + clauses +
             "('abcdefghi5' = 1) ('abcdefghi6' = 1) \n      (ELSE=SYSMIS) "});

  // Four clauses fill 76 characters and stay in the buffer; the result is
  // then longer than 60 characters.
  std::string four;
  for (int i = 0; i < 4; ++i) four += row("abcdefghi" + std::to_string(i), "1");
  check({"four rows", mapValues(kPair + "<InlineTable>" + four + "</InlineTable>"), "integer", 0,
         "colour ('abcdefghi0' = 1) ('abcdefghi1' = 1) ('abcdefghi2' = 1) ('abcdefghi3' = 1) "
         "\n      (ELSE=SYSMIS) "});
}

TEST(MappingNode, BreaksOnlyPastEachLimit) {
  // A clause is its row text ("'" + key + "' = 1") and 3 characters: 80 for
  // a 71-character key, 81 for a 72-character one.
  for (std::size_t key : {71u, 72u}) {
    const std::string clause = "('" + std::string(key, 'a') + "' = 1) ";
    const std::string lineBreak = key == 71 ? "" : "\n      ";
    check({"buffer limit",
           mapValues("<FieldColumnPair field='k' dataType='string'/><InlineTable>" +
                     row(std::string(key, 'a'), "1") + "</InlineTable>"),
           "integer", 0, "k " + lineBreak + clause + "\n      (ELSE=SYSMIS) "});
  }
  // The field name, a blank and the 15-character clause "(1 THRU 1 = 2) ":
  // 60 characters for a 44-character name, 61 for a 45-character one.
  for (std::size_t length : {44u, 45u}) {
    const std::string name(length, 'v');
    const std::string lineBreak = length == 44 ? "" : "\n      ";
    check({"result limit",
           "<Discretize field='" + name +
               "'><DiscretizeBin binValue='2'><Interval leftMargin='1' rightMargin='1'/>"
               "</DiscretizeBin></Discretize>",
           "integer", 0, name + " (1 THRU 1 = 2) " + lineBreak + "(ELSE=SYSMIS) "});
  }
}

TEST(MappingNode, ReportsFailuresWithTheirPaths) {
  const Case cases[] = {
      {"no element child", mapValues("<!-- none -->"), "", 10, "X.MapValues"},
      {"pair missing", mapValues(kColours), "", 6, "X.MapValues.InlineTable[FieldColumnPair]"},
      // Nothing follows the extension: the check meets no element and reads no further.
      {"extension only", mapValues(kElseCopy), "", 6, "X.MapValues[FieldColumnPair]"},
      {"extension after the pair", mapValues(kPair + kElseCopy + kColours), "", 6,
       "X.MapValues.Extension[InlineTable]"},
      {"pair without field", mapValues("<FieldColumnPair column='x'/>"), "", 7,
       "X.MapValues.FieldColumnPair"},
      {"not a row", mapValues(kPair + "<InlineTable><Extension/></InlineTable>"), "", 6,
       "X.MapValues.Extension[row]"},
      {"row fails", mapValues(kPair + "<InlineTable>" + row("red", "") + "</InlineTable>"), "", 8,
       "X.MapValues.row.row{Value is empty}"},
      {"discretize without field", "<Discretize/>", "", 7, "X.Discretize.FieldRef"},
      {"not a bin", "<Discretize field='a'><Interval/></Discretize>", "", 6,
       "X.Discretize.Interval[DiscretizeBin]"},
      {"bin fails", "<Discretize field='a'><DiscretizeBin binValue='1'/></Discretize>", "", 10,
       "X.Discretize.DiscretizeBin(1)"},
      {"other element", "<NormDiscrete field='a'/>", "", 6, "X.NormDiscrete[MapValues,Discretize]"},
  };
  for (const auto& c : cases) check(c);
}

TEST(MappingNode, RefusesValuesThatCannotBeWrittenSafely) {
  const std::string host = "0) . HOST COMMAND";
  const Case cases[] = {
      {"table key", mapValues(kPair + "<InlineTable>" + row("a'&#10;HOST", "1") + "</InlineTable>"),
       "integer", 8, "X.MapValues.row.from(a'\nHOST){String holds a line break.}"},
      {"table output", mapValues(kPair + "<InlineTable>" + row("red", host) + "</InlineTable>"),
       "integer", 8, "X.MapValues.row.to(" + host + "){Not a number.}"},
      {"missing value", mapValues(kPair, "mapMissingTo='" + host + "'"), "integer", 8,
       "X.MapValues(mapMissingTo=" + host + "){Not a number.}"},
      {"default value", mapValues(kPair, "defaultValue='" + host + "'"), "integer", 8,
       "X.MapValues(defaultValue=" + host + "){Not a number.}"},
      {"string default over two lines", mapValues(kPair, "defaultValue='a&#13;HOST'"), "string", 8,
       "X.MapValues(defaultValue=a\rHOST){String holds a line break.}"},
      {"bin value",
       "<Discretize field='a'><DiscretizeBin binValue='" + host +
           "'><Interval/></DiscretizeBin></Discretize>",
       "integer", 8, "X.Discretize.DiscretizeBin(" + host + "){Not a number.}"},
      {"discretize missing value", "<Discretize field='a' mapMissingTo='" + host + "'/>", "integer",
       8, "X.Discretize(mapMissingTo=" + host + "){Not a number.}"},
      {"input field", mapValues("<FieldColumnPair field='a b'/>"), "integer", 7,
       "X.MapValues.FieldColumnPair(a b){Not a valid variable name.}"},
  };
  for (const auto& c : cases) check(c);

  // As a string the same text is one harmless literal.
  check({"quoted", mapValues(kPair, "defaultValue=\"it's " + host + "\""), "string", 0,
         "colour (ELSE='it''s " + host + "') "});
}

TEST(MappingNode, CountsOutputsMissingAndDefaultAsStringLiterals) {
  adptest::Xml xml(mapValues("<FieldColumnPair field='n' dataType='string'/><InlineTable>" +
                                 row("a very long input", "ab") + "</InlineTable>",
                             "mapMissingTo='abcd'"));
  ADPMappingNode node;
  node.setStringValues();
  node.setDataTypes("", "string");
  std::string path;
  ASSERT_EQ(node.parse(xml.root(), path), 0);
  EXPECT_EQ(node.longestStringLiteral(), 4u);
}

}  // namespace
