#ifndef PMMLXFORM_MERGE_REPEATED_TEXTS_H_
#define PMMLXFORM_MERGE_REPEATED_TEXTS_H_

// Conversions of texts that a document repeats on field after field (data
// types, optypes, usages, properties): each distinct text is converted once.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>
#include <xercesc/util/XMLString.hpp>

namespace pmmlxform {

// `Convert` is a pure function from an XML text to a std::string. The first
// kCapacity distinct texts keep their conversion; any later one is converted
// each time, so that the memo stays a few comparisons long.
template <typename Convert>
class RepeatedTexts {
 public:
  explicit RepeatedTexts(Convert convert) : convert_(std::move(convert)) {}

  std::string of(const XMLCh* text) {
    if (text == nullptr) return convert_(text);
    for (const auto& known : known_) {
      if (xercesc::XMLString::equals(known.first.c_str(), text)) return known.second;
    }
    std::string converted = convert_(text);
    if (known_.size() < kCapacity) known_.emplace_back(text, converted);
    return converted;
  }

 private:
  static constexpr std::size_t kCapacity = 8;
  Convert convert_;
  std::vector<std::pair<std::basic_string<XMLCh>, std::string>> known_;
};

}  // namespace pmmlxform

#endif  // PMMLXFORM_MERGE_REPEATED_TEXTS_H_
