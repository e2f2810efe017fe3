// Text conversion and file opening for the library, on the C library's iconv.
#include "host/norvel.h"

#include <iconv.h>
#include <langinfo.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace norvel {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

// Decodes UTF-16 into code points, each handed to `emit`; an unpaired
// surrogate becomes U+FFFD.
template <typename Emit>
void decodeUtf16(const XMLCh* text, Emit emit) {
  if (text == nullptr) return;
  for (const XMLCh* p = text; *p != 0; ++p) {
    char32_t c = *p;
    if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
      emit(0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00));
      ++p;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      emit(kReplacement);
    } else {
      emit(c);
    }
  }
}

std::u32string decodeUtf16(const XMLCh* text) {
  std::u32string out;
  decodeUtf16(text, [&out](char32_t cp) { out.push_back(cp); });
  return out;
}

// Decodes UTF-8 with the "maximal subpart" rule, handing each code point to
// `emit`: each ill-formed sequence becomes one U+FFFD and decoding resumes at
// the first byte that cannot continue it. Overlongs, surrogates and values
// above U+10FFFF are ill-formed.
template <typename Emit>
void decodeUtf8(const char* text, Emit emit) {
  if (text == nullptr) return;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    unsigned char b = *p;
    if (b < 0x80) {
      emit(b);
      ++p;
      continue;
    }
    int need;
    char32_t cp;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2;
      cp = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3;
      cp = b & 0x07;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      emit(kReplacement);
      ++p;
      continue;
    }
    ++p;
    bool ok = true;
    for (int i = 0; i < need; ++i, ++p) {
      unsigned char c = *p;
      unsigned char min = i == 0 ? lo : 0x80;
      unsigned char max = i == 0 ? hi : 0xBF;
      if (c < min || c > max) {  // also stops at the terminating zero
        ok = false;
        break;
      }
      cp = (cp << 6) | (c & 0x3F);
    }
    emit(ok ? cp : kReplacement);
  }
}

std::u32string decodeUtf8(const char* text) {
  std::u32string out;
  decodeUtf8(text, [&out](char32_t cp) { out.push_back(cp); });
  return out;
}

// Appends the ASCII characters [from, to) to `out`, one code unit each.
template <typename To, typename From>
void copyAscii(std::basic_string<To>& out, const From* from, const From* to) {
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(to - from));
  To* into = &out[at];
  for (; from != to; ++from) *into++ = static_cast<To>(*from);
}

template <typename T>
T* copyOut(const std::basic_string<T>& s) {
  T* buf = new T[s.size() + 1];
  std::memcpy(buf, s.data(), s.size() * sizeof(T));
  buf[s.size()] = 0;
  return buf;
}

std::u16string toUtf16(const std::u32string& cps) {
  std::u16string out;
  out.reserve(cps.size());
  for (char32_t cp : cps) appendUtf16(out, cp);
  return out;
}

std::string toUtf8(const std::u32string& cps) {
  std::string out;
  out.reserve(cps.size());
  for (char32_t cp : cps) appendUtf8(out, cp);
  return out;
}

// The local code page's name, or null when it is UTF-8 (handled without iconv).
const char* localCodeset() {
  const char* cs = nl_langinfo(CODESET);
  if (cs == nullptr || *cs == 0) return "ANSI_X3.4-1968";
  if (strcasecmp(cs, "UTF-8") == 0 || strcasecmp(cs, "UTF8") == 0) return nullptr;
  return cs;
}

// An iconv descriptor closed on scope exit.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Code points -> local code page; what the code page cannot hold becomes "?".
std::string encodeLocal(const std::u32string& cps, const char* codeset) {
  std::string out;
  Iconv cd(codeset, "UTF-32LE");
  if (!cd.ok()) {  // unknown code page: keep ASCII, replace the rest
    for (char32_t cp : cps) out.push_back(cp < 0x80 ? static_cast<char>(cp) : '?');
    return out;
  }
  std::vector<char> in;
  in.reserve(cps.size() * 4);
  for (char32_t cp : cps) {
    for (int i = 0; i < 4; ++i) in.push_back(static_cast<char>((cp >> (8 * i)) & 0xFF));
  }
  char* inp = in.data();
  size_t inLeft = in.size();
  char buf[1024];
  while (inLeft > 0) {
    char* outp = buf;
    size_t outLeft = sizeof buf;
    size_t r = iconv(cd.get(), &inp, &inLeft, &outp, &outLeft);
    out.append(buf, outp - buf);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      // EILSEQ (not representable) or EINVAL: replace one character, go on.
      out.push_back('?');
      size_t skip = inLeft < 4 ? inLeft : 4;
      inp += skip;
      inLeft -= skip;
    }
  }
  char* outp = buf;
  size_t outLeft = sizeof buf;
  iconv(cd.get(), nullptr, nullptr, &outp, &outLeft);  // flush shift state
  out.append(buf, outp - buf);
  return out;
}

