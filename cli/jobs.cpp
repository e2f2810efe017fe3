// The tool's jobs and the input/output conventions they share.
#include "cli/jobs.h"

#include <langinfo.h>
#include <pmmlxform/pmmlxform.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "cli/pmml_text.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

// A non-owning stream wrapper around std::cin, so callers can hold every input
// the same way.
class BorrowedIStream : public std::istream {
 public:
  explicit BorrowedIStream(std::istream& s) : std::istream(s.rdbuf()) {}
};

// The message on one line: control characters (a line break taken over from a
// document into an error path) become "?".
std::string oneLine(std::string message) {
  for (char& c : message) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return message;
}

// A file output written through a temporary file beside its target, renamed
// over the target only by commit(): a job that fails, or dies, leaves the
// user's file as it was. A target that is not a regular file (a device such as
// /dev/null, a pipe) is written in place, as renaming would replace it.
class StagedFile {
 public:
  StagedFile() = default;
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;
  ~StagedFile() {
    if (!temp_.empty()) ::unlink(temp_.c_str());
  }

  // Writes `text`; false with `error` set when it cannot.
  bool stage(const std::string& path, const std::string& text, std::string& error) {
    // A symbolic link keeps pointing at the file it names, which gets the text.
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
      target = fs::weakly_canonical(path, ec);
      if (ec) return failed(error, ec.value());
    }
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return writeInPlace(target, text, error);
    std::string temp = (target.parent_path().empty() ? fs::path(".") : target.parent_path()) /
                       ("." + target.filename().string() + ".XXXXXX");
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return failed(error, errno);
    temp_ = temp;
    target_ = target;
    // The permissions the file had, or those a new file gets.
    const mode_t mode = exists ? st.st_mode & 07777 : kNewFileMode & ~currentUmask();
    const bool ok = writeAll(fd, text) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    const int err = errno;
    if (::close(fd) != 0 || !ok) return failed(error, ok ? errno : err);
    return true;
  }

  // Puts the staged text in place of the target.
  bool commit(std::string& error) {
    if (temp_.empty()) return true;
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) return failed(error, errno);
    temp_.clear();
    return true;
  }

 private:
  static constexpr mode_t kNewFileMode = 0666;

  static mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
  }

  static bool writeAll(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
      const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  static bool writeInPlace(const fs::path& target, const std::string& text, std::string& error) {
    std::ofstream out(target, std::ios::out | std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    return out ? true : failed(error, errno);
  }

  static bool failed(std::string& error, int err) {
    error = std::strerror(err != 0 ? err : EIO);
    return false;
  }

  std::string temp_;
  fs::path target_;
};

bool toStandardOutput(const Output& output) { return output.path.empty() || output.path == "-"; }

// The file standard output goes to, as the system names it ("/dev/full"); the
// empty text for a pipe, a socket or what cannot be told.
std::string standardOutputName() {
  std::error_code ec;
  const fs::path target = fs::read_symlink("/proc/self/fd/1", ec);
  if (ec || target.empty() || target.is_relative()) return std::string();
  return target.string();
}

// Flushes standard output; false with `error` naming it and what stopped it.
bool flushStandardOutput(std::string& error) {
  errno = 0;
  std::cout.flush();
  if (std::cout) return true;
  const int err = errno != 0 ? errno : EIO;
  const std::string name = standardOutputName();
  error = "cannot write to standard output" + (name.empty() ? "" : " ('" + name + "')") + ": " +
          std::strerror(err);
  return false;
}

// Whether two paths name one file: the same existing file (links included), or
// the same place once resolved.
bool sameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec)) return true;
  const auto resolved = [](const std::string& path) {
    std::error_code err;
    const fs::path full = fs::weakly_canonical(fs::absolute(path, err), err);
    return err ? fs::path(path).lexically_normal() : full;
  };
  return resolved(a) == resolved(b);
}

}  // namespace

int writeOutputs(const std::string& job, const std::vector<OutputText>& outputs) {
  std::vector<std::unique_ptr<StagedFile>> files;
  std::string error;
  for (const OutputText& o : outputs) {
    if (toStandardOutput(o.output)) continue;
    files.push_back(std::make_unique<StagedFile>());
    if (!files.back()->stage(o.output.path, o.text, error)) {
      return fail(job, "cannot write '" + o.output.path + "': " + error, kExitCantCreate);
    }
  }
  for (const OutputText& o : outputs) {
    if (toStandardOutput(o.output)) std::cout << o.text;
  }
  if (!flushStandardOutput(error)) return fail(job, error, kExitCantCreate);
  std::size_t i = 0;
  for (const OutputText& o : outputs) {
    if (toStandardOutput(o.output)) continue;
    if (!files[i++]->commit(error)) {
      return fail(job, "cannot write '" + o.output.path + "': " + error, kExitCantCreate);
    }
  }
  return 0;
}

