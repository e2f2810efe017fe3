// Writes a DOM document as UTF-8 text in one pass, as the XML library's
// serialiser lays it out.
#include "xml/document_text.h"

#include <cstddef>
#include <string>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLString.hpp>

#include "host/norvel.h"

namespace pmmlxform {

namespace {

using xercesc::DOMNode;

// The replacement of an ASCII character under each kind of escaping; null
// when it is written as it stands.
const char* escapeOf(Escapes escapes, XMLCh c) {
  if (escapes == Escapes::kNone) return nullptr;
  const bool attribute = escapes == Escapes::kAttribute;
  switch (c) {
    case u'&':
      return "&amp;";
    case u'<':
      return "&lt;";
    case u'>':
      return attribute ? nullptr : "&gt;";
    case u'"':
      return attribute ? "&quot;" : nullptr;
    case u'\t':
      return attribute ? "&#x9;" : nullptr;
    case u'\n':
      return attribute ? "&#xA;" : nullptr;
    case u'\r':
      return "&#xD;";
    default:
      return nullptr;
  }
}

// For each kind of escaping and ASCII character: 0 written as it stands, 1
// escaped, 2 not a character of XML 1.0.
struct AsciiTable {
  unsigned char kind[3][128];
  AsciiTable() {
    for (int e = 0; e < 3; ++e) {
      for (int c = 0; c < 128; ++c) {
        const bool allowed = c >= 0x20 || c == 0x9 || c == 0xA || c == 0xD;
        kind[e][c] = !allowed                                                   ? 2
                     : escapeOf(static_cast<Escapes>(e), static_cast<XMLCh>(c)) ? 1
                                                                                : 0;
      }
    }
  }
};

const AsciiTable kAscii;

bool isSpace(XMLCh c) { return c == 0x20 || c == 0x9 || c == 0xA || c == 0xD; }

bool equalsIgnoringAsciiCase(const XMLCh* text, const char* ascii) {
  for (; *ascii != 0; ++text, ++ascii) {
    XMLCh c = *text;
    if (c >= u'a' && c <= u'z') c = static_cast<XMLCh>(c - u'a' + u'A');
    if (c != static_cast<unsigned char>(*ascii)) return false;
  }
  return *text == 0;
}

const XMLCh* orEmpty(const XMLCh* text) { return text == nullptr ? u"" : text; }

class TextWriter {
 public:
  TextWriter(bool prettyPrint, std::string& out) : pretty_(prettyPrint), out_(out) {}

  bool document(const xercesc::DOMDocument& document) {
    const XMLCh* version = orEmpty(document.getXmlVersion());
    if (*version == 0) version = u"1.0";
    if (!xercesc::XMLString::equals(version, u"1.0")) return false;
    // The serialiser names the encoding the document was read in, else the
    // one it declared, else UTF-8; only UTF-8 is written here.
    const XMLCh* encoding = orEmpty(document.getInputEncoding());
    if (*encoding == 0) encoding = orEmpty(document.getXmlEncoding());
    if (*encoding == 0) encoding = u"UTF-8";
    if (!equalsIgnoringAsciiCase(encoding, "UTF-8")) return false;
    out_ += "<?xml version=\"";
    append(version, Escapes::kNone);
    out_ += "\" encoding=\"";
    append(encoding, Escapes::kNone);
    out_ += document.getXmlStandalone() ? "\" standalone=\"yes\" ?>" : "\" standalone=\"no\" ?>";
    for (const DOMNode* child = document.getFirstChild(); child != nullptr;
         child = child->getNextSibling()) {
      if (!node(child, 0)) return false;
    }
    newLine();
    return true;
  }

 private:
  bool node(const DOMNode* node, unsigned level) {
    switch (node->getNodeType()) {
      case DOMNode::ELEMENT_NODE:
        return element(static_cast<const xercesc::DOMElement*>(node), level);
      case DOMNode::TEXT_NODE:
        return text(node->getNodeValue());
      case DOMNode::COMMENT_NODE:
        return comment(node, level);
      case DOMNode::PROCESSING_INSTRUCTION_NODE:
        return instruction(node, level);
      default:
        return false;
    }
  }

  bool element(const xercesc::DOMElement* element, unsigned level) {
    if (*orEmpty(element->getNamespaceURI()) != 0) return false;
    // A text of layout that ended in a line break stands for the break.
    if (!lineBreakInText_) {
      if (level == 1) newLine();  // top-level parts stand apart
      newLine();
    } else {
      lineBreakInText_ = false;
    }
    indent(level);
    const unsigned long startLine = line_;
    const XMLCh* name = element->getNodeName();
    out_ += '<';
    if (!append(name, Escapes::kNone)) return false;
    const xercesc::DOMNamedNodeMap* attributes = element->getAttributes();
    const XMLSize_t count = attributes == nullptr ? 0 : attributes->getLength();
    for (XMLSize_t i = 0; i < count; ++i) {
      const auto* attribute = static_cast<const xercesc::DOMAttr*>(attributes->item(i));
      // Values a document type defaulted are left out, as the serialiser does.
      if (!attribute->getSpecified()) continue;
      if (attribute->getNamespaceURI() != nullptr) return false;
      out_ += ' ';
      if (!append(attribute->getNodeName(), Escapes::kNone)) return false;
      out_ += "=\"";
      for (const DOMNode* part = attribute->getFirstChild(); part != nullptr;
           part = part->getNextSibling()) {
        if (part->getNodeType() != DOMNode::TEXT_NODE) return false;
        if (!append(part->getNodeValue(), Escapes::kAttribute)) return false;
      }
      out_ += '"';
    }
    const DOMNode* child = element->getFirstChild();
    if (child == nullptr) {
      out_ += "/>";
      return true;
    }
    out_ += '>';
    for (; child != nullptr; child = child->getNextSibling()) {
      if (!node(child, level + 1)) return false;
    }
    // The end tag goes on a line of its own when the content took lines.
    if (startLine != line_) {
      if (!lineBreakInText_) {
        newLine();
      } else {
        lineBreakInText_ = false;
      }
      if (level == 0) newLine();
      indent(level);
    }
    out_ += "</";
    append(name, Escapes::kNone);
    out_ += '>';
    return true;
  }

