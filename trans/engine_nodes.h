#ifndef PMMLXFORM_TRANS_ENGINE_NODES_H_
#define PMMLXFORM_TRANS_ENGINE_NODES_H_

// Reading the XSLT engine's nodes: names, attribute values as UTF-8 and the
// first element child, as the extension functions read them.

#include <string>
#include <xalanc/XalanDOM/XalanDOMString.hpp>
#include <xalanc/XalanDOM/XalanNode.hpp>

namespace pmmlxform {

// True when `text` is `name`.
bool hasName(const xalanc::XalanDOMString& text, const std::u16string& name);

// Attribute values travel as UTF-8 inside the functions, so that every value
// comes back out exactly as it went in whatever the process's locale.
std::string toUtf8(const xalanc::XalanDOMString& text);
std::u16string toUtf16(const std::string& text);

// The value of the attribute `name` of `node`, or the empty text when the node
// lacks it.
std::string attribute(const xalanc::XalanNode* node, const std::u16string& name);

// The first child of `node` that is an element, or null.
const xalanc::XalanNode* firstElementChild(const xalanc::XalanNode* node);

}  // namespace pmmlxform

#endif  // PMMLXFORM_TRANS_ENGINE_NODES_H_