int refuseSharedOutput(const std::string& job, const Output& document, const std::string& option,
                       const std::string& second) {
  if (second.empty()) return 0;
  if (second == "-") {
    if (!toStandardOutput(document)) return 0;
    return fail(job, option + " - and the document cannot both go to standard output (give -o OUT)",
                kExitUsage);
  }
  if (toStandardOutput(document) || !sameFile(document.path, second)) return 0;
  return fail(job, option + " and -o name the same file '" + second + "'", kExitUsage);
}

namespace {

// The library's result: the output, then the failure. After a failure the
// incomplete text goes to standard output, never over the user's file.
int finish(const std::string& job, const Output& output, const std::string& text, int result,
           const std::string& message, std::vector<OutputText> more = {}) {
  if (result != pmmlxform::kSyntaxOk) {
    std::cout << text;
    std::cout.flush();
    return fail(job, oneLine(message), result);
  }
  more.insert(more.begin(), OutputText{output, text});
  return writeOutputs(job, more);
}

// What the merge's refusals mean; the library leaves its message empty for
// them and gives the failed check through lastRefusalReason().
struct MergeRefusal {
  int code;
  const char* text;
};
constexpr MergeRefusal kMergeRefusals[] = {
    {pmmlxform::kMergeNotTransformation, "the transformation document is not transformation PMML"},
    {pmmlxform::kMergeNotModel, "the model document is not model PMML that can be merged"},
    {pmmlxform::kMergeSegmentedModel,
     "the model holds a segmented MiningModel, which cannot be merged"},
};
constexpr int kTransformationRefused = pmmlxform::kMergeNotTransformation;
constexpr int kModelRefused = pmmlxform::kMergeNotModel;
constexpr char kSwappedHint[] =
    "the two look swapped: give the transformation PMML first, then the model PMML";

std::string readAll(std::istream& in) {
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Whether the merge takes the two documents the other way round.
bool mergesSwapped(const std::string& trans, const std::string& model) {
  ConvertTransToPMML probe;
  std::string merged, message;
  std::vector<TmsEndInfo> dataFields, derivedFields;
  std::vector<TmsMiningFieldInfo> miningFields;
  const int code =
      probe.mergePMML(model, trans, merged, message, dataFields, derivedFields, miningFields);
  return code == pmmlxform::kMergeOk || code == pmmlxform::kMergeFieldConflict;
}

// How an input is named in messages.
std::string inputName(const std::string& path) { return path == "-" ? "standard input" : path; }

// The syntax jobs' fixed failure texts, in words the user can act on.
struct SyntaxFailure {
  int code;
  const char* text;
};
constexpr SyntaxFailure kSyntaxFailures[] = {
    {2, "the input is empty"},
    {5,
     "the input is not well-formed XML, or is refused as hostile (external entities, too many "
     "entity expansions, nesting deeper than 1,000 levels)"},
};
// Codes whose message is a bare path that the tool completes.
constexpr int kSyntaxBadName = 7;
constexpr int kSyntaxMissingElement = 11;
// What each syntax job reads, for a document that lacks what it needs.
constexpr char kSyntaxReads[] =
    "the syntax job reads data-preparation PMML (a DataDictionary and a "
    "TransformationDictionary of DerivedField elements)";
constexpr char kBackSyntaxReads[] =
    "back-syntax reads data-preparation PMML whose TransformationDictionary holds an Extension "
    "with the AutomatedDataPreparation element";

// What an element at the end of a code-7 path lacks.
struct MissingName {
  const char* element;
  const char* text;
};
constexpr MissingName kMissingNames[] = {
    {"DerivedField", "the name attribute is missing or empty"},
    {"FieldRef", "the field attribute is missing or empty"},
    {"FieldColumnPair", "the field attribute is missing or empty"},
    {"Apply", "the function attribute is missing or empty"},
    {"LinearNorm", "the orig or norm attribute is missing or empty"},
    {"DiscretizeBin", "the binValue attribute is missing or empty"},
    {"NormContinuous", "neither outliers nor mapMissingTo is given"},
};

// The element name of an error path's last segment:
// "ADPTransformation.PMML.DataDictionary" gives "DataDictionary".
std::string lastElement(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::string segment = dot == std::string::npos ? path : path.substr(dot + 1);
  return segment.substr(0, segment.find_first_of("({["));
}

// A syntax job's failure in words: the library's path, completed where it
// names the place but not what is wrong there.
std::string describeSyntaxFailure(const std::string& message, int code, bool back,
                                  bool localCodepage) {
  for (const SyntaxFailure& failure : kSyntaxFailures) {
    if (failure.code == code) return failure.text;
  }
  if (code == kSyntaxMissingElement) {
    return "no " + lastElement(message) + " found (" + message +
           "): " + (back ? kBackSyntaxReads : kSyntaxReads);
  }
  if (code != kSyntaxBadName || message.empty()) return message;
  // A path that ends at an element: what that element lacks.
  if (message.back() != '}' && message.back() != ')' && message.back() != ']') {
    const std::string element = lastElement(message);
    for (const MissingName& missing : kMissingNames) {
      if (element == missing.element) return message + ": " + missing.text;
    }
  }
  // A path that ends with an attribute's bare name in braces ("{field}"):
  // that attribute is missing or empty.
  const std::size_t brace = message.rfind('{');
  if (brace != std::string::npos && message.back() == '}') {
    const std::string attribute = message.substr(brace + 1, message.size() - brace - 2);
    if (!attribute.empty() && std::all_of(attribute.begin(), attribute.end(),
                                          [](char c) { return c >= 'a' && c <= 'z'; })) {
      return message + ": the " + attribute + " attribute is missing or empty";
    }
  }
  // The library checks names as the local code page wrote them, where a
  // character it cannot hold became "?".
  if (localCodepage && message.find('?') != std::string::npos) {
    return message +
           ": with --local-codepage a \"?\" stands for a character that the locale's "
           "code page (" +
           std::string(nl_langinfo(CODESET)) +
           ") cannot hold; use a locale that holds it, or leave out --local-codepage";
  }
  return message;
}

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

// The report of the transform and merge jobs, one shape for both: the result
// code and message, then the fields of the written document. "variables" is
// the derived fields again, under the name the transform's report first had.
std::string reportJson(int code, const std::string& message,
                       const std::vector<TmsEndInfo>& dataFields,
                       const std::vector<TmsEndInfo>& derivedFields,
                       const std::vector<TmsMiningFieldInfo>& miningFields) {
  nlohmann::ordered_json mining = nlohmann::ordered_json::array();
  for (const TmsMiningFieldInfo& f : miningFields) {
    mining.push_back({{"name", f.name}, {"usageType", f.usageType}});
  }
  const nlohmann::ordered_json report = {{"code", code},
                                         {"message", message},
                                         {"dataFields", varsJson(dataFields)},
                                         {"derivedFields", varsJson(derivedFields)},
                                         {"miningFields", mining},
                                         {"variables", varsJson(derivedFields)}};
  // Texts in a code page other than UTF-8 must not stop the report.
  return report.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

// `pmml` indented when asked; false after reporting why it cannot be read.
bool indentIfAsked(const std::string& job, bool indent, std::string& pmml) {
  if (!indent) return true;
  const PmmlText text(pmml);
  if (!text.error().empty()) {
    fail(job, "cannot indent the document: " + text.error(), kExitSoftware);
    return false;
  }
  pmml = text.indented();
  return true;
}

// Refuses (kExitUsage) standard input named more than once: it can be read once.
int refuseRepeatedStandardInput(const std::string& job, const std::vector<std::string>& inputs) {
  if (std::count(inputs.begin(), inputs.end(), "-") < 2) return 0;
  return fail(job, "standard input (-) can be named once only", kExitUsage);
}

}  // namespace

int runSyntax(const SyntaxOptions& options) {
  const std::string job = "syntax";
  if (const int refused =
          refuseSharedOutput(job, options.output, "--none-fields", options.noneFields)) {
    return refused;
  }
  int code = 0;
  auto in = openInput(job, options.input, code);
  if (!in) return code;
  std::ostringstream text;
  std::string message;
  std::vector<std::string> noneFields;
  const int result = ADP_Convert::convertPMMLtoSyntax(
      *in, text, message, noneFields, options.skipRoles, !options.localCodepage, options.comments);
  std::vector<OutputText> more;
  if (!options.noneFields.empty()) {
    std::string names;
    for (const auto& name : noneFields) names += name + "\n";
    more.push_back({Output{options.noneFields}, names});
  }
  return finish(job, options.output, text.str(), result,
                inputName(options.input.path) + ": " +
                    describeSyntaxFailure(message, result, false, options.localCodepage),
                more);
}

int runBackSyntax(const BackSyntaxOptions& options) {
  const std::string job = "back-syntax";
  // The library reads two empty names as a request for the forward syntax.
  if (options.target.empty() && options.source.empty()) {
    return fail(job, "--target and --source cannot both be empty", kExitUsage);
  }
  int code = 0;
  auto in = openInput(job, options.input, code);
  if (!in) return code;
  std::ostringstream text;
  std::string message;
  const int result = ADP_Convert::convertPMMLtoBackSyntax(
      *in, text, message, options.target, options.source, !options.localCodepage, options.comments);
  return finish(job, options.output, text.str(), result,
                inputName(options.input.path) + ": " +
                    describeSyntaxFailure(message, result, true, options.localCodepage));
}

int runMerge(const MergeOptions& options) {
  const std::string job = "merge";
  if (options.transformation.path == "-" && options.model.path == "-") {
    return fail(job, "only one input can be standard input", kExitUsage);
  }
  if (const int refused = refuseSharedOutput(job, options.output, "--report", options.report)) {
    return refused;
  }
  int code = 0;
  auto transIn = openInput(job, options.transformation, code);
  if (!transIn) return code;
  auto modelIn = openInput(job, options.model, code);
  if (!modelIn) return code;
  const std::string trans = readAll(*transIn);
  const std::string model = readAll(*modelIn);

  ConvertTransToPMML convert;
  std::string merged, message;
  std::vector<TmsEndInfo> dataFields, derivedFields;
  std::vector<TmsMiningFieldInfo> miningFields;
  const int result =
      convert.mergePMML(trans, model, merged, message, dataFields, derivedFields, miningFields);
  if (result != pmmlxform::kMergeOk && result != pmmlxform::kMergeFieldConflict) {
    for (const MergeRefusal& refusal : kMergeRefusals) {
      if (refusal.code != result || !message.empty()) continue;
      const Input& refused =
          result == kTransformationRefused ? options.transformation : options.model;
      message = inputName(refused.path) + ": " + refusal.text;
      // A segmented model's refusal says it all already.
      if (result != kTransformationRefused && result != kModelRefused) continue;
      if (!convert.lastRefusalReason().empty()) message += ": " + convert.lastRefusalReason();
      if (mergesSwapped(trans, model)) message += std::string("; ") + kSwappedHint;
    }
    return fail(job, oneLine(message), result);
  }
  if (result == pmmlxform::kMergeFieldConflict) {
    std::cerr << "pmmlxform: merge: warning: field conflict on '" << message
              << "': a raw input of a derived model input is the model's target; the document "
                 "was written (code "
              << pmmlxform::kMergeFieldConflict << ")\n";
  }

  std::vector<OutputText> outputs{{options.output, merged}};
  if (!options.report.empty()) {
    outputs.push_back({Output{options.report},
                       reportJson(result, result == pmmlxform::kMergeOk ? std::string() : message,
                                  dataFields, derivedFields, miningFields)});
  }
  return writeOutputs(job, outputs);
}

int fail(const std::string& job, const std::string& message, int code) {
  std::cerr << "pmmlxform: " << job << ": " << message << " (code " << code << ")\n";
  return code;
}

std::unique_ptr<std::istream> openInput(const std::string& job, const Input& in, int& code) {
  if (in.path == "-") return std::make_unique<BorrowedIStream>(std::cin);
  // A directory opens as a stream that reads nothing.
  std::error_code ec;
  if (fs::is_directory(in.path, ec)) {
    code = fail(job, "cannot open '" + in.path + "': " + std::strerror(EISDIR), kExitNoInput);
    return nullptr;
  }
  auto file = std::make_unique<std::ifstream>(in.path, std::ios::in | std::ios::binary);
  if (!file->is_open()) {
    code = fail(job, "cannot open '" + in.path + "': " + std::strerror(errno), kExitNoInput);
    return nullptr;
  }
  return file;
}

// ---------------------------------------------------------------------------
// transform and check

namespace {

// The library's texts that name its own classes, and what the tool says
// instead.
struct LibraryText {
  const char* text;
  const char* words;
};
constexpr LibraryText kLibraryTexts[] = {
    {"ConvertTransToPMMLException: Output Trans xml empty!", " (no PMML was produced)"},
    {"ConvertTransToPMMLException: ", ""},
    {"ConvertTransException: ", ""},
    {"ConvertByXSLTException:", ""},
};
// The message of a stylesheet that cannot be opened, followed by its path.
constexpr char kNoStylesheet[] = "ConvertTransToPMMLException: can't open xslt file.";
constexpr int kConvertError = pmmlxform::kTransformCannotConvert;

// What a transform or check failure says about `input`: the stylesheet's own
// words for an entry that cannot be converted (the library's message is empty
// then), and the stylesheet itself, not the input, when it cannot be opened.
std::string describeFailure(const ConvertTrans& convert, std::string message, int code,
                            const std::string& input) {
  const std::string name = inputName(input);
  if (message.rfind(kNoStylesheet, 0) == 0) {
    return "the stylesheet was not found or cannot be read: '" +
           message.substr(sizeof(kNoStylesheet) - 1) +
           "' (PMMLXFORM_APP_DIR names the directory that holds transformation.xsl); " + name +
           " was not converted";
  }
  if (code == kConvertError && message.empty()) message = convert.lastStylesheetMessage();
  for (const LibraryText& library : kLibraryTexts) {
    for (std::size_t at; (at = message.find(library.text)) != std::string::npos;) {
      message.replace(at, std::strlen(library.text), library.words);
    }
  }
  const std::size_t start = message.find_first_not_of(' ');
  message = start == std::string::npos ? std::string() : message.substr(start);
  if (message.empty()) {
    message = code == pmmlxform::kTransformNotADescription
                  ? "not a well-formed transformation description"
              : code == kConvertError ? "an entry cannot be converted"
                                      : "the conversion failed";
  }
  return name + ": " + message;
}

}  // namespace

int runTransform(const TransformOptions& opts) {
  const std::string job = "transform";
  if (const int refused = refuseSharedOutput(job, opts.output, "--report", opts.report)) {
    return refused;
  }
  const std::vector<std::string> descriptions =
      opts.descriptions.empty() ? std::vector<std::string>{"-"} : opts.descriptions;
  if (const int refused = refuseRepeatedStandardInput(job, descriptions)) return refused;
  ConvertTransToPMML convert;
  convert.setNeedMerging(!opts.replace);
  std::string pmml;
  std::vector<TmsEndInfo> vars;
  for (const std::string& path : descriptions) {
    int code = 0;
    std::unique_ptr<std::istream> in = openInput(job, Input{path}, code);
    if (!in) return code;
    std::string message;
    vars.clear();
    pmml.clear();
    code = convert.transform(readAll(*in), pmml, message, vars);
    if (code != pmmlxform::kTransformOk) {
      return fail(job, oneLine(describeFailure(convert, message, code, path)), code);
    }
  }
  std::vector<TmsEndInfo> dataFields;
  if (!opts.report.empty()) {
    const PmmlText text(pmml);
    if (text.error().empty()) dataFields = text.dataFields();
  }
  if (!indentIfAsked(job, opts.indent, pmml)) return kExitSoftware;
  if (!pmml.empty() && pmml.back() != '\n') pmml += '\n';
  std::vector<OutputText> outputs{{opts.output, pmml}};
  if (!opts.report.empty()) {
    outputs.push_back(
        {Output{opts.report}, reportJson(pmmlxform::kTransformOk, "", dataFields, vars, {})});
  }
  return writeOutputs(job, outputs);
}

namespace {

// Checks one description: prints "INPUT: valid", or reports its failure.
int checkOne(const std::string& job, const std::string& path) {
  int code = 0;
  std::unique_ptr<std::istream> in = openInput(job, Input{path}, code);
  if (!in) return code;
  ConvertTransToPMML convert;
  int errorNo = 0;
  std::string message;
  if (!convert.isValidTransXML(*in, errorNo, message)) {
    return fail(job, oneLine(describeFailure(convert, message, errorNo, path)), errorNo);
  }
  std::cout << path << ": valid\n";
  std::string error;
  if (!flushStandardOutput(error)) return fail(job, error, kExitCantCreate);
  return pmmlxform::kTransformOk;
}

}  // namespace

int runCheck(const CheckOptions& opts) {
  const std::string job = "check";
  const std::vector<std::string> inputs =
      opts.inputs.empty() ? std::vector<std::string>{"-"} : opts.inputs;
  if (const int refused = refuseRepeatedStandardInput(job, inputs)) return refused;
  int first = 0;
  for (const std::string& path : inputs) {
    const int code = checkOne(job, path);
    if (first == 0) first = code;
  }
  return first;
}

}  // namespace cli
