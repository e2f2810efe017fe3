// Tracing derived inputs to raw fields once per field: every list equals the
// one getRelativeVars then getOriginalVars give, whatever the tracer reused.
#include "merge/raw_field_tracing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/test_util.h"

namespace {

using xercesc::DOMElement;
using Names = std::vector<std::string>;

// A dictionary of derived fields, each given as its name and the fields it
// reads, in order.
std::string dictionary(const std::vector<Names>& fields) {
  std::string xml = "<TransformationDictionary>";
  for (const Names& field : fields) {
    xml += "<DerivedField name=\"" + field[0] + "\"><Apply function=\"+\">";
    for (std::size_t i = 1; i < field.size(); ++i) xml += "<FieldRef field=\"" + field[i] + "\"/>";
    xml += "</Apply></DerivedField>";
  }
  return xml + "</TransformationDictionary>";
}

pmmlxform::RawFieldTracer tracerOver(testutil::Merger& merger, DOMElement* dict) {
  return pmmlxform::RawFieldTracer(
      [&merger](DOMElement* element) {
        Names names;
        merger.getRelativeVars(element, names);
        return names;
      },
      [&merger, dict](const std::string& name) {
        return merger.findVariable(dict, "DerivedField", name);
      });
}

Names walked(testutil::Merger& merger, DOMElement* dict, DOMElement* derived) {
  Names names;
  merger.getRelativeVars(derived, names);
  merger.getOriginalVars(dict, names);
  return names;
}

TEST(RawFieldTracingTest, ListsTheRawFieldsAsTheFieldByFieldWalkDoes) {
  const struct {
    const char* name;
    std::vector<Names> fields;
    // Traced in this order with one tracer; the list of each.
    std::vector<std::pair<std::string, Names>> traced;
  } cases[] = {
      {"a chain, a raw field beside a link",
       {{"d0", "raw"}, {"d1", "d0"}, {"d2", "D1", "raw"}, {"d3", "d2", "other"}},
       {{"d3", {"other", "raw"}}, {"d1", {"raw"}}, {"d2", {"raw"}}}},
      {"breadth first, not depth first",
       {{"top", "a", "b"}, {"a", "x", "a2"}, {"a2", "y"}, {"b", "z"}},
       {{"a", {"x", "y"}}, {"top", {"x", "z", "y"}}}},
      {"a branch that rejoins",
       {{"top", "a", "b"}, {"a", "x", "join"}, {"b", "join", "y"}, {"join", "z", "a"}},
       {{"top", {"x", "y", "z"}}, {"b", {"y", "z", "x"}}, {"join", {"z", "x"}}}},
      {"one field reached by two inputs",
       {{"shared", "p", "q"}, {"left", "shared"}, {"right", "q", "shared"}},
       {{"left", {"p", "q"}}, {"right", {"q", "p"}}, {"shared", {"p", "q"}}}},
      {"a self reference",
       {{"self", "self", "s"}, {"user", "self"}},
       {{"user", {"s"}}, {"self", {"s"}}}},
      {"a cycle through the traced field",
       {{"loop1", "loop2", "x"}, {"loop2", "loop1", "y", "loop2"}, {"entry", "loop2"}},
       {{"entry", {"y", "x"}}, {"loop1", {"x", "y"}}, {"loop2", {"y", "x"}}}},
      {"a cycle met as the only pending field",
       {{"t", "u"}, {"u", "t", "w"}},
       {{"t", {"w"}}, {"u", {"w"}}}},
  };
  testutil::Merger merger;
  testutil::Documents docs;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DOMElement* dict = docs.element(dictionary(c.fields));
    pmmlxform::RawFieldTracer tracer = tracerOver(merger, dict);
    for (const auto& [field, expected] : c.traced) {
      SCOPED_TRACE(field);
      DOMElement* derived = merger.findVariable(dict, "DerivedField", field);
      ASSERT_NE(derived, nullptr);
      EXPECT_EQ(walked(merger, dict, derived), expected);
      EXPECT_EQ(tracer.rawFieldsOf(derived), expected);
    }
  }
}

// Random graphs of a few fields (cycles, repeated and differently cased
// references, fields read by several others), each field traced in a random
// order with one tracer.
TEST(RawFieldTracingTest, RandomGraphsListAsTheWalkDoes) {
  std::mt19937 random(20261207);
  auto below = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  testutil::Merger merger;
  testutil::Documents docs;
  for (int graph = 0; graph < 400; ++graph) {
    SCOPED_TRACE(graph);
    const int count = 1 + below(8);
    std::vector<Names> fields;
    for (int f = 0; f < count; ++f) {
      Names field{"f" + std::to_string(f)};
      for (int r = below(5); r > 0; --r) {
        field.push_back(below(3) == 0 ? "r" + std::to_string(below(4))
                                      : (below(4) == 0 ? "F" : "f") + std::to_string(below(count)));
      }
      fields.push_back(field);
    }
    DOMElement* dict = docs.element(dictionary(fields));
    pmmlxform::RawFieldTracer tracer = tracerOver(merger, dict);
    std::vector<int> order(static_cast<std::size_t>(count));
    for (int f = 0; f < count; ++f) order[static_cast<std::size_t>(f)] = f;
    std::shuffle(order.begin(), order.end(), random);
    for (const int f : order) {
      DOMElement* derived = merger.findVariable(dict, "DerivedField", "f" + std::to_string(f));
      ASSERT_NE(derived, nullptr);
      EXPECT_EQ(tracer.rawFieldsOf(derived), walked(merger, dict, derived)) << dictionary(fields);
    }
  }
}

}  // namespace
