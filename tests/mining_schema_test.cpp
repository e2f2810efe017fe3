// Mining schema reconciliation: tracing derived inputs to raw fields and
// naming those in the schema; comparing same-named variables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/merge_test_util.h"

namespace {

using mergetest::attribute;
using mergetest::Documents;
using mergetest::Merger;
using mergetest::outline;
using xercesc::DOMElement;
using Names = std::vector<std::string>;

// A transformation dictionary for the chains below: c <- b <- a <- income,
// two fields over income, one over two raw fields, a self-referring pair.
constexpr char kDictionary[] =
    "<TransformationDictionary>"
    "<DefineFunction name=\"f\"><FieldRef field=\"p\"/></DefineFunction>"
    "<DerivedField name=\"band\"><Discretize field=\"income\"/></DerivedField>"
    "<DerivedField name=\"scaled\"><NormContinuous field=\"Income\"/></DerivedField>"
    "<DerivedField name=\"ratio\"><Apply function=\"/\"><FieldRef field=\"debt\"/>"
    "<Apply function=\"+\"><FieldRef field=\"income\"/><Constant>1</Constant></Apply>"
    "</Apply></DerivedField>"
    "<DerivedField name=\"a\"><FieldRef field=\"income\"/></DerivedField>"
    "<DerivedField name=\"b\"><FieldRef field=\"A\"/></DerivedField>"
    "<DerivedField name=\"c\"><Apply><FieldRef field=\"b\"/><FieldRef field=\"age\"/></Apply>"
    "</DerivedField>"
    "<DerivedField name=\"loop1\"><Apply><FieldRef field=\"loop2\"/><FieldRef field=\"x\"/>"
    "</Apply></DerivedField>"
    "<DerivedField name=\"loop2\"><Apply><FieldRef field=\"loop1\"/><FieldRef field=\"y\"/>"
    "<FieldRef field=\"loop2\"/></Apply></DerivedField>"
    "<DerivedField name=\"a/b\"><FieldRef field=\"slashed\"/></DerivedField>"
    "<DerivedField name=\"mapped\"><MapValues><FieldColumnPair field=\"code\" column=\"c\"/>"
    "<FieldColumnPair field=\"\" column=\"d\"/></MapValues></DerivedField>"
    "<DerivedField name=\"onehot\"><Apply function=\"+\"><NormDiscrete field=\"colour\" "
    "value=\"red\"/><Lag field=\"sales\"/><Aggregate field=\"amount\" function=\"sum\"/>"
    "</Apply></DerivedField>"
    "</TransformationDictionary>";

TEST(GetRelativeVars, FieldReferencesInDocumentOrderOnce) {
  Merger merger;
  Documents docs;
  DOMElement* dictionary = docs.element(kDictionary);
  struct Case {
    const char* field;
    Names names;
  } cases[] = {
      {"ratio", {"debt", "income"}},
      {"band", {"income"}},
      {"mapped", {"code"}},  // an empty "field" names nothing
      {"onehot", {"colour", "sales", "amount"}},
      {"loop2", {"loop1", "y", "loop2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    Names names;
    EXPECT_TRUE(
        merger.getRelativeVars(merger.findVariable(dictionary, "DerivedField", c.field), names));
    EXPECT_EQ(names, c.names);
  }
  // Appends to the list, skipping names already in it (exactly, case included).
  Names names{"income", "Debt"};
  merger.getRelativeVars(merger.findVariable(dictionary, "DerivedField", "ratio"), names);
  EXPECT_EQ(names, (Names{"income", "Debt", "debt"}));
}

TEST(GetOriginalVars, TracesChainsAndCyclesToEveryRawField) {
  Merger merger;
  Documents docs;
  DOMElement* dictionary = docs.element(kDictionary);
  struct Case {
    const char* name;
    Names in;
    Names out;
  } cases[] = {
      {"raw names stay", {"income", "age"}, {"income", "age"}},
      {"one step", {"band"}, {"income"}},
      {"chain of three, names in other case", {"C"}, {"age", "income"}},
      {"shared raw field once", {"band", "scaled", "ratio"}, {"income", "Income", "debt"}},
      {"cycle ends with its raw fields", {"loop1"}, {"x", "y"}},
      {"self reference ends", {"loop2"}, {"y", "x"}},
      {"a name holding a slash", {"a/b"}, {"slashed"}},
      {"a function is not a field", {"f"}, {"f"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Names names = c.in;
    EXPECT_TRUE(merger.getOriginalVars(dictionary, names));
    EXPECT_EQ(names, c.out);
  }
}

TEST(AddMiningFields, AddsMissingRawFieldsAndStopsAtTheTarget) {
  Merger merger;
  Documents docs;
  DOMElement* schema = docs.element(
      "<MiningSchema><MiningField name=\"Age\" usageType=\"supplementary\"/>"
      "<MiningField name=\"risk\" usageType=\"predicted\"/></MiningSchema>");
  std::string error = "old";
  Names names{"age", "income", "debt"};
  EXPECT_TRUE(merger.addMiningFields(schema, names, error));
  EXPECT_EQ(error, "old");
  EXPECT_EQ(outline(schema),
            "MiningSchema(MiningField:Age MiningField:risk MiningField:income MiningField:debt)");
  auto* added = static_cast<DOMElement*>(schema->getLastChild());
  EXPECT_EQ(added->getAttributes()->getLength(), 1u);  // no usageType: active

  names = {"zip", "RISK", "later"};
  EXPECT_FALSE(merger.addMiningFields(schema, names, error));
  EXPECT_EQ(error, "RISK");
  // What came before the target stays; nothing after it is added.
  EXPECT_EQ(outline(schema),
            "MiningSchema(MiningField:Age MiningField:risk MiningField:income "
            "MiningField:debt MiningField:zip)");
}

TEST(DealMiningSchema, MovesDerivedInputsIntoTheContainerAndAddsTheirRawFields) {
  struct Case {
    const char* name;
    const char* schema;
    bool ok;
    const char* outline;
    const char* error;
  } cases[] = {
      {"one derived input",
       "<MiningSchema><MiningField name=\"band\"/><MiningField name=\"risk\" "
       "usageType=\"predicted\"/></MiningSchema>",
       true,
       "MiningSchema(Extension:DerivedFields(MiningField:band) MiningField:risk "
       "MiningField:income)",
       ""},
      {"two inputs over one raw field, one already an input",
       "<MiningSchema><MiningField name=\"BAND\"/><MiningField name=\"debt\"/>"
       "<MiningField name=\"ratio\"/></MiningSchema>",
       true,
       "MiningSchema(Extension:DerivedFields(MiningField:BAND MiningField:ratio) "
       "MiningField:debt MiningField:income)",
       ""},
      {"chain of three", "<MiningSchema><MiningField name=\"c\"/></MiningSchema>", true,
       "MiningSchema(Extension:DerivedFields(MiningField:c) MiningField:age MiningField:income)",
       ""},
      {"derived target adds no raw fields",
       "<MiningSchema><MiningField name=\"x\"/><MiningField name=\"a\" usageType=\"predicted\"/>"
       "</MiningSchema>",
       true, "MiningSchema(Extension:DerivedFields(MiningField:a) MiningField:x)", ""},
      {"raw target behind a derived input",
       "<MiningSchema><MiningField name=\"band\"/><MiningField name=\"Income\" "
       "usageType=\"predicted\"/><MiningField name=\"ratio\"/></MiningSchema>",
       false,
       "MiningSchema(Extension:DerivedFields(MiningField:band) MiningField:Income "
       "MiningField:ratio)",
       "income"},
      {"the later name of the target usage",
       "<MiningSchema><MiningField name=\"a\"/><MiningField name=\"income\" "
       "usageType=\"target\"/></MiningSchema>",
       false, "MiningSchema(Extension:DerivedFields(MiningField:a) MiningField:income)", "income"},
      {"no derived input", "<MiningSchema><MiningField name=\"x\"/></MiningSchema>", true,
       "MiningSchema(MiningField:x)", ""},
  };
  Merger merger;
  Documents docs;
  DOMElement* dictionary = docs.element(kDictionary);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DOMElement* schema = docs.element(c.schema);
    std::string error;
    EXPECT_EQ(merger.dealMiningSchema(schema, dictionary, error), c.ok);
    EXPECT_EQ(outline(schema), c.outline);
    EXPECT_EQ(error, c.error);
    auto* first = static_cast<DOMElement*>(schema->getFirstChild());
    if (attribute(first, "name") == "DerivedFields") {
      EXPECT_EQ(attribute(first, "extender"), "pmmlxform");
    }
  }
  std::string error;
  EXPECT_TRUE(merger.dealMiningSchema(nullptr, dictionary, error));
  EXPECT_TRUE(merger.dealMiningSchema(docs.element("<MiningSchema/>"), nullptr, error));
}

TEST(CompareVars, AcceptsSameNamedVariablesOfEitherKind) {
  struct Case {
    const char* existing;
    const char* incoming;
    bool result;
    const char* message;
  } cases[] = {
      {"<DataField name=\"x\" dataType=\"double\"/>",
       "<DerivedField name=\"X\" dataType=\"string\" optype=\"categorical\"/>", true, "x"},
      {"<DerivedField name=\"x\"/>", "<DerivedField name=\"x\"/>", true, "x"},
      {"<DataField name=\"x\"/>", "<DefineFunction name=\"x\"/>", false, "before"},
      {"<DefineFunction name=\"x\"/>", "<DataField name=\"x\"/>", false, "before"},
      {"<DataField name=\"x\"/>", "<DataField name=\"y\"/>", false, ""},
  };
  Merger merger;
  Documents docs;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.existing) + c.incoming);
    std::string message = "before";
    EXPECT_EQ(merger.compareVars(docs.element(c.existing), docs.element(c.incoming), message),
              c.result);
    EXPECT_EQ(message, c.message);
  }
}

}  // namespace
