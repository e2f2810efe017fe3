// The ADP_Convert entry points: reading, parsing, codes, partial output, texts.
#include "pmmlxform/adp_convert.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/adp_support.h"
#include "tests/test_util.h"

namespace {

using adptest::derived;
using adptest::pmml;
using adptest::role;
using adptest::toBackSyntax;
using adptest::toSyntax;

std::string fieldRef(const std::string& name) { return "<FieldRef field='" + name + "'/>"; }
std::string disabledData(const std::string& name) {
  return "<DataField name='" + name + "' optype='continuous' dataType='double'>" + role("disable") +
         "</DataField>";
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(AdpConvert, EmptyInputLeavesOutputAndNoneFieldsUntouched) {
  std::istringstream in("");
  std::ostringstream out("kept");
  out.seekp(0, std::ios::end);
  std::string message = "old";
  std::vector<std::string> none{"old"};
  EXPECT_EQ(ADP_Convert::convertPMMLtoSyntax(in, out, message, none, false, true, false), 2);
  EXPECT_EQ(message, "Input file is invalid.");
  EXPECT_EQ(out.str(), "kept");
  EXPECT_EQ(none, std::vector<std::string>{"old"});
}

TEST(AdpConvert, InvalidOrHostileXmlIsCodeFive) {
  std::string deep;
  for (int i = 0; i < 1100; ++i) deep += "<a>";
  for (int i = 0; i < 1100; ++i) deep += "</a>";
  const std::string cases[] = {
      "not xml",
      "<PMML><DataDictionary></PMML>",
      "<!DOCTYPE PMML [<!ENTITY x SYSTEM 'file:///etc/passwd'>]><PMML>&x;</PMML>",
      "<PMML>" + deep + "</PMML>",
  };
  for (const auto& xml : cases) {
    SCOPED_TRACE(xml.substr(0, 60));
    std::istringstream in(xml);
    std::ostringstream out;
    std::string message;
    std::vector<std::string> none{"old"};
    EXPECT_EQ(ADP_Convert::convertPMMLtoSyntax(in, out, message, none, false, true, false), 5);
    EXPECT_EQ(message, "Input xml file is invalid.");
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(none, std::vector<std::string>{"old"});
  }
}

TEST(AdpConvert, WalksEveryResultCode) {
  const std::string ok = derived("k", fieldRef("x"));
  const std::string inverseOf = "<Extension><AutomatedDataPreparation><TargetInverse>";
  const std::string inverseEnd = "</TargetInverse></AutomatedDataPreparation></Extension>";
  struct Case {
    int code;
    std::string xml;
    bool back;
  };
  const Case cases[] = {
      {0, pmml("", ok), false},
      {1, pmml("", ""), false},
      {2, "", false},
      {3, pmml("", derived("k", "<Apply function='median'>" + fieldRef("x") + "</Apply>")), false},
      {5, "<PMML", false},
      {6, "<Doc/>", false},
      {7, pmml("", derived("k", fieldRef(""))), false},
      {8, pmml("", derived("k", "<Constant dataType='date'>2020</Constant>")), false},
      {9, pmml("", derived("k", "<Apply function='+'>" + fieldRef("x") + "</Apply>")), false},
      {10, "<PMML/>", false},
      {11, "<PMML><DataDictionary/></PMML>", false},
      {13, pmml("", inverseOf + derived("k", "<Constant>1</Constant>") + inverseEnd), true},
      {14, pmml("", "<Extension><AutomatedDataPreparation/></Extension>"), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    const auto r = c.back ? toBackSyntax(c.xml, "t", "s") : toSyntax(c.xml);
    EXPECT_EQ(r.code, c.code) << r.message;
    EXPECT_EQ(r.message.empty(), c.code == 0) << r.message;
  }
}

TEST(AdpConvert, AFailureKeepsTheEarlierFieldsAndDropsTheRoles) {
  const std::string transformations =
      derived("a", fieldRef("x")) + derived("b", fieldRef("y")) +
      derived("c", "<Apply function='+'>" + fieldRef("x") + "</Apply>") +
      derived("d", fieldRef("z"));
  const auto r = toSyntax(pmml(disabledData("id"), transformations));
  EXPECT_EQ(r.code, 9);
  EXPECT_EQ(r.output, "\nCOMPUTE a = x.\n\nCOMPUTE b = y.\n\n");
  EXPECT_TRUE(r.noneFields.empty());
}

TEST(AdpConvert, SuccessClearsTheMessageAndReportsNoneFields) {
  std::istringstream in(
      pmml(disabledData("id") + disabledData("id2"), derived("k", fieldRef("x"))));
  std::ostringstream out;
  std::string message = "stale";
  std::vector<std::string> none{"stale"};
  EXPECT_EQ(ADP_Convert::convertPMMLtoSyntax(in, out, message, none, false, true, false), 0);
  EXPECT_EQ(message, "");
  EXPECT_EQ(none, (std::vector<std::string>{"id", "id2"}));

  const auto skipped = toSyntax(pmml(disabledData("id"), derived("k", fieldRef("x"))), true);
  EXPECT_TRUE(skipped.noneFields.empty());
  EXPECT_EQ(skipped.output, "\nCOMPUTE k = x.\n\n");
}

TEST(AdpConvert, BackSyntaxWithoutNamesIsTheForwardConversion) {
  const std::string doc = pmml(disabledData("id"), derived("k", fieldRef("x")));
  const auto back = toBackSyntax(doc, "", "");
  const auto forward = toSyntax(doc);
  EXPECT_EQ(back.code, 0);
  EXPECT_EQ(back.output, forward.output);
  EXPECT_NE(back.output.find("VARIABLE ROLE\n  /NONE id.\n"), std::string::npos);
}

// Expressions of each node kind, with the text of one position given.
std::string mapValues(const std::string& attributes, const std::string& rows,
                      const std::string& keyType = "") {
  return "<MapValues " + attributes + "><FieldColumnPair field='a' dataType='" + keyType +
         "'/><InlineTable>" + rows + "</InlineTable></MapValues>";
}
std::string discretize(const std::string& attributes, const std::string& bins) {
  return "<Discretize field='a' " + attributes + ">" + bins + "</Discretize>";
}
std::string bin(const std::string& value, const std::string& interval) {
  return "<DiscretizeBin binValue='" + value + "'>" + interval + "</DiscretizeBin>";
}
std::string normOf(const std::string& attributes, const std::string& orig,
                   const std::string& norm) {
  return "<NormContinuous field='a' outliers='asExtremeValues' " + attributes +
         "><LinearNorm orig='" + orig + "' norm='" + norm +
         "'/><LinearNorm orig='9' norm='1'/></NormContinuous>";
}
std::string outlierOf(const std::string& lastParameter) {
  return "<Apply function='outlierHandle'>" + fieldRef("a") +
         "<Constant dataType='string'>asExtremeValues</Constant><Constant>1</Constant>"
         "<Constant>2</Constant><Constant>3</Constant>" +
         lastParameter + "</Apply>";
}

TEST(AdpConvert, RefusesEveryAttemptToAddACommand) {
  // Each document tries to smuggle "HOST COMMAND" into the syntax.
  struct Case {
    const char* name;
    std::string xml;
    int code;
  };
  const std::string host = "x. HOST COMMAND=[&apos;rm -rf ~&apos;]. COMPUTE y=1";
  const Case cases[] = {
      {"target name", pmml("", derived(host, fieldRef("a"))), 7},
      {"field reference", pmml("", derived("k", fieldRef(host))), 7},
      {"name with a line break", pmml("", derived("k", fieldRef("a&#10;HOST"))), 7},
      {"role name", pmml(disabledData("a&#10;HOST"), derived("k", fieldRef("a"))), 7},
      {"number", pmml("", derived("k", "<Constant dataType='double'>" + host + "</Constant>")), 8},
      {"untyped constant", pmml("", derived("k", "<Constant>" + host + "</Constant>")), 8},
      {"date", pmml("", derived("k", "<Constant dataType='date'>1/2/3)." + host + "</Constant>")),
       8},
      {"time", pmml("", derived("k", "<Constant dataType='time'>1:2:3)." + host + "</Constant>")),
       8},
      {"string over two lines",
       pmml("", derived("k", "<Constant dataType='string'>a&#13;&#10;HOST</Constant>")), 8},
      {"table key", pmml("", derived("k", mapValues("", "<row><a>" + host + "</a><b>1</b></row>"))),
       8},
      {"table output",
       pmml("", derived("k", mapValues("", "<row><a>1</a><b>" + host + "</b></row>"))), 8},
      {"string table key over two lines",
       pmml("", derived("k", mapValues("", "<row><a>x&#10;HOST</a><b>1</b></row>", "string"))), 8},
      {"string table output over two lines",
       pmml("", derived("k", mapValues("", "<row><a>x</a><b>y&#10;HOST</b></row>", "string"),
                        "dataType='string'")),
       8},
      {"mapMissingTo of a table",
       pmml("", derived("k", mapValues("mapMissingTo='" + host + "'", ""))), 8},
      {"defaultValue of a table",
       pmml("", derived("k", mapValues("defaultValue='" + host + "'", ""))), 8},
      {"bin value", pmml("", derived("k", discretize("", bin(host, "<Interval/>")))), 8},
      {"left margin",
       pmml("", derived("k", discretize("", bin("1", "<Interval leftMargin='" + host + "'/>")))),
       8},
      {"right margin",
       pmml("", derived("k", discretize("", bin("1", "<Interval rightMargin='" + host + "'/>")))),
       8},
      {"defaultValue of bins",
       pmml("", derived("k", discretize("defaultValue='" + host + "'", ""))), 8},
      {"orig of a point", pmml("", derived("k", normOf("", host, "0"))), 8},
      {"norm of a point", pmml("", derived("k", normOf("", "0", host))), 8},
      {"mapMissingTo of a normalisation",
       pmml("", derived("k", normOf("mapMissingTo='" + host + "'", "0", "0"))), 8},
      {"field of a normalisation",
       pmml("", derived("k", "<NormContinuous field='" + host +
                                 "' outliers='asMissingValues'><LinearNorm orig='0' norm='0'/>"
                                 "<LinearNorm orig='1' norm='1'/></NormContinuous>")),
       7},
      {"outlier parameter", pmml("", derived("k", outlierOf("<Constant>" + host + "</Constant>"))),
       8},
      {"outlier field parameter", pmml("", derived("k", outlierOf(fieldRef(host)))), 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = toSyntax(c.xml);
    EXPECT_EQ(r.code, c.code) << r.message;
    EXPECT_EQ(r.output.find("HOST"), std::string::npos) << r.output;
  }
  // A string literal holds the attempt harmlessly.
  const auto quoted =
      toSyntax(pmml("", derived("k", "<Constant dataType='string'>" + host + "</Constant>",
                                "dataType='string'")));
  EXPECT_EQ(quoted.code, 0);
  EXPECT_EQ(quoted.output,
            "\nSTRING k(A41).\nCOMPUTE k = 'x. HOST COMMAND=[''rm -rf ~'']. COMPUTE y=1'.\n");
}

TEST(AdpConvert, RoundTripsNonAsciiNamesInUtf8) {
  const std::string size =
      "gr\xc3\xb6\xc3\x9f"
      "e";                                              // größe
  const std::string name = "\xe5\x90\x8d\xe5\x89\x8d";  // 名前
  const std::string doc =
      pmml("<DataField name='" + size + "' optype='continuous' dataType='double'>" +
               role("disable") + "</DataField>",
           derived(name, fieldRef(size)));
  const auto r = toSyntax(doc);
  ASSERT_EQ(r.code, 0) << r.message;
  EXPECT_EQ(r.output,
            "\nCOMPUTE " + name + " = " + size + ".\n\nVARIABLE ROLE\n  /NONE " + size + ".\n");
  EXPECT_EQ(r.noneFields, std::vector<std::string>{size});
}

TEST(AdpConvert, UsesTheLocalCodePageWhenAsked) {
  const std::string doc = pmml("", derived("gr\xc3\xb6\xc3\x9f"
                                           "e",
                                           fieldRef("x")));
  {
    // ASCII cannot hold the name: it would come out as "gr??e", which is refused.
    testutil::ScopedLocale c("C");
    const auto r = toSyntax(doc, false, false);
    EXPECT_EQ(r.code, 7);
    EXPECT_EQ(r.output, "");
  }
  testutil::ScopedLocale latin1("en_US.ISO-8859-1");
  if (!latin1.ok()) GTEST_SKIP() << "no Latin-1 locale on this machine";
  const auto r = toSyntax(doc, false, false);
  EXPECT_EQ(r.code, 0) << r.message;
  EXPECT_EQ(r.output,
            "\nCOMPUTE gr\xf6\xdf"
            "e = x.\n\n");
}

TEST(AdpConvert, ConvertsTheBundledExample) {
  const std::string dir = PMMLXFORM_SOURCE_DIR;
  const std::string doc = readFile(dir + "/share/pmmlxform/examples/adp_example.xml");
  ASSERT_FALSE(doc.empty());
  const auto forward = toSyntax(doc);
  EXPECT_EQ(forward.code, 0) << forward.message;
  EXPECT_EQ(forward.output, readFile(dir + "/tests/data/syntax/adp_example.sps"));
  EXPECT_EQ(forward.noneFields, (std::vector<std::string>{"customer_id", "notes"}));
  const auto back = toBackSyntax(doc, "spend_pred", "spend_t_pred");
  EXPECT_EQ(back.code, 0) << back.message;
  EXPECT_EQ(back.output, readFile(dir + "/tests/data/syntax/adp_example_back.sps"));
}

}  // namespace
