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

// The input documents the text forms parse for the document forms alone. While
// a scope is alive on a thread, the merge lets each one go as soon as it has
// read it, so that the merged document does not grow beside both inputs, and
// the transform keeps the description it would otherwise copy.
class DisposableInputs {
 public:
  DisposableInputs();
  ~DisposableInputs();
  DisposableInputs(const DisposableInputs&) = delete;
  DisposableInputs& operator=(const DisposableInputs&) = delete;

  // `handOver` makes the one who parsed `document` give up owning it and
  // returns it (null when it no longer has it); it runs at most once.
  void add(const xercesc::DOMDocument* document, std::function<xercesc::DOMDocument*()> handOver);
  // Destroys `document` when the thread's scope holds it; the caller must not
  // use it afterwards either way.
  static void done(const xercesc::DOMDocument* document);
  // True when the thread's scope holds `document`: the caller owns it from
  // then on and must release it. False leaves it with whoever supplied it.
  static bool take(const xercesc::DOMDocument* document);

 private:
  static xercesc::DOMDocument* handOver(const xercesc::DOMDocument* document);

  DisposableInputs* previous_;
  std::vector<std::pair<const xercesc::DOMDocument*, std::function<xercesc::DOMDocument*()>>>
      inputs_;
};

// A request, alive on a thread while the text form of a transform runs the
// library's own document form, to write the result's text into `text` rather
// than hand back a document. The document form claims it; `written` tells the
// text form that `text` holds the result and no document comes.
class TextRequest {
 public:
  TextRequest();
  ~TextRequest();
  TextRequest(const TextRequest&) = delete;
  TextRequest& operator=(const TextRequest&) = delete;

  // The thread's request, taken so that no call nested in it sees it; null
  // when there is none.
  static TextRequest* claim();

  // The text the call's description was parsed from; the engine may read it
  // in place of writing the parsed document out again.
  const std::string* source = nullptr;
  std::string text;
  bool written = false;

 private:
  TextRequest* previous_;
};

}  // namespace pmmlxform

#endif  // PMMLXFORM_TRANS_CONVERT_TRANS_H_
