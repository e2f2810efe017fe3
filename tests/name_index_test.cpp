// The name index against scans of the children, on random parents.
#include "xml/name_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "tests/random_documents.h"
#include "tests/test_util.h"

namespace {

using testutil::Random;
using testutil::Texts;

std::u16string u16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// The first element child from `from` on whose name equals `name` ignoring case.
xercesc::DOMElement* scan(xercesc::DOMNode* from, const std::string& name) {
  for (; from != nullptr; from = from->getNextSibling()) {
    if (from->getNodeType() != xercesc::DOMNode::ELEMENT_NODE) continue;
    auto* e = static_cast<xercesc::DOMElement*>(from);
    const std::string own = testutil::utf8(e->getAttribute(u"name"));
    if (xercesc::XMLString::compareIString(own.c_str(), name.c_str()) == 0) return e;
  }
  return nullptr;
}

// Random children inserted and removed through the index, which must keep
// them in the order a scan for the insertion point gives and answer every
// lookup as a scan of the document's children.
TEST(NameIndex, AnswersAsScansOfTheChildren) {
  const Texts kinds = {"DataField",      "DerivedField", "Extension",
                       "DefineFunction", "Taxonomy",     "MiningField"};
  const auto rank = [](const std::string& kind) {
    return kind == "Extension" ? 0 : kind == "DefineFunction" ? 1 : kind == "Taxonomy" ? 3 : 2;
  };
  Random r(4242);
  testutil::Documents documents;
  for (int i = 0; i < 200; ++i) {
    // Ranked parents (dictionaries) start empty, as the merge makes them.
    const bool ranked = r.chance(50);
    xercesc::DOMElement* parent =
        documents.element("<p>" +
                          (ranked ? ""
                                  : r.times(r.below(10),
                                            [&] {
                                              return "<" + r.pick(kinds) + " name='" + r.name() +
                                                     "'/>" + (r.chance(20) ? " " : "");
                                            })) +
                          "</p>");
    std::vector<xercesc::DOMElement*> expected;
    for (auto* c = parent->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
      if (c->getNodeType() == xercesc::DOMNode::ELEMENT_NODE) {
        expected.push_back(static_cast<xercesc::DOMElement*>(c));
      }
    }
    pmmlxform::NameIndex index(parent, ranked);
    for (int step = 0; step < 40; ++step) {
      if (r.chance(60)) {
        const std::string kind = r.pick(kinds);
        xercesc::DOMElement* child = parent->getOwnerDocument()->createElement(u16(kind).c_str());
        child->setAttribute(u"name", u16(r.name()).c_str());
        auto at = expected.end();
        if (ranked) {
          at = std::find_if(expected.begin(), expected.end(), [&](xercesc::DOMElement* e) {
            return rank(testutil::utf8(e->getNodeName())) > rank(kind);
          });
        }
        expected.insert(at, child);
        index.insert(child);
      } else if (!expected.empty()) {
        const auto at = expected.begin() + r.below(static_cast<int>(expected.size()));
        index.remove(*at);
        expected.erase(at);
      }
      std::vector<xercesc::DOMElement*> children;
      for (auto* c = parent->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
        if (c->getNodeType() == xercesc::DOMNode::ELEMENT_NODE) {
          children.push_back(static_cast<xercesc::DOMElement*>(c));
        }
      }
      ASSERT_EQ(children, expected) << testutil::xmlText(parent);
      const std::string name = r.name();
      ASSERT_EQ(index.find(u16(name).c_str()), scan(parent->getFirstChild(), name)) << name;
      const std::string kind = r.pick(kinds);
      xercesc::DOMNode* from = parent->getFirstChild();
      while (from != nullptr && testutil::utf8(from->getNodeName()) != kind) {
        from = from->getNextSibling();
      }
      ASSERT_EQ(index.findFrom(u16(kind).c_str(), name), scan(from, name)) << kind << " " << name;
    }
  }
}

}  // namespace
