// Fields: references, declarations, STRING widths and unsafe names.
#include "syntax/adp_variable_node.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/adp_support.h"

namespace {

using adptest::Parsed;

TEST(VariableNode, ReadsReferencesAndDeclarations) {
  struct Case {
    const char* xml;
    std::string text;
    bool reference;
  };
  const Case cases[] = {
      {"<FieldRef field='age'/>", "age", true},
      {"<Discretize field='income'/>", "income", true},
      {"<FieldColumnPair field='#tmp' column='c'/>", "#tmp", true},
      {"<DerivedField name='str_t' dataType='string' length='12'/>", "\nSTRING str_t(A12).", false},
      {"<DerivedField name='x' dataType='double' length='12'/>", "", false},
      // A width is at least 1: "(A0)" is refused by the language.
      {"<DerivedField name='s' dataType='string' length='0'/>", "\nSTRING s(A1).", false},
      {"<DerivedField name='s' dataType='string'/>", "\nSTRING s(A1).", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xml);
    Parsed<ADPVariableNode> p(c.xml);
    ASSERT_EQ(p.code, 0) << p.path;
    EXPECT_EQ(p.path, "X");
    EXPECT_EQ(p.node.toSyntax(), c.text);
    EXPECT_EQ(p.node.isReference(), c.reference);
  }
}

TEST(VariableNode, ReportsMissingAndUnsafeNames) {
  struct Case {
    const char* xml;
    int code;
    std::string path;
  };
  const Case cases[] = {
      {"<FieldRef/>", 7, "X.FieldRef"},
      {"<Discretize field=''/>", 7, "X.FieldRef"},
      {"<FieldColumnPair/>", 7, "X.FieldColumnPair"},
      {"<DerivedField optype='continuous'/>", 7, "X.DerivedField"},
      {"<Constant/>", 6, "X[FieldRef,Discretize,DerivedField,FieldColumnPair]"},
      {"<FieldRef field='a b'/>", 7, "X.FieldRef(a b){Not a valid variable name.}"},
      {"<FieldRef field='x. HOST'/>", 7, "X.FieldRef(x. HOST){Not a valid variable name.}"},
      {"<FieldColumnPair field=\"a'b\"/>", 7, "X.FieldColumnPair(a'b){Not a valid variable name.}"},
      {"<DerivedField name='t&#10;HOST'/>", 7,
       "X.DerivedField(t\nHOST){Not a valid variable name.}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xml);
    Parsed<ADPVariableNode> p(c.xml);
    EXPECT_EQ(p.code, c.code);
    EXPECT_EQ(p.path, c.path);
  }
}

TEST(VariableNode, PresetNameSurvivesTheFieldsOwnName) {
  adptest::Xml xml("<DerivedField name='y_inv' optype='categorical' dataType='string'/>");
  ADPVariableNode node;
  node.setName("pred_y");
  std::string path;
  ASSERT_EQ(node.parse(xml.root(), path), 0);
  EXPECT_EQ(node.name(), "pred_y");
  EXPECT_EQ(node.getInputs(), "pred_y");
  EXPECT_EQ(node.optype(), "categorical");
}

TEST(VariableNode, WidensTheDeclarationButNeverNarrowsIt) {
  Parsed<ADPVariableNode> p("<DerivedField name='s' dataType='string' length='4'/>");
  p.node.widenTo(2);
  EXPECT_EQ(p.node.toSyntax(), "\nSTRING s(A4).");
  p.node.widenTo(5);
  EXPECT_EQ(p.node.toSyntax(), "\nSTRING s(A5).");
}

}  // namespace
