// A model part copied with its mining schema's fields held aside (as copies or
// as text), then placed directly, ends as the part copied whole and rewritten
// by dealMiningSchema.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "merge/raw_field_tracing.h"
#include "merge/schema_placement.h"
#include "tests/random_documents.h"
#include "tests/test_util.h"
#include "trans/call_context.h"
#include "xml/dom.h"

namespace {

using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;

class SchemaMerger : public testutil::Merger {
 public:
  using ConvertTrans::transcode;
};

// A dictionary whose derived fields read names of the same pool as the
// schema's fields, with a function and an extension that findElement finds
// but the tracing does not.
std::string randomDictionary(testutil::Random& random) {
  std::string xml = "<TransformationDictionary>";
  if (random.chance(30)) xml += "<Extension name=\"" + random.name() + "\"/>";
  if (random.chance(30)) {
    xml += "<DefineFunction name=\"" + random.name() + "\"><FieldRef field=\"" + random.name() +
           "\"/></DefineFunction>";
  }
  for (const std::string& name : testutil::kNames) {
    if (!random.chance(35)) continue;
    xml += "<DerivedField name=\"" + name + "\"><Apply>" + random.times(1 + random.below(3), [&] {
      return "<FieldRef field=\"" + random.name() + "\"/>";
    }) + "</Apply></DerivedField>";
  }
  return xml + "</TransformationDictionary>";
}

// A model part with its schema directly inside, or deeper; text and elements
// around it.
std::string randomPart(testutil::Random& random) {
  const testutil::Texts usages = {"", "", "predicted", "target", "active", "supplementary"};
  std::string schema = "<MiningSchema>" + random.times(1 + random.below(6), [&] {
    if (random.chance(10)) return "<Extension name=\"" + random.name() + "\"/>";
    if (random.chance(5)) return std::string(" text ");
    const std::string usage = random.pick(usages);
    // Fields with layout inside are held as text, those with content are not.
    const testutil::Texts contents = {"", "", "", "\n ", "<Extension/>", "x"};
    const std::string content = random.pick(contents);
    return "<MiningField name=\"" + random.name() + "\"" +
           (usage.empty() ? "" : " usageType=\"" + usage + "\"") +
           (random.chance(20) ? " optype=\"continuous\"" : "") +
           (content.empty() ? "/>" : ">" + content + "</MiningField>");
  }) + "</MiningSchema>";
  if (random.chance(30)) schema = "<Models> note <Model>" + schema + "</Model></Models>";
  return "<RegressionModel functionName=\"regression\">\n<Output/>\n" + schema +
         " tail <RegressionTable intercept=\"1\"/><!-- c --></RegressionModel>";
}

DOMElement* firstSchema(DOMNode* node) {
  const auto* element = static_cast<DOMElement*>(node);
  return static_cast<DOMElement*>(element->getElementsByTagName(u"MiningSchema")->item(0));
}

TEST(MiningSchemaPlacementTest, PlacedFieldsEndAsTheRewrittenCopy) {
  testutil::Documents docs;
  xercesc::DOMImplementation* impl =
      xercesc::DOMImplementationRegistry::getDOMImplementation(u"Core");
  testutil::Random random(21);
  int placed = 0;
  constexpr int kRuns = 400;
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE(run);
    SchemaMerger merger;
    pmmlxform::CallContext context(&merger);
    DOMElement* dictionary = docs.element(randomDictionary(random));
    DOMElement* part = docs.element(randomPart(random));
    context.indexes.index(dictionary, true);

    // The whole copy, rewritten.
    pmmlxform::OwnedDocument whole(impl->createDocument());
    DOMElement* wholeCopy = merger.importElement(whole.get(), part);
    whole->appendChild(wholeCopy);
    DOMElement* wholeSchema = firstSchema(wholeCopy);
    context.indexes.index(wholeSchema, false);
    std::string wholeError;
    const bool wholeOk = merger.dealMiningSchema(wholeSchema, dictionary, wholeError);

    // The copy with the fields held, placed, or appended and rewritten.
    pmmlxform::OwnedDocument held(impl->createDocument());
    DOMElement* schema = nullptr;
    pmmlxform::HeldFields heldFields;
    DOMElement* heldCopy = pmmlxform::importHoldingSchema(
        held.get(), part, firstSchema(part),
        [&](DOMElement* element) { return merger.importElement(held.get(), element); }, schema,
        heldFields);
    const std::vector<DOMNode*> fields = heldFields.make(held.get());
    held->appendChild(heldCopy);
    ASSERT_EQ(schema, firstSchema(heldCopy));
    pmmlxform::RawFieldTracer tracer(
        [&](DOMElement* element) {
          std::vector<std::string> names;
          merger.getRelativeVars(element, names);
          return names;
        },
        [&](const std::string& name) {
          return merger.findVariable(dictionary, "DerivedField", name);
        });
    const pmmlxform::SchemaRewriting rewriting{
        [&](const XMLCh* name) { return context.indexes.index(dictionary, true).find(name); },
        [&](DOMElement* derived) { return tracer.rawFieldsOf(derived); },
        [&](const XMLCh* text) { return merger.transcode(text); },
        [&](std::vector<std::string>& names, std::string& error) {
          return merger.addMiningFields(schema, names, error);
        }};
    std::string heldError;
    bool heldOk = true;
    if (pmmlxform::placeHeldSchema(schema, fields, context.indexes, rewriting)) {
      ++placed;
    } else {
      for (DOMNode* field : fields) schema->appendChild(field);
      context.indexes.index(schema, false);
      heldOk = merger.dealMiningSchema(schema, dictionary, heldError);
    }

    EXPECT_EQ(testutil::xmlText(heldCopy), testutil::xmlText(wholeCopy));
    EXPECT_EQ(heldOk, wholeOk);
    EXPECT_EQ(heldError, wholeError);
  }
  // Both ways are taken often.
  EXPECT_GT(placed, kRuns / 4);
  EXPECT_GT(kRuns - placed, kRuns / 10);
}

}  // namespace
