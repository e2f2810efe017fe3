#ifndef PMMLXFORM_TRANS_CONVERT_TRANS_H_
#define PMMLXFORM_TRANS_CONVERT_TRANS_H_

// Internal side of the conversion facade: the exported class plus the XML
// text holder the conversion code shares.

#include <pmmlxform/convert_trans.h>

#include <string>
#include <xercesc/util/XercesDefs.hpp>

// Owns the XML text made from one 8-bit text in the local code page; releases
// it when destroyed. Used to build element, attribute and feature names.
class XMLText {
 public:
  explicit XMLText(const std::string& text);
  ~XMLText();
  XMLText(const XMLText&) = delete;
  XMLText& operator=(const XMLText&) = delete;

  const XMLCh* get() const { return text_; }

 private:
  XMLCh* text_;
};

#endif  // PMMLXFORM_TRANS_CONVERT_TRANS_H_
