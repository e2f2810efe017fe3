// The syntax job end to end: codes and messages, roles, helper fields, string
// widths, hostile documents and encodings. The bundled example's output is the
// tool tests' golden file; what the converted fields compute is the syntax
// differential test's.
#include "pmmlxform/adp_convert.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "tests/adp_support.h"
#include "tests/test_util.h"

namespace {

using adptest::call;
using adptest::derived;
using adptest::num;
using adptest::pmml;
using adptest::role;
using adptest::toBackSyntax;
using adptest::toSyntax;
using adptest::var;
using Names = std::vector<std::string>;

std::string dataField(const std::string& name, const std::string& content,
                      const std::string& type = "double") {
  return "<DataField name='" + name + "' optype='continuous' dataType='" + type + "'>" + content +
         "</DataField>";
}
std::string inverse(const std::string& fields) {
  return "<Extension><AutomatedDataPreparation><TargetInverse>" + fields +
         "</TargetInverse></AutomatedDataPreparation></Extension>";
}
// A document whose only derived field is k with the given content.
std::string onlyK(const std::string& content, const std::string& attributes = "dataType='double'") {
  return pmml("", derived("k", content, attributes));
}
const std::string kDataFields = dataField("id", role("disable"), "integer") +
                                dataField("y", role("enable", "target")) +
                                dataField("age", role("enable", "predictor"));

TEST(AdpConvert, ConvertsTheNormalAndTheInverseExample) {
  // Normal mode skips the inverse, an Extension before the derived fields, and
  // converts a disabled field only when a used field needs it, as a helper.
  const std::string doc =
      pmml(kDataFields,
           inverse(derived("y_inv", call("+", var("y_t") + "<Constant>10</Constant>"))) +
               derived("age_t", role("enable", "predictor") + call("*", var("age") + num("2"))) +
               derived("unused", role("disable") + var("age")) +
               derived("tmp", role("disable") + call("*", var("age_t") + num("2"))) +
               derived("tmp2", role("disable") + call("*", var("tmp") + num("2"))) +
               derived("out", role("enable", "predictor") + call("+", var("tmp2") + var("tmp"))));
  const auto c = toSyntax(doc);
  EXPECT_EQ(c.code, 0) << c.message;
  EXPECT_EQ(c.output,
            "\nCOMPUTE age_t = (age*2).\nCOMPUTE #tmp = (age_t*2).\nCOMPUTE #tmp2 = (#tmp*2)."
            "\nCOMPUTE out = (#tmp2+#tmp).\nVARIABLE ROLE\n  /NONE id\n  /TARGET y\n  /INPUT age "
            "age_t out.\n");
  EXPECT_EQ(c.noneFields, Names{"id"});
  EXPECT_EQ(toBackSyntax(doc, "", "").output, c.output);

  // Either name alone switches back mode on; an empty one keeps the document's name.
  const char* back[][3] = {{"pred_y", "pred_t", "\nCOMPUTE pred_y = (pred_t+10).\n"},
                           {"pred_y", "", "\nCOMPUTE pred_y = (y_t+10).\n"},
                           {"", "pred_t", "\nCOMPUTE y_inv = (pred_t+10).\n"}};
  for (const auto& b : back) {
    const auto r = toBackSyntax(doc, b[0], b[1]);
    EXPECT_EQ(r.code, 0) << r.message;
    EXPECT_EQ(r.output, b[2]);
  }
}

TEST(AdpConvert, WalksEveryResultCodeWithItsMessage) {
  const std::string td = "ADPTransformation.PMML.TransformationDictionary";
  const std::string ti = td + ".Extension.AutomatedDataPreparation.TargetInverse";
  const std::string good = derived("k", var("x"));
  const struct {
    const char* name;
    std::string xml;
    bool back;
    int code;
    std::string message;
  } cases[] = {
      {"converted", pmml("", good), false, 0, ""},
      {"nothing converted",
       pmml("", "<DefineFunction name='f'/>" + derived("k", role("disable") + var("x"))), false, 1,
       td + "{DerivedField is zero}"},
      {"unsupported function", onlyK(call("median", var("x"))), false, 3,
       td + ".DerivedField(k).Apply(median)"},
      {"root not PMML", "<Doc/>", false, 6, "ADPTransformation.Doc[PMML]"},
      {"unsafe data field name", pmml(dataField("a b", role("disable")), good), false, 7,
       "ADPTransformation.PMML.DataDictionary.DataField(a b){Not a valid variable name.}"},
      {"malformed date", onlyK("<Constant dataType='date'>2020</Constant>"), false, 8,
       td + ".DerivedField(k).Constant(2020)[mm/dd/yyyy]"},
      {"field fails", pmml(kDataFields, derived("k", call("+", var("a")))), false, 9,
       td + ".DerivedField(k).Apply(+){Expression must have two arguments.}"},
      {"empty PMML", "<PMML/>", false, 10, "ADPTransformation.PMML"},
      {"no data dictionary", "<PMML><TransformationDictionary/></PMML>", false, 11,
       "ADPTransformation.PMML.DataDictionary"},
      {"no transformation dictionary", "<PMML><DataDictionary/></PMML>", false, 11, td},
      {"back: no Extension", pmml("", good), true, 11, td + ".Extension"},
      {"back: no field reference", pmml("", inverse(derived("k", "<Constant>1</Constant>"))), true,
       13, ti},
      {"back: no TargetInverse", pmml("", "<Extension><AutomatedDataPreparation/></Extension>"),
       true, 14, ti},
      {"back: Extension in TargetInverse", pmml("", inverse("<Extension/>" + good)), true, 6,
       ti + ".Extension[DerivedField,DefineFunction]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = c.back ? toBackSyntax(c.xml, "t", "s") : toSyntax(c.xml);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.message, c.message);
    if (c.code != 0) {  // a failure drops the roles
      EXPECT_EQ(r.output.find("VARIABLE ROLE"), std::string::npos);
      EXPECT_TRUE(r.noneFields.empty());
    }
  }
}

TEST(AdpConvert, UnreadableInputLeavesTheResultsUntouched) {
  // Empty input is code 2; anything the hardened parser refuses is code 5 (the
  // hostile-input tests walk what it refuses).
  const std::pair<std::string, int> cases[] = {{"", 2}, {"not xml", 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first.substr(0, 60));
    std::istringstream in(c.first);
    std::ostringstream out("kept", std::ios::ate);
    std::string message;
    Names none{"old"};
    EXPECT_EQ(ADP_Convert::convertPMMLtoSyntax(in, out, message, none, false, true, false),
              c.second);
    EXPECT_EQ(message, c.second == 2 ? "Input file is invalid." : "Input xml file is invalid.");
    EXPECT_EQ(out.str(), "kept");
    EXPECT_EQ(none, Names{"old"});
  }
}

// Roles from both dictionaries are pinned by the bundled example.
TEST(AdpConvert, SkipsRolesOnRequestOrWhenNoFieldHasOne) {
  const auto skipped = toSyntax(pmml(kDataFields, derived("k", var("x"))), true);
  EXPECT_EQ(skipped.output, "\nCOMPUTE k = x.\n\n");
  EXPECT_TRUE(skipped.noneFields.empty());
  EXPECT_EQ(toSyntax(pmml(dataField("x", ""), derived("k", var("x")))).output, skipped.output);
}

TEST(AdpConvert, ConvertsLongChainsAndDeepNestingQuickly) {
  // Every field refers to every earlier one and none is used: without
  // remembering answers the test would take 2^n steps.
  std::string transformations;
  for (int i = 0; i < 60; ++i) {
    std::string refs;
    for (int j = 0; j < i; ++j) refs += var("#f" + std::to_string(j));
    transformations += derived("#f" + std::to_string(i), role("disable") + call("sum", refs));
  }
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(toSyntax(pmml(kDataFields, transformations)).code, 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

  std::string expression = var("x");
  std::string tail;
  for (int i = 0; i < 990; ++i) {
    expression = call("+", expression + "<Constant>1</Constant>");
    tail += "+1)";
  }
  const auto deep = toSyntax(pmml("", derived("deep", expression)), true);
  ASSERT_EQ(deep.code, 0) << deep.message.substr(0, 200);
  EXPECT_EQ(deep.output, "\nCOMPUTE deep = " + std::string(990, '(') + "x" + tail + ".\n");
}

TEST(AdpConvert, TakesStringLengthsFromValuesOrTheSourceField) {
  const std::string data =
      dataField("region", "<Value value='North'/><Value value='Z\xc3\xbcrich'/>", "string");
  const std::string s = "dataType='string'";
  const std::string transformations =
      derived("own", "<Value value='ab'/><Value value='abcd'/>" + var("x"), s) +
      // No reference of its own: the next field's reference is the source.
      derived("first", "<Constant dataType='string'>q</Constant>", s) +
      derived("next", var("region"), s);
  const auto c = toSyntax(pmml(data, transformations));
  EXPECT_EQ(c.code, 0) << c.message;
  EXPECT_EQ(c.output,
            "\nSTRING own(A4).\nCOMPUTE own = x.\n"
            "\nSTRING first(A7).\nCOMPUTE first = 'q'."
            "\nSTRING next(A7).\nCOMPUTE next = region.\n\n");
}

std::string table(const std::string& attributes, const std::string& a, const std::string& b,
                  const std::string& keyType = "") {
  return "<MapValues " + attributes + "><FieldColumnPair field='a' dataType='" + keyType +
         "'/><InlineTable><row><a>" + a + "</a><b>" + b + "</b></row></InlineTable></MapValues>";
}
std::string bins(const std::string& attributes, const std::string& value,
                 const std::string& interval) {
  return "<Discretize field='a' " + attributes + "><DiscretizeBin binValue='" + value +
         "'><Interval " + interval + "/></DiscretizeBin></Discretize>";
}
std::string norm(const std::string& field, const std::string& orig) {
  return "<NormContinuous field='" + field + "' outliers='asExtremeValues'><LinearNorm orig='" +
         orig + "' norm='0'/><LinearNorm orig='9' norm='1'/></NormContinuous>";
}
std::string outlier(const std::string& last) {
  return call("outlierHandle", var("a") + "<Constant dataType='string'>asExtremeValues</Constant>" +
                                   num("1") + num("2") + num("3") + last);
}

TEST(AdpConvert, RefusesEveryAttemptToAddACommand) {
  // Each document tries to smuggle "HOST COMMAND" into the syntax.
  const std::string host = "x. HOST COMMAND=[&apos;rm -rf ~&apos;]. COMPUTE y=1";
  const std::string a = "'" + host + "'";
  const struct {
    const char* name;
    std::string xml;
    int code;
  } cases[] = {
      {"target name", pmml("", derived(host, var("a"))), 7},
      {"field reference", onlyK(var(host)), 7},
      {"role name", pmml(dataField("a&#10;HOST", role("disable")), derived("k", var("a"))), 7},
      {"number", onlyK(num(host)), 8},
      {"date", onlyK("<Constant dataType='date'>1/2/3)." + host + "</Constant>"), 8},
      {"string over two lines", onlyK(adptest::str("a&#13;&#10;HOST")), 8},
      {"table key", onlyK(table("", host, "1")), 8},
      {"string key over two lines", onlyK(table("", "x&#10;HOST", "1", "string")), 8},
      {"mapMissingTo of a table", onlyK(table("mapMissingTo=" + a, "1", "1")), 8},
      {"mapMissingTo of a function",
       onlyK("<Apply function='ln' mapMissingTo=" + a + ">" + var("a") + "</Apply>"), 8},
      {"string mapMissingTo over two lines",
       onlyK("<Apply function='uppercase' mapMissingTo='a&#10;HOST'>" + var("a") + "</Apply>",
             "dataType='string'"),
       8},
      {"bin value", onlyK(bins("", host, "")), 8},
      {"date margin of bins", onlyK(bins("dataType='date'", "1", "leftMargin='1/2/2000'")), 8},
      {"orig of a point", onlyK(norm("a", host)), 8},
      {"field of a normalisation", onlyK(norm(host, "0")), 7},
      {"outlier parameter", onlyK(outlier("<Constant>" + host + "</Constant>")), 8},
      {"outlier field parameter", onlyK(outlier(var(host))), 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = toSyntax(c.xml);
    EXPECT_EQ(r.code, c.code) << r.message;
    EXPECT_EQ(r.output.find("HOST"), std::string::npos) << r.output;
  }
  // A string literal holds the attempt harmlessly.
  const auto quoted = toSyntax(onlyK(adptest::str(host), "dataType='string'"));
  EXPECT_EQ(quoted.code, 0);
  EXPECT_EQ(quoted.output,
            "\nSTRING k(A41).\nCOMPUTE k = 'x. HOST COMMAND=[''rm -rf ~'']. COMPUTE y=1'.\n");
}

TEST(AdpConvert, WritesNamesInUtf8OrTheLocalCodePage) {
  const std::string size = "gr\303\266\303\237e";       // größe
  const std::string name = "\xe5\x90\x8d\xe5\x89\x8d";  // 名前
  const auto r = toSyntax(pmml(dataField(size, role("disable")), derived(name, var(size))));
  ASSERT_EQ(r.code, 0) << r.message;
  EXPECT_EQ(r.output,
            "\nCOMPUTE " + name + " = " + size + ".\n\nVARIABLE ROLE\n  /NONE " + size + ".\n");
  EXPECT_EQ(r.noneFields, Names{size});

  const std::string doc = pmml("", derived(size, var("x")));
  {
    // ASCII cannot hold the name: it would come out as "gr??e", which is refused.
    testutil::ScopedLocale c("C");
    const auto ascii = toSyntax(doc, false, false);
    EXPECT_EQ(ascii.code, 7);
    EXPECT_EQ(ascii.output, "");
  }
  testutil::ScopedLocale latin1("en_US.ISO-8859-1");
  if (!latin1.ok()) GTEST_SKIP() << "no Latin-1 locale on this machine";
  const auto local = toSyntax(doc, false, false);
  EXPECT_EQ(local.code, 0) << local.message;
  EXPECT_EQ(local.output, "\nCOMPUTE gr\366\337e = x.\n\n");
}

TEST(AdpConvert, RefusesNamesTheLanguageReadsAsSomethingElse) {
  const std::string dd = "ADPTransformation.PMML.DataDictionary";
  const std::string td = "ADPTransformation.PMML.TransformationDictionary";
  const std::string ti = td + ".Extension.AutomatedDataPreparation.TargetInverse";
  const std::string good = derived("k", var("x"));
  const std::string longName(65, 'n');
  // A role list that names a keyword sets every variable's role (ALL) or a range (TO).
  const struct {
    const char* name;
    std::string xml;
    std::string message;
  } forward[] = {
      {"disabled ALL", pmml(dataField("ALL", role("disable")), good),
       dd + ".DataField(ALL){Reserved word.}"},
      {"input to", pmml(dataField("to", role("enable", "predictor")), good),
       dd + ".DataField(to){Reserved word.}"},
      {"target system variable", pmml(dataField("$casenum", role("enable", "target")), good),
       dd + ".DataField($casenum){System variable.}"},
      {"long disabled name", pmml(dataField(longName, role("disable")), good),
       dd + ".DataField(" + longName + "){Name longer than 64 bytes.}"},
      {"derived ALL with a role", pmml("", derived("ALL", role("enable", "predictor") + var("x"))),
       td + ".DerivedField(ALL){Reserved word.}"},
      {"derived With without a role", pmml("", derived("With", var("x"))),
       td + ".DerivedField(With){Reserved word.}"},
  };
  for (const auto& c : forward) {
    SCOPED_TRACE(c.name);
    const auto r = toSyntax(c.xml);
    EXPECT_EQ(r.code, 7);
    EXPECT_EQ(r.message, c.message);
    EXPECT_EQ(r.output.find("VARIABLE ROLE"), std::string::npos);
  }

  // A scratch variable is kept: intermediate fields may be meant to be dropped.
  const auto scratch = toSyntax(pmml(dataField("ALLx", role("enable", "predictor")),
                                     derived("#t", role("enable", "predictor") + var("ALLx"))));
  EXPECT_EQ(scratch.code, 0) << scratch.message;
  EXPECT_EQ(scratch.output, "\nCOMPUTE #t = ALLx.\n\nVARIABLE ROLE\n  /INPUT ALLx #t.\n");

  // The names the caller gives the inverse are checked like the document's.
  const std::string doc = pmml("", inverse(derived("y_inv", call("+", var("y_t") + num("10")))));
  const struct {
    std::string target, source;
    int code;
    std::string message;
  } back[] = {
      {"ALL", "pred_t", 7, ti + ".DerivedField(ALL){Reserved word.}"},
      {"pred_y", "to", 7, ti + ".DerivedField(pred_y).Apply(+).FieldRef(to){Reserved word.}"},
      {"$time", "pred_t", 7, ti + ".DerivedField($time){System variable.}"},
      {"pred_y", longName, 7,
       ti + ".DerivedField(pred_y).Apply(+).FieldRef(" + longName +
           "){Name longer than 64 bytes.}"},
      {"with_y", "or_t", 0, ""},
  };
  for (const auto& b : back) {
    SCOPED_TRACE(b.target + " " + b.source);
    const auto r = toBackSyntax(doc, b.target, b.source);
    EXPECT_EQ(r.code, b.code);
    EXPECT_EQ(r.message, b.message);
  }
  EXPECT_EQ(toBackSyntax(doc, "with_y", "or_t").output, "\nCOMPUTE with_y = (or_t+10).\n");
  const std::string normalised = pmml("", inverse(derived("y_inv", norm("y_t", "0"))));
  const auto r = toBackSyntax(normalised, "pred_y", "BY");
  EXPECT_EQ(r.code, 7);
  EXPECT_EQ(r.message, ti + ".DerivedField(pred_y).NormContinuous(BY){Reserved word.}");
}

TEST(AdpConvert, RefusesLiteralsThatWouldBeReadAsAnotherValue) {
  const std::string s = "dataType='string'";
  // A leading "+" would make RECODE refuse the command.
  const auto plus = toSyntax(onlyK(table("", "+5", "+1", "double")));
  EXPECT_EQ(plus.code, 0) << plus.message;
  EXPECT_EQ(plus.output, "\nRECODE a (5 = 1) (ELSE=SYSMIS) INTO k.\n");
  EXPECT_EQ(toSyntax(onlyK(table("", "1e400", "1", "double"))).code, 8);
  const auto points = toSyntax(onlyK(norm("a", "+1")));
  EXPECT_EQ(points.code, 0) << points.message;
  EXPECT_EQ(points.output.substr(0, 32), "\nRECODE a (1 THRU 9 = Copy) (LOW");
  EXPECT_EQ(toSyntax(onlyK(norm("a", "-1e400"))).code, 8);
  // XML 1.1 carries C0 controls as character references; a literal has no way to hold them.
  const auto control =
      toSyntax("<?xml version='1.1'?>" + onlyK(table("", "a&#x1E;b", "1", "string")));
  EXPECT_EQ(control.code, 8);
  EXPECT_EQ(
      control.message,
      "ADPTransformation.PMML.TransformationDictionary.DerivedField(k).MapValues.row.a(a\036b)"
      "{String holds a control character.}");

  // In a code page that cannot hold them both values would be written 'C?te',
  // and the second row could never match.
  testutil::ScopedLocale ascii("C");
  const std::string lost = "{String holds a character the local code page cannot hold.}";
  const std::string path = "ADPTransformation.PMML.TransformationDictionary.DerivedField(k)";
  const struct {
    const char* name;
    std::string xml;
    std::string message;
  } cases[] = {
      {"table key", onlyK(table("", "C&#xFC;te", "1", "string")),
       path + ".MapValues.row.a(C?te)" + lost},
      {"table output", onlyK(table("", "1", "C&#xF4;te", "double"), s),
       path + ".MapValues.row.b(C?te)" + lost},
      {"default", onlyK(table("defaultValue='C&#xF4;te'", "1", "x", "double"), s),
       path + ".MapValues(defaultValue=C?te)" + lost},
      {"bin value", onlyK(bins("", "C&#xF4;te", "rightMargin='1'"), s),
       path + ".Discretize.DiscretizeBin(C?te)" + lost},
      {"constant", onlyK(adptest::str("C&#xF4;te"), s), path + ".Constant(C?te)" + lost},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = toSyntax(c.xml, false, false);
    EXPECT_EQ(r.code, 8);
    EXPECT_EQ(r.message, c.message);
  }
  // What the code page holds, a "?" of the document's own included, is written.
  const auto kept = toSyntax(onlyK(table("", "C?te", "1", "string")), false, false);
  EXPECT_EQ(kept.code, 0) << kept.message;
  EXPECT_EQ(kept.output, "\nRECODE a ('C?te' = 1) (ELSE=SYSMIS) INTO k.\n");
}

}  // namespace
