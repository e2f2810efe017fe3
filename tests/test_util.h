#ifndef PMMLXFORM_TESTS_TEST_UTIL_H_
#define PMMLXFORM_TESTS_TEST_UTIL_H_

// Shared helpers of the unit tests.

#include <pmmlxform/convert_trans_to_pmml.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>
#include <xercesc/dom/DOM.hpp>

#include "xml/parser.h"

namespace testutil {

// `text` with every `from` replaced by `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to);

// The whole content of a file; empty when it cannot be read.
std::string readFile(const std::string& path);

// Sets (or, given null, unsets) an environment variable for the life of the
// object, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_;
  std::string old_;
};

// Switches LC_CTYPE for the life of the object; ok() tells whether the locale
// exists on this machine (tests skip otherwise).
class ScopedLocale {
 public:
  explicit ScopedLocale(const char* name);
  ~ScopedLocale();
  ScopedLocale(const ScopedLocale&) = delete;
  ScopedLocale& operator=(const ScopedLocale&) = delete;
  bool ok() const { return ok_; }

 private:
  std::string old_;
  bool ok_;
};

// A fresh empty directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // Writes `content` to path()/name and returns the full path.
  std::string write(const std::string& name, const std::string& content) const;

 private:
  std::string path_;
};

// Runs a shell command; returns its exit status and stores standard output.
int runCommand(const std::string& command, std::string& output);

// --- DOM ---------------------------------------------------------------------

// UTF-8 form of a text; empty for null.
std::string utf8(const XMLCh* text);

// The value of the attribute with the ASCII name `name`; empty when missing.
std::string attribute(const xercesc::DOMElement* element, const char* name);

// A node written as XML in UTF-8, without declaration.
std::string xmlText(const xercesc::DOMNode* node);

// The element structure below `node`: each element as its name, ":" and its
// "name" attribute when it has one, and its element children in parentheses,
// e.g. "PMML(Header DataDictionary(DataField:x))". Text is left out.
std::string outline(const xercesc::DOMNode* node);

// Parses fragments into documents that live as long as the object (which keeps
// the XML platform alive meanwhile).
class Documents {
 public:
  xercesc::DOMDocument* parse(const std::string& xml);
  xercesc::DOMElement* element(const std::string& xml) { return parse(xml)->getDocumentElement(); }

 private:
  pmmlxform::XmlPlatformGuard platform_;
  std::vector<std::unique_ptr<pmmlxform::HardenedDOMParser>> parsers_;
};

// Opens the protected operations of the merge to the tests.
class Merger : public ConvertTransToPMML {
 public:
  using ConvertTransToPMML::addMiningFields;
  using ConvertTransToPMML::checkModelPMML;
  using ConvertTransToPMML::checkTransPMML;
  using ConvertTransToPMML::clearValues;
  using ConvertTransToPMML::copyValues;
  using ConvertTransToPMML::dealMiningSchema;
  using ConvertTransToPMML::findVariable;
  using ConvertTransToPMML::formatNumber;
  using ConvertTransToPMML::getMiningInfo;
  using ConvertTransToPMML::getOriginalVars;
  using ConvertTransToPMML::getRelativeVars;
  using ConvertTransToPMML::getValueList;
  using ConvertTransToPMML::getVarsInfo;
  using ConvertTransToPMML::importElement;
  bool segmented() const { return segmentedModel; }
  void setSegmented(bool value) { segmentedModel = value; }
};

}  // namespace testutil

#endif  // PMMLXFORM_TESTS_TEST_UTIL_H_
