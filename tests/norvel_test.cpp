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

std::u16string toU16(const char* bytes, bool utf8) {
  XMLCh* w = utf8 ? QORVMBTranscodeU8(bytes) : QORVMBTranscodeGeneric(bytes);
  std::u16string out(w);
  QORVMBRelease(&w);
  EXPECT_EQ(w, nullptr);
  return out;
}

std::string fromU16(const std::u16string& text, bool utf8) {
  char* s = utf8 ? QORVMBTranscodeU8(text.c_str()) : QORVMBTranscodeGeneric(text.c_str());
  std::string out(s);
  QORVMBRelease(&s);
  return out;
}

TEST(Norvel, Utf8ToUtf16ReplacesEachMalformedSequenceAndKeepsTheRest) {
  const struct {
    const char* name;
    const char* in;
    std::u16string expected;
  } cases[] = {
      {"two, three and four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
       u"\u00E9\u20AC\U0001F600"},
      {"lone continuation byte", "a\x80z", u"a\uFFFDz"},
      {"truncated sequence then ascii", "a\xE2\x82z", u"a\uFFFDz"},
      {"overlong slash", "\xC0\xAF/", u"\uFFFD\uFFFD/"},
      {"encoded surrogate", "\xED\xA0\x80x", u"\uFFFD\uFFFD\uFFFDx"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"null", nullptr, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(toU16(c.in, true), c.expected);
  }
}

TEST(Norvel, Utf16ToUtf8RoundTripsAndReplacesUnpairedSurrogates) {
  const std::string text =
      "Gr\xC3\xB6\xC3\x9F"
      "e \xE2\x82\xAC \xF0\x9F\x98\x80";
  EXPECT_EQ(fromU16(toU16(text.c_str(), true), true), text);
  EXPECT_EQ(fromU16(std::u16string(u"a") + char16_t(0xD800) + u"b", true),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(fromU16(std::u16string(1, char16_t(0xDC00)), true), "\xEF\xBF\xBD");
  // The string form converts the whole text, zeros included.
  std::string dest;
  EXPECT_EQ(norvel::QORVMBU16ToU8(dest, std::u16string(u"a\0\u00E9", 3)), 4);
  EXPECT_EQ(dest, std::string("a\0\xC3\xA9", 4));
  char* s = QORVMBTranscodeGeneric(static_cast<const XMLCh*>(nullptr));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s[0], 0);
  QORVMBRelease(&s);
  QORVMBRelease(&s);  // releasing null is harmless
}

TEST(Norvel, AppendingConvertsAfterWhatTheTextHolds) {
  const struct {
    const char* name;
    const char* in;
    std::u16string wide;
  } cases[] = {
      {"ascii only", "abc", u"abc"},
      {"ascii, then two bytes", "ab\xC3\xA9", u"ab\u00E9"},
      {"ascii, then a malformed byte", "ab\x80z", u"ab\uFFFDz"},
      {"ascii, then a truncated sequence", "ab\xF0\x9F", u"ab\uFFFD"},
      {"four bytes, then ascii",
       "\xF0\x9F\x98\x80"
       "ab",
       u"\U0001F600ab"},
      {"empty", "", u""},
      {"null", nullptr, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string wide = u"<";
    norvel::appendU8AsU16(wide, c.in);
    EXPECT_EQ(wide, u"<" + c.wide);
    std::string narrow = ">";
    norvel::appendU16AsU8(narrow, c.in == nullptr ? nullptr : wide.c_str() + 1);
    EXPECT_EQ(narrow, ">" + fromU16(c.wide, true));
  }
  std::string narrow;
  norvel::appendU16AsU8(narrow, (std::u16string(u"ab") + char16_t(0xDC00) + u"c").c_str());
  EXPECT_EQ(narrow,
            "ab\xEF\xBF\xBD"
            "c");
}

TEST(Norvel, LocalCodePageReplacesWhatItCannotHoldWithoutCuttingTheText) {
  const struct {
    const char* locale;
    std::u16string text;
    std::string local;    // `text` in the code page
    const char* in;       // local bytes ...
    std::u16string read;  // ... and what they read as
  } cases[] = {
      {"C", u"caf\u00E9 \U0001F600 end", "caf? ? end", "caf\xE9 end", u"caf\uFFFD end"},
      {"C.UTF-8", u"\u00E9\u20AC\U0001F600", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
       "\xC3\xA9\xFFz", u"\u00E9\uFFFDz"},
      {"en_US.ISO-8859-1", u"caf\u00E9 \u20AC!", "caf\xE9 ?!", "caf\xE9", u"caf\u00E9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    testutil::ScopedLocale locale(c.locale);
    if (!locale.ok()) {
      EXPECT_STRNE(c.locale, "C");
      continue;
    }
    EXPECT_EQ(fromU16(c.text, false), c.local);
    EXPECT_EQ(toU16(c.in, false), c.read);
  }
}

TEST(Norvel, ExtNameStrOpensReadableFilesOnly) {
  testutil::TempDir dir;
  const std::string file = dir.write("transformation.xsl", "<x/>");
  const struct {
    const char* name;
    std::string path;
    int mode;
    bool opens;
  } cases[] = {
      {"readable file", file, norvel::ExtNameStr::kRead, true},
      {"missing file", dir.path() + "/missing.xsl", 1, false},
      {"write mode", file, 2, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    norvel::ExtNameStr name;
    name.SetGeneric(c.path);
    std::ifstream in;
    EXPECT_EQ(name.Open(in, c.mode) == 0, c.opens);
    ASSERT_EQ(in.is_open(), c.opens);
    if (c.opens) {
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "<x/>");
    }
  }
}

}  // namespace
