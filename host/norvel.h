#ifndef PMMLXFORM_HOST_NORVEL_H_
#define PMMLXFORM_HOST_NORVEL_H_

// Platform support the library borrows from its host: text conversion between
// the XML library's UTF-16 and 8-bit texts, and opening a file by its name.
//
// Conversion rules (the same in every direction, so no text is ever cut short):
// - Malformed input (invalid UTF-8, bytes the local code page does not define,
//   unpaired UTF-16 surrogates) becomes U+FFFD REPLACEMENT CHARACTER, one per
//   maximal ill-formed subsequence, and conversion goes on after it.
// - A character that the local code page cannot hold becomes "?" (one per
//   character) in the 8-bit result.
// - U+FFFD itself, written to a local code page without it, is also "?".
// The "local code page" is the character set of the calling thread's current
// LC_CTYPE locale (nl_langinfo(CODESET)); in the "C" locale that is ASCII.
//
// Every conversion returns a new zero-terminated buffer (never null) that the
// caller gives back with QORVMBRelease. A null input converts to the empty text.

#include <fstream>
#include <string>
#include <xercesc/util/XercesDefs.hpp>

namespace norvel {

// Local code page -> UTF-16.
XMLCh* QORVMBTranscodeGeneric(const char* text);
// UTF-16 -> local code page.
char* QORVMBTranscodeGeneric(const XMLCh* text);
// UTF-8 -> UTF-16.
XMLCh* QORVMBTranscodeU8(const char* text);
// UTF-16 -> UTF-8.
char* QORVMBTranscodeU8(const XMLCh* text);
// UTF-16 -> UTF-8 and UTF-8 -> UTF-16 as QORVMBTranscodeU8 converts, appended
// to `out` without a buffer to release.
void appendU16AsU8(std::string& out, const XMLCh* text);
void appendU8AsU16(std::u16string& out, const char* text);
// Appends the UTF-8 form of `text` to `dest`; returns the number of bytes appended.
int QORVMBU16ToU8(std::string& dest, const std::basic_string<XMLCh>& text);
// Appends the UTF-8 form of one code point to `out` (the library's own helper,
// shared with writers that build UTF-8 text themselves).
void appendUtf8(std::string& out, char32_t codePoint);

// Release a buffer returned above and set the pointer to null; null is allowed.
void QORVMBRelease(char** text);
void QORVMBRelease(XMLCh** text);

// A file named by its path ("generic name").
class ExtNameStr {
 public:
  // Open modes understood by Open.
  static constexpr int kRead = 1;

  ExtNameStr();
  ~ExtNameStr();

  void SetGeneric(const std::string& path);
  const std::string& GetGeneric() const { return path_; }

  // Opens `stream` on the file for reading (mode kRead, binary). Returns 0 when
  // the stream is open afterwards, -1 otherwise: another mode, an empty path, a
  // path that is not a readable regular file. On failure the stream is left closed.
  int Open(std::ifstream& stream, int mode) const;

 private:
  std::string path_;
};

}  // namespace norvel

#endif  // PMMLXFORM_HOST_NORVEL_H_