  // Character data. Pretty-printing keeps a text of layout alone as it is and
  // remembers whether it ended a line, and how far the last line went, so
  // that what follows is not broken or indented twice.
  bool text(const XMLCh* value) {
    const XMLSize_t length = xercesc::XMLString::stringLen(value);
    if (pretty_) {
      lineBreakInText_ = false;
      textIndent_ = 0;
      bool layout = true;
      for (XMLSize_t i = 0; i < length && layout; ++i) layout = isSpace(value[i]);
      if (layout) {
        std::size_t at = lastIndexOf(value, length, u'\n');
        if (at == length) at = lastIndexOf(value, length, u'\r');
        if (at != length) {
          lineBreakInText_ = true;
          textIndent_ = static_cast<unsigned>(length - at);
        }
      }
    }
    return append(value, Escapes::kCharacters);
  }

  bool comment(const DOMNode* comment, unsigned level) {
    // Laid out on a line of its own only among elements, so that a comment
    // inside text adds no layout to it.
    bool ownLine = level == 0;
    for (const DOMNode* s = comment->getNextSibling(); s != nullptr && !ownLine;
         s = s->getNextSibling()) {
      ownLine = s->getNodeType() == DOMNode::ELEMENT_NODE;
    }
    for (const DOMNode* s = comment->getPreviousSibling(); s != nullptr && !ownLine;
         s = s->getPreviousSibling()) {
      ownLine = s->getNodeType() == DOMNode::ELEMENT_NODE;
    }
    if (ownLine) {
      if (level == 1) newLine();
      newLine();
      indent(level);
    }
    out_ += "<!--";
    if (!append(comment->getNodeValue(), Escapes::kNone)) return false;
    out_ += "-->";
    return true;
  }

  bool instruction(const DOMNode* instruction, unsigned level) {
    if (level == 1) newLine();
    newLine();
    indent(level);
    out_ += "<?";
    if (!append(instruction->getNodeName(), Escapes::kNone)) return false;
    const XMLCh* data = orEmpty(instruction->getNodeValue());
    if (*data != 0) {
      out_ += ' ';
      if (!append(data, Escapes::kNone)) return false;
    }
    out_ += "?>";
    return true;
  }

  static std::size_t lastIndexOf(const XMLCh* text, std::size_t length, XMLCh c) {
    for (std::size_t i = length; i > 0; --i) {
      if (text[i - 1] == c) return i - 1;
    }
    return length;
  }

  void newLine() {
    if (!pretty_) return;
    ++line_;
    out_ += '\n';
  }

  // Two spaces a level, less what a text of layout just wrote.
  void indent(unsigned level) {
    if (!pretty_) return;
    if (textIndent_ != 0) {
      const unsigned written = textIndent_ / 2;
      textIndent_ = 0;
      level = written < level ? level - written : 0;
    }
    out_.append(2 * static_cast<std::size_t>(level), ' ');
  }

  bool append(const XMLCh* text, Escapes escapes) {
    return text == nullptr ||
           appendEscaped(out_, text, xercesc::XMLString::stringLen(text), escapes);
  }

  const bool pretty_;
  std::string& out_;
  unsigned long line_ = 0;
  bool lineBreakInText_ = false;
  unsigned textIndent_ = 0;
};

}  // namespace

bool appendEscaped(std::string& out, const XMLCh* text, std::size_t length, Escapes escapes) {
  const unsigned char* kinds = kAscii.kind[static_cast<int>(escapes)];
  // Bytes gather here and go to `out` in runs: most texts are short runs of
  // plain ASCII, and appending them one byte at a time costs more than
  // converting them.
  char run[256];
  std::size_t used = 0;
  bool written = true;
  for (std::size_t i = 0; i < length; ++i) {
    // Room for the longest piece one character makes: "&quot;".
    if (used > sizeof run - 8) {
      out.append(run, used);
      used = 0;
    }
    const XMLCh u = text[i];
    if (u < 0x80) {
      const unsigned char kind = kinds[u];
      if (kind == 0) {
        run[used++] = static_cast<char>(u);
        continue;
      }
      if (kind == 2) {
        written = false;
        break;
      }
      for (const char* e = escapeOf(escapes, u); *e != 0; ++e) run[used++] = *e;
      continue;
    }
    // Beyond ASCII: one code point, from a surrogate pair when it is one.
    char32_t code = u;
    if (u >= 0xD800 && u <= 0xDBFF) {
      const XMLCh low = i + 1 < length ? text[i + 1] : 0;
      if (low < 0xDC00 || low > 0xDFFF) {
        written = false;
        break;
      }
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      ++i;
    } else if ((u >= 0xDC00 && u <= 0xDFFF) || u >= 0xFFFE) {
      written = false;
      break;
    }
    out.append(run, used);
    used = 0;
    norvel::appendUtf8(out, code);
  }
  out.append(run, used);
  return written;
}

bool writeDocumentText(const xercesc::DOMDocument& document, bool prettyPrint, std::string& text) {
  std::string out;
  TextWriter writer(prettyPrint, out);
  if (!writer.document(document)) return false;
  text.swap(out);
  return true;
}

}  // namespace pmmlxform
