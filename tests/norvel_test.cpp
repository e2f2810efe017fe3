// Text conversion and file opening of the host services.
#include "host/norvel.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/test_util.h"

namespace {

using norvel::QORVMBRelease;
using norvel::QORVMBTranscodeGeneric;
using norvel::QORVMBTranscodeU8;
using norvel::QORVMBU16ToU8;
using testutil::u16;

std::u16string toU16(const std::string& bytes, bool utf8) {
  XMLCh* w = utf8 ? QORVMBTranscodeU8(bytes.c_str()) : QORVMBTranscodeGeneric(bytes.c_str());
  std::u16string out(w);
  QORVMBRelease(&w);
  EXPECT_EQ(w, nullptr);
  return out;
}

std::string fromU16(const std::u16string& text, bool utf8) {
  char* s = utf8 ? QORVMBTranscodeU8(text.c_str()) : QORVMBTranscodeGeneric(text.c_str());
  std::string out(s);
  QORVMBRelease(&s);
  EXPECT_EQ(s, nullptr);
  return out;
}

struct Utf8Case {
  const char* name;
  std::string in;
  std::u16string expected;
};

TEST(Norvel, Utf8ToUtf16ReplacesEachMalformedSequenceAndKeepsTheRest) {
  const Utf8Case cases[] = {
      {"ascii", "Age_1", u"Age_1"},
      {"two, three and four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", u"\u00E9\u20AC\U0001F600"},
      {"lone continuation byte", "a\x80z", u"a\uFFFDz"},
      {"truncated sequence then ascii", "a\xE2\x82z", u"a\uFFFDz"},
      {"truncated at end", "ab\xF0\x9F\x98", u"ab\uFFFD"},
      {"overlong slash", "\xC0\xAF/", u"\uFFFD\uFFFD/"},
      {"encoded surrogate", "\xED\xA0\x80x", u"\uFFFD\uFFFD\uFFFDx"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"invalid lead bytes", "\xFE\xFF", u"\uFFFD\uFFFD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(toU16(c.in, true), c.expected);
  }
}

TEST(Norvel, Utf16ToUtf8RoundTripsAndReplacesUnpairedSurrogates) {
  const std::string text = "Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80";
  EXPECT_EQ(fromU16(toU16(text, true), true), text);
  EXPECT_EQ(fromU16(std::u16string(u"a") + char16_t(0xD800) + u"b", true), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(fromU16(std::u16string(1, char16_t(0xDC00)), true), "\xEF\xBF\xBD");
}

TEST(Norvel, U16ToU8ConvertsTheWholeStringIncludingZeros) {
  std::string dest;
  std::u16string text = u"a";
  text.push_back(0);
  text += u"\u00E9";
  EXPECT_EQ(QORVMBU16ToU8(dest, text), 4);
  EXPECT_EQ(dest, std::string("a\0\xC3\xA9", 4));
}

TEST(Norvel, NullAndEmptyInputsGiveEmptyTexts) {
  XMLCh* w = QORVMBTranscodeU8(static_cast<const char*>(nullptr));
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w[0], 0);
  QORVMBRelease(&w);
  char* s = QORVMBTranscodeGeneric(static_cast<const XMLCh*>(nullptr));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s[0], 0);
  QORVMBRelease(&s);
  QORVMBRelease(&s);  // releasing null is harmless
  EXPECT_EQ(toU16("", false), u"");
}

TEST(Norvel, AsciiCodePageReplacesWhatItCannotHoldWithoutCuttingTheText) {
  testutil::ScopedLocale c("C");
  ASSERT_TRUE(c.ok());
  EXPECT_EQ(fromU16(u"caf\u00E9 \U0001F600 end", false), "caf? ? end");
  EXPECT_EQ(toU16("caf\xE9 end", false), u"caf\uFFFD end");
  EXPECT_EQ(fromU16(u"plain", false), "plain");
}

TEST(Norvel, Utf8CodePageRoundTripsEveryCharacter) {
  testutil::ScopedLocale utf8("C.UTF-8");
  if (!utf8.ok()) GTEST_SKIP() << "no C.UTF-8 locale";
  const std::string text = "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
  EXPECT_EQ(fromU16(toU16(text, false), false), text);
  EXPECT_EQ(toU16("a\xFFz", false), u"a\uFFFDz");
}

TEST(Norvel, Latin1CodePageMapsItsOwnCharactersAndReplacesOthers) {
  testutil::ScopedLocale latin1("en_US.ISO-8859-1");
  if (!latin1.ok()) GTEST_SKIP() << "no ISO-8859-1 locale on this machine";
  EXPECT_EQ(fromU16(u"caf\u00E9 \u20AC!", false), "caf\xE9 ?!");
  EXPECT_EQ(toU16("caf\xE9", false), u"caf\u00E9");
}

TEST(Norvel, ExtNameStrOpensReadableFilesOnly) {
  testutil::TempDir dir;
  const std::string file = dir.write("transformation.xsl", "<x/>");
  norvel::ExtNameStr name;
  name.SetGeneric(file);
  std::ifstream in;
  EXPECT_EQ(name.Open(in, norvel::ExtNameStr::kRead), 0);
  ASSERT_TRUE(in.is_open());
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "<x/>");

  struct Refused {
    const char* name;
    std::string path;
    int mode;
  };
  const Refused refused[] = {
      {"missing file", dir.path() + "/missing.xsl", 1},
      {"directory", dir.path(), 1},
      {"empty path", "", 1},
      {"write mode", file, 2},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.name);
    norvel::ExtNameStr n;
    n.SetGeneric(r.path);
    std::ifstream s;
    EXPECT_NE(n.Open(s, r.mode), 0);
    EXPECT_FALSE(s.is_open());
  }
}

}  // namespace
