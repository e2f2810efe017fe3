// The tool's jobs and the input/output conventions they share.
#include "cli/jobs.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
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

}  // namespace

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
  auto file = std::make_unique<std::ofstream>(out.path, std::ios::out | std::ios::binary |
                                                            std::ios::trunc);
  if (!file->is_open()) {
    code = fail(job, "cannot write '" + out.path + "': " + std::strerror(errno), kExitCantCreate);
    return nullptr;
  }
  return file;
}

// ---------------------------------------------------------------------------
// transform and check

namespace {

// What the tool says when the library's message is empty (the library empties
// it for an entry the stylesheet cannot convert, and leaves it untouched for
// input that is not a description at all).
std::string describeFailure(std::string message, int code) {
  const std::size_t start = message.find_first_not_of(' ');
  message = start == std::string::npos ? std::string() : message.substr(start);
  if (!message.empty()) return message;
  switch (code) {
    case 1:
      return "not a well-formed transformation description";
    case 5:
      return "an entry cannot be converted (the library does not say which)";
    default:
      return "the conversion failed";
  }
}

std::string readAll(std::istream& in) {
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

nlohmann::ordered_json variablesJson(const std::vector<TmsEndInfo>& vars) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const TmsEndInfo& info : vars) {
    list.push_back({{"name", info.name},
                    {"displayName", info.displayName},
                    {"dataType", info.dataType},
                    {"optype", info.optype}});
  }
  return nlohmann::ordered_json{{"variables", list}};
}

}  // namespace

int runTransform(const TransformOptions& opts) {
  const std::string job = "transform";
  ConvertTransToPMML convert;
  convert.setNeedMerging(!opts.replace);
  std::string pmml;
  std::vector<TmsEndInfo> vars;
  for (const std::string& path : opts.descriptions) {
    int code = 0;
    std::unique_ptr<std::istream> in = openInput(job, Input{path}, code);
    if (!in) return code;
    std::string message;
    vars.clear();
    pmml.clear();
    code = convert.transform(readAll(*in), pmml, message, vars);
    if (code != 0) return fail(job, path + ": " + describeFailure(message, code), code);
  }
  int code = 0;
  std::unique_ptr<std::ostream> out = openOutput(job, opts.output, code);
  if (!out) return code;
  *out << pmml;
  if (!pmml.empty() && pmml.back() != '\n') *out << '\n';
  out->flush();
  if (!*out) return fail(job, "cannot write the PMML", kExitCantCreate);
  if (!opts.report.empty()) {
    std::unique_ptr<std::ostream> report = openOutput(job, Output{opts.report}, code);
    if (!report) return code;
    // Names arrive as UTF-8; anything malformed is replaced, not refused.
    *report << variablesJson(vars).dump(2, ' ', false,
                                        nlohmann::ordered_json::error_handler_t::replace)
            << '\n';
    report->flush();
    if (!*report) return fail(job, "cannot write the report", kExitCantCreate);
  }
  return 0;
}

int runCheck(const CheckOptions& opts) {
  const std::string job = "check";
  int code = 0;
  std::unique_ptr<std::istream> in = openInput(job, opts.input, code);
  if (!in) return code;
  ConvertTransToPMML convert;
  int errorNo = 0;
  std::string message;
  if (!convert.isValidTransXML(*in, errorNo, message)) {
    return fail(job, opts.input.path + ": " + describeFailure(message, errorNo), errorNo);
  }
  std::cout << opts.input.path << ": valid\n";
  return 0;
}

}  // namespace cli
