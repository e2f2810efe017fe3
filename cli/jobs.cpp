// The tool's jobs and the input/output conventions they share.
#include "cli/jobs.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include "pmmlxform/pmmlxform.h"

namespace cli {
namespace {

// A non-owning stream wrapper around std::cin / std::cout, so callers can hold
// every stream the same way.
class BorrowedIStream : public std::istream {
 public:
  explicit BorrowedIStream(std::istream& s) : std::istream(s.rdbuf()) {}
};

class BorrowedOStream : public std::ostream {
 public:
  explicit BorrowedOStream(std::ostream& s) : std::ostream(s.rdbuf()) {}
};

// The message on one line: control characters (a line break taken over from a
// document into an error path) become "?".
std::string oneLine(std::string message) {
  for (char& c : message) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return message;
}

// Writes `text` to the job's output; reports a failure to write.
int writeOutput(const std::string& job, const Output& output, const std::string& text) {
  int code = 0;
  auto out = openOutput(job, output, code);
  if (!out) return code;
  *out << text;
  out->flush();
  if (!*out) return fail(job, "cannot write '" + output.path + "'", kExitCantCreate);
  return 0;
}

// The library's result: the output first (partial after a failure), then the report.
int finish(const std::string& job, const Output& output, const std::string& text, int result,
           const std::string& message) {
  const int written = writeOutput(job, output, text);
  if (written != 0) return written;
  if (result != 0) return fail(job, oneLine(message), result);
  return 0;
}

}  // namespace

int runSyntax(const SyntaxOptions& options) {
  const std::string job = "syntax";
  int code = 0;
  auto in = openInput(job, options.input, code);
  if (!in) return code;
  std::ostringstream text;
  std::string message;
  std::vector<std::string> noneFields;
  const int result = ADP_Convert::convertPMMLtoSyntax(
      *in, text, message, noneFields, options.skipRoles, !options.localCodepage, options.comments);
  if (!options.noneFields.empty()) {
    std::string names;
    for (const auto& name : noneFields) names += name + "\n";
    const int written = writeOutput(job, Output{options.noneFields}, names);
    if (written != 0) return written;
  }
  return finish(job, options.output, text.str(), result, message);
}

int runBackSyntax(const BackSyntaxOptions& options) {
  const std::string job = "back-syntax";
  int code = 0;
  auto in = openInput(job, options.input, code);
  if (!in) return code;
  std::ostringstream text;
  std::string message;
  const int result = ADP_Convert::convertPMMLtoBackSyntax(
      *in, text, message, options.target, options.source, !options.localCodepage, options.comments);
  return finish(job, options.output, text.str(), result, message);
}

int fail(const std::string& job, const std::string& message, int code) {
  std::cerr << "pmmlxform: " << job << ": " << message << " (code " << code << ")\n";
  return code;
}

std::unique_ptr<std::istream> openInput(const std::string& job, const Input& in, int& code) {
  if (in.path == "-") return std::make_unique<BorrowedIStream>(std::cin);
  auto file = std::make_unique<std::ifstream>(in.path, std::ios::in | std::ios::binary);
  if (!file->is_open()) {
    code = fail(job, "cannot open '" + in.path + "': " + std::strerror(errno), kExitNoInput);
    return nullptr;
  }
  return file;
}

std::unique_ptr<std::ostream> openOutput(const std::string& job, const Output& out, int& code) {
  if (out.path.empty() || out.path == "-") return std::make_unique<BorrowedOStream>(std::cout);
  auto file =
      std::make_unique<std::ofstream>(out.path, std::ios::out | std::ios::binary | std::ios::trunc);
  if (!file->is_open()) {
    code = fail(job, "cannot write '" + out.path + "': " + std::strerror(errno), kExitCantCreate);
    return nullptr;
  }
  return file;
}

}  // namespace cli
