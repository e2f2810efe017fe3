// The transform's output written straight as the text of its stamped document.
#include "trans/result_writer.h"

#include <algorithm>
#include <xercesc/sax/AttributeList.hpp>
#include <xercesc/util/XMLString.hpp>

#include "xml/document_text.h"

namespace pmmlxform {

namespace {

using xercesc::XMLString;

// The declaration the serialiser writes for a parsed XML 1.0 document that
// does not say it stands alone.
constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>";

// Sets each stamped attribute: a new value in place, or a new attribute.
void stamp(ResultStamp::Attributes& attributes, const ResultStamp::Attributes& values) {
  for (const auto& [name, value] : values) {
    auto at = std::find_if(attributes.begin(), attributes.end(),
                           [&name = name](const auto& a) { return a.first == name; });
    if (at == attributes.end()) {
      attributes.emplace_back(name, value);
    } else {
      at->second = value;
    }
  }
}

ResultStamp::Attributes read(xercesc::AttributeList& list) {
  ResultStamp::Attributes attributes;
  const XMLSize_t count = list.getLength();
  attributes.reserve(count);
  for (XMLSize_t i = 0; i < count; ++i) attributes.emplace_back(list.getName(i), list.getValue(i));
  return attributes;
}

std::u16string valueOf(
    const std::vector<std::pair<std::u16string_view, std::u16string_view>>& attributes,
    std::u16string_view name) {
  for (const auto& [key, value] : attributes) {
    if (key == name) return std::u16string(value);
  }
  return std::u16string();
}

}  // namespace

ResultTextWriter::ResultTextWriter(const ResultStamp& stamp, std::string& text)
    : xalanc::FormatterListener(OUTPUT_METHOD_XML), stamp_(stamp), text_(text) {}

void ResultTextWriter::startDocument() { text_.append(kDeclaration); }

void ResultTextWriter::endDocument() { complete_ = place_ == Place::kAfterRoot; }

void ResultTextWriter::startElement(const XMLCh* const name, xercesc::AttributeList& list) {
  if (unsure_) return;
  if (place_ == Place::kInRoot) {
    // The elements below the root take their attributes as they are: views
    // into the list, which lives until this call returns.
    views_.clear();
    const XMLSize_t count = list.getLength();
    for (XMLSize_t i = 0; i < count; ++i) {
      const XMLCh* const key = list.getName(i);
      const XMLCh* const value = list.getValue(i);
      views_.emplace_back(std::u16string_view(key, XMLString::stringLen(key)),
                          std::u16string_view(value, XMLString::stringLen(value)));
    }
    closeStartTag();
    if (depth_ == 1 && !dictionarySeen_ && XMLString::equals(name, u"TransformationDictionary")) {
      dictionarySeen_ = true;
      inDictionary_ = true;
    } else if (depth_ == 2 && inDictionary_ &&
               (XMLString::equals(name, u"DerivedField") ||
                XMLString::equals(name, u"DataField"))) {
      fields_.push_back({valueOf(views_, u"name"), valueOf(views_, u"displayName"),
                         valueOf(views_, u"dataType"), valueOf(views_, u"optype")});
    }
    startTag(name, views_);
    ++depth_;
    return;
  }
  ResultStamp::Attributes attributes = read(list);
  switch (place_) {
    case Place::kBeforeRoot:
      if (!XMLString::equals(name, u"PMML")) break;
      stamp(attributes, stamp_.root);
      startTag(name, attributes);
      depth_ = 1;
      place_ = Place::kHeaderNext;
      return;
    case Place::kHeaderNext:
      // The Header stays where it is and gets its Application as last child.
      if (!XMLString::equals(name, u"Header")) break;
      closeStartTag();
      stamp(attributes, stamp_.header);
      startTag(name, attributes);
      closeStartTag();
      startTag(u"Application", stamp_.application);
      text_.append("/>");
      tagOpen_ = false;
      place_ = Place::kInHeader;
      return;
    case Place::kInRoot:
    case Place::kInHeader:
    case Place::kAfterRoot:
      break;
  }
  unsure_ = true;
}

void ResultTextWriter::endElement(const XMLCh* const name) {
  if (unsure_) return;
  switch (place_) {
    case Place::kInHeader:
      text_.append("</Header>");
      place_ = Place::kInRoot;
      return;
    case Place::kInRoot:
      if (tagOpen_) {
        text_.append("/>");
        tagOpen_ = false;
      } else {
        text_.append("</");
        escaped(name, XMLString::stringLen(name), false);
        text_.push_back('>');
      }
      if (depth_ == 2 && inDictionary_) inDictionary_ = false;
      if (--depth_ == 0) place_ = Place::kAfterRoot;
      return;
    default:
      unsure_ = true;
  }
}

void ResultTextWriter::characters(const XMLCh* const chars, const size_type length) {
  if (unsure_ || length == 0) return;
  // Text outside the document element, or in the Header, is not the shape
  // this writer knows.
  if (place_ != Place::kInRoot) {
    unsure_ = true;
    return;
  }
  closeStartTag();
  escaped(chars, length, false);
}

void ResultTextWriter::ignorableWhitespace(const XMLCh* const chars, const size_type length) {
  characters(chars, length);
}

void ResultTextWriter::startTag(const XMLCh* name, const ResultStamp::Attributes& attributes) {
  AttributeViews views;
  views.reserve(attributes.size());
  for (const auto& [key, value] : attributes) views.emplace_back(key, value);
  startTag(name, views);
}

void ResultTextWriter::startTag(const XMLCh* name, AttributeViews& attributes) {
  // The document keeps attributes ordered by name, and writes them so.
  std::sort(attributes.begin(), attributes.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  text_.push_back('<');
  escaped(name, XMLString::stringLen(name), false);
  for (const auto& [key, value] : attributes) {
    text_.push_back(' ');
    escaped(key.data(), key.size(), false);
    text_.append("=\"");
    escaped(value.data(), value.size(), true);
    text_.push_back('"');
  }
  tagOpen_ = true;
}

void ResultTextWriter::closeStartTag() {
  if (!tagOpen_) return;
  text_.push_back('>');
  tagOpen_ = false;
}

// Writes UTF-8 with the serialiser's escapes (appendEscaped).
void ResultTextWriter::escaped(const XMLCh* chars, std::size_t length, bool attribute) {
  // A character XML 1.0 does not allow would not parse back.
  if (!appendEscaped(text_, chars, length,
                     attribute ? Escapes::kAttribute : Escapes::kCharacters)) {
    unsure_ = true;
  }
}

}  // namespace pmmlxform
