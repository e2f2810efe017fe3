// Conversions of repeated texts: each answer is the conversion's own, and a
// text already met is not converted again while the memo has room.
#include "merge/repeated_texts.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

TEST(RepeatedTextsTest, AnswersAsTheConversionAndConvertsEachKnownTextOnce) {
  std::map<std::u16string, int> conversions;
  auto convert = [&](const XMLCh* text) {
    if (text == nullptr) return std::string("<null>");
    ++conversions[text];
    std::string out;
    for (const XMLCh* c = text; *c != 0; ++c) out.push_back(static_cast<char>(*c));
    return out + "!";
  };
  pmmlxform::RepeatedTexts<decltype(convert)> texts(convert);

  // Nine distinct texts, one more than the memo keeps, each met three times;
  // "" and a text that extends another stay apart from it.
  const std::vector<std::u16string> inputs = {u"double",     u"string",      u"",
                                              u"continuous", u"categorical", u"ordinal",
                                              u"doubles",    u"integer",     u"boolean"};
  for (int round = 0; round < 3; ++round) {
    for (const std::u16string& input : inputs) {
      SCOPED_TRACE(std::string(input.begin(), input.end()));
      EXPECT_EQ(texts.of(input.c_str()), std::string(input.begin(), input.end()) + "!");
    }
  }
  EXPECT_EQ(texts.of(nullptr), "<null>");
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    SCOPED_TRACE(std::string(inputs[i].begin(), inputs[i].end()));
    // The first eight are kept; the ninth finds the memo full.
    EXPECT_EQ(conversions[inputs[i]], i < 8 ? 1 : 3);
  }
}

}  // namespace
