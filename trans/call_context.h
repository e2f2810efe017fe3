#ifndef PMMLXFORM_TRANS_CALL_CONTEXT_H_
#define PMMLXFORM_TRANS_CALL_CONTEXT_H_

// What one call of the facade shares with the conversion it runs: the input
// documents the call parsed for the conversion alone, the text the description
// came from, the result's text when the conversion writes it itself, and the
// name indexes of a merge.
//
// The exported virtual document forms of ConvertTrans and ConvertTransToPMML
// have fixed signatures that cannot carry it, so a call publishes its context
// for the running thread while it runs: one thread-local pointer, restored
// when the context ends, so that calls nested in it keep their own.

#include <functional>
#include <string>
#include <utility>
#include <vector>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "xml/name_index.h"

class ConvertTrans;

namespace pmmlxform {

class CallContext {
 public:
  // Publishes the context of a call that `caller` runs.
  explicit CallContext(const ConvertTrans* caller);
  ~CallContext();
  CallContext(const CallContext&) = delete;
  CallContext& operator=(const CallContext&) = delete;

  // The context of the call `caller` runs on this thread, or null.
  static CallContext* of(const ConvertTrans* caller);
  // The index registered for `parent` in that context, or null.
  static NameIndex* indexOf(const ConvertTrans* caller, const xercesc::DOMElement* parent);

  // Offers `document`, parsed for this call alone; `handOver` makes the one
  // who parsed it give up owning it and returns it, at most once.
  void offer(const xercesc::DOMDocument* document, std::function<xercesc::DOMDocument*()> handOver);
  // True when `document` was offered: the caller owns it from then on and
  // must release it. False leaves it with whoever supplied it.
  bool take(const xercesc::DOMDocument* document);
  // Destroys `document` when it was offered; the caller must not use it
  // afterwards either way.
  void release(const xercesc::DOMDocument* document);

  // The text the call's description was parsed from, or null.
  const std::string* sourceText = nullptr;
  // The result's text, when the conversion wrote it itself: then no
  // document comes.
  std::string resultText;
  bool resultWritten = false;

  // Indexes of the elements a merge looks fields up in.
  NameIndexes indexes;

 private:
  xercesc::DOMDocument* handOver(const xercesc::DOMDocument* document);

  const ConvertTrans* caller_;
  CallContext* previous_;
  std::vector<std::pair<const xercesc::DOMDocument*, std::function<xercesc::DOMDocument*()>>>
      offered_;
};

}  // namespace pmmlxform

#endif  // PMMLXFORM_TRANS_CALL_CONTEXT_H_