// Local code page -> code points; undefined bytes become U+FFFD.
std::u32string decodeLocal(const char* text, const char* codeset) {
  std::u32string out;
  if (text == nullptr) return out;
  size_t len = std::strlen(text);
  Iconv cd("UTF-32LE", codeset);
  if (!cd.ok()) {
    for (size_t i = 0; i < len; ++i) {
      auto b = static_cast<unsigned char>(text[i]);
      out.push_back(b < 0x80 ? b : kReplacement);
    }
    return out;
  }
  char* inp = const_cast<char*>(text);
  size_t inLeft = len;
  char buf[4096];
  auto take = [&](const char* from, const char* to) {
    for (const char* q = from; q + 4 <= to; q += 4) {
      char32_t cp = 0;
      for (int i = 3; i >= 0; --i) cp = (cp << 8) | static_cast<unsigned char>(q[i]);
      out.push_back(cp);
    }
  };
  while (inLeft > 0) {
    char* outp = buf;
    size_t outLeft = sizeof buf;
    size_t r = iconv(cd.get(), &inp, &inLeft, &outp, &outLeft);
    take(buf, outp);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      out.push_back(kReplacement);
      ++inp;
      --inLeft;
    }
  }
  return out;
}

}  // namespace

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

XMLCh* QORVMBTranscodeGeneric(const char* text) {
  const char* cs = localCodeset();
  return copyOut(toUtf16(cs == nullptr ? decodeUtf8(text) : decodeLocal(text, cs)));
}

char* QORVMBTranscodeGeneric(const XMLCh* text) {
  const char* cs = localCodeset();
  std::u32string cps = decodeUtf16(text);
  return copyOut(cs == nullptr ? toUtf8(cps) : encodeLocal(cps, cs));
}

XMLCh* QORVMBTranscodeU8(const char* text) {
  std::u16string out;
  appendU8AsU16(out, text);
  return copyOut(out);
}

char* QORVMBTranscodeU8(const XMLCh* text) {
  std::string out;
  appendU16AsU8(out, text);
  return copyOut(out);
}

// An ASCII character is one code unit in both forms and never part of a
// longer sequence, so a text's leading ASCII run is copied as it is and the
// decoding goes on after it.
void appendU16AsU8(std::string& out, const XMLCh* text) {
  if (text == nullptr) return;
  const XMLCh* rest = text;
  while (*rest != 0 && *rest < 0x80) ++rest;
  copyAscii(out, text, rest);
  decodeUtf16(rest, [&out](char32_t cp) { appendUtf8(out, cp); });
}

void appendU8AsU16(std::u16string& out, const char* text) {
  if (text == nullptr) return;
  const char* rest = text;
  while (*rest != 0 && static_cast<unsigned char>(*rest) < 0x80) ++rest;
  copyAscii(out, text, rest);
  decodeUtf8(rest, [&out](char32_t cp) { appendUtf16(out, cp); });
}

int QORVMBU16ToU8(std::string& dest, const std::basic_string<XMLCh>& text) {
  // The string may hold zeros; convert it whole rather than up to the first.
  std::u32string cps;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cps.push_back(0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else {
      cps.push_back(c >= 0xD800 && c <= 0xDFFF ? kReplacement : c);
    }
  }
  std::string utf8 = toUtf8(cps);
  dest += utf8;
  return static_cast<int>(utf8.size());
}

void QORVMBRelease(char** text) {
  if (text == nullptr) return;
  delete[] * text;
  *text = nullptr;
}

void QORVMBRelease(XMLCh** text) {
  if (text == nullptr) return;
  delete[] * text;
  *text = nullptr;
}

ExtNameStr::ExtNameStr() = default;
ExtNameStr::~ExtNameStr() = default;

void ExtNameStr::SetGeneric(const std::string& path) { path_ = path; }

int ExtNameStr::Open(std::ifstream& stream, int mode) const {
  if (mode != kRead || path_.empty()) return -1;
  struct stat st;
  // A directory "opens" as a stream on Linux but cannot be read; refuse it.
  if (stat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  if (stream.is_open()) stream.close();
  stream.clear();
  stream.open(path_, std::ios::in | std::ios::binary);
  return stream.is_open() ? 0 : -1;
}

}  // namespace norvel
