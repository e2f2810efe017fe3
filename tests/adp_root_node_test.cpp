// The document: outline checks, used fields, roles, string lengths, back mode.
#include "syntax/adp_root_node.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <xercesc/dom/DOM.hpp>

#include "tests/adp_support.h"
#include "tests/test_util.h"

namespace {

using adptest::derived;
using adptest::pmml;
using adptest::role;
using adptest::toBackSyntax;
using adptest::toSyntax;

std::string dataField(const std::string& name, const std::string& content,
                      const std::string& type = "double") {
  return "<DataField name='" + name + "' optype='continuous' dataType='" + type + "'>" + content +
         "</DataField>";
}
std::string fieldRef(const std::string& name) { return "<FieldRef field='" + name + "'/>"; }
std::string times2(const std::string& name) {
  return "<Apply function='*'>" + fieldRef(name) +
         "<Constant dataType='double'>2</Constant></Apply>";
}
std::string inverse(const std::string& fields) {
  return "<Extension><AutomatedDataPreparation><TargetInverse>" + fields +
         "</TargetInverse></AutomatedDataPreparation></Extension>";
}

const std::string kDataFields = dataField("id", role("disable"), "integer") +
                                dataField("y", role("enable", "target")) +
                                dataField("age", role("enable", "predictor"));

TEST(RootNode, ConvertsTheNormalExample) {
  const auto c =
      toSyntax(pmml(kDataFields, derived("age_t", role("enable", "predictor") + times2("age"))));
  EXPECT_EQ(c.code, 0);
  EXPECT_EQ(c.message, "");
  EXPECT_EQ(c.output,
            "\nCOMPUTE age_t = (age*2).\nVARIABLE ROLE\n  /NONE id\n  /TARGET y\n  /INPUT age "
            "age_t.\n");
  EXPECT_EQ(c.noneFields, std::vector<std::string>{"id"});
}

TEST(RootNode, ConvertsTheInverseExample) {
  const std::string inv = inverse(derived(
      "y_inv", "<Apply function='+'>" + fieldRef("y_t") + "<Constant>10</Constant></Apply>"));
  const auto c = toBackSyntax(pmml(kDataFields, inv), "pred_y", "pred_t");
  EXPECT_EQ(c.code, 0);
  EXPECT_EQ(c.message, "");
  EXPECT_EQ(c.output, "\nCOMPUTE pred_y = (pred_t+10).\n");

  // Either name alone switches back mode on; an empty one keeps the document's name.
  const auto targetOnly = toBackSyntax(pmml(kDataFields, inv), "pred_y", "");
  EXPECT_EQ(targetOnly.code, 0) << targetOnly.message;
  EXPECT_EQ(targetOnly.output, "\nCOMPUTE pred_y = (y_t+10).\n");
  const auto sourceOnly = toBackSyntax(pmml(kDataFields, inv), "", "pred_t");
  EXPECT_EQ(sourceOnly.code, 0) << sourceOnly.message;
  EXPECT_EQ(sourceOnly.output, "\nCOMPUTE y_inv = (pred_t+10).\n");
}

TEST(RootNode, SkipsTheDictionarysExtensionInNormalMode) {
  // The inverse sits in an Extension before the derived fields.
  const std::string transformations =
      inverse(derived("y_inv", fieldRef("y_t"))) + derived("age_t", times2("age"));
  const auto c = toSyntax(pmml(kDataFields, transformations), true);
  EXPECT_EQ(c.code, 0) << c.message;
  EXPECT_EQ(c.output, "\nCOMPUTE age_t = (age*2).\n");
}

TEST(RootNode, ConvertsDisabledFieldsOnlyWhenAUsedFieldNeedsThem) {
  const std::string transformations =
      derived("unused", role("disable") + fieldRef("age")) +
      derived("tmp", role("disable") + times2("age")) +
      derived("tmp2", role("disable") + times2("tmp")) +
      derived("out", role("enable", "predictor") + "<Apply function='+'>" + fieldRef("tmp2") +
                         fieldRef("tmp") + "</Apply>") +
      derived("plain", fieldRef("age"));
  const auto c = toSyntax(pmml(kDataFields, transformations));
  EXPECT_EQ(c.code, 0) << c.message;
  EXPECT_EQ(c.output,
            "\nCOMPUTE #tmp = (age*2)."
            "\nCOMPUTE #tmp2 = (#tmp*2)."
            "\nCOMPUTE out = (#tmp2+#tmp)."
            "\nCOMPUTE plain = age.\n"
            "\nVARIABLE ROLE\n  /NONE id\n  /TARGET y\n  /INPUT age out.\n");
}

TEST(RootNode, TestsLongChainsOfDisabledFieldsInLinearTime) {
  // Every field refers to every earlier one and none is used: without
  // remembering answers the test would take 2^n steps.
  std::string transformations;
  for (int i = 0; i < 60; ++i) {
    std::string refs;
    for (int j = 0; j < i; ++j) refs += fieldRef("#f" + std::to_string(j));
    transformations += derived("#f" + std::to_string(i),
                               role("disable") + "<Apply function='sum'>" + refs + "</Apply>");
  }
  const auto start = std::chrono::steady_clock::now();
  const auto c = toSyntax(pmml(kDataFields, transformations));
  EXPECT_EQ(c.code, 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(RootNode, FollowsAChainOfDisabledFieldsOfAnyLength) {
  // Each field needs the one before it; only the last is enabled.
  const int n = 2000;
  std::string transformations;
  for (int i = 0; i < n; ++i) {
    const std::string content = i == 0 ? fieldRef("x") : fieldRef("c" + std::to_string(i - 1));
    transformations +=
        derived("c" + std::to_string(i), role(i == n - 1 ? "enable" : "disable") + content);
  }
  const auto c = toSyntax(pmml("", transformations), true);
  ASSERT_EQ(c.code, 0) << c.message;
  EXPECT_EQ(c.output.substr(0, 39), "\nCOMPUTE #c0 = x.\n\nCOMPUTE #c1 = #c0.\n\n");
  EXPECT_NE(c.output.find("\nCOMPUTE c1999 = #c1998.\n"), std::string::npos);
}

TEST(RootNode, ConvertsExpressionsNestedAsDeepAsTheParserAllows) {
  std::string expression = fieldRef("x");
  for (int i = 0; i < 990; ++i) {
    expression = "<Apply function='+'>" + expression + "<Constant>1</Constant></Apply>";
  }
  const auto c = toSyntax(pmml("", derived("deep", expression)), true);
  ASSERT_EQ(c.code, 0) << c.message.substr(0, 200);
  EXPECT_EQ(
      c.output, "\nCOMPUTE deep = " + std::string(990, '(') + "x" + [] {
        std::string tail;
        for (int i = 0; i < 990; ++i) tail += "+1)";
        return tail;
      }() + ".\n");
}

TEST(RootNode, CollectsRolesFromBothDictionaries) {
  const std::string data =
      dataField("id", role("disable")) + dataField("y", role("enable", "transformed target")) +
      dataField("noclass", role("enable")) + dataField("norole", "") +
      dataField("x", "<Extension><UsageType value='enable'/><ClassOfField value=''/></Extension>");
  const std::string transformations =
      derived("a", role("enable", "target") + fieldRef("x")) + derived("b", fieldRef("x")) +
      derived("c", role("disable") + fieldRef("x")) +
      derived("d", role("enable", "predictor") + "<Apply function='+'>" + fieldRef("c") +
                       fieldRef("x") + "</Apply>");
  const auto c = toSyntax(pmml(data, transformations));
  EXPECT_EQ(c.code, 0) << c.message;
  const std::string roles = c.output.substr(c.output.find("VARIABLE ROLE"));
  EXPECT_EQ(roles, "VARIABLE ROLE\n  /NONE id\n  /TARGET y a\n  /INPUT x d.\n");
}

TEST(RootNode, WrapsLongRoleListsButNotTheTarget) {
  auto name = [](char c) { return std::string(30, c); };
  std::string data;
  for (char c : {'a', 'b', 'c', 'd'}) data += dataField(name(c), role("enable", "predictor"));
  for (char c : {'p', 'q', 'r', 's'}) data += dataField(name(c), role("disable"));
  for (char c : {'t', 'u', 'v', 'w'}) data += dataField(name(c), role("enable", "target"));
  const auto c = toSyntax(pmml(data, derived("k", "<Constant>1</Constant>")));
  ASSERT_EQ(c.code, 0) << c.message;
  EXPECT_EQ(c.output, "\nCOMPUTE k = 1.\nVARIABLE ROLE\n  /NONE " + name('p') + " " + name('q') +
                          " " + name('r') + " \n        " + name('s') + "\n  /TARGET " + name('t') +
                          " " + name('u') + " " + name('v') + " " + name('w') + "\n  /INPUT " +
                          name('a') + " " + name('b') + " " + name('c') + " \n        " +
                          name('d') + ".\n");
}

TEST(RootNode, WritesNoRoleCommandWithoutRoles) {
  const std::string doc = pmml(dataField("x", ""), derived("k", fieldRef("x")));
  const auto c = toSyntax(doc);
  EXPECT_EQ(c.code, 0);
  EXPECT_EQ(c.output, "\nCOMPUTE k = x.\n\n");
  const auto skipped = toSyntax(pmml(kDataFields, derived("k", fieldRef("x"))), true);
  EXPECT_EQ(skipped.output, "\nCOMPUTE k = x.\n\n");
  EXPECT_TRUE(skipped.noneFields.empty());
}

TEST(RootNode, TakesStringLengthsFromValuesOrTheSourceField) {
  const std::string data =
      dataField("region", "<Value value='North'/><Value value='Z\xc3\xbcrich'/>", "string");
  const std::string transformations =
      derived("own", "<Value value='ab'/><Value value='abcd'/>" + fieldRef("x"),
              "dataType='string'") +
      derived("copy", fieldRef("region"), "dataType='string'") +
      // No reference of its own: the next field's reference is the source.
      derived("first", "<Constant dataType='string'>q</Constant>", "dataType='string'") +
      derived("next", fieldRef("region"), "dataType='string'") +
      // A table that copies unmatched values is as wide as its input.
      derived("merged",
              "<MapValues><Extension name='recodeElseCopy'/><FieldColumnPair field='region'/>"
              "<InlineTable><row><a>East</a><b>E</b></row></InlineTable></MapValues>",
              "dataType='string'");
  const auto c = toSyntax(pmml(data, transformations));
  EXPECT_EQ(c.code, 0) << c.message;
  EXPECT_EQ(c.output,
            "\nSTRING own(A4).\nCOMPUTE own = x.\n"
            "\nSTRING copy(A7).\nCOMPUTE copy = region.\n"
            "\nSTRING first(A7).\nCOMPUTE first = 'q'."
            "\nSTRING next(A7).\nCOMPUTE next = region.\n"
            "\nSTRING merged(A7).\nRECODE region ('East' = 'E') (ELSE=COPY) \n  INTO merged.\n");
}

TEST(RootNode, CopiesDataTypesOntoFieldReferences) {
  adptest::Xml xml(
      pmml(dataField("age", "", "integer"), derived("t", fieldRef("age")) +
                                                derived("u", fieldRef("t"), "dataType='float'") +
                                                derived("v", fieldRef("unknown"))));
  ADPRootNode root;
  root.setOptions("", "", true, true, false);
  std::string path;
  ASSERT_EQ(root.parse(xml.root(), path), 0) << path;
  auto refs = xml.root()->getElementsByTagName(testutil::u16("FieldRef").c_str());
  auto typeOf = [&](XMLSize_t i) {
    auto* e = static_cast<xercesc::DOMElement*>(refs->item(i));
    return std::u16string(e->getAttribute(testutil::u16("dataType").c_str()));
  };
  EXPECT_EQ(typeOf(0), u"integer");
  EXPECT_EQ(typeOf(1), u"double");  // the derived field t has no type: the data field answers
  EXPECT_EQ(typeOf(2), u"");
}

TEST(RootNode, ReportsOutlineFailuresWithTheirPaths) {
  struct Case {
    const char* name;
    std::string xml;
    bool back;
    int code;
    std::string path;
  };
  const std::string good = derived("k", fieldRef("x"));
  const std::string dd = "<DataDictionary/>";
  const Case cases[] = {
      {"root not PMML", "<Doc><DataDictionary/></Doc>", false, 6, "ADPTransformation.Doc[PMML]"},
      {"empty PMML", "<PMML/>", false, 10, "ADPTransformation.PMML"},
      {"no data dictionary", "<PMML><TransformationDictionary/></PMML>", false, 11,
       "ADPTransformation.PMML.DataDictionary"},
      {"no transformation dictionary", "<PMML>" + dd + "</PMML>", false, 11,
       "ADPTransformation.PMML.TransformationDictionary"},
      {"other element", pmml("", good + "<Foo/>"), false, 6,
       "ADPTransformation.PMML.TransformationDictionary.Foo[DerivedField,DefineFunction]"},
      {"nothing converted",
       pmml("", "<DefineFunction name='f'/>" + derived("k", role("disable") + fieldRef("x"))),
       false, 1, "ADPTransformation.PMML.TransformationDictionary{DerivedField is zero}"},
      {"empty dictionary", pmml("", ""), false, 1,
       "ADPTransformation.PMML.TransformationDictionary{DerivedField is zero}"},
      {"unsafe data field name", pmml(dataField("a b", role("disable")), good), false, 7,
       "ADPTransformation.PMML.DataDictionary.DataField(a b){Not a valid variable name.}"},
      {"unsafe derived field name",
       pmml("", derived("c&apos;d", role("enable", "x") + fieldRef("x"))), false, 7,
       "ADPTransformation.PMML.TransformationDictionary.DerivedField(c'd){Not a valid variable "
       "name.}"},
      {"back: no Extension", pmml("", good), true, 11,
       "ADPTransformation.PMML.TransformationDictionary.Extension"},
      {"back: no AutomatedDataPreparation", pmml("", "<Extension/>"), true, 11,
       "ADPTransformation.PMML.TransformationDictionary.Extension.AutomatedDataPreparation"},
      {"back: no TargetInverse", pmml("", "<Extension><AutomatedDataPreparation/></Extension>"),
       true, 14,
       "ADPTransformation.PMML.TransformationDictionary.Extension.AutomatedDataPreparation."
       "TargetInverse"},
      {"back: empty TargetInverse", pmml("", inverse("")), true, 14,
       "ADPTransformation.PMML.TransformationDictionary.Extension.AutomatedDataPreparation."
       "TargetInverse{DerivedField is zero}"},
      {"back: no field reference", pmml("", inverse(derived("k", "<Constant>1</Constant>"))), true,
       13,
       "ADPTransformation.PMML.TransformationDictionary.Extension.AutomatedDataPreparation."
       "TargetInverse"},
      {"back: Extension in TargetInverse", pmml("", inverse("<Extension/>" + good)), true, 6,
       "ADPTransformation.PMML.TransformationDictionary.Extension.AutomatedDataPreparation."
       "TargetInverse.Extension[DerivedField,DefineFunction]"},
      {"field fails", pmml("", derived("k", "<Apply function='+'>" + fieldRef("a") + "</Apply>")),
       false, 9,
       "ADPTransformation.PMML.TransformationDictionary.DerivedField(k).Apply(+){Expression must "
       "have two arguments.}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = c.back ? toBackSyntax(c.xml, "t", "s") : toSyntax(c.xml);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.message, c.path);
    EXPECT_EQ(r.output.find("VARIABLE ROLE"), std::string::npos);
  }
}

}  // namespace
