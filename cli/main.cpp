// Command-line entry of the pmmlxform tool: parses the command line with CLI11
// and hands each subcommand to its job in jobs.cpp.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <clocale>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/jobs.h"
#include "pmmlxform/pmmlxform.h"

namespace {

// The jobs in the order the help lists them.
struct JobName {
  const char* name;
  const char* summary;
};
constexpr JobName kJobs[] = {
    {"transform", "transformation descriptions (accumulated in order) -> PMML 4.3"},
    {"check", "tell whether transformation descriptions convert"},
    {"merge", "transformation PMML + model PMML -> one PMML that scores raw fields"},
    {"syntax", "data-preparation PMML -> command syntax"},
    {"back-syntax", "a target's inverse transformation -> command syntax"},
};

// The help's closing lines, shown once, under the list of jobs.
constexpr const char kFooter[] =
    "An INPUT is a file, or - (the default) for standard input; output goes to standard\n"
    "output, or to the FILE given with -o.\n"
    "On failure the tool prints 'pmmlxform: <job>: <message> (code N)' and exits with N.\n"
    "'pmmlxform help JOB' (or 'pmmlxform JOB --help') shows a job's options.\n";

constexpr const char kVersion[] = "pmmlxform " PMMLXFORM_VERSION_STRING;

// The text of one failure of the command line, on one line, with the help to
// read; returns kExitUsage. `job` is empty when no job was named.
int usageError(const std::string& job, const std::string& message) {
  const std::string help = job.empty() ? "pmmlxform help" : "pmmlxform help " + job;
  std::cerr << "pmmlxform: " << (job.empty() ? "" : job + ": ") << message << " (see '" << help
            << "') (code " << cli::kExitUsage << ")\n";
  return cli::kExitUsage;
}

bool isJob(const std::string& word) {
  return std::any_of(std::begin(kJobs), std::end(kJobs),
                     [&word](const JobName& job) { return word == job.name; });
}

// Edit distance between two words: insertions, deletions, substitutions and
// swaps of neighbours each count one.
std::size_t distance(const std::string& a, const std::string& b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

// A word that names no job: says so, with the nearest job when one is close.
int unknownJob(const std::string& word) {
  // Further than this many edits a suggestion would be a guess.
  constexpr std::size_t kMaxEdits = 3;
  const JobName* nearest = nullptr;
  std::size_t best = kMaxEdits + 1;
  for (const JobName& job : kJobs) {
    const std::size_t d = distance(word, job.name);
    if (d < best) {
      best = d;
      nearest = &job;
    }
  }
  std::string message = "unknown job '" + word + "'";
  if (nearest != nullptr) message += "; did you mean '" + std::string(nearest->name) + "'?";
  return usageError("", message);
}

// The words after the program's name, with "help [JOB]" read as "[JOB] --help".
// Returns 0, or the exit code of a command line that names no job.
int readWords(int argc, char** argv, std::vector<std::string>& words) {
  words.assign(argv + 1, argv + argc);
  if (words.empty() || words[0].empty() || words[0][0] == '-') return 0;
  if (words[0] == "help") {
    if (words.size() > 2) return usageError("", "help takes one job at most");
    if (words.size() == 2 && !isJob(words[1])) return unknownJob(words[1]);
    words = words.size() == 2 ? std::vector<std::string>{words[1], "--help"}
                              : std::vector<std::string>{"--help"};
    return 0;
  }
  return isJob(words[0]) ? 0 : unknownJob(words[0]);
}

// A job's subcommand: its summary, and --version as on the tool itself.
CLI::App* addJob(CLI::App& app, const char* name) {
  const auto job = std::find_if(std::begin(kJobs), std::end(kJobs),
                                [name](const JobName& j) { return std::string(j.name) == name; });
  CLI::App* cmd = app.add_subcommand(name, job->summary);
  cmd->set_version_flag("--version", kVersion);
  return cmd;
}

CLI::Option* addOutput(CLI::App* cmd, std::string& path, const std::string& what) {
  return cmd->add_option("-o,--output", path, "write " + what + " to FILE")->type_name("FILE");
}

int run(int argc, char** argv) {
  std::vector<std::string> words;
  if (const int refused = readWords(argc, argv, words)) return refused;

  CLI::App app{"pmmlxform: converts PMML transformations", "pmmlxform"};
  app.set_version_flag("--version", kVersion);
  app.require_subcommand(0, 1);

  cli::TransformOptions transformOpts;
  CLI::App* transformCmd = addJob(app, "transform");
  transformCmd->add_flag("--replace", transformOpts.replace,
                         "convert each description on its own; the last one's PMML is written");
  transformCmd->add_flag("--indent", transformOpts.indent,
                         "write the PMML indented, one element a line");
  transformCmd
      ->add_option("INPUT", transformOpts.descriptions,
                   "description files in order, or - for standard input (the default)")
      ->type_name("");
  addOutput(transformCmd, transformOpts.output.path, "the PMML");
  transformCmd
      ->add_option("--report", transformOpts.report,
                   "write the report (the data and derived fields of the PMML) as JSON to FILE")
      ->type_name("FILE");

  cli::CheckOptions checkOpts;
  CLI::App* checkCmd = addJob(app, "check");
  checkCmd
      ->add_option("INPUT", checkOpts.inputs,
                   "description files, each checked, or - for standard input (the default)")
      ->type_name("");

  cli::MergeOptions merge;
  CLI::App* mergeCmd = addJob(app, "merge");
  mergeCmd->add_option("TRANSFORMATION", merge.transformation.path, "transformation PMML, or -")
      ->type_name("")
      ->required();
  mergeCmd->add_option("MODEL", merge.model.path, "model PMML, or -")->type_name("")->required();
  addOutput(mergeCmd, merge.output.path, "the merged PMML");
  mergeCmd
      ->add_option("--report", merge.report,
                   "write the report (the data, derived and mining fields of the result) as JSON "
                   "to FILE")
      ->type_name("FILE");

  cli::SyntaxOptions syntax;
  CLI::App* syntaxCmd = addJob(app, "syntax");
  syntaxCmd->add_flag("--comments", syntax.comments,
                      "write a '** Target - ...' comment line before each computed field");
  syntaxCmd->add_flag("--skip-roles", syntax.skipRoles, "write no VARIABLE ROLE command");
  syntaxCmd->add_flag("--local-codepage", syntax.localCodepage,
                      "read and write texts in the locale's code page instead of UTF-8");
  syntaxCmd
      ->add_option("--none-fields", syntax.noneFields,
                   "write the names of the NONE role to FILE, one per line")
      ->type_name("FILE");
  syntaxCmd
      ->add_option("INPUT", syntax.input.path,
                   "PMML document, or - for standard input (the default)")
      ->type_name("");
  addOutput(syntaxCmd, syntax.output.path, "the syntax");

  cli::BackSyntaxOptions back;
  CLI::App* backCmd = addJob(app, "back-syntax");
  backCmd->add_option("--target", back.target, "the field the inverse writes")
      ->type_name("NAME")
      ->required();
  backCmd
      ->add_option("--source", back.source,
                   "the field the inverse reads (empty: the document's own)")
      ->type_name("NAME")
      ->required();
  backCmd->add_flag("--comments", back.comments,
                    "write a '** Target - ...' comment line before each computed field");
  backCmd->add_flag("--local-codepage", back.localCodepage,
                    "read and write texts in the locale's code page instead of UTF-8");
  backCmd
      ->add_option("INPUT", back.input.path, "PMML document, or - for standard input (the default)")
      ->type_name("");
  addOutput(backCmd, back.output.path, "the syntax");

  // Set last, so that no job's help inherits it.
  app.footer(kFooter);

  CLI::App* const jobs[] = {transformCmd, checkCmd, mergeCmd, syntaxCmd, backCmd};
  try {
    std::reverse(words.begin(), words.end());
    app.parse(words);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    const auto named = std::find_if(std::begin(jobs), std::end(jobs),
                                    [](const CLI::App* job) { return job->parsed(); });
    return usageError(named == std::end(jobs) ? "" : (*named)->get_name(), e.what());
  }
  if (*syntaxCmd) return cli::runSyntax(syntax);
  if (*backCmd) return cli::runBackSyntax(back);
  if (*mergeCmd) return cli::runMerge(merge);
  if (*transformCmd) return cli::runTransform(transformOpts);
  if (*checkCmd) return cli::runCheck(checkOpts);
  std::string names;
  for (const JobName& job : kJobs) names += std::string(names.empty() ? "" : ", ") + job.name;
  return usageError("", "no job named; the jobs are " + names);
}

}  // namespace

int main(int argc, char** argv) {
  // Local code page conversions follow the user's locale, as the host's do.
  std::setlocale(LC_ALL, "");
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    return cli::fail("internal", e.what(), cli::kExitSoftware);
  } catch (...) {
    return cli::fail("internal", "unknown error", cli::kExitSoftware);
  }
}
