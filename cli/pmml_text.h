#ifndef PMMLXFORM_CLI_PMML_TEXT_H_
#define PMMLXFORM_CLI_PMML_TEXT_H_

// What the tool reads from the PMML text a job produced, beyond what the
// library reports: an indented copy, and the fields of its DataDictionary.

#include <pmmlxform/tms_records.h>

#include <string>
#include <vector>

namespace cli {

// The document read from `text`, for the questions below.
class PmmlText {
 public:
  // Parses `text` (a document the library wrote); error() says why it could not.
  explicit PmmlText(const std::string& text);
  ~PmmlText();
  PmmlText(const PmmlText&) = delete;
  PmmlText& operator=(const PmmlText&) = delete;

  const std::string& error() const { return error_; }

  // The document written again with one element a line, indented by nesting;
  // whitespace between elements is replaced, text content kept.
  std::string indented() const;

  // One record per DataField of the DataDictionary, in document order.
  std::vector<TmsEndInfo> dataFields() const;

 private:
  struct Parsed;
  Parsed* parsed_ = nullptr;
  std::string error_;
};

}  // namespace cli

#endif  // PMMLXFORM_CLI_PMML_TEXT_H_
