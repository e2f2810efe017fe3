#ifndef PMMLXFORM_TRANS_RESULT_WRITER_H_
#define PMMLXFORM_TRANS_RESULT_WRITER_H_

// Writes a transformation's output as it is made, as the very text that
// parsing the output, stamping its PMML element and Header, and serialising the
// document would give, without building the document: the text form of the
// transform needs only that text and the fields of the TransformationDictionary.
//
// The writer knows the shape the transform's stylesheet writes: a PMML
// document element whose first child is an empty Header. Any other output, or
// output that would not parse back (characters XML 1.0 does not allow, raw
// text, comments, processing instructions), leaves it incomplete; the caller
// then converts through the document instead.

#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include <xalanc/PlatformSupport/FormatterListener.hpp>

namespace pmmlxform {

// Attributes set on the document element, on its Header, and on the
// Application element added to the Header, in the order they are set.
struct ResultStamp {
  using Attributes = std::vector<std::pair<std::u16string, std::u16string>>;
  Attributes root;
  Attributes header;
  Attributes application;
};

// name, displayName, dataType and optype of a DerivedField or DataField among
// the children of the first TransformationDictionary; absent ones are empty.
struct FieldAttributes {
  std::u16string name, displayName, dataType, optype;
};

class ResultTextWriter : public xalanc::FormatterListener {
 public:
  ResultTextWriter(const ResultStamp& stamp, std::string& text);

  // True once a whole document of the expected shape has been written.
  bool complete() const { return complete_ && !unsure_; }
  const std::vector<FieldAttributes>& fields() const { return fields_; }

  void setDocumentLocator(const xercesc::Locator* const) override {}
  void startDocument() override;
  void endDocument() override;
  void startElement(const XMLCh* const name, xercesc::AttributeList& attributes) override;
  void endElement(const XMLCh* const name) override;
  void characters(const XMLCh* const chars, const size_type length) override;
  void ignorableWhitespace(const XMLCh* const chars, const size_type length) override;
  void charactersRaw(const XMLCh* const, const size_type) override { unsure_ = true; }
  void comment(const XMLCh* const) override { unsure_ = true; }
  void cdata(const XMLCh* const, const size_type) override { unsure_ = true; }
  void entityReference(const XMLCh* const) override { unsure_ = true; }
  void processingInstruction(const XMLCh* const, const XMLCh* const) override { unsure_ = true; }
  void resetDocument() override {}

 private:
  enum class Place { kBeforeRoot, kHeaderNext, kInHeader, kInRoot, kAfterRoot };

  // Names and values of attributes as the writer reads them, without a copy.
  using AttributeViews = std::vector<std::pair<std::u16string_view, std::u16string_view>>;

  // Writes "<name" and the attributes in the order the document keeps them.
  void startTag(const XMLCh* name, const ResultStamp::Attributes& attributes);
  // The same over views, which it sorts in place.
  void startTag(const XMLCh* name, AttributeViews& attributes);
  // Ends a start tag still open with ">" before the element gets content.
  void closeStartTag();
  void escaped(const XMLCh* chars, std::size_t length, bool attribute);

  const ResultStamp& stamp_;
  std::string& text_;
  std::vector<FieldAttributes> fields_;
  // The attributes of the element being started, reused from one to the next.
  AttributeViews views_;
  Place place_ = Place::kBeforeRoot;
  std::size_t depth_ = 0;
  bool tagOpen_ = false;
  bool dictionarySeen_ = false;
  bool inDictionary_ = false;
  bool complete_ = false;
  bool unsure_ = false;
};

}  // namespace pmmlxform

#endif  // PMMLXFORM_TRANS_RESULT_WRITER_H_
