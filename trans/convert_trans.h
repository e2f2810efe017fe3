#ifndef PMMLXFORM_TRANS_CONVERT_TRANS_H_
#define PMMLXFORM_TRANS_CONVERT_TRANS_H_

// Internal side of the conversion facade: the exported class plus the small
// helpers the conversion code shares.

#include <pmmlxform/convert_trans.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>
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

namespace pmmlxform {

// The input documents the text forms of the merge parse for it alone. While
// a scope is alive on a thread, the merge lets each one go as soon as it has
// read it, so that the merged document does not grow beside both inputs.
class DisposableInputs {
 public:
  DisposableInputs();
  ~DisposableInputs();
  DisposableInputs(const DisposableInputs&) = delete;
  DisposableInputs& operator=(const DisposableInputs&) = delete;

  // `dispose` destroys `document`; it runs at most once.
  void add(const xercesc::DOMDocument* document, std::function<void()> dispose);
  // Destroys `document` when the thread's scope holds it; the caller must not
  // use it afterwards either way.
  static void done(const xercesc::DOMDocument* document);

 private:
  DisposableInputs* previous_;
  std::vector<std::pair<const xercesc::DOMDocument*, std::function<void()>>> inputs_;
};

}  // namespace pmmlxform

#endif  // PMMLXFORM_TRANS_CONVERT_TRANS_H_
