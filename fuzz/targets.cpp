// The entry points the fuzzers drive (see targets.h).
#include "fuzz/targets.h"

#include <cstdlib>
#include <initializer_list>
#include <sstream>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "pmmlxform/adp_convert.h"
#include "pmmlxform/convert_trans_to_pmml.h"
#include "pmmlxform/tms_records.h"
#include "trans/xslt_driver.h"
#include "xml/parser.h"

namespace pmmlxform::fuzz {

namespace {

bool oneOf(int code, std::initializer_list<int> codes) {
  for (const int c : codes) {
    if (c == code) return true;
  }
  return false;
}

int checked(int code, std::initializer_list<int> documented) {
  return oneOf(code, documented) ? code : kUndocumented;
}

// Result codes of the three ADP_Convert functions (4 and 12 are not used).
constexpr std::initializer_list<int> kSyntaxCodes = {0, 1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 13, 14};

std::string rest(const std::uint8_t* data, std::size_t size) {
  return size > 1 ? std::string(reinterpret_cast<const char*>(data) + 1, size - 1) : std::string();
}

constexpr char kIntervalsSheet[] = R"xsl(<xsl:stylesheet version="1.0"
    xmlns:xsl="http://www.w3.org/1999/XSL/Transform" xmlns:xalan="http://xml.apache.org/xalan"
    exclude-result-prefixes="xalan">
  <xsl:template match="/"><Result><xsl:copy-of select="xalan:intervals(/Rules/*)"/></Result></xsl:template>
</xsl:stylesheet>)xsl";

}  // namespace

int runSyntax(const std::uint8_t* data, std::size_t size) {
  const unsigned flags = size > 0 ? data[0] : 0;
  std::istringstream input(rest(data, size));
  std::ostringstream output;
  std::string message = "previous";
  int code;
  if (flags & 8) {
    std::vector<std::string> none{"previous"};
    code = ADP_Convert::convertPMMLtoSyntax(input, output, message, none, flags & 1, flags & 2,
                                            flags & 4);
  } else {
    code =
        ADP_Convert::convertPMMLtoSyntax(input, output, message, flags & 1, flags & 2, flags & 4);
  }
  if (code == 0 && !message.empty()) return kUndocumented;
  return checked(code, kSyntaxCodes);
}

int runBackSyntax(const std::uint8_t* data, std::size_t size) {
  const unsigned flags = size > 0 ? data[0] : 0;
  std::istringstream input(rest(data, size));
  std::ostringstream output;
  std::string message;
  const int code =
      ADP_Convert::convertPMMLtoBackSyntax(input, output, message, (flags & 4) ? "target" : "",
                                           (flags & 8) ? "source" : "", flags & 1, flags & 2);
  return checked(code, kSyntaxCodes);
}

int runTransform(const std::uint8_t* data, std::size_t size) {
  ConvertTransToPMML converter;
  std::string output;
  std::string message;
  std::vector<TmsEndInfo> vars;
  const int code = converter.transform(std::string(reinterpret_cast<const char*>(data), size),
                                       output, message, vars);
  return checked(code, {0, 1, 2, 3, 4, 5, 9});
}

int runMerge(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  static const std::string kSeparator = "\n=====\n";
  std::string trans;
  std::string model;
  const std::size_t at = text.find(kSeparator);
  if (at != std::string::npos) {
    trans = text.substr(0, at);
    model = text.substr(at + kSeparator.size());
  } else {
    trans = text.substr(0, size / 2);
    model = text.substr(size / 2);
  }
  ConvertTransToPMML converter;
  std::string output;
  std::string message;
  std::vector<TmsEndInfo> dataFields;
  std::vector<TmsEndInfo> derivedFields;
  std::vector<TmsMiningFieldInfo> miningFields;
  const int code =
      converter.mergePMML(trans, model, output, message, dataFields, derivedFields, miningFields);
  return checked(code, {0, 4, 6, 7, 8, 9});
}

int runIntervals(const std::uint8_t* data, std::size_t size) {
  const XmlPlatformGuard platform;
  const std::string text =
      "<Rules>" + std::string(reinterpret_cast<const char*>(data), size) + "</Rules>";
  HardenedDOMParser parser;
  if (parser.parseText(text) > 0 || parser.getDocument() == nullptr) return 0;
  ConvertByXSLT converter;
  std::istringstream stylesheet(kIntervalsSheet);
  xercesc::DOMDocument* result = nullptr;
  const std::string error = converter.convert(parser.getDocument(), stylesheet, result);
  if (result != nullptr) result->release();
  // The function itself reports no error for any input the stylesheet hands it.
  return error.empty() ? 0 : kUndocumented;
}

int runTarget(const std::string& name, const std::uint8_t* data, std::size_t size) {
  if (name == "syntax") return runSyntax(data, size);
  if (name == "back_syntax") return runBackSyntax(data, size);
  if (name == "transform") return runTransform(data, size);
  if (name == "merge") return runMerge(data, size);
  if (name == "intervals") return runIntervals(data, size);
  return kUndocumented;
}

void setApplicationDirectory(const std::string& directory) {
  ::setenv("PMMLXFORM_APP_DIR", directory.c_str(), 1);
}

}  // namespace pmmlxform::fuzz
