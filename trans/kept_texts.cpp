// The table of texts kept per exported object.
#include "trans/kept_texts.h"

#include <array>
#include <mutex>
#include <unordered_map>

namespace pmmlxform {
namespace {

using Texts = std::array<std::string, 2>;

// Objects may live on several threads; one object is used by one at a time.
// The map's nodes do not move, so a reference handed out stays valid while
// other objects come and go.
std::mutex& tableLock() {
  static std::mutex lock;
  return lock;
}
std::unordered_map<const ConvertTrans*, Texts>& table() {
  static auto* texts = new std::unordered_map<const ConvertTrans*, Texts>();
  return *texts;
}

}  // namespace

std::string& keptText(const ConvertTrans* object, KeptText kind) {
  const std::lock_guard<std::mutex> guard(tableLock());
  return table()[object][static_cast<std::size_t>(kind)];
}

void dropKeptTexts(const ConvertTrans* object) {
  const std::lock_guard<std::mutex> guard(tableLock());
  table().erase(object);
}

}  // namespace pmmlxform
