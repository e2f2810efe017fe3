// The field reference index against a search of the fields, on random
// containers of derived fields.
#include "syntax/field_reference_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "tests/random_documents.h"
#include "tests/test_util.h"

namespace {

using testutil::Random;

// One to three references (some nested in another, which the index skips,
// or inside an Apply), or now and then none.
std::string references(Random& r) {
  return r.times(r.below(4), [&] {
    const std::string kind =
        r.pick({"FieldRef", "Discretize", "FieldColumnPair", "NormContinuous"});
    const std::string reference = "<" + kind + " field='" + r.name() + "'>" +
                                  (r.chance(20) ? "<FieldRef field='" + r.name() + "'/>" : "") +
                                  "</" + kind + ">";
    return r.chance(40) ? "<Apply function='+'>" + reference + "</Apply>" : reference;
  });
}

// The elements below `node` that refer to `name`, not below another reference.
void referring(xercesc::DOMNode* node, const std::u16string& name,
               std::vector<xercesc::DOMElement*>& found) {
  static const std::vector<std::u16string> kinds = {u"FieldRef", u"Discretize", u"FieldColumnPair",
                                                    u"NormContinuous"};
  for (auto* c = node->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
    if (c->getNodeType() != xercesc::DOMNode::ELEMENT_NODE) continue;
    auto* e = static_cast<xercesc::DOMElement*>(c);
    if (std::find(kinds.begin(), kinds.end(), e->getNodeName()) == kinds.end()) {
      referring(c, name, found);
    } else if (name == e->getAttribute(u"field")) {
      found.push_back(e);
    }
  }
}

// A dictionary of one to `most` derived fields with random references (with
// `functions`, now and then a function before a field); its text and fields.
struct Dictionary {
  std::string text;
  xercesc::DOMElement* container = nullptr;
  std::vector<xercesc::DOMNode*> fields;
};
Dictionary randomDictionary(Random& r, testutil::Documents& documents, int most, bool functions) {
  Dictionary d;
  d.text = "<TransformationDictionary>" + r.times(1 + r.below(most), [&] {
    return std::string(functions && r.chance(10) ? "<DefineFunction name='f'/>" : "") +
           "<DerivedField name='" + r.name() + "'>" + references(r) + "</DerivedField>";
  }) + "</TransformationDictionary>";
  d.container = documents.element(d.text);
  for (auto* c = d.container->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
    if (testutil::utf8(c->getNodeName()) == "DerivedField") d.fields.push_back(c);
  }
  return d;
}

// The position of the first field after `after` that refers to `name`, found
// by a search (the number of fields when none), with its references in `found`.
std::size_t searchAfter(const std::vector<xercesc::DOMNode*>& fields, const std::u16string& name,
                        std::size_t after, std::vector<xercesc::DOMElement*>& found) {
  std::size_t next = after + 1;
  for (; next < fields.size(); ++next) {
    referring(fields[next], name, found);
    if (!found.empty()) break;
  }
  return next;
}

TEST(FieldReferenceIndex, FindsWhatASearchOfTheFieldsFinds) {
  Random r(20261206);
  testutil::Documents documents;
  for (int i = 0; i < 200; ++i) {
    const auto [doc, container, fields] = randomDictionary(r, documents, 20, true);
    FieldReferenceIndex index(container);
    for (int step = 0; step < 20; ++step) {
      const std::string name8 = r.name();
      const std::u16string name(name8.begin(), name8.end());
      const std::size_t after = static_cast<std::size_t>(r.below(static_cast<int>(fields.size())));
      ASSERT_EQ(index.position(fields[after]), after);
      std::vector<xercesc::DOMElement*> found;
      const std::size_t expected = searchAfter(fields, name, after, found);
      std::size_t at = 0;
      xercesc::DOMNode* next = index.nextReferring(name, after, at);
      ASSERT_EQ(next, expected < fields.size() ? fields[expected] : nullptr) << doc << name8;
      if (next == nullptr) continue;
      ASSERT_EQ(at, expected);
      // Renamed references are found under the new name only, as the search
      // would find them.
      const std::u16string renamed = u"#" + name;
      std::vector<xercesc::DOMElement*> before, renamedFound;
      referring(fields[at], renamed, before);
      index.rename(name, at, renamed);
      referring(fields[at], renamed, renamedFound);
      ASSERT_EQ(renamedFound.size(), before.size() + found.size());
    }
  }
}

TEST(FieldReferenceIndex, FollowsReferencesRenamedOneByOne) {
  Random r(20261207);
  testutil::Documents documents;
  for (int i = 0; i < 200; ++i) {
    const auto [doc, container, fields] = randomDictionary(r, documents, 12, false);
    FieldReferenceIndex index(container);
    for (int step = 0; step < 20; ++step) {
      // Now and then a whole field's references to a name move to "#name".
      const std::string name8 = r.name();
      const std::u16string name(name8.begin(), name8.end());
      const std::size_t field = static_cast<std::size_t>(r.below(static_cast<int>(fields.size())));
      std::vector<xercesc::DOMElement*> held;
      referring(fields[field], name, held);
      if (r.chance(30)) {
        index.rename(name, field, u"#" + name);
      } else if (!held.empty()) {
        xercesc::DOMElement* reference =
            held[static_cast<std::size_t>(r.below(static_cast<int>(held.size())))];
        const std::string to8 = r.name();
        reference->setAttribute(u"field", std::u16string(to8.begin(), to8.end()).c_str());
        index.renamed(reference, name);
      }
      // Every name is then found where a search of the fields finds it.
      for (const std::string& probe8 : {r.name(), "#" + r.name()}) {
        const std::u16string probe(probe8.begin(), probe8.end());
        std::size_t after = 0, at = 0;
        for (;;) {
          std::vector<xercesc::DOMElement*> found;
          const std::size_t expected = searchAfter(fields, probe, after, found);
          xercesc::DOMNode* next = index.nextReferring(probe, after, at);
          ASSERT_EQ(next, expected < fields.size() ? fields[expected] : nullptr) << doc << probe8;
          if (next == nullptr) break;
          after = at;
        }
      }
    }
  }
}

// Elements of any kind, some with a `field` attribute (empty now and then),
// nested up to `depth` levels.
std::string namingTree(Random& r, int depth) {
  return r.times(r.below(3), [&] {
    const std::string kind = r.pick({"FieldRef", "Apply", "Discretize", "Constant", "MapValues"});
    std::string attributes;
    if (r.chance(50)) attributes = " field='" + (r.chance(15) ? std::string() : r.name()) + "'";
    const std::string inner = depth > 0 ? namingTree(r, depth - 1) : std::string();
    return "<" + kind + attributes + ">" + inner + (r.chance(20) ? "text" : "") + "</" + kind + ">";
  });
}

// The elements from `node` down with a non-empty `field`, not below another.
void naming(xercesc::DOMNode* node, std::vector<xercesc::DOMElement*>& found) {
  auto* e = static_cast<xercesc::DOMElement*>(node);
  if (*e->getAttribute(u"field") != 0) {
    found.push_back(e);
    return;
  }
  for (auto* c = node->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
    if (c->getNodeType() == xercesc::DOMNode::ELEMENT_NODE) naming(c, found);
  }
}

TEST(FieldReferenceIndex, ListsTheElementsThatNameAFieldInDocumentOrder) {
  Random r(20261208);
  testutil::Documents documents;
  for (int i = 0; i < 300; ++i) {
    const std::string doc = "<TransformationDictionary>" + r.times(r.below(8), [&] {
      const std::string kind = r.pick({"DerivedField", "DerivedField", "DefineFunction"});
      const std::string field = r.chance(10) ? " field='" + r.name() + "'" : "";
      return "<" + kind + " name='" + r.name() + "'" + field + ">" + namingTree(r, 3) +
             references(r) + "</" + kind + ">" + (r.chance(10) ? " " : "");
    }) + "</TransformationDictionary>";
    xercesc::DOMElement* container = documents.element(doc);
    std::vector<xercesc::DOMElement*> expected;
    for (auto* c = container->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
      if (c->getNodeType() == xercesc::DOMNode::ELEMENT_NODE) naming(c, expected);
    }
    const FieldReferenceIndex index(container);
    ASSERT_EQ(index.namingElements(), expected) << doc;
  }
}

}  // namespace
