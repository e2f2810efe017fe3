// The name checks every node shares: which names the command language takes
// as plain variable names, and why it refuses the others.
#include "syntax/adp_base_node.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "tests/test_util.h"

namespace {

// Exposes the name check.
class ProbeNode final : public ADPBaseNode {
 public:
  ProbeNode() : ADPBaseNode(kValue) {}
  std::string toSyntax() const override { return ""; }
  int parse(xercesc::DOMNode*, std::string&) override { return 0; }
  using ADPBaseNode::getAttributeValue;
  using ADPBaseNode::isSafeName;
  using ADPBaseNode::nameProblem;
  using ADPBaseNode::setAttributeValue;
};

TEST(BaseNode, OnlyPlainVariableNamesAreSafe) {
  testutil::Documents platform;
  ProbeNode node;
  node.utf8 = true;
  for (const char* name : {"age", "#tmp", "x.y", "a_b$c@d", "Stra\303\237e",
                           "\xe5\x90\x8d\xe5\x89\x8d", "\xf0\x9d\x90\x80x"}) {
    EXPECT_TRUE(node.isSafeName(name)) << name;
  }
  for (const char* name : {"", "1abc", ".x", "x.", "a b", "a'b", "a\"b", "a\nb", "a-b", "a(b)",
                           "a*b", "a/b", "a\302\240b", "a\342\200\250b", "bad\xff", "a;b"}) {
    EXPECT_FALSE(node.isSafeName(name)) << name;
  }
}

TEST(BaseNode, RefusesNamesTheLanguageReadsAsSomethingElse) {
  testutil::Documents platform;
  ProbeNode node;
  node.utf8 = true;
  const std::string reserved = "Reserved word.";
  const std::string first = "Name cannot begin with this character.";
  const std::string tooLong = "Name longer than 64 bytes.";
  const auto repeat = [](const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
  };
  std::vector<std::pair<std::string, std::string>> cases = {
      {"$x", "System variable."},
      {"$SYSMIS", "System variable."},
      {std::string(64, 'a'), ""},
      {std::string(65, 'a'), tooLong},
      {"#" + std::string(64, 'a'), tooLong},
      // Bytes as written: 32 two-byte letters fit, 33 do not.
      {repeat("\303\251", 32), ""},
      {repeat("\303\251", 33), tooLong},
      // A scratch variable, and words that only contain or extend a keyword.
      {"#scratch", ""},
      {"#ALL", ""},
      {"ALLx", ""},
      {"to_1", ""},
      {"x\331\243", ""},  // a digit of another script after the first character
      {"@x", ""},
      {"_x", first},
      {"\331\243x", first},          // ARABIC-INDIC DIGIT THREE
      {"\340\245\251x", first},      // DEVANAGARI DIGIT THREE
      {"\357\274\220x", first},      // FULLWIDTH DIGIT ZERO
      {"\360\235\237\216x", first},  // MATHEMATICAL BOLD DIGIT ZERO
      {"\314\201x", first},          // COMBINING ACUTE ACCENT
      {"1abc", "Not a valid variable name."},
  };
  for (const char* word :
       {"ALL", "AND", "BY", "EQ", "GE", "GT", "LE", "LT", "NE", "NOT", "OR", "TO", "WITH"}) {
    std::string lower = word;
    for (char& c : lower) c = static_cast<char>(c - 'A' + 'a');
    cases.push_back({word, reserved});
    cases.push_back({lower, reserved});
  }
  cases.push_back({"wItH", reserved});
  for (const auto& c : cases) {
    EXPECT_EQ(node.nameProblem(c.first), c.second) << c.first;
  }
}

TEST(BaseNode, ReadsAttributeValuesAsTheDocumentHoldsThem) {
  testutil::Documents documents;
  const std::string longName(40, 'n');
  xercesc::DOMElement* element = documents.element(
      "<e plain='v1' empty='' refs='a&amp;b&#xE9;&lt;' wide='\xE5\x90\x8D' "
      "n\xC3\xA9='accented' " +
      longName + "='long'/>");
  // A value the DOM holds as several texts, as a program can build it.
  xercesc::DOMDocument* document = element->getOwnerDocument();
  xercesc::DOMAttr* pieces = document->createAttribute(u"pieces");
  pieces->appendChild(document->createTextNode(u"ab"));
  pieces->appendChild(document->createTextNode(u"cd"));
  element->setAttributeNode(pieces);

  ProbeNode node;
  node.utf8 = true;
  node.setAttributeValue(element, "set", "x\xC3\xA9");
  node.setAttributeValue(element, "plain", "v2");
  const struct {
    std::string name, value;
  } cases[] = {
      {"plain", "v2"},          {"empty", ""},
      {"missing", ""},          {"refs", "a&b\xC3\xA9<"},
      {"wide", "\xE5\x90\x8D"}, {"n\xC3\xA9", "accented"},
      {longName, "long"},       {"set", "x\xC3\xA9"},
      {"pieces", "abcd"},       {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(node.getAttributeValue(element, c.name), c.value) << c.name;
  }
  EXPECT_EQ(node.getAttributeValue(nullptr, "plain"), "");
  EXPECT_EQ(node.getAttributeValue(element->getOwnerDocument(), "plain"), "");

  testutil::ScopedLocale c("C");
  ProbeNode local;
  local.utf8 = false;
  EXPECT_EQ(local.getAttributeValue(element, "plain"), "v2");
  EXPECT_EQ(local.getAttributeValue(element, "refs"), "a&b?<");
  EXPECT_EQ(local.getAttributeValue(element, "pieces"), "abcd");
}

}  // namespace
