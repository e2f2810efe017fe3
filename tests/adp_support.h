#ifndef PMMLXFORM_TESTS_ADP_SUPPORT_H_
#define PMMLXFORM_TESTS_ADP_SUPPORT_H_

// Helpers of the syntax job's tests: PMML fragments, one node parsed from a
// fragment, and a whole document converted through ADP_Convert.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "pmmlxform/adp_convert.h"
#include "tests/test_util.h"

namespace adptest {

// A whole conversion through the public entry points.
struct Converted {
  int code = -1;
  std::string message, output;
  std::vector<std::string> noneFields;
};

inline Converted toSyntax(const std::string& xml, bool skipRoles = false, bool utf8 = true) {
  Converted c;
  std::istringstream in(xml);
  std::ostringstream out;
  c.code =
      ADP_Convert::convertPMMLtoSyntax(in, out, c.message, c.noneFields, skipRoles, utf8, false);
  c.output = out.str();
  return c;
}

inline Converted toBackSyntax(const std::string& xml, const std::string& target,
                              const std::string& source) {
  Converted c;
  std::istringstream in(xml);
  std::ostringstream out;
  c.code = ADP_Convert::convertPMMLtoBackSyntax(in, out, c.message, target, source, true, false);
  c.output = out.str();
  return c;
}

// Field roles as the data preparation writes them.
inline std::string role(const std::string& usage, const std::string& fieldClass = "") {
  std::string ext = "<Extension><UsageType value='" + usage + "'/>";
  if (!fieldClass.empty()) ext += "<ClassOfField value='" + fieldClass + "'/>";
  return ext + "</Extension>";
}

// A PMML document from the contents of its two dictionaries.
inline std::string pmml(const std::string& dataFields, const std::string& transformations) {
  return "<PMML version='4.2'><DataDictionary>" + dataFields +
         "</DataDictionary><TransformationDictionary>" + transformations +
         "</TransformationDictionary></PMML>";
}

inline std::string derived(
    const std::string& name, const std::string& content,
    const std::string& attributes = "optype='continuous' dataType='double'") {
  return "<DerivedField name='" + name + "' " + attributes + ">" + content + "</DerivedField>";
}
inline std::string var(const std::string& name) { return "<FieldRef field='" + name + "'/>"; }
inline std::string num(const std::string& v) {
  return "<Constant dataType='double'>" + v + "</Constant>";
}
inline std::string str(const std::string& v) {
  return "<Constant dataType='string'>" + v + "</Constant>";
}
inline std::string call(const std::string& function, const std::string& content) {
  return "<Apply function='" + function + "'>" + content + "</Apply>";
}
inline std::string row(const std::string& from, const std::string& to) {
  return "<row><from>" + from + "</from><to>" + to + "</to></row>";
}
inline std::string bin(const std::string& value, const std::string& interval) {
  return "<DiscretizeBin binValue='" + value + "'>" + interval + "</DiscretizeBin>";
}

// One parse: code 0 expects the text `pathOrText`, any other code that error
// path. `option` prepares the node, its meaning depending on the node kind.
struct Case {
  const char* name;
  std::string xml;
  int code;
  std::string pathOrText;
  std::string option = "";
};

// A node parsed from the document element of `fragment`, the path starting as "X".
template <typename Node>
struct Parsed {
  explicit Parsed(const std::string& fragment) {
    node.utf8 = true;
    code = node.parse(docs.element(fragment), path);
  }
  testutil::Documents docs;
  Node node;
  std::string path = "X";
  int code = -1;
};

template <typename Node, typename Prepare>
void check(const std::vector<Case>& cases, Prepare prepare) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testutil::Documents docs;
    Node node;
    prepare(node, c.option);
    node.utf8 = true;
    std::string path = "X";
    const int code = node.parse(docs.element(c.xml), path);
    EXPECT_EQ(code, c.code) << path;
    if (code != c.code) continue;
    if (code == 0) {
      EXPECT_EQ(path, "X");
      EXPECT_EQ(node.toSyntax(), c.pathOrText);
    } else {
      EXPECT_EQ(path, c.pathOrText);
    }
  }
}
template <typename Node>
void check(const std::vector<Case>& cases) {
  check<Node>(cases, [](Node&, const std::string&) {});
}

}  // namespace adptest

#endif  // PMMLXFORM_TESTS_ADP_SUPPORT_H_
