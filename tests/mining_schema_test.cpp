// Mining schema reconciliation: tracing derived inputs to raw fields and
// naming those in the schema; comparing same-named variables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/test_util.h"

namespace {

using testutil::outline;
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

class MiningSchemaTest : public ::testing::Test {
 protected:
  testutil::Merger merger_;
  testutil::Documents docs_;
  DOMElement* dictionary_ = docs_.element(kDictionary);
};

TEST_F(MiningSchemaTest, OriginalVarsTraceChainsAndCyclesToEveryRawField) {
  const struct {
    const char* name;
    Names in, out;
  } cases[] = {
      {"raw names stay", {"income", "age"}, {"income", "age"}},
      {"chain of three, names in other case", {"C"}, {"age", "income"}},
      {"shared raw field once", {"band", "scaled", "ratio"}, {"income", "Income", "debt"}},
      {"cycle ends with its raw fields", {"loop1"}, {"x", "y"}},
      {"self reference ends", {"loop2"}, {"y", "x"}},
      {"a name holding a slash", {"a/b"}, {"slashed"}},
      {"a function is not a field", {"f"}, {"f"}},
      {"an empty field names nothing", {"mapped"}, {"code"}},
      {"one-hot, lag and aggregate inputs", {"onehot"}, {"colour", "sales", "amount"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Names names = c.in;
    EXPECT_TRUE(merger_.getOriginalVars(dictionary_, names));
    EXPECT_EQ(names, c.out);
  }
}

TEST_F(MiningSchemaTest, AddMiningFieldsAddsMissingRawFieldsAndStopsAtTheTarget) {
  DOMElement* schema = docs_.element(
      "<MiningSchema><MiningField name=\"Age\" usageType=\"supplementary\"/>"
      "<MiningField name=\"risk\" usageType=\"predicted\"/></MiningSchema>");
  std::string error = "old";
  Names names{"age", "income"};
  EXPECT_TRUE(merger_.addMiningFields(schema, names, error));
  EXPECT_EQ(error, "old");
  names = {"zip", "RISK", "later"};
  EXPECT_FALSE(merger_.addMiningFields(schema, names, error));
  EXPECT_EQ(error, "RISK");
  // What came before the target stays; nothing after it is added.
  EXPECT_EQ(outline(schema),
            "MiningSchema(MiningField:Age MiningField:risk MiningField:income MiningField:zip)");
  // An added raw field takes every value as it is, as the transformation does;
  // a field already there keeps its own treatment.
  xercesc::DOMNodeList* fields = schema->getElementsByTagName(u"MiningField");
  EXPECT_EQ(testutil::attribute(static_cast<DOMElement*>(fields->item(0)), "invalidValueTreatment"),
            "");
  EXPECT_EQ(testutil::attribute(static_cast<DOMElement*>(fields->item(2)), "invalidValueTreatment"),
            "asIs");
}

TEST_F(MiningSchemaTest, DerivedInputsMoveIntoTheContainerAndAddTheirRawFields) {
  const struct {
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
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DOMElement* schema = docs_.element(c.schema);
    std::string error;
    EXPECT_EQ(merger_.dealMiningSchema(schema, dictionary_, error), c.ok);
    EXPECT_EQ(outline(schema), c.outline);
    EXPECT_EQ(error, c.error);
  }
  std::string error;  // a schema or dictionary that is not there is no error
  EXPECT_TRUE(merger_.dealMiningSchema(nullptr, dictionary_, error));
  EXPECT_TRUE(merger_.dealMiningSchema(docs_.element("<MiningSchema/>"), nullptr, error));
}

}  // namespace
