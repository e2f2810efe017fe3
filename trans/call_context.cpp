// The context of one facade call, published for the running thread.
#include "trans/call_context.h"

namespace pmmlxform {

namespace {
thread_local CallContext* current = nullptr;
}  // namespace

CallContext::CallContext(const ConvertTrans* caller) : caller_(caller), previous_(current) {
  current = this;
}

CallContext::~CallContext() { current = previous_; }

CallContext* CallContext::of(const ConvertTrans* caller) {
  return current != nullptr && current->caller_ == caller ? current : nullptr;
}

NameIndex* CallContext::indexOf(const ConvertTrans* caller, const xercesc::DOMElement* parent) {
  CallContext* context = of(caller);
  return context == nullptr ? nullptr : context->indexes.find(parent);
}

void CallContext::offer(const xercesc::DOMDocument* document,
                        std::function<xercesc::DOMDocument*()> handOver) {
  if (document != nullptr) offered_.emplace_back(document, std::move(handOver));
}

xercesc::DOMDocument* CallContext::handOver(const xercesc::DOMDocument* document) {
  if (document == nullptr) return nullptr;
  for (auto& [held, give] : offered_) {
    if (held == document && give) {
      std::function<xercesc::DOMDocument*()> run = std::move(give);
      give = nullptr;
      held = nullptr;
      return run();
    }
  }
  return nullptr;
}

bool CallContext::take(const xercesc::DOMDocument* document) {
  return handOver(document) != nullptr;
}

void CallContext::release(const xercesc::DOMDocument* document) {
  if (xercesc::DOMDocument* owned = handOver(document)) owned->release();
}

}  // namespace pmmlxform
