// The node base: error-path segments, DOM helpers, ownership of children.
#include "syntax/adp_base_node.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/adp_support.h"

namespace {

// Exposes the protected helpers; records its destruction in a shared log.
class ProbeNode final : public ADPBaseNode {
 public:
  explicit ProbeNode(std::string label = "", std::vector<std::string>* log = nullptr)
      : ADPBaseNode(kValue), label_(std::move(label)), log_(log) {}
  ~ProbeNode() override {
    if (log_ != nullptr) log_->push_back(label_);
  }
  std::string toSyntax() const override { return label_; }
  int parse(xercesc::DOMNode*, std::string&) override { return 0; }

  using ADPBaseNode::firstChildElement;
  using ADPBaseNode::getAttributeValue;
  using ADPBaseNode::isSafeName;
  using ADPBaseNode::nextSiblingElement;
  using ADPBaseNode::nodeName;
  using ADPBaseNode::setAttributeValue;

 private:
  std::string label_;
  std::vector<std::string>* log_;
};

TEST(BaseNode, AppendSegmentWritesEachFormAndSkipsEmptyText) {
  struct Case {
    const char* text;
    int form;
    const char* expected;
  };
  const Case cases[] = {
      {"Apply", ADPBaseNode::kElementSegment, "P.Apply"},
      {"x", ADPBaseNode::kAttributeSegment, "P(x)"},
      {"A,B", ADPBaseNode::kListSegment, "P[A,B]"},
      {"Bad.", ADPBaseNode::kMessageSegment, "P{Bad.}"},
      {"m", 7, "P{m}"},
      {"", ADPBaseNode::kElementSegment, "P"},
      {"", ADPBaseNode::kAttributeSegment, "P"},
      {"", ADPBaseNode::kListSegment, "P"},
      {"", ADPBaseNode::kMessageSegment, "P"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    std::string path = "P";
    ADPBaseNode::appendSegment(path, c.text, c.form);
    EXPECT_EQ(path, c.expected);
  }
}

TEST(BaseNode, RemoveSegmentCutsAtTheLastDot) {
  const std::pair<const char*, const char*> cases[] = {
      {"A.B(x)", "A"}, {"A.B(2.5)", "A.B(2"}, {"A", "A"}, {"A.B.C", "A.B"}, {"", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    std::string path = c.first;
    ADPBaseNode::removeSegment(path);
    EXPECT_EQ(path, c.second);
  }
}

TEST(BaseNode, ElementWalkSkipsTextCommentsAndOtherNames) {
  adptest::Xml xml("<r>text<!--c--><a n='1'/>more<b/><a n='2'/></r>");
  ProbeNode node;
  xercesc::DOMNode* first = node.firstChildElement(xml.root(), "");
  EXPECT_EQ(node.nodeName(first), "a");
  EXPECT_EQ(node.nodeName(node.firstChildElement(xml.root(), "b")), "b");
  xercesc::DOMNode* second = node.nextSiblingElement(first, "a");
  EXPECT_EQ(node.getAttributeValue(second, "n"), "2");
  EXPECT_EQ(node.nextSiblingElement(second, ""), nullptr);
  EXPECT_EQ(node.firstChildElement(xml.root(), "c"), nullptr);
  EXPECT_EQ(node.firstChildElement(nullptr, ""), nullptr);
}

TEST(BaseNode, AttributesReadEmptyFromNonElementsAndAbsentAttributes) {
  adptest::Xml xml("<r a='v'>text</r>");
  ProbeNode node;
  EXPECT_EQ(node.getAttributeValue(xml.root(), "a"), "v");
  EXPECT_EQ(node.getAttributeValue(xml.root(), "missing"), "");
  EXPECT_EQ(node.getAttributeValue(xml.root()->getFirstChild(), "a"), "");
  EXPECT_EQ(node.getAttributeValue(nullptr, "a"), "");
  node.setAttributeValue(xml.root(), "b", "w");
  node.setAttributeValue(xml.root()->getFirstChild(), "b", "ignored");
  node.setAttributeValue(nullptr, "b", "ignored");
  EXPECT_EQ(node.getAttributeValue(xml.root(), "b"), "w");
}

TEST(BaseNode, DestroysChildrenFirstToLastAndTheirChildren) {
  std::vector<std::string> log;
  {
    ProbeNode root("root", &log);
    auto first = std::make_unique<ProbeNode>("first", &log);
    first->children.push_back(std::make_unique<ProbeNode>("first.child", &log));
    root.children.push_back(std::move(first));
    root.children.push_back(std::make_unique<ProbeNode>("second", &log));
  }
  EXPECT_EQ(log, (std::vector<std::string>{"root", "first", "first.child", "second"}));
}

TEST(BaseNode, OnlyPlainVariableNamesAreSafe) {
  adptest::Xml platform("<r/>");
  ProbeNode node;
  node.utf8 = true;
  const char* safe[] = {"age",
                        "#tmp",
                        "x.y",
                        "a_b$c@d",
                        "Stra\xc3\x9f"
                        "e",
                        "\xe5\x90\x8d\xe5\x89\x8d",
                        "\xf0\x9d\x90\x80x"};
  for (const char* name : safe) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(node.isSafeName(name));
  }
  const char* unsafe[] = {"",
                          "1abc",
                          ".x",
                          "x.",
                          "a b",
                          "a'b",
                          "a\"b",
                          "a\nb",
                          "a-b",
                          "a(b)",
                          "a*b",
                          "a/b",
                          "a\xc2\xa0"
                          "b",
                          "a\xe2\x80\xa8"
                          "b",
                          "bad\xff",
                          "a;b"};
  for (const char* name : unsafe) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(node.isSafeName(name));
  }
}

}  // namespace
