// The tool's jobs and the input/output conventions they share.
#include "cli/jobs.h"

#include <nlohmann/json.hpp>
#include <pmmlxform/pmmlxform.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

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

// What the merge's refusals mean; the library leaves its message empty for them.
struct MergeRefusal {
  int code;
  const char* text;
};
constexpr MergeRefusal kMergeRefusals[] = {
    {6,
     "the transformation document is not transformation PMML "
     "(Header, DataDictionary, TransformationDictionary)"},
    {7,
     "the model document is not model PMML that can be merged "
     "(PMML 3.2 or 4.x, one model element with a MiningSchema)"},
    {8, "the model holds a segmented MiningModel, which cannot be merged"},
};

nlohmann::ordered_json varsJson(const std::vector<TmsEndInfo>& vars) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const TmsEndInfo& v : vars) {
    list.push_back({{"name", v.name},
                    {"displayName", v.displayName},
                    {"dataType", v.dataType},
                    {"optype", v.optype}});
  }
  return list;
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

int runMerge(const MergeOptions& options) {
  const std::string job = "merge";
  if (options.transformation.path == "-" && options.model.path == "-") {
    return fail(job, "only one input can be standard input", kExitUsage);
  }
  int code = 0;
  auto trans = openInput(job, options.transformation, code);
  if (!trans) return code;
  auto model = openInput(job, options.model, code);
  if (!model) return code;

  ConvertTransToPMML convert;
  std::string merged, message;
  std::vector<TmsEndInfo> dataFields, derivedFields;
  std::vector<TmsMiningFieldInfo> miningFields;
  const int result =
      convert.mergePMML(*trans, *model, merged, message, dataFields, derivedFields, miningFields);
  if (result != 0 && result != 4) {
    for (const MergeRefusal& refusal : kMergeRefusals) {
      if (refusal.code == result && message.empty()) message = refusal.text;
    }
    return fail(job, message, result);
  }
  if (result == 4) {
    std::cerr << "pmmlxform: merge: warning: field conflict on '" << message
              << "': a raw input of a derived model input is the model's target; the document "
                 "was written (code 4)\n";
  }

  auto out = openOutput(job, options.output, code);
  if (!out) return code;
  *out << merged;
  out->flush();
  if (!*out) return fail(job, "cannot write the merged document", kExitCantCreate);

  if (!options.report.empty()) {
    nlohmann::ordered_json mining = nlohmann::ordered_json::array();
    for (const TmsMiningFieldInfo& f : miningFields) {
      mining.push_back({{"name", f.name}, {"usageType", f.usageType}});
    }
    const nlohmann::ordered_json report = {{"code", result},
                                           {"message", result == 0 ? std::string() : message},
                                           {"dataFields", varsJson(dataFields)},
                                           {"derivedFields", varsJson(derivedFields)},
                                           {"miningFields", mining}};
    auto reportOut = openOutput(job, Output{options.report}, code);
    if (!reportOut) return code;
    // Texts in a code page other than UTF-8 must not stop the report.
    *reportOut << report.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
               << "\n";
    reportOut->flush();
    if (!*reportOut) return fail(job, "cannot write the report", kExitCantCreate);
  }
  return 0;
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
    *report << nlohmann::ordered_json{{"variables", varsJson(vars)}}.dump(2, ' ', false,
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
