#ifndef PMMLXFORM_CLI_JOBS_H_
#define PMMLXFORM_CLI_JOBS_H_

// The tool's jobs, written on the library's public API only. Each run* function
// returns the process exit code: the library's result code, or one of the
// tool's own codes below for problems outside the library.

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace cli {

// Exit codes of the tool itself (sysexits.h values, clear of the library's codes).
inline constexpr int kExitUsage = 64;       // bad command line
inline constexpr int kExitNoInput = 66;     // an input file cannot be opened
inline constexpr int kExitCantCreate = 73;  // the output file cannot be written
inline constexpr int kExitSoftware = 70;    // an unexpected exception

// Where a job reads from: a file path or "-" for standard input.
struct Input {
  std::string path = "-";
};

// Where a job writes to: standard output, or the file given with -o.
struct Output {
  std::string path;  // empty or "-": standard output
};

// `pmmlxform syntax`: data-preparation PMML to command syntax.
struct SyntaxOptions {
  Input input;
  Output output;
  bool comments = false;       // a "** Target - ..." line before each computed field
  bool skipRoles = false;      // no VARIABLE ROLE command
  bool localCodepage = false;  // texts in the locale's code page instead of UTF-8
  std::string noneFields;      // file that receives the NONE-role names, one per line
};

// `pmmlxform back-syntax`: a target's inverse transformation to command syntax.
struct BackSyntaxOptions {
  Input input;
  Output output;
  std::string target;  // the field every inverse field writes
  std::string source;  // the field every inverse field reads (empty: as the document says)
  bool comments = false;
  bool localCodepage = false;
};

// Both write what the library wrote and then report a failure with the
// library's error path; after a failure the incomplete text goes to standard
// output and no file is written.
int runSyntax(const SyntaxOptions& options);
int runBackSyntax(const BackSyntaxOptions& options);

// merge: transformation PMML + model PMML -> one PMML document.
struct MergeOptions {
  Input transformation;
  Input model;
  Output output;
  std::string report;  // empty: no report; else a JSON file of the three reports
};

// Writes the merged document (pretty-printed) and, when asked, the report.
// A field conflict (code 4) is a warning: the document is written, the conflict
// printed, and the exit code is 0.
int runMerge(const MergeOptions& options);

// Prints "pmmlxform: <job>: <message> (code N)" on standard error, returns code.
int fail(const std::string& job, const std::string& message, int code);

// Opens an input; on failure reports it for `job` and sets `code`.
std::unique_ptr<std::istream> openInput(const std::string& job, const Input& in, int& code);

// One text for one output.
struct OutputText {
  Output output;
  std::string text;
};

// Writes each text: every file through a temporary file beside it, renamed
// over it once all of them are written (a failure leaves every file as it
// was); standard output in the order given. On failure reports it for `job`
// and returns kExitCantCreate.
int writeOutputs(const std::string& job, const std::vector<OutputText>& outputs);

// Refuses (kExitUsage) a second output given with `option` (a report) that
// would mix with the document: the same file as -o, or "-" while the document
// goes to standard output too. 0 when they are apart.
int refuseSharedOutput(const std::string& job, const Output& document, const std::string& option,
                       const std::string& second);

// transform: converts the descriptions in order with one object (each merged
// into those before it unless `replace`) and writes the last PMML; `report`
// names a file for its variables as JSON.
struct TransformOptions {
  std::vector<std::string> descriptions;  // empty: standard input
  bool indent = false;                    // write the PMML indented, one element a line
  bool replace = false;
  Output output;
  std::string report;  // empty: no report
};
int runTransform(const TransformOptions& opts);

// check: converts each description and prints whether it is valid; the exit
// code is the first failure's.
struct CheckOptions {
  std::vector<std::string> inputs;  // empty: standard input
};
int runCheck(const CheckOptions& opts);

}  // namespace cli

#endif  // PMMLXFORM_CLI_JOBS_H_
